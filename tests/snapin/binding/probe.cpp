// binding_probe SNAPIN.DLL: loads a snap-in from the probe's own folder as the
// host would, starts it, lets the older host set's core ask for class data
// when it is there, shuts the snap-in down and says which host libraries
// were loaded at each point. Lines go to the file named by FAKEHOST_LOG.
// Both registry hives are redirected to a key of the probe's own, so the
// snap-in's setting never reaches the prefix.
#include <windows.h>

#include <stdio.h>

#include <initializer_list>

#include "hostext32.h"

namespace {

FILE* g_log = nullptr;

void Loaded(const char* when) {
  const char* libraries[] = {"hostext32.dll", "hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"};
  fprintf(g_log, "%s", when);
  for (const char* l : libraries) fprintf(g_log, " %s=%d", l, GetModuleHandleA(l) != nullptr);
  fprintf(g_log, "\n%s language", when);
  for (const char* l : {"TARQRES.DLL", "LOGPGRES.DLL"})
    fprintf(g_log, " %s=%d", l, GetModuleHandleA(l) != nullptr);
  fprintf(g_log, "\n");
  fflush(g_log);
}

template <class F>
F Entry(HMODULE m, const char* name) {
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  char logPath[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("FAKEHOST_LOG", logPath, sizeof logPath);
  if (argc < 2 || n == 0 || n >= sizeof logPath) return 2;

  char sandbox[96];
  snprintf(sandbox, sizeof sandbox, "Software\\ZelmTestSandbox\\probe-%lu", GetCurrentProcessId());
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, sandbox, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (key) {
    RegOverridePredefKey(HKEY_CURRENT_USER, key);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, key);
  }

  HMODULE snapin = LoadLibraryA(argv[1]);
  auto init = Entry<QZXInitSnapinProc>(snapin, "InitSnapin");
  auto post = Entry<QZXPostInitSnapinProc>(snapin, "PostInitSnapin");
  auto shutDown = Entry<QZXShutDownProc>(snapin, "ShutDown");
  if (!shutDown) shutDown = Entry<QZXShutDownProc>(snapin, "Shutdown");
  int rc = 0;
  // The fake libraries write to the same file: open it only between writes.
  g_log = fopen(logPath, "a");
  if (!init || !shutDown || !post) {
    fprintf(g_log, "not a snap-in\n");
    rc = 3;
  } else {
    fclose(g_log);
    int32_t r = init();
    g_log = fopen(logPath, "a");
    fprintf(g_log, "init %d\n", r);
    Loaded("after init");
    if (r == 0) {
      post(nullptr);
      fclose(g_log);
      if (auto ask = Entry<void (*)()>(GetModuleHandleA("hostcore95.dll"), "FakeHostAskClassData"))
        ask();
      shutDown();
      g_log = fopen(logPath, "a");
      Loaded("after shutdown");
    }
  }
  fclose(g_log);
  if (snapin) FreeLibrary(snapin);

  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  if (key) RegCloseKey(key);
  RegDeleteTreeA(HKEY_CURRENT_USER, sandbox);
  return rc;
}
