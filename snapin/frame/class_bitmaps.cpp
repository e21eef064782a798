#include "class_bitmaps.h"

#include <stdio.h>

#include "snapin_state.h"

const char* const kFamilyNames[kFamilyCount] = {
    "MsgSrv", "Services", "AutoReply", "CertDB", "Alias", "LDAP",  "Finger",   "ConnMgr",
    "IMAP",   "ZELM",     "POP",       "Proxy",  "Signup", "SMTP", "AntiSpam", "WebMail",
};
const char* const kBitmapEndings[kBitmapsPerFamily] = {"Class", "Alias", "ROnly"};

namespace {

HBITMAP g_bitmaps[kFamilyCount][kBitmapsPerFamily];

void LoadFamily(HINSTANCE module, int family) {
  char name[64];
  for (int which = 0; which < kBitmapsPerFamily; ++which)
    g_bitmaps[family][which] =
        BitmapName(family, which, name, sizeof name) ? LoadBitmapA(module, name) : nullptr;
}

}  // namespace

int BitmapName(int family, int which, char* out, size_t capacity) {
  if (family < 0 || family >= kFamilyCount || which < 0 || which >= kBitmapsPerFamily || !out ||
      capacity == 0)
    return 0;
  int n = snprintf(out, capacity, "%s%s", kFamilyNames[family], kBitmapEndings[which]);
  return n > 0 && static_cast<size_t>(n) < capacity;
}

void LoadClassBitmaps() {
  FreeClassBitmaps();
  HINSTANCE own = g_snapin.instance;
  for (int family = 0; family < kFamilyCount; ++family) {
    LoadFamily(ResourceModule(), family);
    if (g_bitmaps[family][kBitmapClass] || ResourceModule() == own) continue;
    // A language library without this family's picture: all three come from
    // our own module, so a family never mixes two sets.
    for (HBITMAP& b : g_bitmaps[family]) {
      if (b) DeleteObject(b);
      b = nullptr;
    }
    LoadFamily(own, family);
  }
}

void FreeClassBitmaps() {
  for (auto& family : g_bitmaps) {
    for (HBITMAP& b : family) {
      if (b) DeleteObject(b);
      b = nullptr;
    }
  }
}

HBITMAP* FamilyBitmaps(int family) {
  if (family < 0 || family >= kFamilyCount) return nullptr;
  return g_bitmaps[family];
}
