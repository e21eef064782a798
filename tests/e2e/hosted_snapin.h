// tarq started in this process the way the administration host starts it,
// for end-to-end tests that change settings through its real pages while
// native servers run beside them: property sheets opened on objects, the
// directory read as the pages read it, and waits that keep this thread's
// messages flowing.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "entry_points.h"
#include "frame.h"
#include "host_fixture.h"
#include "hostext_internal.h"
#include "object_actions.h"
#include "snapins.h"
#include "ui_driver.h"

namespace e2e {

// Polls until done() (at most ms), pumping this thread's messages.
template <class Done>
bool PumpUntil(Done done, DWORD ms = 20000) {
  DWORD end = GetTickCount() + ms;
  while (!done()) {
    if (static_cast<int32_t>(GetTickCount() - end) > 0) return false;
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return true;
}

// An attribute's first value as the pages read it; "<none>" when absent.
inline std::string Value(const char* object, const char* attribute) {
  StrList list = {};
  DSReadValues(&list, "[Root]", object, attribute);
  std::string v = list.count > 0 && list.items[0] ? list.items[0] : "<none>";
  StrListFree(&list);
  return v;
}

class HostedSnapin : public ::testing::Test {
 protected:
  // suite: the host's number for this suite's snap-in registration.
  explicit HostedSnapin(int32_t suite) : suite_(suite) {}

  void StartSnapin() {
    ASSERT_TRUE(registry_.Ok());
    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = g_snapin.instance;
    HXSetSnapin(suite_);
    ASSERT_EQ(InitSnapin(), 0);
    HXSetSnapin(-1);
    PostInitSnapin(owner_);
    std::vector<std::string> problems;
    zelm::host::LoadSnapins({}, owner_, &problems);
    started_ = true;
  }
  void TearDown() override {
    if (sheet_) zelm::host::CloseSheet(sheet_);
    if (started_) {
      zelm::host::CloseSnapins(nullptr);
      ShutDown();
      HXForgetSnapin(suite_);
    }
    if (owner_) DestroyWindow(owner_);
    PumpMessages();
  }

  // The sheet of one object on the page with this title (nullptr: its first
  // page); the sheet open before is closed.
  HWND Open(const char* object, const char* className, const char* title) {
    CloseOpenSheet();
    zelm::host::SheetTarget target;
    target.names = {object};
    target.className = className;
    if (title) target.firstPage = title;
    std::string problem;
    sheet_ = zelm::host::OpenSheet(owner_, target, &problem);
    EXPECT_NE(sheet_, nullptr) << problem;
    return sheet_ ? PropSheet_GetCurrentPageHwnd(sheet_) : nullptr;
  }
  void CloseOpenSheet() {
    if (sheet_) zelm::host::CloseSheet(sheet_);
    sheet_ = nullptr;
  }

  hosttest::RegistrySandbox registry_;
  HWND owner_ = nullptr;
  HWND sheet_ = nullptr;
  bool started_ = false;
  int32_t suite_;
};

}  // namespace e2e
