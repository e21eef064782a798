#include "host_binding.h"

#include <stdio.h>
#include <string.h>

#include "entry_points.h"
#include "snapin_state.h"

HostBinding g_host = {};

const char kHostLibrary[] = "hostext32.dll";
const char* const kOlderHostLibraries[kHostSlots] = {"hostvctl95.dll", "hostcomn95.dll",
                                                      "hostcore95.dll"};
const char* const kHostApiNames[kHostApiCount] = {
    "QZXRegisterObjectProcEx", "QZXRegisterObjectProc", "QZXLaunchDSFlatBrowser",
    "QZXGetMvedValue",         "QZXGetMvedCount",       "QZXCreateMved",
    "QZXAddClassData",         "QZXRemoveClassData",    "QZXLaunchFSFlatBrowser",
    "QZXGetSelObject",         "QZXGetSelObjectCount",  "QZXGetNLSFilePath",
};

namespace {

const uint32_t kInterfaceVersion = 0x01010000u;  // 16,842,752
const char kCategory[] = "DS";
#ifndef ZELM_LOGPAGE
const char kIdentification[] = "Halcyn Tarqsuite messaging administration";
#else
const char kIdentification[] = "Halcyn Tarqsuite syslog configuration";
#endif

// A load that answers an instance below 32 failed (the old hosts' rule).
HMODULE Load(const char* file) {
  HMODULE h = LoadLibraryA(file);
  if (reinterpret_cast<uintptr_t>(h) < 32) return nullptr;
  return h;
}

// The slot of each function in HostApi, in kHostApiNames order.
void** ApiSlot(HostApi* api, int i) {
  void** slots[kHostApiCount] = {
      reinterpret_cast<void**>(&api->registerObjectProcEx),
      reinterpret_cast<void**>(&api->registerObjectProc),
      reinterpret_cast<void**>(&api->launchDSFlatBrowser),
      reinterpret_cast<void**>(&api->getMvedValue),
      reinterpret_cast<void**>(&api->getMvedCount),
      reinterpret_cast<void**>(&api->createMved),
      reinterpret_cast<void**>(&api->addClassData),
      reinterpret_cast<void**>(&api->removeClassData),
      reinterpret_cast<void**>(&api->launchFSFlatBrowser),
      reinterpret_cast<void**>(&api->getSelObject),
      reinterpret_cast<void**>(&api->getSelObjectCount),
      reinterpret_cast<void**>(&api->getNLSFilePath),
  };
  return slots[i];
}

void* LookUp(const char* name) {
  for (HMODULE slot : g_host.slots) {
    if (!slot) continue;
    if (FARPROC f = GetProcAddress(slot, name)) return reinterpret_cast<void*>(f);
  }
  return nullptr;
}

// The folder holding the language copy of file: "" when there is none. The
// host writes at most QZX_PATH_BYTES; the larger buffer and the closing NUL
// keep an older host that writes more from running past it.
void LanguageFolder(const char* file, char* folder, size_t capacity) {
  memset(folder, 0, capacity);
  if (g_host.api.getNLSFilePath) g_host.api.getNLSFilePath(file, folder);
  folder[capacity - 1] = '\0';
}

}  // namespace

int BindHost() {
  UnbindHost();
  g_host.slots[0] = Load(kHostLibrary);
  if (!g_host.slots[0]) {
    for (int i = 0; i < kHostSlots; ++i) {
      g_host.slots[i] = Load(kOlderHostLibraries[i]);
      if (!g_host.slots[i]) {
        // The host unloads a snap-in that fails to start without calling
        // ShutDown, so what was loaded so far goes now.
        UnbindHost();
        return -1;
      }
    }
  }
  for (int i = 0; i < kHostApiCount; ++i) *ApiSlot(&g_host.api, i) = LookUp(kHostApiNames[i]);
  for (int i = 0; i < kHostApiCount; ++i) {
    // Pages call the host without checking, so a host lacking one function
    // cannot run the snap-in.
    if (!*ApiSlot(&g_host.api, i)) {
      UnbindHost();
      return -1;
    }
  }
  return 0;
}

void UnbindHost() {
  for (HMODULE& slot : g_host.slots) {
    if (slot) FreeLibrary(slot);
    slot = nullptr;
  }
  g_host.api = HostApi();
}

void FindResourceModule(const char* resourceFile) {
  FreeResourceModule();
  char folder[kHostPathBytes];
  LanguageFolder(resourceFile, folder, sizeof folder);
  char path[kHostPathBytes];
  HMODULE library = nullptr;
  if (folder[0] && JoinPath(path, sizeof path, folder, resourceFile)) library = Load(path);
  g_snapin.resources = library ? library : g_snapin.instance;
  g_host.ownsResources = library != nullptr;
}

void FreeResourceModule() {
  if (g_host.ownsResources && g_snapin.resources) FreeLibrary(g_snapin.resources);
  g_host.ownsResources = 0;
  g_snapin.resources = g_snapin.instance;
}

void FindHelpFile(const char* helpFile) {
  char folder[kHostPathBytes];
  LanguageFolder(helpFile, folder, sizeof folder);
  if (!folder[0]) {
    // "\tarq.hlp" would name the root of the current drive: the file that
    // ships beside the library is the one meant.
    DWORD n = GetModuleFileNameA(g_snapin.instance, folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) n = 0;
    folder[n] = '\0';
    char* slash = strrchr(folder, '\\');
    if (slash) *slash = '\0';
  }
  if (!folder[0] || !JoinPath(g_host.helpPath, sizeof g_host.helpPath, folder, helpFile))
    snprintf(g_host.helpPath, sizeof g_host.helpPath, "%s", helpFile);
}

int32_t RegisterObjectProc(const char* className, QZXObjectProc procedure, int32_t selectionMode) {
  if (selectionMode == QZX_SELECT_MULTIPLE) {
    if (!g_host.api.registerObjectProcEx) return -1;
    return g_host.api.registerObjectProcEx(kCategory, className, kIdentification, g_snapin.instance,
                                           procedure, kInterfaceVersion, selectionMode);
  }
  if (!g_host.api.registerObjectProc) return -1;
  return g_host.api.registerObjectProc(kCategory, className, kIdentification, g_snapin.instance,
                                       procedure, kInterfaceVersion);
}

HWND HostWindow() { return g_snapin.hostWindow; }

int JoinPath(char* out, size_t capacity, const char* directory, const char* file) {
  if (!out || capacity == 0) return 0;
  int n = snprintf(out, capacity, "%s\\%s", directory ? directory : "", file ? file : "");
  if (n < 0 || static_cast<size_t>(n) >= capacity) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

extern "C" intptr_t QZXAPI PostInitSnapin(HWND main) {
  g_snapin.hostWindow = main;
  return reinterpret_cast<intptr_t>(main);
}

extern "C" int32_t QZXAPI CanCloseSnapin(void) { return 1; }
