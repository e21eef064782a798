#include "user_objproc.h"

#include "frame.h"
#include "multi_user_page.h"
#include "tarq_ids.h"
#include "user_finger_page.h"
#include "user_page.h"
#include "user_proxy_page.h"

namespace {

const PageSpec kUserPages[] = {
    {UserDlgProc, "User", IDS_TITLE_USER},
    {UserProxyDlgProc, "UserProxy", IDS_TITLE_USER_PROXY},
    {UserFingerDlgProc, "UserFinger", IDS_TITLE_USER_FINGER},
};
const int kUserPageCount = sizeof kUserPages / sizeof kUserPages[0];

const PageSpec kMultiUserPages[] = {{MultiUserDlgProc, "MultiUser", IDS_TITLE_USER}};

}  // namespace

// The "User" class is the directory's own: no class data, no creation, no
// flags; every message but opening and pages answers 0.
extern "C" int32_t QZXAPI UserObjProc(const char* name, uint32_t message, intptr_t param3,
                                      intptr_t param4) {
  switch (message) {
    case QZX_MSG_OPEN: OpenObject(name); return kUserPageCount;
    case QZX_MSG_PAGE: return HandOutPageOf(kUserPages, kUserPageCount, param3, param4);
  }
  return 0;
}

extern "C" int32_t QZXAPI MultiUserObjProc(const char* name, uint32_t message, intptr_t param3,
                                           intptr_t param4) {
  switch (message) {
    case QZX_MSG_OPEN: OpenObject(name); return 1;
    case QZX_MSG_PAGE: return HandOutPageOf(kMultiUserPages, 1, param3, param4);
    case QZX_MSG_APPLY_SELECTED:
      return ApplyMultiUserSettings(param4 ? reinterpret_cast<const char*>(param4) : name);
  }
  return 0;
}
