// logpage's start and end: bind the host, find its language library and the
// help file, register its one procedure for two classes; at Shutdown free
// the libraries again. No bitmaps, no setting.
#include <windows.h>

#include "entry_points.h"
#include "host_binding.h"
#include "snapin_state.h"
#include "syslog_objproc.h"

extern "C" int32_t QZXAPI InitSnapin(void) {
  if (BindHost() != 0) return -1;
  FindResourceModule("LOGPGRES.DLL");
  FindHelpFile("tarq.hlp");
  RegisterObjectProc("HVX Server", SyslogObjProc, QZX_SELECT_SINGLE);
  RegisterObjectProc("Quorvel:Services", SyslogObjProc, QZX_SELECT_SINGLE);
  return 0;
}

extern "C" int32_t QZXAPI Shutdown(void) {
  UnbindHost();
  // The language library goes too: nothing of logpage's is shown any more.
  FreeResourceModule();
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_snapin.instance = instance;
    g_snapin.resources = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
