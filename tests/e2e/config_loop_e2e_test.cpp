// What an administrator changes in the store agent's pages takes effect in
// the running store server: tarq in the real host code, the native server
// configured from the same directory database (with-directory-server.sh
// starts it), and the shell's store client as the client being served.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "agents_ids.h"
#include "entry_points.h"
#include "frame.h"
#include "host_fixture.h"
#include "hostext_internal.h"
#include "object_actions.h"
#include "protocol/connection.h"
#include "protocol/store_commands.h"
#include "server_ids.h"
#include "snapins.h"
#include "ui_driver.h"

namespace {

constexpr int32_t kSuiteSnapin = 63;
const char kAgent[] = "ZELM Agent.MS1.Internet Services";
const char kServer[] = "MS1.Internet Services";

void Collect(void* ctx, const char* text) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(text);
}

// Polls for up to 20 s, pumping this thread's messages.
template <class Done>
bool PumpUntil(Done done) {
  DWORD end = GetTickCount() + 20000;
  while (!done()) {
    if (static_cast<int32_t>(GetTickCount() - end) > 0) return false;
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return true;
}

std::string Value(const char* object, const char* attribute) {
  StrList list = {};
  DSReadValues(&list, "[Root]", object, attribute);
  std::string v = list.count > 0 && list.items[0] ? list.items[0] : "<none>";
  StrListFree(&list);
  return v;
}

class ConfigLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = getenv("ZELM_STORE_HOST");
    ASSERT_TRUE(host_ && getenv("ZELM_DIRECTORY")) << "run through tests/e2e/with-directory-server.sh";
    ASSERT_TRUE(StoreSocketsStartup());
    ASSERT_TRUE(registry_.Ok());
    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = g_snapin.instance;
    HXSetSnapin(kSuiteSnapin);
    ASSERT_EQ(InitSnapin(), 0);
    HXSetSnapin(-1);
    PostInitSnapin(owner_);
    std::vector<std::string> problems;
    zelm::host::LoadSnapins({}, owner_, &problems);
    started_ = true;
    // The server took its configuration at start.
    ASSERT_TRUE(PumpUntil([] { return Value(kAgent, "Quorvel:Config Changed") != "1"; }));
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
    StoreSocketsCleanup();
  }

  // The store agent's sheet on the page with this title.
  HWND OpenAgentPage(const char* title) {
    zelm::host::SheetTarget target;
    target.names = {kAgent};
    target.className = "Quorvel:ZELM Agent";
    target.firstPage = title;
    std::string problem;
    sheet_ = zelm::host::OpenSheet(owner_, target, &problem);
    EXPECT_NE(sheet_, nullptr) << problem;
    return sheet_ ? PropSheet_GetCurrentPageHwnd(sheet_) : nullptr;
  }
  // Apply as the button does, then wait until the server has taken the change.
  bool ApplyAndWait() {
    if (!PropSheet_Apply(sheet_)) return false;
    return PumpUntil([] { return Value(kAgent, "Quorvel:Config Changed") != "1"; });
  }
  void CloseAgentSheet() {
    zelm::host::CloseSheet(sheet_);
    sheet_ = nullptr;
  }
  // What the shell's store client gets: the users, "turned away" when the
  // greeting is not 1000, "refused" when nobody listens.
  std::string Browse() {
    StoreConnection* c = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
    c->nodeKind = kNodeServer;
    SetConnectionHost(c, host_);
    std::string out;
    std::vector<std::string> users;
    if (ConnectToHost(&c->socket, host_, kStorePort) != 1) {
      out = "refused";
    } else if (StoreListUsers(c, Collect, &users) != 1) {
      out = "turned away";
    } else {
      for (const std::string& u : users) out += (out.empty() ? "" : ",") + u;
    }
    FreeStoreRecord(c);
    return out;
  }
  // Waits until the server answers the way wanted (a change takes a moment
  // after the flag is cleared when connected clients are ended).
  bool BrowseBecomes(const std::string& wanted) {
    std::string last;
    bool ok = PumpUntil([&] { return (last = Browse()) == wanted; });
    if (!ok) ADD_FAILURE() << "browse gave " << last << ", wanted " << wanted;
    return ok;
  }

  const char* host_ = nullptr;
  hosttest::RegistrySandbox registry_;
  HWND owner_ = nullptr;
  HWND sheet_ = nullptr;
  bool started_ = false;
};

TEST_F(ConfigLoop, TrustedHostsThatExcludeTheClientTurnItAwayUntilPutBack) {
  ASSERT_TRUE(BrowseBecomes("alice,bob"));
  HWND page = OpenAgentPage("Trusted Hosts");
  ASSERT_NE(page, nullptr);
  SetItemText(page, IDC_ZT_ADDRESS, "10.1.2.3");
  ClickItem(page, IDC_ZT_ADD);
  ASSERT_EQ(SendDlgItemMessageA(page, IDC_ZT_LIST, LB_GETCOUNT, 0, 0), 1);
  ASSERT_TRUE(ApplyAndWait());
  EXPECT_EQ(Value(kAgent, "Quorvel:ZELM Trusted Hosts"), "10.1.2.3");
  EXPECT_TRUE(BrowseBecomes("turned away"));

  // Put back: the client's own address joins the list.
  SetItemText(page, IDC_ZT_ADDRESS, "127.0.0.1");
  ClickItem(page, IDC_ZT_ADD);
  ASSERT_TRUE(ApplyAndWait());
  EXPECT_TRUE(BrowseBecomes("alice,bob"));

  // An empty list leaves the server's own default (this machine only).
  SendDlgItemMessageA(page, IDC_ZT_LIST, LB_SETSEL, TRUE, -1);
  ClickItem(page, IDC_ZT_REMOVE);
  ASSERT_EQ(SendDlgItemMessageA(page, IDC_ZT_LIST, LB_GETCOUNT, 0, 0), 0);
  ASSERT_TRUE(ApplyAndWait());
  EXPECT_EQ(Value(kAgent, "Quorvel:ZELM Trusted Hosts"), "<none>");
  EXPECT_TRUE(BrowseBecomes("alice,bob"));
  CloseAgentSheet();
  EXPECT_NE(Value(kAgent, "Quorvel:Config Changed"), "1");
}

TEST_F(ConfigLoop, DisablingTheStoreAgentStopsTheStoreAndEnablingStartsIt) {
  ASSERT_TRUE(BrowseBecomes("alice,bob"));
  HWND page = OpenAgentPage("Status");
  ASSERT_NE(page, nullptr);
  ClickItem(page, IDC_AGS_DISABLE);
  ASSERT_TRUE(IsItemChecked(page, IDC_AGS_DISABLE));
  ASSERT_TRUE(ApplyAndWait());
  EXPECT_EQ(Value(kAgent, "Quorvel:Disabled"), "1");
  EXPECT_TRUE(BrowseBecomes("turned away"));
  EXPECT_TRUE(PumpUntil([] { return Value(kServer, "Quorvel:Server Status") == "Disabled"; }));

  ClickItem(page, IDC_AGS_DISABLE);
  ASSERT_FALSE(IsItemChecked(page, IDC_AGS_DISABLE));
  ASSERT_TRUE(ApplyAndWait());
  EXPECT_TRUE(BrowseBecomes("alice,bob"));
  EXPECT_TRUE(PumpUntil([] { return Value(kServer, "Quorvel:Server Status") == "Up"; }));
  CloseAgentSheet();
  EXPECT_NE(Value(kAgent, "Quorvel:Config Changed"), "1");
}

}  // namespace
