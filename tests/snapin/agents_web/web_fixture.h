// What the web-mail and connection-manager page suites share: the agent
// suite's directory with a web-mail agent as created under MS1, one without
// any "Behaviour:" under MS2 and a connection manager, and the pages opened
// the way the host opens them: the class's object procedure opens the
// object (0x103), then the page is made from its template in tarq's
// resources with its procedure and gets the page messages.
#pragma once

#include "agents_fixture.h"
#include "agents_web_ids.h"
#include "webmail_pages.h"

namespace webtest {

using agentstest::Values;
namespace dirt = zelm::dir::testing;

constexpr char kWeb1[] = "WebMail Agent.MS1.Internet Services";
constexpr char kWeb2[] = "WebMail Agent.MS2.Internet Services";
constexpr char kConnMgr1[] = "Connection Manager.MS1.Internet Services";

class WebPages : public agentstest::AgentSnapin {
 protected:
  void SetUp() override {
    AgentSnapin::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(directory_->Admin()->Add(kWeb1,
                  dirt::OfClass("Quorvel:WebMail Agent",
                                {{"Quorvel:Port", {dirt::Text("80")}},
                                 {"Quorvel:SSL Port", {dirt::Text("443")}},
                                 {"Quorvel:Configuration",
                                  {dirt::Text("Behaviour:32621"), dirt::Text("MsgPerPage:10"),
                                   dirt::Text("Name:TARQ WebMail")}},
                                 {"Quorvel:Addressbook Config", {dirt::Text("Entries:50 Flags:3")}},
                                 {"Quorvel:Advertising Config", {dirt::Text("URL:"), dirt::Text("Location:0")}},
                                 {"Quorvel:ZELM Queue Server", {dirt::Name(agentstest::kStore1)}},
                                 {"Quorvel:Message Limit", {dirt::Text("10")}}})),
              0);
    ASSERT_EQ(directory_->Admin()->Add(kWeb2,
                  dirt::OfClass("Quorvel:WebMail Agent",
                                {{"Quorvel:Configuration",
                                  {dirt::Text("MsgPerPage:5"), dirt::Text("Name:Two")}}})),
              0);
    ASSERT_EQ(directory_->Admin()->Add(kConnMgr1,
                  dirt::OfClass("TARQ:ConnMgr Agent", {{"Quorvel:Timeout", {dirt::Text("15")}}})),
              0);
  }
  void TearDown() override {
    ClosePage();
    AgentSnapin::TearDown();
  }

  HWND OpenWeb(DLGPROC procedure, const char* templateName, const char* object = kWeb1) {
    return OpenPage(WebMailObjProc, object, procedure, templateName);
  }
  HWND OpenPage(QZXObjectProc objectProc, const char* object, DLGPROC procedure,
                const char* templateName) {
    ClosePage();
    objectProc(object, QZX_MSG_OPEN, 0, 0);
    procedure_ = procedure;
    page_ = CreateDialogParamA(g_snapin.resources, templateName, owner_, procedure, 0);
    EXPECT_NE(page_, nullptr) << templateName;
    if (!page_) return nullptr;
    changes_ = 0;
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(page_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountChanges)));
    ShowWindow(owner_, SW_SHOWNA);
    ShowWindow(page_, SW_SHOWNA);
    PumpMessages();
    return page_;
  }
  // WM_CLOSE as the host sends it when the sheet goes, then the window.
  void ClosePage() {
    if (!page_) return;
    SendMessageA(page_, WM_CLOSE, 0, 0);
    DestroyWindow(page_);
    page_ = nullptr;
    PumpMessages();
  }
  INT_PTR Apply() { return ApplyPage(procedure_); }

  Values Stored(const char* attribute, const char* object = kWeb1) { return Read(object, attribute); }
  bool ChangedIn(const char* object = kWeb1) {
    return Read(object, "Quorvel:Config Changed") == Values{"1"};
  }
  // How often the page told the host it holds changes (0x520).
  static int Changes() { return changes_; }
  static void ResetChanges() { changes_ = 0; }

  DLGPROC procedure_ = nullptr;

 private:
  static LRESULT CALLBACK CountChanges(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == QZX_PAGE_CHANGED) ++changes_;
    return CallWindowProcA(previous_, w, message, wParam, lParam);
  }
  inline static WNDPROC previous_ = nullptr;
  inline static int changes_ = 0;
};

inline Values Sorted(Values v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace webtest
