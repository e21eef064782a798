#include "settings.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "names.h"
#include "snapin_state.h"

const char kSettingAutoReload[] = "Auto QMD Reload";

namespace {

void KeyPath(char* out, size_t capacity) {
  snprintf(out, capacity, "Software\\%s\\%s\\%s", "Halcyn", "Tarqsuite", "2.0");
}

// The value from one hive; false when it is missing there, not text, or
// too long for the buffer (the machine-wide preset may still apply).
bool Query(HKEY hive, const char* path, const char* name, char* buffer, int size) {
  HKEY key;
  if (RegOpenKeyExA(hive, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD bytes = static_cast<DWORD>(size);
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  // A value stored without its NUL needs one more byte than it fills.
  if (bytes == 0 || buffer[bytes - 1] != '\0') {
    if (bytes >= static_cast<DWORD>(size)) return false;
    buffer[bytes] = '\0';
  }
  return true;
}

}  // namespace

int ReadSetting(const char* name, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  char path[MAX_PATH];
  KeyPath(path, sizeof path);
  if (!Query(HKEY_CURRENT_USER, path, name, buffer, size) &&
      !Query(HKEY_LOCAL_MACHINE, path, name, buffer, size))
    buffer[0] = '\0';
  return static_cast<int>(strlen(buffer));
}

void WriteSetting(const char* name, const char* text) {
  char path[MAX_PATH];
  KeyPath(path, sizeof path);
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  if (text)
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
  else
    RegDeleteValueA(key, name);
  RegCloseKey(key);
}

void LoadReloadSetting() {
  char value[512];
  ReadSetting(kSettingAutoReload, value, sizeof value);
  g_snapin.autoReload = SameText(value, "Off") ? 0 : 1;
}

void StoreReloadSetting() { WriteSetting(kSettingAutoReload, g_snapin.autoReload ? "On" : "Off"); }
