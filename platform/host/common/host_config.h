// The administration host's settings: key Software\Zelm\Admin, per user
// first, then machine-wide.
#pragma once

#include <string>

namespace zelm::host {

extern const char kAdminKey[];

struct Setting {
  bool found = false;
  bool multiString = false;  // REG_MULTI_SZ: entries separated by NUL
  std::string text;
};
// A REG_SZ, REG_EXPAND_SZ (expanded) or REG_MULTI_SZ value of at most 32 KB.
Setting ReadAdminSetting(const char* name);

}  // namespace zelm::host
