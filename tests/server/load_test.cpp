// Hostile load: clients that say nothing, hosts that take every slot, a
// thousand idle connections, a process out of descriptors.
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "store_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

class Load : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    MakeMaildir("alice");
  }
  // A store client from the given local address, greeted (or not: the line
  // it got instead is in *first).
  std::unique_ptr<TestClient> From(const std::string& source, std::string* first = nullptr) {
    auto c = std::make_unique<TestClient>();
    EXPECT_TRUE(c->Connect(address_, 999, source)) << source;
    std::string line = c->Line();
    if (first) *first = line;
    return c;
  }
};

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST_F(Load, ClientsThatSendNoCommandAreDroppedSoon) {
  config_.firstCommandSeconds = 1;
  config_.idleSeconds = 3;
  StartServer();
  struct Row {
    const char* label;
    std::string first;  // sent right after the greeting
    bool dropped;
  } rows[] = {
      {"silent", "", true},
      {"half a line", "ULI", true},  // trickling bytes is no command
      {"a command", "CAPA\r\n", false},
  };
  std::vector<std::unique_ptr<TestClient>> clients;
  for (const Row& r : rows) {
    clients.push_back(Client());
    clients.back()->Send(r.first);
  }
  for (size_t i = 0; i < clients.size(); ++i) {
    TestClient* c = clients[i].get();
    if (!rows[i].dropped) {
      EXPECT_EQ("1000 end of capabilities", c->UntilDone().back()) << rows[i].label;
      continue;
    }
    EXPECT_EQ("5001 idle timeout", c->Line()) << rows[i].label;
    EXPECT_TRUE(c->Closed()) << rows[i].label;
  }
  // Past the first-command time the idle time holds: still served, until
  // it too has passed.
  EXPECT_EQ("1000 user selected", Ask(clients[2].get(), "USER alice"));
  EXPECT_EQ("5001 idle timeout", clients[2]->Line());
  // The request service drops a caller that sends no request the same way.
  auto w = Wire();
  EXPECT_TRUE(w->Closed());
}

TEST_F(Load, OneHostCannotTakeEverySlot) {
  config_.maxClients = 8;
  config_.maxPerHost = 3;
  StartServer();
  const std::string a = "127.0.3.11", b = "127.0.3.12";
  std::vector<std::unique_ptr<TestClient>> held;
  std::string first;
  for (int i = 0; i < 3; ++i) {
    held.push_back(From(a, &first));
    EXPECT_EQ("1000 zelmstored ready", first) << i;
  }
  auto refused = From(a, &first);
  EXPECT_EQ("5001 too many connections", first);
  auto other = From(b, &first);
  EXPECT_EQ("1000 zelmstored ready", first);
  // A slot given back is free again (the close reaches the server a moment later).
  held.pop_back();
  bool again = false;
  for (int i = 0; i < 100 && !again; ++i) {
    again = From(a, &first) && first == "1000 zelmstored ready";
    if (!again) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(again);
  // The request service counts hosts the same way; it refuses without a word.
  std::vector<std::unique_ptr<TestClient>> wires;
  for (int i = 0; i < 3; ++i) {
    wires.push_back(std::make_unique<TestClient>());
    ASSERT_TRUE(wires.back()->Connect(address_, server_->Base().requestPort, a));
  }
  TestClient fourth;
  ASSERT_TRUE(fourth.Connect(address_, server_->Base().requestPort, a));
  EXPECT_TRUE(fourth.Closed());
  WireClient fromB;
  ASSERT_TRUE(fromB.Connect(address_, server_->Base().requestPort));
  EXPECT_EQ(0, fromB.Lookup("Arbolin Messaging System").Status());
}

TEST_F(Load, AThousandIdleConnectionsHoldNoThreadsAndNewClientsAreAnswered) {
  constexpr int kIdle = 1000, kPerHost = 8;
  ASSERT_TRUE(RaiseDescriptorLimit(2 * kIdle + 256)) << "descriptor limit too low for this test";
  config_.maxClients = kIdle + 10;
  config_.maxPerHost = kPerHost;
  config_.firstCommandSeconds = 300;  // idle from the greeting on, for the whole test
  StartServer();
  int before = ThreadCount();
  std::vector<std::unique_ptr<TestClient>> idle;
  std::string first;
  for (int i = 0; i < kIdle; ++i) {
    // Spread over hosts, as the per-host cap wants.
    std::string source = "127.0.4." + std::to_string(i / kPerHost + 1);
    idle.push_back(From(source, &first));
    ASSERT_EQ("1000 zelmstored ready", first) << i;
  }
  EXPECT_LT(ThreadCount() - before, 16) << "threads held by idle connections";
  Clock::time_point start = Clock::now();
  auto fresh = From("127.0.5.1", &first);
  EXPECT_EQ("1000 zelmstored ready", first);
  fresh->Send("ULIST\r\n");
  EXPECT_EQ("1000 1 users", fresh->UntilDone().back());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  // Every idle one is still there and served.
  EXPECT_EQ("1000 user selected", Ask(idle.front().get(), "USER alice"));
  EXPECT_EQ("1000 user selected", Ask(idle.back().get(), "USER alice"));
}

TEST_F(Load, RunningOutOfDescriptorsTurnsClientsAwayAndRecovers) {
  StartServer();
  std::string first;
  {
    DescriptorFill fill(1);  // one for the client's own socket
    TestClient c;
    ASSERT_TRUE(c.Connect(address_, 999));
    EXPECT_EQ("5001 too many connections", c.Line());
    // Nothing spins while the descriptors stay taken.
    double cpu = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(ProcessCpuSeconds() - cpu, 0.3);
  }
  auto after = From("", &first);
  EXPECT_EQ("1000 zelmstored ready", first);
  EXPECT_EQ("1000 user selected", Ask(after.get(), "USER alice"));
}

}  // namespace
