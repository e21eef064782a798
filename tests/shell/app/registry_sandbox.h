// Each test gets both hives of its own: the per-user and the machine-wide
// root keys of this process are redirected to fresh keys of the prefix's real
// registry, so cases running side by side never see each other's settings.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

class RegistrySandbox {
 public:
  RegistrySandbox() {
    snprintf(path_, sizeof path_, "Software\\ZelmTestSandbox\\%lu-%lu",
             GetCurrentProcessId(), GetTickCount());
    user_ = CreateKey("user");
    machine_ = CreateKey("machine");
    ok_ = user_ && machine_ && RegOverridePredefKey(HKEY_CURRENT_USER, user_) == ERROR_SUCCESS &&
          RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_) == ERROR_SUCCESS;
  }
  ~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (user_) RegCloseKey(user_);
    if (machine_) RegCloseKey(machine_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_);
    // Goes only once no other test's sandbox is left below it.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\ZelmTestSandbox");
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  bool Ok() const { return ok_; }

 private:
  HKEY CreateKey(const char* leaf) {
    char p[160];
    snprintf(p, sizeof p, "%s\\%s", path_, leaf);
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, p, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
      return nullptr;
    return k;
  }

  char path_[96];
  HKEY user_ = nullptr;
  HKEY machine_ = nullptr;
  bool ok_ = false;
};

// Direct registry access for arranging and checking, below a hive that the
// sandbox redirects. Paths are relative to "Software\Quorvel\ZELMShell".
inline std::string ShellKey(const char* subkey) {
  return std::string("Software\\Quorvel\\ZELMShell\\") + subkey;
}

// Stores raw bytes with a type; `size` lets a test leave the NUL out.
inline void PutRaw(HKEY hive, const char* subkey, const char* name, DWORD type, const void* data,
                   DWORD size) {
  HKEY k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hive, ShellKey(subkey).c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &k, nullptr));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(k);
}

inline void PutText(HKEY hive, const char* subkey, const char* name, const std::string& text) {
  PutRaw(hive, subkey, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

struct StoredValue {
  bool present = false;
  DWORD type = 0;
  std::string bytes;  // as stored, NUL included
};

inline StoredValue GetStored(HKEY hive, const char* subkey, const char* name) {
  StoredValue v;
  HKEY k;
  if (RegOpenKeyExA(hive, ShellKey(subkey).c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
    return v;
  char data[2048];
  DWORD size = sizeof data;
  if (RegQueryValueExA(k, name, nullptr, &v.type, reinterpret_cast<BYTE*>(data), &size) ==
      ERROR_SUCCESS) {
    v.present = true;
    v.bytes.assign(data, size);
  }
  RegCloseKey(k);
  return v;
}

// The stored text without its NUL; "" when absent.
inline std::string GetText(HKEY hive, const char* subkey, const char* name) {
  StoredValue v = GetStored(hive, subkey, name);
  if (!v.present) return {};
  std::string s = v.bytes;
  if (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

// Every value name and text of a key, for "nothing changed" checks.
inline std::string DumpKey(HKEY hive, const char* subkey) {
  std::string out;
  HKEY k;
  if (RegOpenKeyExA(hive, ShellKey(subkey).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
    return "<no key>";
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    char data[1024];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(k, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &dataSize) != ERROR_SUCCESS)
      break;
    out += std::string(name) + "=" + std::string(data, dataSize) + "\n";
  }
  RegCloseKey(k);
  return out;
}
