// The shell's store client against the real store server, over a real
// connection: users, mailboxes, messages, details, MIME, header, body and a
// mailbox deletion on the sample store (server/tools/mkstore.py sample).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/connection.h"
#include "protocol/store_commands.h"

namespace {

void Collect(void* ctx, const char* text) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(text);
}

void CollectPart(void* ctx, const MimePart& p) {
  auto* out = static_cast<std::vector<std::string>*>(ctx);
  out->push_back(std::to_string(p.level) + " " + p.type + "/" + p.subtype + " " + p.name + " " +
                 std::to_string(p.bytes) + " " + std::to_string(p.lines));
}

struct Listing {
  unsigned long count = 0;
  std::vector<std::string> texts;
};
void OnCount(void* ctx, unsigned long n) { static_cast<Listing*>(ctx)->count = n; }
void OnMessage(void* ctx, unsigned long number, const char* text) {
  auto* l = static_cast<Listing*>(ctx);
  EXPECT_EQ(l->texts.size() + 1, number);
  l->texts.push_back(text);
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* host = getenv("ZELM_STORE_HOST");
    ASSERT_NE(nullptr, host) << "run through scripts/with-store.sh";
    ASSERT_TRUE(StoreSocketsStartup());
    conn = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
    conn->nodeKind = kNodeServer;
    ASSERT_TRUE(SetConnectionHost(conn, host));
    ASSERT_EQ(1, ConnectToHost(&conn->socket, host, kStorePort));
    ASSERT_EQ(1, StoreListUsers(conn, Collect, &users));
  }
  void TearDown() override {
    FreeStoreRecord(conn);
    StoreSocketsCleanup();
  }
  // Selects alice's INBOX the way the shell does and returns its listing.
  Listing Inbox() {
    std::vector<std::string> boxes;
    EXPECT_EQ(1, StoreListMailboxes(conn, "alice", Collect, &boxes));
    Listing l;
    EXPECT_EQ(1, StoreListMessages(conn, "alice", "INBOX", {OnCount, OnMessage, &l}));
    return l;
  }

  StoreConnection* conn = nullptr;
  std::vector<std::string> users;
};

TEST_F(EndToEnd, UsersMailboxesAndServerDetails) {
  EXPECT_EQ(std::vector<std::string>({"alice", "bob"}), users);
  std::vector<std::string> boxes;
  ASSERT_EQ(1, StoreListMailboxes(conn, "alice", Collect, &boxes));
  EXPECT_EQ(std::vector<std::string>({"INBOX", "Archive", "Archive/2024", "Trash"}), boxes);
  unsigned long used = 0, limit = 99;
  ASSERT_EQ(1, StoreSpace(conn, &used, &limit));
  EXPECT_GE(used, 1u);
  EXPECT_LT(used, 100u);
  EXPECT_EQ(0u, limit);
  std::vector<std::string> capa, conf;
  ASSERT_EQ(1, StoreCapabilities(conn, Collect, &capa));
  ASSERT_EQ(1, StoreConfiguration(conn, Collect, &conf));
  EXPECT_EQ("IMPLEMENTATION zelmstored 1.0", capa.at(0));
  EXPECT_EQ(0u, conf.at(0).find("Store root:"));
}

TEST_F(EndToEnd, MessagesAndTheirDetails) {
  Listing l = Inbox();
  EXPECT_EQ(3u, l.count);
  EXPECT_EQ(std::vector<std::string>({"Quarterly_report", "Lunch", "Long_body"}), l.texts);
  MailboxStat st;
  ASSERT_EQ(1, StoreMailboxStat(conn, &st));
  EXPECT_EQ(3u, st.messages);
  EXPECT_EQ(1u, st.newMessages);

  MessageDetails d;
  ASSERT_EQ(1, StoreMessageDetails(conn, 1, &d));
  EXPECT_EQ(d.headerBytes + d.bodyBytes, d.totalBytes);
  EXPECT_EQ(unsigned(kFlagRead), d.flags & kFlagsInterpreted);
  EXPECT_STREQ("-alice@example.org", d.sender);
  EXPECT_FALSE(SenderVerified(d));
  EXPECT_EQ(32u, strlen(d.hash));
  ASSERT_EQ(1, StoreMessageDetails(conn, 2, &d));
  EXPECT_EQ(unsigned(kFlagRecent | kFlagHighPriority | kFlagLeadingDot), d.flags);
  EXPECT_EQ(0, StoreMessageDetails(conn, 4, &d));  // no such message: refused
}

TEST_F(EndToEnd, MimeHeaderAndBody) {
  Inbox();
  std::vector<std::string> parts;
  ASSERT_EQ(1, StoreMime(conn, 1, CollectPart, &parts));
  EXPECT_EQ(std::vector<std::string>({"0 multipart/mixed - 208 11", "1 text/plain - 35 2",
                                      "1 image/gif chart.gif 20 1"}),
            parts);
  std::vector<std::string> header;
  ASSERT_EQ(1, StoreHeader(conn, 1, Collect, &header));
  EXPECT_EQ(6u, header.size());
  EXPECT_EQ("Subject: Quarterly report", header.at(2));

  std::vector<std::string> body;
  char reason[kReplyCapacity];
  ASSERT_EQ(kBodyOk, StoreBody(conn, 2, 0, Collect, &body, reason));
  EXPECT_EQ(std::vector<std::string>({"Noon at the usual place?", ".and a line with a leading dot"}),
            body);

  // The first 4,096 bytes of a longer body, as the shell asks above its limit.
  MessageDetails d;
  ASSERT_EQ(1, StoreMessageDetails(conn, 3, &d));
  EXPECT_GT(d.bodyBytes, 4096u);
  body.clear();
  ASSERT_EQ(kBodyOk, StoreBody(conn, 3, 4096, Collect, &body, reason));
  ASSERT_EQ(72u, body.size());  // 71 whole lines of 57 bytes and a piece of the next
  EXPECT_EQ("line 0000 of a body longer than the shell shows at once", body.front());
  EXPECT_EQ("line 0071 of a body longer than the shell shows a", body.back());
  // The connection is still in step: another exchange works.
  MailboxStat st;
  ASSERT_EQ(1, StoreMailboxStat(conn, &st));
  EXPECT_EQ(3u, st.messages);
}

TEST_F(EndToEnd, DeletingAMailbox) {
  std::vector<std::string> boxes;
  ASSERT_EQ(1, StoreListMailboxes(conn, "alice", Collect, &boxes));
  EXPECT_EQ(1, StoreRemoveMailbox(conn, "Trash"));
  EXPECT_EQ(0, StoreRemoveMailbox(conn, "Trash"));  // gone already
  EXPECT_EQ(0, StoreRemoveMailbox(conn, "INBOX"));  // never removed
  boxes.clear();
  ASSERT_EQ(1, StoreListMailboxes(conn, "alice", Collect, &boxes));
  EXPECT_EQ(std::vector<std::string>({"INBOX", "Archive", "Archive/2024"}), boxes);
}

}  // namespace
