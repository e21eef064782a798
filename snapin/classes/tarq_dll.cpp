// tarq.dll's entry: the library's own instance, for registrations and as
// the resource module when no language library is found.
#include <windows.h>

#include "snapin_state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_snapin.instance = instance;
    g_snapin.resources = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
