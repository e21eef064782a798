// The statistics page against the native store server (started with its
// directory by tests/e2e/with-directory-server.sh): the page, in the real
// host code, shows the running server's own counters and follows them as
// they move.
#include <winsock2.h>

#include <stdlib.h>

#include <regex>
#include <string>
#include <vector>

#include "hosted_snapin.h"
#include "tarq_ids.h"

namespace {

constexpr int32_t kSuiteSnapin = 62;
constexpr int kStatisticsPage = 2;

using e2e::PumpUntil;

// The count a value static shows ("  1,234" is 1234).
long Shown(HWND page, int id) {
  std::string digits;
  for (char c : ItemText(page, id))
    if (c >= '0' && c <= '9') digits += c;
  return digits.empty() ? -1 : atol(digits.c_str());
}

// One visit to the store, as a store client makes it: greeting, then QUIT.
bool VisitStore(const char* host) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(999);
  to.sin_addr.s_addr = inet_addr(host);
  char greeting[256];
  // A client the server turns away counts as well: only the connection matters.
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  if (ok && recv(s, greeting, sizeof greeting, 0) > 0) send(s, "QUIT\r\n", 6, 0);
  closesocket(s);
  return ok;
}

class StatisticsEndToEnd : public e2e::HostedSnapin {
 protected:
  StatisticsEndToEnd() : HostedSnapin(kSuiteSnapin) {}
  void SetUp() override {
    host_ = getenv("ZELM_STORE_HOST");
    ASSERT_TRUE(host_ && getenv("ZELM_DIRECTORY")) << "run through tests/e2e/with-directory-server.sh";
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &wsa), 0);
    StartSnapin();
  }
  void TearDown() override {
    HostedSnapin::TearDown();
    WSACleanup();
  }
  HWND OpenStatistics(const char* server) {
    if (!Open(server, "Quorvel:Messaging Server", nullptr)) return nullptr;
    PropSheet_SetCurSel(sheet_, nullptr, kStatisticsPage);
    return PropSheet_GetCurrentPageHwnd(sheet_);
  }

  const char* host_ = nullptr;
};

TEST_F(StatisticsEndToEnd, TheRunningServersCountersAreShownAndFollowed) {
  HWND page = OpenStatistics("MS1.Internet Services");
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(std::regex_match(ItemText(page, IDC_MST_UPTIME),
                               std::regex(" *[0-9]+d [0-2][0-9]h [0-5][0-9]m [0-5][0-9]s")))
      << ItemText(page, IDC_MST_UPTIME);
  // Every question the page asks is a connection to the server's request
  // service, which the server counts: the count grows tick by tick.
  long asked = Shown(page, IDC_MST_SERVERS);
  EXPECT_GT(asked, 0);
  EXPECT_TRUE(PumpUntil([&] { return Shown(page, IDC_MST_SERVERS) > asked; }));
  // A store client's visit shows among the client connections.
  long clients = Shown(page, IDC_MST_CLIENTS);
  ASSERT_GE(clients, 0);
  ASSERT_TRUE(VisitStore(host_));
  EXPECT_TRUE(PumpUntil([&] { return Shown(page, IDC_MST_CLIENTS) > clients; }));
  EXPECT_EQ(ItemText(page, IDC_MST_RECEIVED_RATE).find("n/a"), std::string::npos);
}

TEST_F(StatisticsEndToEnd, AServerNobodyAnswersForShowsNotAvailable) {
  HWND page = OpenStatistics("MS2.Internet Services");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ItemText(page, IDC_MST_UPTIME), "n/a");
  EXPECT_EQ(ItemText(page, IDC_MST_CLIENTS), "n/a");
}

}  // namespace
