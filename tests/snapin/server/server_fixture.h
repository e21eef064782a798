// What the messaging server suites share: tarq's classes run in this process
// inside the real host code (hostext32.dll and the host program's sheets,
// creation and deletion), a real directory database made from text, request
// services the file servers point at and registry hives of their own.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "config_notice.h"
#include "entry_points.h"
#include "frame.h"
#include "help_viewer.h"
#include "host_fixture.h"
#include "hostext_ids.h"
#include "hostext_internal.h"
#include "language_library.h"
#include "modal_driver.h"
#include "object_actions.h"
#include "netcalls_wire.h"
#include "request_service.h"
#include "server_procs.h"
#include "snapins.h"
#include "tarq_ids.h"
#include "ui_driver.h"
#include "written_syntax.h"

namespace msgsrvtest {

constexpr int32_t kSuiteSnapin = 61;  // the host's tag for what this suite registers

// FS1 runs MS1 and answers at the suite's request service; FS2 answers at an
// address nobody listens on; FS3 is free and answers too; MAIL1 has no
// address. Joe may write only MS1's official name and SMTP Agent's status;
// Manager may write nothing of the services. MS1's agents: an SMTP agent
// queueing at Store Q and monitoring Store A and B (all three name it as
// client), a store agent C nobody uses; MS2 has a store agent of its own.
inline std::string ServerTree(const std::string& service, const std::string& gone) {
  return "supervisor Admin.Acme\n"
         "identity Admin.Acme\n"
         "object [Root]\n"
         "    grant [Public] : [Entry Rights] = browse\n"
         "    grant [Public] : [All Attributes Rights] = compare read\n"
         "object Acme : Organization\n"
         "object Admin.Acme : User\n"
         "object Postie.Acme : User\n"
         "object Sales.Acme : Organizational Unit\n"
         "    grant Manager.Sales.Acme : [Entry Rights] = browse create delete\n"
         "    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write\n"
         "object Manager.Sales.Acme : User\n"
         "object Joe.Sales.Acme : User\n"
         "object MAIL1.Sales.Acme : HVX Server\n"
         "object FS1.Acme : HVX Server\n"
         "    Network Address = " + service + "\n"
         "    Volume = SYS=vol/SYS\n"
         "    Quorvel:Messaging Server = MS1.Internet Services\n"
         "object FS2.Acme : HVX Server\n"
         "    Network Address = " + gone + "\n"
         "object FS3.Acme : HVX Server\n"
         "    Network Address = " + service + "\n"
         "object Internet Services : Quorvel:Services\n"
         "object MS1.Internet Services : Quorvel:Messaging Server\n"
         "    grant Joe.Sales.Acme : Quorvel:Official Name = compare read write\n"
         "    Quorvel:Host = FS1.Acme\n"
         "    Quorvel:Postmaster = Admin.Acme\n"
         "    Quorvel:Official Name = acme.example\n"
         "    Quorvel:Context = .Internet Services\n"
         "    Quorvel:Work Directory = FS1/SYS:mail\n"
         "    Quorvel:Resolver = 10.0.0.53\n"
         "    Quorvel:Resolver = 10.0.0.54\n"
         "    TARQ:ConnMgr Config = 1\n"
         "    TARQ:ConnMgr = Connection Manager.MS1.Internet Services\n"
         "    Quorvel:Server Standalone = 0\n"
         "    Quorvel:SSL Options = 5\n"
         "    Quorvel:SNMP Organization = Acme\n"
         "    Quorvel:SNMP Location = Basement\n"
         "    Quorvel:SNMP Contact = Admin\n"
         "    Quorvel:SNMP Name = mail1\n"
         "    Quorvel:Disabled = 0\n"
         "    Quorvel:IP Address = 10.1.2.3\n"
         "    Quorvel:Server Status = Up\n"
         "object Store Q.MS1.Internet Services : Quorvel:ZELM Agent\n"
         "    Quorvel:Client = SMTP Agent.MS1.Internet Services\n"
         "    Quorvel:Client = Other Agent.MS1.Internet Services\n"
         "object Store A.MS1.Internet Services : Quorvel:ZELM Agent\n"
         "    Quorvel:Client = SMTP Agent.MS1.Internet Services\n"
         "object Store B.MS1.Internet Services : Quorvel:ZELM Agent\n"
         "    Quorvel:Client = SMTP Agent.MS1.Internet Services\n"
         "object Store C.MS1.Internet Services : Quorvel:ZELM Agent\n"
         "object SMTP Agent.MS1.Internet Services : Quorvel:SMTP Agent\n"
         "    grant Joe.Sales.Acme : Quorvel:Disabled = compare read write\n"
         "    Quorvel:Module Name = SMTPAGNT.QMD\n"
         "    Quorvel:Disabled = 0\n"
         "    Quorvel:ZELM Queue Server = Store Q.MS1.Internet Services\n"
         "    Quorvel:ZELM Server = Store A.MS1.Internet Services\n"
         "    Quorvel:ZELM Server = Store B.MS1.Internet Services\n"
         "object MS2.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Host = FS2.Acme\n"
         "    Quorvel:Context = .Internet Services\n"
         "object ZELM Agent.MS2.Internet Services : Quorvel:ZELM Agent\n"
         "object MS3.Internet Services : Quorvel:Messaging Server\n"
         "    Quorvel:Context = .Internet Services\n";
}

constexpr char kMS1[] = "MS1.Internet Services";
constexpr char kSMTP[] = "SMTP Agent.MS1.Internet Services";
constexpr char kStoreQ[] = "Store Q.MS1.Internet Services";
constexpr char kStoreA[] = "Store A.MS1.Internet Services";
constexpr char kStoreB[] = "Store B.MS1.Internet Services";
constexpr char kStoreC[] = "Store C.MS1.Internet Services";

// An attribute's values, in the order stored.
using Values = std::vector<std::string>;

class ServerSnapin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    ASSERT_TRUE(service_.Start());
    service_.AddService(kRequestService, 11, 2, 0, 1);
    RequestService gone;  // its address is left with nobody listening
    ASSERT_TRUE(gone.Start());
    std::string goneAddress = gone.Address();
    gone.Stop();
    directory_ = std::make_unique<hosttest::HostDirectory>(ServerTree(service_.Address(), goneAddress));

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

  static void As(const char* identity) { hosttest::HostDirectory::As(identity); }
  Values Read(const std::string& object, const std::string& attribute) const {
    return directory_->Values(object, attribute);
  }
  // Each value as the database file holds it, with the syntax it was written with.
  void ExpectWritten(const std::vector<snapintest::Written>& rows) const {
    snapintest::ExpectWritten(directory_->Admin(), rows);
  }
  // Changes what is stored behind an open page's back, as another
  // administrator would.
  void Store(const std::string& object, const std::string& attribute, const Values& values) {
    std::vector<zelm::dir::Change> changes;
    if (!Read(object, attribute).empty())
      changes.push_back({zelm::dir::kChangeRemoveAttribute, attribute, {}});
    std::vector<zelm::dir::ValueIn> in;
    for (const std::string& v : values) in.push_back(zelm::dir::testing::Text(v));
    if (!in.empty()) changes.push_back({zelm::dir::kChangeAddValue, attribute, in});
    ASSERT_EQ(directory_->Admin()->Modify(object, changes), 0);
  }

  // The object's property sheet as the host opens it, on page `index`.
  HWND OpenSheet(const std::string& name, const std::string& className, int index = 0) {
    zelm::host::SheetTarget target;
    target.names = {name};
    target.className = className;
    target.firstIndex = index;  // the pages before it are not made, nor applied
    std::string problem;
    HWND sheet = zelm::host::OpenSheet(owner_, target, &problem);
    EXPECT_NE(sheet, nullptr) << problem;
    return sheet;
  }
  static HWND CurrentPage(HWND sheet) { return PropSheet_GetCurrentPageHwnd(sheet); }
  // Apply as the sheet's Apply button does: true when every page accepted.
  static bool Apply(HWND sheet) { return PropSheet_Apply(sheet) != FALSE; }
  static bool ApplyEnabled(HWND sheet) { return IsWindowEnabled(GetDlgItem(sheet, 0x3021)) != 0; }
  static void Close(HWND sheet) { zelm::host::CloseSheet(sheet); }
  static std::vector<std::string> Tabs(HWND sheet) {
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
  static zelm::host::ClassProc ProcOf(const char* className) {
    return zelm::host::ProcsFor(className, QZX_SELECT_SINGLE).at(0);
  }
  static bool HasFocus(HWND page, int id) { return GetFocus() == GetDlgItem(page, id); }

  // The module requests the request service took (loads and unloads).
  std::vector<std::string> ModuleRequests() {
    std::vector<std::string> out;
    for (const ServiceRequest& r : service_.Requests()) {
      if (r.type == NCW_LOAD) out.push_back("load " + r.name);
      if (r.type == NCW_UNLOAD) out.push_back("unload " + r.name);
    }
    return out;
  }

  hosttest::RegistrySandbox registry_;
  snapintest::LanguageLibrary language_;  // after the sandbox: its folder is set there
  RequestService service_;
  std::unique_ptr<hosttest::HostDirectory> directory_;
  HWND owner_ = nullptr;
  bool started_ = false;
};

// Polls until done, pumping this thread's messages, for at most ms.
template <class Done>
bool PumpUntil(Done done, int ms = 10000) {
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (!done()) {
    if (static_cast<int32_t>(GetTickCount() - end) > 0) return false;
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

}  // namespace msgsrvtest
