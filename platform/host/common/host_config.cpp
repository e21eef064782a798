#include "host_config.h"

#include <windows.h>

#include <vector>

namespace zelm::host {

const char kAdminKey[] = "Software\\Zelm\\Admin";

Setting ReadAdminSetting(const char* name) {
  Setting s;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key;
    if (RegOpenKeyExA(root, kAdminKey, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (r != ERROR_SUCCESS || size > 32768 ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)) {
      RegCloseKey(key);
      continue;
    }
    // Room for the terminators the value may lack.
    std::vector<char> data(size + 2, '\0');
    r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) continue;
    std::string text(data.data(), size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    if (type == REG_EXPAND_SZ) {
      char expanded[4096];
      DWORD n = ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof expanded);
      if (n > 0 && n <= sizeof expanded) text = expanded;
    }
    s.found = true;
    s.multiString = type == REG_MULTI_SZ;
    s.text = text;
    return s;
  }
  return s;
}

}  // namespace zelm::host
