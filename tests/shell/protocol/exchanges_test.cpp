// Every store exchange against a real TCP peer: the exact bytes sent, the
// parse of the answers, and hostile answers that must end the exchange cleanly.
#include <cstring>

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
           Send(std::string(kInfoAcks) + "2002 4000000000\r\n" + InfoLine(1, "a") + InfoLine(2, "b") +
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
  // "RSET\r\nUSER " + name + "\r\nSHOW\r\n" is 19 bytes around the name.
  std::string fits(1024 - 1 - 19, 'u'), over(1024 - 19, 'u');
  Connect({Expect("RSET\r\nUSER " + fits + "\r\nSHOW\r\n"),
           Send("1000 ok\r\n1000 ok\r\n2002 list\r\n1000 end\r\n"), Hold(2000)});
  std::vector<std::string> boxes;
  EXPECT_EQ(1, StoreListMailboxes(conn, fits.c_str(), CollectText, &boxes));
  size_t sent = peer.Received().size();
  EXPECT_EQ(0, StoreListMailboxes(conn, over.c_str(), CollectText, &boxes));
  Sleep(200);
  EXPECT_EQ(sent, peer.Received().size());
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
