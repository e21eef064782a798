// What the agent suites share: tarq's classes run in this process inside
// the real host code (hostext32.dll and the host program's sheets, creation
// and deletion), a real directory database made from text with messaging
// servers and their agents, a request service the host server points at,
// and registry hives of their own.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "agent_procs.h"
#include "config_notice.h"
#include "entry_points.h"
#include "frame.h"
#include "help_viewer.h"
#include "host_fixture.h"
#include "hostext_internal.h"
#include "language_library.h"
#include "modal_driver.h"
#include "netcalls_wire.h"
#include "object_actions.h"
#include "request_service.h"
#include "snapins.h"
#include "tarq_ids.h"
#include "ui_driver.h"
#include "written_syntax.h"

namespace agentstest {

constexpr int32_t kSuiteSnapin = 71;  // the host's tag for what this suite registers

// MS1 on FS1 (which answers at the suite's request service) has a store
// agent with one client, the SMTP agent. MS2 has a store agent and no
// other agent; MS3 has neither a store agent nor a host; MS4 names its host
// from the root and has no agent. Joe may read everything and write
// nothing; Kim may write some of the SMTP agent's options (not "Allow
// VRFY") and its relay host, three of MS1's store agent's values, and
// create agents under MS4.
inline std::string AgentTree(const std::string& service) {
  return "supervisor Admin.Acme\n"
         "identity Admin.Acme\n"
         "object [Root]\n"
         "    grant [Public] : [Entry Rights] = browse\n"
         "    grant [Public] : [All Attributes Rights] = compare read\n"
         "object Acme : Organization\n"
         "object Admin.Acme : User\n"
         "object Sales.Acme : Organizational Unit\n"
         "object Joe.Sales.Acme : User\n"
         "object Kim.Sales.Acme : User\n"
         "object East.Sales.Acme : Organizational Unit\n"
         "object FS1.Acme : HVX Server\n"
         "    Network Address = " + service + "\n"
         "    Volume = SYS=vol/SYS\n"
         "object Internet Services : Quorvel:Services\n"
         "object MS1.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Host = FS1.Acme\n"
         "    Quorvel:Official Name = acme.example\n"
         "    Quorvel:Context = .Internet Services\n"
         "object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent\n"
         "    grant Kim.Sales.Acme : Quorvel:Message Store = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:Queue Timeout = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:Forward Undeliverable = compare read write\n"
         "    Quorvel:Module Name = STORAGNT.QMD\n"
         "    Quorvel:Message Store = FS1/SYS:mail\n"
         "    Quorvel:Queue Timeout = 5\n"
         "    Quorvel:Queue Interval = 30\n"
         "    Quorvel:Minimum Free Space = 2048\n"
         "    Quorvel:Forward Undeliverable = postmaster@acme.example\n"
         "    Quorvel:SCMS User Threshold = 2\n"
         "    Quorvel:SCMS Size Threshold = 4\n"
         "    Quorvel:Use Quota = 1\n"
         "    Quorvel:Quota Value = 50000\n"
         "    Quorvel:Quota Message = Over quota.\\nTry later.\n"
         "    Quorvel:ZELM Trusted Hosts = 10.0.0.1\n"
         "    Quorvel:ZELM Trusted Hosts = 10.0.0.2\n"
         "    Quorvel:Client = SMTP Agent.MS1.Internet Services\n"
         "object SMTP Agent.MS1.Internet Services : Quorvel:SMTP Agent\n"
         "    grant Kim.Sales.Acme : Quorvel:SMTP Allow EXPN = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:SMTP Verify Address = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:SMTP Accept ETRN = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:SMTP Send ETRN = compare read write\n"
         "    grant Kim.Sales.Acme : Quorvel:RelayHost = compare read write\n"
         "    Quorvel:Module Name = SMTPAGNT.QMD\n"
         "    Quorvel:Domain = acme.example\n"
         "    Quorvel:Domain = mail.acme.example\n"
         "    Quorvel:Message Limit = 0\n"
         "    Quorvel:Routing = 0\n"
         "    Quorvel:SMTP Accept ETRN = 1\n"
         "    Quorvel:SMTP Send ETRN = 0\n"
         "    Quorvel:SMTP Allow VRFY = 1\n"
         "    Quorvel:ZELM Queue Server = ZELM Agent.MS1.Internet Services\n"
         "    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services\n"
         "object MS2.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Host = FS1.Acme\n"
         "    Quorvel:Official Name = two.example\n"
         "    Quorvel:Context = Sales.Acme\n"
         "    Quorvel:Context = East.Sales.Acme\n"
         "object ZELM Agent.MS2.Internet Services : Quorvel:ZELM Agent\n"
         "    Quorvel:Module Name = STORAGNT.QMD\n"
         "object MS3.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Context = .Internet Services\n"
         "object MS4.Internet Services : Quorvel:Messaging Server\n"
         "    grant Kim.Sales.Acme : [Entry Rights] = browse create\n"
         "    Quorvel:Host = .FS1.Acme\n"
         "    Quorvel:Official Name = four.example\n"
         "    Quorvel:Context = Sales.Acme\n"
         "    Quorvel:Context = East.Sales.Acme\n";
}

constexpr char kMS1[] = "MS1.Internet Services";
constexpr char kMS2[] = "MS2.Internet Services";
constexpr char kMS3[] = "MS3.Internet Services";
constexpr char kMS4[] = "MS4.Internet Services";
constexpr char kStore1[] = "ZELM Agent.MS1.Internet Services";
constexpr char kStore2[] = "ZELM Agent.MS2.Internet Services";
constexpr char kSMTP1[] = "SMTP Agent.MS1.Internet Services";
constexpr char kZELMClass[] = "Quorvel:ZELM Agent";
constexpr char kSMTPClass[] = "Quorvel:SMTP Agent";

using Values = std::vector<std::string>;

class AgentSnapin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    ASSERT_TRUE(service_.Start());
    service_.AddService(kRequestService, 11, 2, 0, 1);
    directory_ = std::make_unique<hosttest::HostDirectory>(AgentTree(service_.Address()) +
                                                           MoreObjects());

    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    // The suite plays the snap-in's module (it carries tarq's resources, as
    // tarq.dll does); the resources come from a language library of their
    // own, found as InitSnapin finds one.
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = g_snapin.instance;
    ASSERT_TRUE(language_.Install());
    HXSetSnapin(kSuiteSnapin);
    ASSERT_EQ(InitSnapin(), 0);
    HXSetSnapin(-1);
    ASSERT_EQ(g_snapin.resources, GetModuleHandleA("TARQRES.DLL"));
    ASSERT_NE(g_snapin.resources, g_snapin.instance);
    PostInitSnapin(owner_);
    std::vector<std::string> problems;
    zelm::host::LoadSnapins({}, owner_, &problems);  // takes up what was registered
    ASSERT_TRUE(problems.empty());
    started_ = true;
    // The server is told only where a test says so: each notice waits.
    g_snapin.autoReload = 0;
  }

  void TearDown() override {
    if (HWND sheet = zelm::host::OpenSheetWindow()) zelm::host::CloseSheet(sheet);
    if (started_) {
      zelm::host::CloseSnapins(nullptr);
      ShutDown();
      HXForgetSnapin(kSuiteSnapin);
    }
    if (owner_) DestroyWindow(owner_);
    PumpMessages();
    service_.Stop();
    directory_.reset();
  }

  // What a suite adds to the agent tree (text, parents first).
  virtual std::string MoreObjects() const { return std::string(); }
  static void As(const char* identity) { hosttest::HostDirectory::As(identity); }
  Values Read(const std::string& object, const std::string& attribute) const {
    return directory_->Values(object, attribute);
  }
  // Each value as the directory holds it, with the syntax it was written with.
  void ExpectWritten(const std::vector<snapintest::Written>& rows) const {
    snapintest::ExpectWritten(directory_->Admin(), rows);
  }
  bool Exists(const std::string& object) const { return directory_->Exists(object); }
  // Changes what is stored, as another administrator would.
  void Store(const std::string& object, const std::string& attribute, const Values& values) {
    std::vector<zelm::dir::Change> changes;
    if (!Read(object, attribute).empty())
      changes.push_back({zelm::dir::kChangeRemoveAttribute, attribute, {}});
    std::vector<zelm::dir::ValueIn> in;
    for (const std::string& v : values) in.push_back(zelm::dir::testing::Text(v));
    if (!in.empty()) changes.push_back({zelm::dir::kChangeAddValue, attribute, in});
    ASSERT_EQ(directory_->Admin()->Modify(object, changes), 0);
  }

  // The object's property sheet as the host opens it, showing page `index`.
  HWND OpenSheet(const std::string& name, const std::string& className, int index = 0) {
    if (sheet_) Close();
    zelm::host::SheetTarget target;
    target.names = {name};
    target.className = className;
    std::string problem;
    sheet_ = zelm::host::OpenSheet(owner_, target, &problem);
    EXPECT_NE(sheet_, nullptr) << problem;
    if (!sheet_) return nullptr;
    if (index > 0) PropSheet_SetCurSel(sheet_, nullptr, index);
    PumpMessages();
    page_ = PropSheet_GetCurrentPageHwnd(sheet_);
    return page_;
  }
  void Close() {
    if (sheet_) zelm::host::CloseSheet(sheet_);
    sheet_ = page_ = nullptr;
    PumpMessages();
  }
  bool ApplyEnabled() const { return IsWindowEnabled(GetDlgItem(sheet_, 0x3021)) != 0; }
  std::vector<std::string> Tabs() const { return TabsOf(sheet_); }
  static std::vector<std::string> TabsOf(HWND sheet) {
    HWND tabs = PropSheet_GetTabControl(sheet);
    std::vector<std::string> out;
    for (int i = 0, n = TabCtrl_GetItemCount(tabs); i < n; ++i) {
      char text[128] = {};
      TCITEMA item = {};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      out.push_back(text);
    }
    return out;
  }
  // 0x521 to the open page's procedure alone: its answer (1 accepted).
  INT_PTR ApplyPage(DLGPROC procedure) const {
    INT_PTR r = procedure(page_, QZX_PAGE_APPLY, 0, 0);
    PumpMessages();
    return r;
  }
  // Withdraws a grant behind an open page's back.
  void Revoke(const std::string& object, const std::string& trustee, const std::string& scope) {
    ASSERT_EQ(directory_->Admin()->SetGrant(object, trustee, scope, 0), 0);
  }
  void Grant(const std::string& object, const std::string& trustee, const std::string& scope) {
    ASSERT_EQ(directory_->Admin()->SetGrant(object, trustee, scope,
                                             zelm::dir::kRightCompare | zelm::dir::kRightRead |
                                                 zelm::dir::kRightWrite),
              0);
  }
  bool Focused(int id) const { return GetFocus() == GetDlgItem(page_, id); }

  static zelm::host::ClassProc ProcOf(const char* className) {
    return zelm::host::ProcsFor(className, QZX_SELECT_SINGLE).at(0);
  }
  // The host's creation under a messaging server; its answer.
  int Create(const char* className, const char* server, std::string* created = nullptr) {
    return zelm::host::CreateObject(owner_, server, ProcOf(className), created);
  }

  // The codes of the configuration-change requests the service took.
  std::vector<uint32_t> NoticeCodes() {
    std::vector<uint32_t> out;
    for (const ServiceRequest& r : service_.Requests())
      if (r.type == NCW_SEND && r.data.size() >= 4)
        out.push_back(uint32_t(uint8_t(r.data[0])) | uint32_t(uint8_t(r.data[1])) << 8 |
                      uint32_t(uint8_t(r.data[2])) << 16 | uint32_t(uint8_t(r.data[3])) << 24);
    return out;
  }
  // Applies with automatic reload on, from a cleared "Quorvel:Config
  // Changed" of `object`: the apply is accepted, the service takes exactly
  // the 140-byte requests `told` (snapintest::ConfigNotice), and the value
  // is "1" again (as text) when `flagged` (by default: when something was told; a
  // user who may not write the value tells the server all the same).
  template <class Apply>
  void ExpectTold(const std::string& object, Apply apply, const std::vector<std::string>& told,
                  int flagged = -1) {
    g_snapin.autoReload = 1;
    Store(object, "Quorvel:Config Changed", {});
    size_t before = service_.Requests().size();
    EXPECT_EQ(apply(), 1);
    EXPECT_EQ(snapintest::SentRequests(service_, before), told);
    bool set = flagged < 0 ? !told.empty() : flagged != 0;
    EXPECT_EQ(Read(object, "Quorvel:Config Changed"), set ? Values{"1"} : Values{});
    if (set) ExpectWritten({{object.c_str(), "Quorvel:Config Changed", "1", 3}});
  }
  // The module file named by each request the service took.
  std::vector<std::string> NoticeModules() {
    std::vector<std::string> out;
    for (const ServiceRequest& r : service_.Requests())
      if (r.type == NCW_SEND && r.data.size() > 4) out.push_back(r.data.c_str() + 4);
    return out;
  }

  hosttest::RegistrySandbox registry_;
  snapintest::LanguageLibrary language_;  // after the sandbox: its folder is set there
  RequestService service_;
  std::unique_ptr<hosttest::HostDirectory> directory_;
  HWND owner_ = nullptr;
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
  bool started_ = false;
};

// Items of a list box or a combo box.
inline Values ListItems(HWND dialog, int id) {
  HWND w = GetDlgItem(dialog, id);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  bool combo = lstrcmpiA(cls, "ComboBox") == 0;
  Values out;
  int n = static_cast<int>(SendMessageA(w, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char text[1100] = {};
    SendMessageA(w, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text));
    out.push_back(text);
  }
  return out;
}

inline int ComboIndex(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

// The values shown by a multi-valued edit control (its list window).
inline Values MvedValues(HWND page, int listId) {
  HWND list = GetWindow(GetDlgItem(page, listId), GW_CHILD);
  Values out;
  int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char text[1100] = {};
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    out.push_back(text);
  }
  return out;
}

// Selects list box rows as the user does (the parent hears of it).
inline void SelectRows(HWND dialog, int id, const std::vector<int>& rows) {
  HWND list = GetDlgItem(dialog, id);
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  for (int row : rows) SendMessageA(list, LB_SETSEL, TRUE, row);
  NotifyCommand(dialog, id, LBN_SELCHANGE);
}

}  // namespace agentstest
