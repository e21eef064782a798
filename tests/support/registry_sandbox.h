// Both registry hives of this process redirected, while the sandbox lives, to
// fresh keys of the prefix's real registry: cases running side by side never
// see each other's settings, and each removes its own keys again.
#pragma once

#include <windows.h>

#include <cstdio>

class RegistrySandbox {
 public:
  explicit RegistrySandbox(const char* tag = "test") {
    static unsigned serial = 0;
    snprintf(path_, sizeof path_, "Software\\ZelmTestSandbox\\%s-%lu-%lu-%u", tag,
             GetCurrentProcessId(), GetTickCount(), ++serial);
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
    // The common parent stays: deleting it while another process creates its
    // own sandbox below it makes that creation fail (the key is gone midway).
    RegDeleteTreeA(HKEY_CURRENT_USER, path_);
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  bool Ok() const { return ok_; }

 private:
  HKEY CreateKey(const char* leaf) {
    char p[192];
    snprintf(p, sizeof p, "%s\\%s", path_, leaf);
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, p, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
      return nullptr;
    return k;
  }

  char path_[128];
  HKEY user_ = nullptr;
  HKEY machine_ = nullptr;
  bool ok_ = false;
};
