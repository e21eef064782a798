// What the signup, proxy, address-book and container page suites share:
// the agent suites' host, directory and request service, with a signup,
// a mail proxy and an address-book agent under MS1 and an organizational
// unit no messaging server serves. Agent pages are opened on their own
// (current object and module as the object procedure sets them, the real
// template from tarq's resources) with the page changes they report
// counted.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "agents_fixture.h"
#include "agents_more_ids.h"
#include "agents_more_procs.h"
#include "agents_more_values.h"

namespace agentstest {

constexpr char kSignup1[] = "Signup Agent.MS1.Internet Services";
constexpr char kProxy1[] = "Proxy Agent.MS1.Internet Services";
constexpr char kBook1[] = "Address Book Agent.MS1.Internet Services";
constexpr char kWest[] = "West.Acme";  // served by no messaging server

class MorePages : public AgentSnapin {
 protected:
  using Attr = std::pair<std::string, Values>;

  void SetUp() override {
    AgentSnapin::SetUp();
    if (HasFatalFailure()) return;
    AddObject(kSignup1, "Quorvel:Signup Agent",
              {{"Quorvel:Module Name", {"SIGNUAGT.QMD"}},
               {"Quorvel:Port", {"80"}},
               {"Quorvel:SSL Port", {"443"}},
               {"Quorvel:Configuration", {"Behaviour:0"}}});
    AddObject(kProxy1, "Quorvel:Proxy Agent",
              {{"Quorvel:Module Name", {"PROXYAGT.QMD"}},
               {"Quorvel:Time Interval", {"3"}},
               {"Quorvel:Thread Limit", {"5"}}});
    AddObject(kBook1, "Quorvel:Addressbook Agent",
              {{"Quorvel:Module Name", {"ABOOKAGT.QMD"}}, {"Quorvel:Port", {"389"}}});
    AddObject(kWest, "Organizational Unit",
              {{"Quorvel:Domain", {"west.example"}}});
    Store(kWest, "Quorvel:Message Store", {"FS9/VOL:OLD"});
  }

  void TearDown() override {
    ClosePage();
    AgentSnapin::TearDown();
  }

  void AddObject(const std::string& name, const std::string& cls, const std::vector<Attr>& attrs) {
    std::vector<zelm::dir::AttributeIn> more;
    for (const Attr& a : attrs) {
      zelm::dir::AttributeIn in{a.first, {}};
      for (const std::string& v : a.second) in.values.push_back(zelm::dir::testing::Text(v));
      more.push_back(in);
    }
    ASSERT_EQ(directory_->Admin()->Add(name,
                                        zelm::dir::testing::OfClass(cls, more)),
              0)
        << name;
  }

  // Opens the page as the host would after the object procedure's 0x103.
  HWND OpenPage(const char* object, const char* module, DLGPROC procedure,
                const char* templateName) {
    ClosePage();
    OpenObject(object);
    SetCurrentModule(module);
    inner_ = procedure;
    changes_ = 0;
    direct_ = CreateDialogParamA(ResourceModule(), templateName, owner_, Recorder, 0);
    EXPECT_NE(direct_, nullptr) << templateName;
    page_ = direct_;
    PumpMessages();
    return page_;
  }
  void ClosePage() {
    if (!direct_) return;
    SendMessageA(direct_, WM_CLOSE, 0, 0);
    DestroyWindow(direct_);
    direct_ = page_ = nullptr;
    PumpMessages();
  }
  // The open page's apply: its answer (1 accepted).
  INT_PTR Apply() { return ApplyPage(inner_); }
  // How often the page told the host it holds changes since the last call.
  int TakeChanges() {
    int n = changes_;
    changes_ = 0;
    return n;
  }
  bool Told() { return Read(kSignup1, "Quorvel:Config Changed") == Values{"1"}; }
  Values ConfigChanged(const char* object) { return Read(object, "Quorvel:Config Changed"); }

  // The container page in the host's sheet of a container object.
  HWND OpenOptions(const std::string& name, const std::string& className) {
    if (!OpenSheet(name, className)) return nullptr;
    Values tabs = Tabs();
    for (size_t i = 0; i < tabs.size(); ++i)
      if (tabs[i] == "Halcyn Korrat Options") {
        PropSheet_SetCurSel(sheet_, nullptr, static_cast<int>(i));
        PumpMessages();
        page_ = PropSheet_GetCurrentPageHwnd(sheet_);
        return page_;
      }
    ADD_FAILURE() << "no options page for " << name;
    return nullptr;
  }

  HWND direct_ = nullptr;

 private:
  static INT_PTR CALLBACK Recorder(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == QZX_PAGE_CHANGED) ++changes_;
    return inner_ ? inner_(page, message, wParam, lParam) : FALSE;
  }
  inline static DLGPROC inner_ = nullptr;
  inline static int changes_ = 0;
};

}  // namespace agentstest
