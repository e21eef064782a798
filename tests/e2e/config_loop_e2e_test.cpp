// What an administrator changes in the store agent's pages takes effect in
// the running store server: tarq in the real host code, the native server
// configured from the same directory database (with-directory-server.sh
// starts it), and the shell's store client as the client being served.
#include <winsock2.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "agents_ids.h"
#include "hosted_snapin.h"
#include "protocol/connection.h"
#include "protocol/store_commands.h"
#include "server_ids.h"

namespace {

using e2e::PumpUntil;
using e2e::Value;

constexpr int32_t kSuiteSnapin = 63;
const char kAgent[] = "ZELM Agent.MS1.Internet Services";
const char kServer[] = "MS1.Internet Services";

void Collect(void* ctx, const char* text) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(text);
}

class ConfigLoop : public e2e::HostedSnapin {
 protected:
  ConfigLoop() : HostedSnapin(kSuiteSnapin) {}
  void SetUp() override {
    host_ = getenv("ZELM_STORE_HOST");
    ASSERT_TRUE(host_ && getenv("ZELM_DIRECTORY")) << "run through tests/e2e/with-directory-server.sh";
    ASSERT_TRUE(StoreSocketsStartup());
    StartSnapin();
    // The server took its configuration at start.
    ASSERT_TRUE(PumpUntil([] { return Value(kAgent, "Quorvel:Config Changed") != "1"; }));
  }
  void TearDown() override {
    HostedSnapin::TearDown();
    StoreSocketsCleanup();
  }

  // The store agent's sheet on the page with this title.
  HWND OpenAgentPage(const char* title) { return Open(kAgent, "Quorvel:ZELM Agent", title); }
  // Apply as the button does, then wait until the server has taken the change.
  bool ApplyAndWait() {
    if (!PropSheet_Apply(sheet_)) return false;
    return PumpUntil([] { return Value(kAgent, "Quorvel:Config Changed") != "1"; });
  }
  void CloseAgentSheet() { CloseOpenSheet(); }
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
