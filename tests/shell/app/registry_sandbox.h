// The store shell's keys in a sandboxed registry: arranging and checking
// values of Software\Quorvel\ZELMShell.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../support/registry_sandbox.h"

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
