// Every store exchange against a real TCP peer: the exact bytes sent, the
// parse of the answers, and hostile answers that must end the exchange cleanly.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

struct Listed {
  unsigned long count = ~0ul;
  std::vector<std::pair<unsigned long, std::string>> messages;
};

MessageListSink SinkFor(Listed* l) {
  return {[](void* ctx, unsigned long n) { static_cast<Listed*>(ctx)->count = n; },
          [](void* ctx, unsigned long k, const char* text) {
            static_cast<Listed*>(ctx)->messages.emplace_back(k, text);
          },
          l};
}

struct Parts {
  std::vector<MimePart> parts;
};

void CollectPart(void* ctx, const MimePart& p) { static_cast<Parts*>(ctx)->parts.push_back(p); }

const char kInfoCommand[] = "RSET MBOX\r\nUSER bob\r\nMBOX INBOX\r\nFLAG 2147483648\r\nINFO\r\n";
const char kInfoAcks[] = "1000 ok\r\n1000 ok\r\n1000 ok\r\n1000 ok\r\n";

std::string InfoLine(int k, const char* text) {
  char line[128];
  snprintf(line, sizeof line, "%d 1 2 3 4 word %s 99\r\n", k, text);
  return line;
}

TEST_F(StoreTest, GreetingThenUserListTakesOnly2001Lines) {
  Connect({Send("1000 ZELM ready\r\n"), Expect("ULIST\r\n"),
           Send("2001 alice\r\n2099 not a user\r\n2001 bob\r\nstray line\r\n2001 carol\r\n1000 end\r\n")});
  std::vector<std::string> users;
  EXPECT_EQ(1, StoreListUsers(conn, CollectText, &users));
  EXPECT_EQ((std::vector<std::string>{"alice", "bob", "carol"}), users);
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(StoreTest, GreetingOtherThan1000AsksForNothing) {
  Connect({Send("4000 busy\r\n"), Hold(1500)});
  std::vector<std::string> users;
  EXPECT_EQ(0, StoreListUsers(conn, CollectText, &users));
  EXPECT_TRUE(users.empty());
  peer.ScriptOk();
  EXPECT_EQ("", peer.Received());
}

TEST_F(StoreTest, MailboxesSkipHierarchyNodesAndTakeCodelessLines) {
  Connect({Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
           Send("1000 ok\r\n1000 ok\r\n2002 list follows\r\n2002 INBOX\r\n2002 Archive/\r\n"
                "Archive/2024\r\n2002-Sent\r\n1000 end\r\n")});
  std::vector<std::string> boxes;
  EXPECT_EQ(1, StoreListMailboxes(conn, "bob", CollectText, &boxes));
  EXPECT_EQ((std::vector<std::string>{"INBOX", "Archive/2024", "Sent"}), boxes);
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(StoreTest, ShowNotAnswered2002ReadsNothingMore) {
  Connect({Expect("RSET\r\nUSER nobody\r\nSHOW\r\n"),
           Send("1000 ok\r\n4001 no such user\r\n4002 no user\r\n2002 INBOX\r\n")});
  std::vector<std::string> boxes;
  EXPECT_EQ(0, StoreListMailboxes(conn, "nobody", CollectText, &boxes));
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(static_cast<int>(strlen("2002 INBOX\r\n")), conn->buffered);
}

TEST_F(StoreTest, MessageListNumbersLinesInOrder) {
  Connect({Expect(kInfoCommand),
           Send(std::string(kInfoAcks) + "2002 3 messages\r\n" + InfoLine(1, "first") +
                "garbage that does not scan\r\n" + InfoLine(3, "third") + "1000 end\r\n"
                "2001 after\r\n")});
  Listed l;
  EXPECT_EQ(1, StoreListMessages(conn, "bob", "INBOX", SinkFor(&l)));
  EXPECT_EQ(3ul, l.count);
  ASSERT_EQ(3u, l.messages.size());
  EXPECT_EQ(1ul, l.messages[0].first);
  EXPECT_EQ("first", l.messages[0].second);
  EXPECT_EQ(2ul, l.messages[1].first);  // a line that does not scan still counts
  EXPECT_EQ("", l.messages[1].second);
  EXPECT_EQ("third", l.messages[2].second);
  std::string text;
  EXPECT_EQ(2001, Read(&text));  // the closing reply was consumed, nothing more
  EXPECT_EQ("after", text);
}

TEST_F(StoreTest, EmptyMailboxReadsOnlyTheClosingReply) {
  Connect({Expect(kInfoCommand), Send(std::string(kInfoAcks) + "2002 0\r\n1000 end\r\n2001 next\r\n")});
  Listed l;
  EXPECT_EQ(1, StoreListMessages(conn, "bob", "INBOX", SinkFor(&l)));
  EXPECT_EQ(0ul, l.count);
  EXPECT_TRUE(l.messages.empty());
  std::string text;
  EXPECT_EQ(2001, Read(&text));
}

TEST_F(StoreTest, InfoNotAnswered2002ListsNothing) {
  Connect({Expect(kInfoCommand), Send(std::string(kInfoAcks) + "4004 no mailbox\r\n")});
  Listed l;
  EXPECT_EQ(0, StoreListMessages(conn, "bob", "INBOX", SinkFor(&l)));
  EXPECT_EQ(~0ul, l.count);
}

TEST_F(StoreTest, InfoCountThatLiesEndsWhenThePeerCloses) {
  Connect({Expect(kInfoCommand),
           Send(std::string(kInfoAcks) + "2002 1000\r\n" + InfoLine(1, "a") + InfoLine(2, "b") +
                "1000 end\r\n"),
           CloseNow()});
  Listed l;
  DWORD start = GetTickCount();
  EXPECT_EQ(0, StoreListMessages(conn, "bob", "INBOX", SinkFor(&l)));
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(3u, l.messages.size());  // the closing line was taken as a message
  EXPECT_TRUE(IsConnectionClosed(conn));
}

TEST_F(StoreTest, RemoveMailboxNeeds1000) {
  Connect({Expect("RSET MBOX\r\nRMOV Trash\r\n"), Send("1000 ok\r\n1000 removed\r\n"),
           Expect("RSET MBOX\r\nRMOV INBOX\r\n"), Send("1000 ok\r\n4010 refused\r\n")});
  EXPECT_EQ(1, StoreRemoveMailbox(conn, "Trash"));
  EXPECT_EQ(0, StoreRemoveMailbox(conn, "INBOX"));
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(StoreTest, CapabilitiesAndConfiguration) {
  Connect({Expect("CAPA\r\n"), Send("2001 MIME\r\n2005 ignored\r\n2001 BRAW\r\n1000 end\r\n"),
           Expect("CONF\r\n"), Send("2001 Store path: /var/mail\r\n2001 Quota:on\r\n1000 end\r\n")});
  std::vector<std::string> caps, conf;
  EXPECT_EQ(1, StoreCapabilities(conn, CollectText, &caps));
  EXPECT_EQ((std::vector<std::string>{"MIME", "BRAW"}), caps);
  EXPECT_EQ(1, StoreConfiguration(conn, CollectText, &conf));
  EXPECT_EQ((std::vector<std::string>{"Store path: /var/mail", "Quota:on"}), conf);
}

TEST_F(StoreTest, SpaceAndStatistics) {
  Connect({Expect("SPACE\r\n"), Send("1000 2048 0\r\n"), Expect("STAT\r\n"),
           Send("1000 INBOX 12 34567 2 890\r\n"), Expect("SPACE\r\n"), Send("4000 no user\r\n"),
           Expect("STAT\r\n"), Send("4000 no mailbox\r\n")});
  unsigned long used = 1, limit = 1;
  EXPECT_EQ(1, StoreSpace(conn, &used, &limit));
  EXPECT_EQ(2048ul, used);
  EXPECT_EQ(0ul, limit);
  MailboxStat st;
  EXPECT_EQ(1, StoreMailboxStat(conn, &st));
  EXPECT_EQ(12ul, st.messages);
  EXPECT_EQ(34567ul, st.totalBytes);
  EXPECT_EQ(2ul, st.newMessages);
  EXPECT_EQ(890ul, st.newBytes);
  EXPECT_EQ(0, StoreSpace(conn, &used, &limit));
  EXPECT_EQ(0, StoreMailboxStat(conn, &st));
}

TEST_F(StoreTest, MessageDetailsFields) {
  Connect({Expect("AINFO 7\r\n"), Send("2001 7 5120 1024 4096 417 9f3a2b 123456 0 -mallory@x\r\n"),
           Expect("AINFO 8\r\n"), Send("2001 8 10 5 5 0 h 1 0 alice@example.org\r\n"),
           Expect("AINFO 9\r\n"), Send("4020 no such message\r\n")});
  MessageDetails d;
  ASSERT_EQ(1, StoreMessageDetails(conn, 7, &d));
  EXPECT_EQ(5120ul, d.totalBytes);
  EXPECT_EQ(1024ul, d.headerBytes);
  EXPECT_EQ(4096ul, d.bodyBytes);
  EXPECT_EQ(417ul, d.flags);
  EXPECT_STREQ("9f3a2b", d.hash);
  EXPECT_EQ(123456ul, d.uniqueId);
  EXPECT_FALSE(SenderVerified(d));
  ASSERT_EQ(1, StoreMessageDetails(conn, 8, &d));
  EXPECT_TRUE(SenderVerified(d));
  EXPECT_STREQ("alice@example.org", d.sender);
  EXPECT_EQ(0, StoreMessageDetails(conn, 9, &d));
}

TEST_F(StoreTest, MimeNestingFollowsContainersAndClosers) {
  Connect({Expect("MIME 3\r\n"),
           Send("2002 multipart mixed - 7bit - 0 2000 0 60\r\n"
                "2002 text plain us-ascii 7bit - 0 120 0 4\r\n"
                "2002 MESSAGE rfc822 - 7bit - 0 900 0 30\r\n"
                "2002 text html utf-8 quoted-printable - 0 700 0 25\r\n"
                "2004 end of message\r\n"
                "2002 image gif - base64 logo.gif 0 300 0 5\r\n"
                "2099 passed over\r\n"
                "2003 end of multipart\r\n"
                "2003 one too many\r\n"
                "2002 text plain - 8bit - 0 1 0 1\r\n"
                "1000 end\r\n")});
  Parts p;
  ASSERT_EQ(1, StoreMime(conn, 3, CollectPart, &p));
  ASSERT_EQ(6u, p.parts.size());
  int levels[] = {0, 1, 1, 2, 1, 0};
  bool containers[] = {true, false, true, false, false, false};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(levels[i], p.parts[i].level) << i;
    EXPECT_EQ(containers[i], p.parts[i].container) << i;
  }
  EXPECT_STREQ("text", p.parts[1].type);
  EXPECT_STREQ("plain", p.parts[1].subtype);
  EXPECT_STREQ("us-ascii", p.parts[1].charset);
  EXPECT_STREQ("7bit", p.parts[1].encoding);
  EXPECT_EQ(120ul, p.parts[1].bytes);
  EXPECT_EQ(4ul, p.parts[1].lines);
  EXPECT_FALSE(p.parts[1].named);
  EXPECT_TRUE(p.parts[4].named);
  EXPECT_STREQ("logo.gif", p.parts[4].name);
}

TEST_F(StoreTest, MimeThousandLevelsDeepDoesNotBreak) {
  std::string answer;
  for (int i = 0; i < 1000; ++i) answer += "2002 multipart mixed - 7bit - 0 1 0 1\r\n";
  answer += "2002 text plain - 7bit - 0 1 0 1\r\n";
  for (int i = 0; i < 1000; ++i) answer += "2003 end\r\n";
  answer += "1000 end\r\n";
  Connect({Expect("MIME 1\r\n"), Send(answer)});
  Parts p;
  ASSERT_EQ(1, StoreMime(conn, 1, CollectPart, &p));
  ASSERT_EQ(1001u, p.parts.size());
  EXPECT_EQ(1000, p.parts.back().level);
}

TEST_F(StoreTest, HeaderLinesUntilReply1000) {
  Connect({Expect("HEAD 2\r\n"),
           Send("2020 header follows\r\n"
                "From: alice@example.org\r\n"
                "Subject: 1234 is not a code\r\n"
                "2050 a reply line passed over\r\n"
                "\tfolded continuation\r\n"
                "1000 end\r\n"
                "2001 next\r\n")});
  std::vector<std::string> lines;
  EXPECT_EQ(1, StoreHeader(conn, 2, CollectText, &lines));
  EXPECT_EQ((std::vector<std::string>{"From: alice@example.org", "Subject: 1234 is not a code",
                                      "\tfolded continuation"}),
            lines);
  std::string text;
  EXPECT_EQ(2001, Read(&text));
}

TEST_F(StoreTest, HeaderRefusedDoesNotWaitForLines) {
  Connect({Expect("HEAD 9\r\n"), Send("4020 no such message\r\n"), Hold(5000)});
  std::vector<std::string> lines;
  DWORD start = GetTickCount();
  EXPECT_EQ(0, StoreHeader(conn, 9, CollectText, &lines));
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_FALSE(IsConnectionClosed(conn));
}

TEST_F(StoreTest, BodyPiecesAndClosingReply) {
  Connect({Expect("BODY 1\r\n"), Send("2021 13 bytes\r\nHello\r\nWorld\r\n1000 end\r\n"),
           Expect("BRAW 2 0 4096\r\n"), Send("2025 0\r\n1000 end\r\n"),
           Expect("BODY 3\r\n"), Send("2021 4\r\nab\r\n4999 broken\r\n"),
           Expect("BODY 4\r\n"), Send("4020 message gone\r\n")});
  std::vector<std::string> pieces;
  char reason[kReplyCapacity];
  EXPECT_EQ(kBodyOk, StoreBody(conn, 1, 0, CollectText, &pieces, reason));
  EXPECT_EQ((std::vector<std::string>{"Hello", "World"}), pieces);
  pieces.clear();
  EXPECT_EQ(kBodyOk, StoreBody(conn, 2, 4096, CollectText, &pieces, reason));
  EXPECT_TRUE(pieces.empty());  // 0 bytes: only the closing reply
  EXPECT_EQ(kBodyBadEnd, StoreBody(conn, 3, 0, CollectText, &pieces, reason));
  EXPECT_EQ(kBodyRefused, StoreBody(conn, 4, 0, CollectText, &pieces, reason));
  EXPECT_STREQ("message gone", reason);
  EXPECT_TRUE(peer.ScriptOk());
}

TEST_F(StoreTest, LongBodyLinesArriveInPiecesAndStayAligned) {
  // 2,500 characters: pieces of 1,025, 1,025 and 450, one line end between them.
  std::string longLine(2500, 'L');
  std::string body = "short\r\n" + longLine + "\r\n" + std::string(1025, 'E') + "\r\nend\r\n";
  Connect({Expect("BODY 5\r\n"), Send("2021 " + std::to_string(body.size()) + "\r\n" + body +
                                      "1000 end\r\n2001 after\r\n")});
  std::vector<std::string> pieces;
  char reason[kReplyCapacity];
  EXPECT_EQ(kBodyOk, StoreBody(conn, 5, 0, CollectText, &pieces, reason));
  ASSERT_EQ(7u, pieces.size());
  EXPECT_EQ("short", pieces[0]);
  EXPECT_EQ(std::string(1025, 'L'), pieces[1]);
  EXPECT_EQ(std::string(1025, 'L'), pieces[2]);
  EXPECT_EQ(std::string(450, 'L'), pieces[3]);
  EXPECT_EQ(std::string(1025, 'E'), pieces[4]);
  EXPECT_EQ("", pieces[5]);  // the line end left behind by the exact piece
  EXPECT_EQ("end", pieces[6]);
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ("after", text);
}

TEST_F(StoreTest, BodyCountThatLiesOrCloseMidBodyEndsCleanly) {
  Connect({Expect("BODY 1\r\n"), Send("2021 100000\r\nonly a little\r\n"), CloseNow()});
  std::vector<std::string> pieces;
  char reason[kReplyCapacity];
  EXPECT_EQ(kBodyLost, StoreBody(conn, 1, 0, CollectText, &pieces, reason));
  EXPECT_EQ((std::vector<std::string>{"only a little"}), pieces);
  EXPECT_TRUE(IsConnectionClosed(conn));
  EXPECT_EQ(kBodyLost, StoreBody(conn, 2, 0, CollectText, &pieces, reason));
}

TEST_F(StoreTest, NulBytesInRepliesAreHarmless) {
  std::string nul("2001 ab\0cd\r\n", 12);
  std::string body("x\0y\r\n", 5);
  Connect({Send(nul), Expect("BODY 1\r\n"), Send("2021 5\r\n" + body + "1000 end\r\n")});
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ("ab", text);
  std::vector<std::string> pieces;
  char reason[kReplyCapacity];
  EXPECT_EQ(kBodyOk, StoreBody(conn, 1, 0, CollectText, &pieces, reason));
  EXPECT_EQ((std::vector<std::string>{"x"}), pieces);
}

TEST_F(StoreTest, CloseMidListEndsTheList) {
  Connect({Send("1000 hi\r\n"), Expect("ULIST\r\n"), Send("2001 a\r\n2001 b"), CloseNow()});
  std::vector<std::string> users;
  EXPECT_EQ(0, StoreListUsers(conn, CollectText, &users));
  EXPECT_EQ((std::vector<std::string>{"a"}), users);
}

TEST_F(StoreTest, CommandThatDoesNotFitIsNotSent) {
  // Around the names: SHOW's batch takes 19 bytes, RMOV's 18, INFO's 51 with
  // the user "bob"; 1,023 bytes fit the 1,024-byte buffer with its NUL.
  std::string show(1024 - 1 - 19, 'u'), rmov(1024 - 1 - 18, 'r'), info(1024 - 1 - 51, 'i');
  Connect({Expect("RSET\r\nUSER " + show + "\r\nSHOW\r\n"),
           Send("1000 ok\r\n1000 ok\r\n2002 list\r\n1000 end\r\n"),
           Expect("RSET MBOX\r\nRMOV " + rmov + "\r\n"), Send("1000 ok\r\n1000 removed\r\n"),
           Expect("RSET MBOX\r\nUSER bob\r\nMBOX " + info + "\r\nFLAG 2147483648\r\nINFO\r\n"),
           Send(std::string(kInfoAcks) + "2002 0\r\n1000 end\r\n"), Hold(2000)});
  std::vector<std::string> boxes;
  Listed l;
  EXPECT_EQ(1, StoreListMailboxes(conn, show.c_str(), CollectText, &boxes));
  EXPECT_EQ(1, StoreRemoveMailbox(conn, rmov.c_str()));
  EXPECT_EQ(1, StoreListMessages(conn, "bob", info.c_str(), SinkFor(&l)));
  size_t sent = peer.Received().size();
  // One character more: nothing goes, and the caller learns why.
  EXPECT_EQ(kStoreNotSent, StoreListMailboxes(conn, (show + "u").c_str(), CollectText, &boxes));
  EXPECT_EQ(kStoreNotSent, StoreRemoveMailbox(conn, (rmov + "r").c_str()));
  EXPECT_EQ(kStoreNotSent, StoreListMessages(conn, "bob", (info + "i").c_str(), SinkFor(&l)));
  Sleep(200);
  EXPECT_EQ(sent, peer.Received().size());
  EXPECT_FALSE(IsConnectionClosed(conn));
}

// An error line inside a list is the store's last word there, never an entry.
TEST_F(StoreTest, AnErrorLineEndsMailboxMessageAndHeaderLists) {
  Connect({Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
           Send("1000 ok\r\n1000 ok\r\n2002 3 mailboxes\r\n2001 INBOX\r\n"
                "4013 no such mailbox\r\n2001 after\r\n1000 end\r\n"),
           Expect(kInfoCommand),
           Send(std::string(kInfoAcks) + "2002 3\r\n" + InfoLine(1, "one") +
                "5000 the store could not be read\r\n"),
           Expect("HEAD 1\r\n"), Send("2020 header\r\nFrom: a\r\n4014 no such message\r\n"),
           Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
           Send("1000 ok\r\n1000 ok\r\n2002 1 mailboxes\r\n5001 service disabled\r\n"),
           Hold(3000)});
  std::vector<std::string> boxes;
  EXPECT_EQ(0, StoreListMailboxes(conn, "bob", CollectText, &boxes));
  EXPECT_EQ((std::vector<std::string>{"INBOX"}), boxes);
  // What followed the error is left alone (the next read would take it).
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ(1000, Read(&text));
  Listed l;
  EXPECT_EQ(0, StoreListMessages(conn, "bob", "INBOX", SinkFor(&l)));
  ASSERT_EQ(1u, l.messages.size());
  EXPECT_EQ("one", l.messages[0].second);
  std::vector<std::string> header;
  EXPECT_EQ(0, StoreHeader(conn, 1, CollectText, &header));
  EXPECT_EQ((std::vector<std::string>{"From: a"}), header);
  // 5001 also ends the connection, at once.
  boxes.clear();
  DWORD start = GetTickCount();
  EXPECT_EQ(0, StoreListMailboxes(conn, "bob", CollectText, &boxes));
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(IsConnectionClosed(conn));
}

// Answers that never end stop at their bound, with the connection closed
// so that nothing of them is read as a later answer.
TEST_F(StoreTest, EndlessAnswersStopAtTheirBounds) {
  const char kShow[] = "RSET\r\nUSER bob\r\nSHOW\r\n";
  struct Row {
    const char* name;
    std::vector<PeerStep> script;
    int (*run)(StoreConnection*, std::vector<std::string>*);
    size_t handedOut;
  } rows[] = {
      {"ULIST", {Send("1000 hi\r\n"), Expect("ULIST\r\n"), Endless("2001 user\r\n")},
       [](StoreConnection* c, std::vector<std::string>* v) { return StoreListUsers(c, CollectText, v); },
       kAnswerBounds.treeEntries},
      {"SHOW", {Expect(kShow), Send("1000 a\r\n1000 b\r\n2002 x\r\n"), Endless("2001 box\r\n")},
       [](StoreConnection* c, std::vector<std::string>* v) {
         return StoreListMailboxes(c, "bob", CollectText, v);
       },
       kAnswerBounds.treeEntries},
      {"CAPA", {Expect("CAPA\r\n"), Endless("2001 capability\r\n")},
       [](StoreConnection* c, std::vector<std::string>* v) { return StoreCapabilities(c, CollectText, v); },
       kAnswerBounds.detailLines},
      // Lines the list passes over count too: they hold the window as long.
      {"CONF", {Expect("CONF\r\n"), Endless("2099 passed over\r\n")},
       [](StoreConnection* c, std::vector<std::string>* v) { return StoreConfiguration(c, CollectText, v); },
       0},
      {"MIME", {Expect("MIME 1\r\n"), Endless("2002 text plain - 7bit - 0 1 0 1\r\n")},
       [](StoreConnection* c, std::vector<std::string>* v) {
         return StoreMime(c, 1, [](void* ctx, const MimePart& p) { CollectText(ctx, p.type); }, v);
       },
       kAnswerBounds.detailLines},
      {"HEAD", {Expect("HEAD 1\r\n"), Send("2020 header\r\n"), Endless("X-Noise: again\r\n")},
       [](StoreConnection* c, std::vector<std::string>* v) { return StoreHeader(c, 1, CollectText, v); },
       kAnswerBounds.detailLines},
      // Message lines going on past the announced count.
      {"INFO", {Expect(kInfoCommand), Send(std::string(kInfoAcks) + "2002 3 messages\r\n"),
                Endless(InfoLine(9, "again"))},
       [](StoreConnection* c, std::vector<std::string>* v) {
         MessageListSink sink = {nullptr, [](void* ctx, unsigned long, const char* t) { CollectText(ctx, t); }, v};
         return StoreListMessages(c, "bob", "INBOX", sink);
       },
       3},
  };
  for (Row& r : rows) {
    ScriptedPeer endless;
    ASSERT_TRUE(endless.Start(r.script)) << r.name;
    StoreConnection c = {};
    c.nodeKind = kNodeServer;
    ASSERT_EQ(1, ConnectToHost(&c.socket, endless.Address(), kStorePort)) << r.name;
    std::vector<std::string> got;
    DWORD start = GetTickCount();
    EXPECT_EQ(kStoreTooLong, r.run(&c, &got)) << r.name;
    EXPECT_LT(GetTickCount() - start, 20000u) << r.name;
    EXPECT_EQ(r.handedOut, got.size()) << r.name;
    EXPECT_TRUE(IsConnectionClosed(&c)) << r.name;
    EXPECT_TRUE(endless.ScriptOk()) << r.name;  // the client ended it
  }
}

// Each bound at its size and one past it (lowered so a test reaches it).
TEST_F(StoreTest, AnswerBoundsHoldAtTheirSizeAndEndOnePast) {
  Bounds small({3, 3, 3, 10, 5});
  Connect({Expect("CAPA\r\n"), Send("2001 a\r\n2001 b\r\n2099 c\r\n1000 end\r\n"),
           Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
           Send("1000 a\r\n1000 b\r\n2002 x\r\n2001 A\r\n2001 B/\r\n2001 C\r\n1000 end\r\n"),
           Expect(kInfoCommand),
           Send(std::string(kInfoAcks) + "2002 2\r\n" + InfoLine(1, "abcde") + InfoLine(2, "fghij") +
                "1000 end\r\n"),
           Expect("CAPA\r\n"), Send("2001 a\r\n2001 b\r\n2001 c\r\n2001 d\r\n1000 end\r\n"),
           Hold(3000)});
  std::vector<std::string> got;
  EXPECT_EQ(1, StoreCapabilities(conn, CollectText, &got));
  EXPECT_EQ(1, StoreListMailboxes(conn, "bob", CollectText, &got));
  Listed l;
  EXPECT_EQ(1, StoreListMessages(conn, "bob", "INBOX", SinkFor(&l)));  // 10 bytes of texts
  EXPECT_EQ(kStoreTooLong, StoreCapabilities(conn, CollectText, &got));
  EXPECT_TRUE(IsConnectionClosed(conn));

  // One past the others, each on a connection of its own.
  struct Row {
    const char* name;
    std::string answer;
    int (*run)(StoreConnection*);
  } rows[] = {
      {"SHOW", "1000 a\r\n1000 b\r\n2002 x\r\n2001 A\r\n2001 B\r\n2001 C\r\n2001 D\r\n1000 end\r\n",
       [](StoreConnection* c) {
         std::vector<std::string> v;
         return StoreListMailboxes(c, "bob", CollectText, &v);
       }},
      {"ULIST texts", "1000 hi\r\n2001 abcde\r\n2001 fghijk\r\n1000 end\r\n",
       [](StoreConnection* c) {
         std::vector<std::string> v;
         return StoreListUsers(c, CollectText, &v);
       }},
      {"INFO texts",
       std::string(kInfoAcks) + "2002 2\r\n" + InfoLine(1, "abcde") + InfoLine(2, "fghijk") + "1000 end\r\n",
       [](StoreConnection* c) {
         Listed m;
         return StoreListMessages(c, "bob", "INBOX", SinkFor(&m));
       }},
  };
  for (Row& r : rows) {
    ScriptedPeer p;
    ASSERT_TRUE(p.Start({Send(r.answer), Hold(3000)})) << r.name;
    StoreConnection c = {};
    c.nodeKind = kNodeServer;
    ASSERT_EQ(1, ConnectToHost(&c.socket, p.Address(), kStorePort)) << r.name;
    EXPECT_EQ(kStoreTooLong, r.run(&c)) << r.name;
    EXPECT_TRUE(IsConnectionClosed(&c)) << r.name;
  }
}

// A count the list cannot take is refused before any line is read: above the
// bound, and above 32 bits however high the bound (4294967297 is not 1).
TEST_F(StoreTest, MessageCountsThatDoNotFitAreRefused) {
  struct Row {
    const char* count;
    unsigned long bound;
    int result;
    unsigned long reported;
  } rows[] = {
      {"2097152", kAnswerBounds.messages, 0, 2097152ul},  // taken; the peer then closes
      {"2097153", kAnswerBounds.messages, kStoreCountRefused, ~0ul},
      {"4294967295", 0xFFFFFFFFul, 0, 4294967295ul},
      {"4294967296", 0xFFFFFFFFul, kStoreCountRefused, ~0ul},
      {"4294967297", 0xFFFFFFFFul, kStoreCountRefused, ~0ul},
      {"99999999999999999999999", 0xFFFFFFFFul, kStoreCountRefused, ~0ul},
  };
  for (const Row& r : rows) {
    AnswerBounds b = kAnswerBounds;
    b.messages = r.bound;
    Bounds bound(b);
    ScriptedPeer p;
    ASSERT_TRUE(p.Start({Expect(kInfoCommand),
                         Send(std::string(kInfoAcks) + "2002 " + r.count + " messages\r\n" +
                              InfoLine(1, "first")),
                         CloseNow()}))
        << r.count;
    StoreConnection c = {};
    c.nodeKind = kNodeServer;
    ASSERT_EQ(1, ConnectToHost(&c.socket, p.Address(), kStorePort)) << r.count;
    Listed l;
    EXPECT_EQ(r.result, StoreListMessages(&c, "bob", "INBOX", SinkFor(&l))) << r.count;
    EXPECT_EQ(r.reported, l.count) << r.count;
    EXPECT_EQ(r.result == 0 ? 1u : 0u, l.messages.size()) << r.count;
    EXPECT_TRUE(IsConnectionClosed(&c)) << r.count;
  }
}

TEST_F(StoreTest, MessageDetailsThatDoNotScanAreAFailure) {
  Connect({Expect("AINFO 1\r\n"), Send("2001 1 5120 1024\r\n"), Expect("AINFO 2\r\n"),
           Send("2001 2 10 5 5 0 h 1 0\r\n"), Expect("AINFO 3\r\n"),
           Send("2001 garbage\r\n"), Expect("AINFO 4\r\n"),
           Send("2001 4 10 5 5 0 h 1 0 s\r\n")});
  MessageDetails d;
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(0, StoreMessageDetails(conn, n, &d)) << n;
    EXPECT_EQ(0ul, d.bodyBytes) << n;
  }
  EXPECT_EQ(1, StoreMessageDetails(conn, 4, &d));  // all nine fields
  EXPECT_STREQ("s", d.sender);
}

// The details pane's body: never more than its limit is handed out, whatever
// was asked for or announced; a little more is read and dropped, much more
// ends the connection.
TEST_F(StoreTest, ShownBodyKeepsItsLimitWhateverTheStoreAnnounces) {
  std::string line(98, 'b');
  std::string body;
  for (int i = 0; i < 100; ++i) body += line + "\r\n";  // 10,000 bytes
  struct Row {
    const char* name;
    unsigned long asked;  // 0: BODY
    std::vector<PeerStep> script;
    int result;
    bool cut;
    bool closed;
  } rows[] = {
      {"fits", 0, {Expect("BODY 1\r\n"), Send("2021 10000\r\n" + body + "1000 end\r\n")}, kBodyOk,
       false, false},
      {"more than AINFO said", 0, {Expect("BODY 1\r\n"), Send("2021 10000\r\n" + body + "1000 end\r\n")},
       kBodyOk, true, false},
      {"more than BRAW asked", 4096,
       {Expect("BRAW 1 0 4096\r\n"), Send("2025 10000\r\n" + body + "1000 end\r\n")}, kBodyOk, true,
       false},
      {"endless", 0, {Expect("BODY 1\r\n"), Send("2021 99999999999999999999\r\n"), Endless(line + "\r\n")},
       kBodyCut, true, true},
  };
  unsigned long limits[] = {10000, 4096, 4096, 4096};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Row& r = rows[i];
    ScriptedPeer p;
    ASSERT_TRUE(p.Start(r.script)) << r.name;
    StoreConnection c = {};
    c.nodeKind = kNodeServer;
    ASSERT_EQ(1, ConnectToHost(&c.socket, p.Address(), kStorePort)) << r.name;
    std::vector<std::string> pieces;
    int cuts = 0;
    struct Both {
      std::vector<std::string>* pieces;
      int* cuts;
    } both = {&pieces, &cuts};
    BodyShow show = {[](void* ctx, const char* t) { static_cast<Both*>(ctx)->pieces->push_back(t); },
                     [](void* ctx) { ++*static_cast<Both*>(ctx)->cuts; }, &both, limits[i]};
    char reason[kReplyCapacity];
    EXPECT_EQ(r.result, StoreShowBody(&c, 1, r.asked, show, reason)) << r.name;
    EXPECT_EQ(r.cut ? 1 : 0, cuts) << r.name;
    size_t shown = 0;
    for (const std::string& piece : pieces) shown += piece.size();
    EXPECT_LE(shown, limits[i]) << r.name;
    EXPECT_GE(shown + 300, limits[i]) << r.name;
    EXPECT_EQ(r.closed, IsConnectionClosed(&c)) << r.name;
  }
}

// The listing's scanner is written by hand for speed; it must take what the
// library's scanner takes from the same line.
TEST(StoreScan, InfoLinesScanAsTheLibraryScannerDoes) {
  std::string word(1030, 'w');
  const std::string lines[] = {
      "1 912 0 7 1700000000 bob@example.org Hello 310",
      "  1\t2\v3\f4\r5 w text",  // every kind of white space
      "+1 -2 3 4 5 w text 9",       // signs
      "1-2+3 4 5w text",            // numbers and words need no blank between
      "12345abc 2 3 4 5 w t",       // a word where a number belongs
      "1 2 3 4 5 w",                // no list text
      "1 2 3 4 5 w   ",
      "1 2 3 4 - w t",              // a sign without digits
      "1 2 3 4 5 w \xe9t\xe9 7",   // other code pages' characters
      "1 2 3 4 5 w " + word,        // cut at 1,024 characters
      "",
      "1000 end of messages",
  };
  std::vector<std::string> all(std::begin(lines), std::end(lines));
  // Lines as stores send them are scanned sixteen bytes at a time: every
  // field across every chunk boundary, and the forms left to the byte-wise
  // scan (a letter or sign among the numbers, no list text) likewise.
  const char* forms[] = {"1 22 333 4 55555 w%s 9", "1\t2 3 4 5\tww %s", "1 2 3x 4 5 w %s",
                         "1 2 3 4 +5 w %s", "1 2 3 4 5 %s", "1 2 3 4 5 w%s"};
  for (const char* form : forms)
    for (int pad = 0; pad < 18; ++pad)
      for (int n : {0, 1, 15, 16, 17, 40}) {
        char line[200];
        snprintf(line, sizeof line, form, (" " + std::string(static_cast<size_t>(n), 't')).c_str());
        all.push_back(std::string(static_cast<size_t>(pad), ' ') + line);
      }
  for (const std::string& line : all) {
    char want[kReplyCapacity] = "", got[kReplyCapacity] = "x";
    bool scanned = sscanf(line.c_str(), "%*u %*u %*u %*u %*u %*s %1024s %*u", want) == 1;
    EXPECT_EQ(scanned, ScanInfoLine(line.c_str(), got)) << line;
    EXPECT_STREQ(want, got) << line;
  }
}

TEST(StoreScan, InfoAndDetailLinesBoundWords) {
  char text[kReplyCapacity];
  std::string word(3000, 'w');
  EXPECT_TRUE(ScanInfoLine(("1 2 3 4 5 x " + word + " 6").c_str(), text));
  EXPECT_EQ(1024u, strlen(text));
  EXPECT_FALSE(ScanInfoLine("1 2 3", text));
  EXPECT_STREQ("", text);
  MessageDetails d;
  ScanMessageDetails(("1 2 3 4 5 " + word + " 7 8 s").c_str(), &d);
  EXPECT_EQ(1024u, strlen(d.hash));
  EXPECT_STREQ("", d.sender);  // the rest of the long word does not scan as a number
  ScanMessageDetails(("1 2 3 4 5 h 7 8 " + word).c_str(), &d);
  EXPECT_EQ(1024u, strlen(d.sender));
  MimePart p;
  ScanMimePart("multipart", &p);
  EXPECT_TRUE(p.container);
  EXPECT_STREQ("", p.subtype);
  ScanMimePart("messagE/x", &p);
  EXPECT_TRUE(p.container);
  ScanMimePart("messag rfc822", &p);
  EXPECT_FALSE(p.container);
}

}  // namespace
