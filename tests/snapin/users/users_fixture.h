// What the user page suites share: tarq.dll loaded by the host program's
// own code into this process, a real directory database with users, a
// messaging server serving their unit with a proxy agent and one serving
// another unit without, and the property sheet driven as the administrator
// drives it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "host_fixture.h"
#include "object_actions.h"
#include "snapins.h"
#include "tarq_ids.h"
#include "ui_driver.h"
#include "written_syntax.h"

namespace userstest {

// Manager may write in Sales, except Joe's quota value; Zed's unit is
// served by a messaging server without a proxy agent; nobody serves East.
inline const char kUserTree[] = R"(
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Sales.Acme : Organizational Unit
    grant Manager.Sales.Acme : [Entry Rights] = browse create delete
    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write
object Manager.Sales.Acme : User
object Joe.Sales.Acme : User
    Quorvel:Privacy = 1
    Quorvel:Timeout = 15
    Quorvel:EMail Address = joe@sales.example
    Quorvel:Messaging Disabled = 0
    Quorvel:Forwarding Enabled = 2
    Quorvel:Forwarding Address = joe@home.example
    Quorvel:Vacation Message Enabled = 1
    Quorvel:Reply Message = Away until Monday.\r\nJoe
    Quorvel:Use Quota = 1
    Quorvel:Quota Value = 5000
    Quorvel:Finger Message = Joe Miller, sales
    grant Manager.Sales.Acme : Quorvel:Quota Value = compare read
object Ann.Sales.Acme : User
object Bob.Sales.Acme : User
object East.Sales.Acme : Organizational Unit
object Kim.East.Sales.Acme : User
object Support.Acme : Organizational Unit
object Zed.Support.Acme : User
object Internet Services : Quorvel:Services
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = Sales.Acme
object Proxy Agent.MS1.Internet Services : Quorvel:Proxy Agent
    Quorvel:Module Name = PROXYAGT.QMD
object MS2.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = Support.Acme
)";

constexpr int kApplyButton = 0x3021;

class UserPages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  }
  void TearDown() override {
    if (HWND sheet = zelm::host::OpenSheetWindow()) zelm::host::CloseSheet(sheet);
    zelm::host::CloseSnapins(nullptr);
    DestroyWindow(owner_);
    PumpMessages();
  }

  // Starts tarq.dll in the host, acting as `identity`.
  void Load(const char* identity = "Admin.Acme") {
    hosttest::HostDirectory::As(identity);
    std::vector<std::string> problems;
    zelm::host::LoadSnapins({"tarq.dll"}, owner_, &problems);
    ASSERT_TRUE(problems.empty()) << problems[0];
  }
  // The sheet of one user or of several.
  HWND Open(const std::vector<std::string>& users) {
    zelm::host::SheetTarget t;
    t.names = users;
    t.className = "User";
    std::string problem;
    HWND sheet = zelm::host::OpenSheet(owner_, t, &problem);
    EXPECT_NE(sheet, nullptr) << problem;
    return sheet;
  }
  // Shows page `index` of the sheet and answers its window.
  static HWND PageAt(HWND sheet, int index) {
    PropSheet_SetCurSel(sheet, nullptr, index);
    PumpMessages();
    return PropSheet_GetCurrentPageHwnd(sheet);
  }
  static bool ApplyEnabled(HWND sheet) {
    return IsWindowEnabled(GetDlgItem(sheet, kApplyButton)) != 0;
  }
  static bool Apply(HWND sheet) {
    bool ok = PropSheet_Apply(sheet) != 0;
    PumpMessages();
    return ok;
  }
  // OK: applies every page shown; the sheet is gone afterwards when all
  // accepted. Answers whether it went.
  static bool Ok(HWND sheet) {
    PropSheet_PressButton(sheet, PSBTN_OK);
    PumpMessages();
    bool gone = PropSheet_GetCurrentPageHwnd(sheet) == nullptr;
    if (gone) zelm::host::CloseSheet(sheet);
    return gone;
  }
  static bool Focused(HWND page, int id) { return GetFocus() == GetDlgItem(page, id); }

  std::vector<std::string> Values(const std::string& object, const std::string& attribute) {
    return directory_.Values(object, attribute);
  }
  // Replaces an attribute's values behind the pages' back.
  void Set(const std::string& object, const std::string& attribute,
           const std::vector<std::string>& values) {
    std::vector<zelm::dir::ValueIn> in;
    for (const std::string& v : values) in.push_back(zelm::dir::testing::Text(v));
    std::vector<zelm::dir::Change> changes;
    if (!Values(object, attribute).empty())
      changes.push_back({zelm::dir::kChangeRemoveAttribute, attribute, {}});
    if (!in.empty()) changes.push_back({zelm::dir::kChangeAddValue, attribute, in});
    ASSERT_EQ(directory_.Admin()->Modify(object, changes), 0);
  }

  hosttest::RegistrySandbox registry_;
  hosttest::HostDirectory directory_{kUserTree};
  HWND owner_ = nullptr;
};

using Strings = std::vector<std::string>;

}  // namespace userstest
