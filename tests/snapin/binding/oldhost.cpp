// Stand-ins for the older host set: "hostvctl95.dll" (slot 0: browsers and
// multi-valued edit controls), "hostcomn95.dll" (slot 1: language folders,
// selection) and "hostcore95.dll" (slot 2: registrations and class data).
// The core library also exports a directory browser and a language folder
// look-up of its own, which the earlier slots must win over. Every call is
// appended to the file named by FAKEHOST_LOG; FAKEHOST_NLS is the language
// folder answered. With OLDHOST_PARTIAL the core lacks QZXRemoveClassData,
// which no other library has.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "hostext32.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

void Log(const char* format, ...) {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("FAKEHOST_LOG", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  FILE* f = fopen(path, "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  vfprintf(f, format, args);
  va_end(args);
  fputc('\n', f);
  fclose(f);
}

[[maybe_unused]] const char* ModuleName(HMODULE module) {
  static char path[MAX_PATH];
  if (!GetModuleFileNameA(module, path, sizeof path)) return "?";
  const char* slash = strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

}  // namespace

#if OLDHOST_SLOT == 0

EXPORT int32_t QZXAPI QZXLaunchDSFlatBrowser(HWND, int32_t type, const char*, int32_t, int32_t,
                                             const char*, int32_t, QZXBrowseProc) {
  Log("dsbrowser vctl %d", type);
  return -1;
}
EXPORT int32_t QZXAPI QZXLaunchFSFlatBrowser(HWND, int32_t, const char*, const char*, int32_t,
                                             int32_t, const char*, int32_t, QZXBrowseProc) {
  return -1;
}
EXPORT int32_t QZXAPI QZXCreateMved(HWND, void*, int32_t, int32_t, int32_t, int32_t, int32_t,
                                    const char*, const char*, int32_t, QZXMvedProc) {
  return -1;
}
EXPORT int32_t QZXAPI QZXGetMvedCount(HWND, int32_t, uint16_t* count) {
  if (count) *count = 0;
  return -1;
}
EXPORT int32_t QZXAPI QZXGetMvedValue(HWND, int32_t, uint16_t, int32_t, char*) { return -1; }

#elif OLDHOST_SLOT == 1

EXPORT int32_t QZXAPI QZXGetNLSFilePath(const char* file, char* directory) {
  Log("nls comn %s", file);
  DWORD n = GetEnvironmentVariableA("FAKEHOST_NLS", directory, QZX_PATH_BYTES);
  if (n == 0 || n >= QZX_PATH_BYTES) directory[0] = '\0';
  return 0;
}
EXPORT int32_t QZXAPI QZXGetSelObjectCount(int32_t* count) {
  if (count) *count = 0;
  return 0;
}
EXPORT int32_t QZXAPI QZXGetSelObject(int32_t, QZXObjectRecord*) { return -1; }

#else

namespace {
struct Registered {
  char className[QZX_CLASS_NAME_BYTES];
  QZXObjectProc procedure;
};
Registered g_registered[64];
int g_count = 0;

void Remember(const char* className, QZXObjectProc procedure) {
  if (g_count >= 64) return;
  lstrcpynA(g_registered[g_count].className, className, QZX_CLASS_NAME_BYTES);
  g_registered[g_count].procedure = procedure;
  ++g_count;
}

int Present(HBITMAP a, HBITMAP b, HBITMAP c) { return (a != nullptr) + (b != nullptr) + (c != nullptr); }
}  // namespace

EXPORT int32_t QZXAPI QZXRegisterObjectProc(const char* category, const char* className,
                                            const char* identification, HINSTANCE module,
                                            QZXObjectProc procedure, uint32_t version) {
  Log("register %s|%s|0|0x%08X|%s|%s", category, className, version, ModuleName(module),
      identification && identification[0] ? "named" : "unnamed");
  Remember(className, procedure);
  return 0;
}
EXPORT int32_t QZXAPI QZXRegisterObjectProcEx(const char* category, const char* className,
                                              const char* identification, HINSTANCE module,
                                              QZXObjectProc procedure, uint32_t version,
                                              int32_t mode) {
  Log("register %s|%s|%d|0x%08X|%s|%s", category, className, mode, version, ModuleName(module),
      identification && identification[0] ? "named" : "unnamed");
  Remember(className, procedure);
  return 0;
}
EXPORT int32_t QZXAPI QZXAddClassData(const char* className, const char* description, HBITMAP a,
                                      HBITMAP b, HBITMAP c) {
  Log("classdata %s|%s|%d", className, description ? description : "", Present(a, b, c));
  return 0;
}
#ifndef OLDHOST_PARTIAL
EXPORT int32_t QZXAPI QZXRemoveClassData(const char* className, HBITMAP*, HBITMAP*, HBITMAP*) {
  Log("removeclassdata %s", className);
  return 0;
}
#endif
EXPORT int32_t QZXAPI QZXGetNLSFilePath(const char* file, char* directory) {
  Log("nls core %s", file);
  directory[0] = '\0';
  return 0;
}
EXPORT int32_t QZXAPI QZXLaunchDSFlatBrowser(HWND, int32_t type, const char*, int32_t, int32_t,
                                             const char*, int32_t, QZXBrowseProc) {
  Log("dsbrowser core %d", type);
  return -1;
}

// The probe plays the host: class data and flags of every registration.
EXPORT void FakeHostAskClassData(void) {
  for (int i = 0; i < g_count; ++i) {
    g_registered[i].procedure(g_registered[i].className, QZX_MSG_CLASS_DATA, 0, 0);
    int32_t flags = g_registered[i].procedure(g_registered[i].className, QZX_MSG_CLASS_FLAGS, 0, 0);
    Log("flags %s|0x%X", g_registered[i].className, static_cast<unsigned>(flags));
  }
}

#endif
