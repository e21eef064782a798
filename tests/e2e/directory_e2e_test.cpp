// The snap-ins' directory access layer and the shell's store client under
// Wine against the native store server and the directory database it takes
// its configuration from (tests/e2e/with-directory-server.sh starts both):
// notices with and without automatic reload, the change flag, statistics,
// loading and unloading the store module, trusted hosts and disabling.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "dsclient32.h"
#include "frame.h"
#include "protocol/connection.h"
#include "protocol/store_commands.h"

namespace {

const char kAgent[] = "ZELM Agent.MS1.Internet Services";      // served by the running server
const char kServer[] = "MS1.Internet Services";
const char kHost[] = "FS1.Acme";
const char kElsewhere[] = "ZELM Agent.MS2.Internet Services";  // its host: nobody listens
const char kStoreModuleFile[] = "STORAGNT.QMD";

void Collect(void* ctx, const char* text) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(text);
}

// Polls for up to 15 s (Wine and the shared machine are slow at times).
bool WaitFor(const std::function<bool()>& done) {
  DWORD end = GetTickCount() + 15000;
  while (!done()) {
    if (static_cast<int32_t>(GetTickCount() - end) > 0) return false;
    Sleep(50);
  }
  return true;
}

class DirectoryEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = getenv("ZELM_STORE_HOST");
    log_ = getenv("ZELM_SERVER_LOG");
    ASSERT_TRUE(host_ && log_ && getenv("ZELM_DIRECTORY"))
        << "run through tests/e2e/with-directory-server.sh";
    ASSERT_TRUE(StoreSocketsStartup());
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = nullptr;
    g_snapin.hostWindow = nullptr;
    g_snapin.autoReload = 1;
    // Every test starts from a served store whose flag has been taken.
    ASSERT_TRUE(WaitFor([&] { return Value(kAgent, "Quorvel:Config Changed") != "1"; }));
  }
  void TearDown() override { StoreSocketsCleanup(); }

  static std::string Value(const char* object, const char* attribute) {
    StrList list = {};
    DSReadValues(&list, "[Root]", object, attribute);
    std::string v = list.count > 0 && list.items[0] ? list.items[0] : "<none>";
    StrListFree(&list);
    return v;
  }
  // Replaces an attribute's values the way a page's apply does.
  static int Replace(const char* object, const char* attribute, std::vector<const char*> values) {
    StrList old = {}, wanted = {};
    DSReadValues(&old, "[Root]", object, attribute);
    for (const char* v : values) StrListAdd(&wanted, v);
    int r = DSReplaceValues(&old, &wanted, "[Root]", object, attribute, kSyntaxCIString);
    StrListFree(&old);
    StrListFree(&wanted);
    return r;
  }
  // A page's apply and its notice; waits until the server took the flag.
  void ApplyAndNotify(const char* attribute, std::vector<const char*> values, int kind) {
    ASSERT_EQ(0, Replace(kAgent, attribute, values));
    ASSERT_EQ(1, NotifyConfigChange(kAgent, kStoreModuleFile, kind));
    ASSERT_TRUE(WaitFor([&] { return Value(kAgent, "Quorvel:Config Changed") == "0"; }));
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
  // How many lines of the server's log hold text.
  int LogCount(const std::string& text) {
    FILE* f = fopen(log_, "rb");
    if (!f) return -1;
    int n = 0;
    char line[2048];
    while (fgets(line, sizeof line, f))
      if (strstr(line, text.c_str())) ++n;
    fclose(f);
    return n;
  }
  // The statistics reply through the layer (code 4), as the statistics page asks.
  bool Statistics(unsigned char reply[kRequestBytes]) {
    DSContext context = DSOpenContext(nullptr);
    if (context < 0) return false;
    uint32_t connection = 0;
    int r = -1;
    if (DSCOpenConnection(context, kHost, &connection) == 0 &&
        DSCAuthenticateConnection(context, connection) == 0) {
      ConfigChangeRequest request = MakeRequest(kRequestStatistics, nullptr);
      r = SendServerRequest(connection, &request, reply);
    }
    DSCloseContext(context);
    return r == 0;
  }
  static uint32_t Field(const unsigned char* reply, int offset) {
    return uint32_t(reply[offset]) | uint32_t(reply[offset + 1]) << 8 |
           uint32_t(reply[offset + 2]) << 16 | uint32_t(reply[offset + 3]) << 24;
  }

  const char* host_ = nullptr;
  const char* log_ = nullptr;
};

TEST_F(DirectoryEndToEnd, TheServerWroteItsStatusAndAddress) {
  EXPECT_EQ("Up", Value(kServer, "Quorvel:Server Status"));
  EXPECT_EQ(host_, Value(kServer, "Quorvel:IP Address"));
  EXPECT_EQ("alice,bob", Browse());
}

TEST_F(DirectoryEndToEnd, NoticesReachTheServerAndItClearsTheFlag) {
  struct Row {
    int kind;
    const char* logged;
  } rows[] = {{kNoticeChanged, "notice 3 (configuration changed) for STORAGNT.QMD"},
              {kNoticeCreated, "notice 1 (created or enabled) for STORAGNT.QMD"},
              {kNoticeDeleted, "notice 2 (deleted or disabled) for STORAGNT.QMD"}};
  for (const Row& row : rows) {
    int before = LogCount(row.logged);
    ASSERT_EQ(1, NotifyConfigChange(kAgent, kStoreModuleFile, row.kind));
    // The server logs a notice before it answers it.
    EXPECT_EQ(before + 1, LogCount(row.logged)) << row.kind;
    EXPECT_EQ("1", Value(kAgent, "Quorvel:Config Changed")) << row.kind;
    EXPECT_TRUE(WaitFor([&] { return Value(kAgent, "Quorvel:Config Changed") == "0"; }))
        << row.kind;
  }
  EXPECT_EQ("alice,bob", Browse());
}

TEST_F(DirectoryEndToEnd, WithReloadOffOnlyTheFlagIsSet) {
  g_snapin.autoReload = 0;
  int before = LogCount("notice ");
  ASSERT_EQ(1, NotifyConfigChange(kAgent, kStoreModuleFile, kNoticeChanged));
  EXPECT_EQ("1", Value(kAgent, "Quorvel:Config Changed"));
  EXPECT_EQ(before, LogCount("notice "));
  // Module requests are not sent either, and count as done.
  EXPECT_EQ(1, ControlServerModule(kHost, 0));
  EXPECT_EQ("alice,bob", Browse());
  // The next notice takes the flag along.
  g_snapin.autoReload = 1;
  ASSERT_EQ(1, NotifyConfigChange(kAgent, kStoreModuleFile, kNoticeChanged));
  EXPECT_TRUE(WaitFor([&] { return Value(kAgent, "Quorvel:Config Changed") == "0"; }));
}

TEST_F(DirectoryEndToEnd, AnUnreachableServerIsSilent) {
  DWORD start = GetTickCount();
  EXPECT_EQ(1, NotifyConfigChange(kElsewhere, kStoreModuleFile, kNoticeChanged));
  EXPECT_EQ("1", Value(kElsewhere, "Quorvel:Config Changed"));
  EXPECT_EQ(0, ControlServerModule("FS2.Acme", 0));  // failed, without a word
  EXPECT_LT(GetTickCount() - start, 10000u);        // bounded by the client's own limits
  EXPECT_EQ("alice,bob", Browse());
}

TEST_F(DirectoryEndToEnd, StatisticsComeFromTheServersCounters) {
  unsigned char before[kRequestBytes], after[kRequestBytes];
  ASSERT_TRUE(Statistics(before));
  EXPECT_LT(Field(before, 8), 3600u);  // uptime in seconds

  StoreConnection* c = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
  c->nodeKind = kNodeServer;
  SetConnectionHost(c, host_);
  ASSERT_EQ(1, ConnectToHost(&c->socket, host_, kStorePort));
  std::vector<std::string> users, boxes, body;
  ASSERT_EQ(1, StoreListUsers(c, Collect, &users));
  ASSERT_EQ(1, StoreListMailboxes(c, "alice", Collect, &boxes));
  MessageListSink sink = {[](void*, unsigned long) {}, [](void*, unsigned long, const char*) {},
                          nullptr};
  ASSERT_EQ(1, StoreListMessages(c, "alice", "INBOX", sink));
  char reason[kReplyCapacity];
  ASSERT_EQ(kBodyOk, StoreBody(c, 2, 0, Collect, &body, reason));
  FreeStoreRecord(c);

  ASSERT_TRUE(Statistics(after));
  EXPECT_GE(Field(after, 8), Field(before, 8));
  EXPECT_EQ(Field(before, 36) + 1, Field(after, 36));  // one more store client
  EXPECT_GT(Field(after, 40), Field(before, 40));      // request connections
  EXPECT_EQ(Field(before, 84) + 1, Field(after, 84));  // one message delivered locally
  EXPECT_GT(Field(after, 108), Field(before, 108));    // and its bytes
  EXPECT_EQ(0u, Field(after, 92) + Field(after, 96));  // the store queues nothing
}

TEST_F(DirectoryEndToEnd, UnloadingAndLoadingTheModule) {
  ASSERT_EQ(1, ControlServerModule(kHost, 0));
  EXPECT_EQ("refused", Browse());
  EXPECT_EQ("Unloaded", Value(kServer, "Quorvel:Server Status"));
  ASSERT_EQ(1, ControlServerModule(kHost, 1));
  EXPECT_EQ("alice,bob", Browse());
  EXPECT_EQ("Up", Value(kServer, "Quorvel:Server Status"));
}

TEST_F(DirectoryEndToEnd, TrustedHostsExcludingTheClientTurnItAway) {
  ApplyAndNotify("Quorvel:ZELM Trusted Hosts", {"10.1.2.3"}, kNoticeChanged);
  EXPECT_EQ("turned away", Browse());
  ApplyAndNotify("Quorvel:ZELM Trusted Hosts", {"10.1.2.3", "127.0.0.1"}, kNoticeChanged);
  EXPECT_EQ("alice,bob", Browse());
  ApplyAndNotify("Quorvel:ZELM Trusted Hosts", {}, kNoticeChanged);
  EXPECT_EQ("alice,bob", Browse());
}

TEST_F(DirectoryEndToEnd, ADisabledAgentStopsTheStorePort) {
  ApplyAndNotify("Quorvel:Disabled", {"1"}, kNoticeDeleted);
  EXPECT_EQ("turned away", Browse());
  EXPECT_EQ("Disabled", Value(kServer, "Quorvel:Server Status"));
  ApplyAndNotify("Quorvel:Disabled", {"0"}, kNoticeCreated);
  EXPECT_EQ("alice,bob", Browse());
  EXPECT_EQ("Up", Value(kServer, "Quorvel:Server Status"));
}

}  // namespace
