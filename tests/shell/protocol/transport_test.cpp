// The line transport against a real TCP peer: code splitting, buffering,
// capacities, pieces, closing and timeouts.
#include <cstring>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

DWORD Since(DWORD start) { return GetTickCount() - start; }

TEST_F(StoreTest, SplitsReplyCodesFromText) {
  struct Row {
    const char* line;
    int code;
    const char* text;
  } rows[] = {
      {"1000 OK\r\n", 1000, "OK"},
      {"2002-INBOX\r\n", 2002, "INBOX"},
      {"12 abc\r\n", 12, "abc"},
      {"abc\r\n", -1, "abc"},
      {"2001 \r\n", 2001, ""},
      {"1000\r\n", -1, "1000"},           // no separator at all
      {"2001 a\rb\r\n", 2001, "a\rb"},    // only the last CR goes
      {"2001 x y\rtail\n", 2001, "x y"},  // text after a stray CR is cut
  };
  std::string script;
  for (const Row& r : rows) script += r.line;
  Connect({Send(script)});
  for (const Row& r : rows) {
    std::string text;
    EXPECT_EQ(r.code, Read(&text)) << r.line;
    EXPECT_EQ(r.text, text) << r.line;
  }
}

TEST_F(StoreTest, RawReadKeepsLineAndReturnsLeadingNumber) {
  Connect({Send("  42 17 x\r\n-7 y\r\nword\r\n")});
  std::string text;
  EXPECT_EQ(42, Read(&text, false));
  EXPECT_EQ("  42 17 x", text);
  EXPECT_EQ(-7, Read(&text, false));
  EXPECT_EQ(0, Read(&text, false));
  EXPECT_EQ("word", text);
}

TEST_F(StoreTest, LinesSplitAcrossPacketsAreJoined) {
  Connect({SendSplit("2001 alpha\r\n2001 be", 3), Delay(50), Send("ta\r\n1000 done\r\n")});
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ("alpha", text);
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ("beta", text);
  EXPECT_EQ(1000, Read(&text));
}

TEST_F(StoreTest, TwoLinesInOnePacketNeedOneReceive) {
  // The peer closes after the packet: the second line can only come from the buffer.
  Connect({Send("2001 one\r\n2001 two\r\n"), CloseNow()});
  std::string text;
  ASSERT_EQ(2001, Read(&text));
  EXPECT_EQ("one", text);
  EXPECT_EQ(static_cast<int>(strlen("2001 two\r\n")), conn->buffered);
  ASSERT_EQ(2001, Read(&text));
  EXPECT_EQ("two", text);
  EXPECT_EQ(0, conn->buffered);
}

TEST_F(StoreTest, LineCutAtCapacityMinusOne) {
  // The reply capacity is 1,025: a 1,024-character text fits, 1,025 loses one.
  std::string fits(1024, 'a'), over(1025, 'b'), longer(3000, 'c');
  Connect({Send(fits + "\r\n" + over + "\r\n" + longer + "\r\nnext\r\n")});
  std::string text;
  Read(&text, false);
  EXPECT_EQ(fits, text);
  Read(&text, false);
  EXPECT_EQ(std::string(1024, 'b'), text);
  Read(&text, false);
  EXPECT_EQ(std::string(1024, 'c'), text);
  EXPECT_EQ(-1, Read(&text));
  EXPECT_EQ("next", text);
}

TEST_F(StoreTest, SmallCapacityCutsAndKeepsTheTerminator) {
  Connect({Send("2001 abcdefgh\r\n")});
  char buf[8];
  memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(2001, ReadReply(conn, buf, 6, true));  // "2001 " fills 5 of 6
  EXPECT_STREQ("", buf);
  EXPECT_EQ('Z', buf[6]);
  EXPECT_EQ('Z', buf[7]);
}

TEST_F(StoreTest, ReceiveBufferHoldsOneFullLine) {
  // 4,439 bytes and the line feed fill the 4,440-byte buffer exactly.
  std::string line(4439, 'x');
  Connect({Send("2001 " + line.substr(5) + "\n1000 OK\r\n")});
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ(kReplyCapacity - 1 - 5, static_cast<int>(text.size()));  // cut, code split off
  EXPECT_EQ(1000, Read(&text));
  EXPECT_FALSE(IsConnectionClosed(conn));
}

TEST_F(StoreTest, FullBufferWithoutLineFeedClosesAtOnce) {
  // One byte more than fits before the line feed: the line can never end.
  Connect({Send(std::string(4440, 'y')), Hold(20000)});
  DWORD start = GetTickCount();
  std::string text;
  EXPECT_EQ(1, Read(&text));
  EXPECT_TRUE(IsConnectionClosed(conn));
  EXPECT_LT(Since(start), 5000u);
  EXPECT_EQ(0, Read(&text));
}

TEST_F(StoreTest, ChunkStopsAtBoundOrLineEnd) {
  Connect({Send("0123456789ABC\r\n01234567\r\n")});
  char buf[16];
  ASSERT_TRUE(ReadChunk(conn, buf, 10));
  EXPECT_STREQ("0123456789", buf);
  ASSERT_TRUE(ReadChunk(conn, buf, 10));
  EXPECT_STREQ("ABC", buf);
  // A line whose line feed is the (bound+1)-th byte still comes whole, without its CR.
  int wire = 0;
  ASSERT_TRUE(ReadChunkCounted(conn, buf, 9, &wire));
  EXPECT_STREQ("01234567", buf);
  EXPECT_EQ(10, wire);
}

TEST_F(StoreTest, ChunkOfExactlyTheBoundFitsItsArea) {
  // A piece of the full 1,025 bytes plus its NUL needs 1,026 bytes, no more.
  std::string line(1025, 'q');
  Connect({Send(line + "tail\r\n")});
  char area[kBodyPieceArea + 1];
  memset(area, '#', sizeof area);
  int wire = 0;
  ASSERT_TRUE(ReadChunkCounted(conn, area, kBodyPiece, &wire));
  EXPECT_EQ(kBodyPiece, wire);
  EXPECT_EQ(line, std::string(area));
  EXPECT_EQ('#', area[kBodyPieceArea]);
  ASSERT_TRUE(ReadChunk(conn, area, kBodyPiece));
  EXPECT_STREQ("tail", area);
}

TEST_F(StoreTest, ChunkFailureClosesAndLeavesTextAlone) {
  Connect({Send("abc"), CloseNow()});
  char buf[16] = "untouched";
  EXPECT_FALSE(ReadChunk(conn, buf, 10));
  EXPECT_STREQ("untouched", buf);
  EXPECT_TRUE(IsConnectionClosed(conn));
}

TEST_F(StoreTest, PeerCloseFailsReadThenLaterReadsFailAtOnce) {
  Connect({Send("2001 last\r\n"), CloseNow()});
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ(1, Read(&text));  // the read that closed it
  EXPECT_TRUE(IsConnectionClosed(conn));
  EXPECT_EQ(static_cast<uint32_t>(kClosedMarker), conn->closed);
  DWORD start = GetTickCount();
  EXPECT_EQ(0, Read(&text));
  EXPECT_EQ(0, Read(&text));
  EXPECT_LT(Since(start), 1000u);
  EXPECT_EQ(0, CloseConnection(conn));
}

TEST_F(StoreTest, Code5001ClosesSocketAndNextReadReturnsAtOnce) {
  Connect({Send("5001 Goodbye\r\n"), Hold(10000)});
  std::string text;
  EXPECT_EQ(5001, Read(&text));
  EXPECT_EQ("Goodbye", text);
  EXPECT_TRUE(IsConnectionClosed(conn));
  DWORD start = GetTickCount();
  EXPECT_EQ(0, Read(&text));
  EXPECT_LT(Since(start), 1000u);
  // Sends fail too.
  EXPECT_EQ(0, SendAll(conn, "CAPA\r\n", 6));
}

TEST_F(StoreTest, ClosedConnectionStillDeliversBufferedLines) {
  Connect({Send("2001 a\r\n2001 b\r\n"), Hold(5000)});
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ(1, CloseConnection(conn));
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ("b", text);
  EXPECT_EQ(0, Read(&text));
  // The goodbye reached the peer.
  ASSERT_TRUE(peer.WaitReceivedLength(6));
  EXPECT_EQ("QUIT\r\n", peer.Received());
}

// Reads wait for notices the socket layer posts: a close that came before
// the wait began ends it at once, and a read that waited leaves the socket
// blocking (a send larger than the socket takes at once goes whole) and no
// notice behind in the thread's queue.
TEST_F(StoreTest, AWaitSeesACloseThatCameBeforeIt) {
  ShortWaits waits(3);
  Connect({CloseNow()});
  Sleep(200);
  DWORD start = GetTickCount();
  std::string text;
  EXPECT_EQ(1, Read(&text));
  EXPECT_LT(Since(start), 1000u);
  EXPECT_TRUE(IsConnectionClosed(conn));
}

TEST_F(StoreTest, AReadThatWaitedLeavesTheSocketBlockingAndNoNoticeQueued) {
  std::string big(4 << 20, 'm');
  Connect({Delay(100), Send("2001 late\r\n"), Hold(15000)});
  std::string text;
  EXPECT_EQ(2001, Read(&text));
  EXPECT_EQ(1, SendAll(conn, big.data(), static_cast<int>(big.size())));
  ASSERT_TRUE(peer.WaitReceivedLength(big.size(), 10000));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, 0xBFFF, PM_NOREMOVE));
}

TEST_F(StoreTest, NoSocketReadsNothing) {
  conn = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
  conn->socket = kNoSocket;
  std::string text;
  EXPECT_EQ(-1, Read(&text));
  char buf[4];
  EXPECT_FALSE(ReadChunk(conn, buf, 3));
}

TEST_F(StoreTest, SendAllDeliversEveryByte) {
  std::string big(200000, 'm');
  Connect({Hold(15000)});
  EXPECT_EQ(1, SendAll(conn, big.data(), static_cast<int>(big.size())));
  ASSERT_TRUE(peer.WaitReceivedLength(big.size(), 10000));
  EXPECT_EQ(big, peer.Received());
}

TEST_F(StoreTest, ConnectFailures) {
  uint32_t s = 0;
  // Nobody listens there.
  EXPECT_EQ(0, ConnectToHost(&s, "127.0.251.251", kStorePort));
  EXPECT_EQ(kNoSocket, s);
  EXPECT_EQ(0, ConnectToHost(&s, "no-such-host.invalid", kStorePort));
}

TEST_F(StoreTest, HostNameFieldHolds63Characters) {
  StoreConnection c = {};
  std::string h63(63, 'h'), h64(64, 'h');
  EXPECT_TRUE(SetConnectionHost(&c, h63.c_str()));
  EXPECT_EQ(h63, c.hostName);
  EXPECT_FALSE(SetConnectionHost(&c, h64.c_str()));
  EXPECT_EQ(h63, c.hostName);  // refused, not cut
}

// A store that drips a line one byte every 20 ms is cut off once the read's
// waits are spent, counted over the whole read and not per receive; the
// wait hook runs all along. Three waits stand for the program's sixty.
TEST_F(StoreTest, ADripEndsWhenTheWholeReadsWaitsAreSpent) {
  struct Row {
    const char* name;
    bool chunk;
  } rows[] = {{"ReadReply", false}, {"ReadChunk", true}};
  ShortWaits waits(3);
  for (const Row& r : rows) {
    ScriptedPeer dripping;
    ASSERT_TRUE(dripping.Start({Send("2001 "), Drip(std::string(4435, 'd'), 20)}));
    StoreConnection c = {};
    c.nodeKind = kNodeServer;
    ASSERT_EQ(1, ConnectToHost(&c.socket, dripping.Address(), kStorePort));
    int hooks = 0;
    StoreWaitHookScope scope([](void* n) { ++*static_cast<int*>(n); }, &hooks);
    DWORD start = GetTickCount();
    char area[kReplyCapacity] = "untouched";
    if (r.chunk) {
      EXPECT_FALSE(ReadChunk(&c, area, 1000)) << r.name;
    } else {
      EXPECT_EQ(1, ReadReply(&c, area, sizeof area, true)) << r.name;
    }
    DWORD took = Since(start);
    EXPECT_GE(took, 2900u) << r.name;
    EXPECT_LT(took, 4500u) << r.name;
    EXPECT_TRUE(IsConnectionClosed(&c)) << r.name;
    // About every 50 ms over the 3 s.
    EXPECT_GT(hooks, 30) << r.name;
    EXPECT_LT(hooks, 80) << r.name;
    ASSERT_TRUE(dripping.WaitReceivedLength(6)) << r.name;
    EXPECT_EQ("QUIT\r\n", dripping.Received()) << r.name;
  }
}

TEST_F(StoreTest, AWaitHookThatClosesTheConnectionEndsTheReadAtOnce) {
  Connect({Hold(10000)});
  StoreWaitHookScope scope([](void* c) { CloseConnection(static_cast<StoreConnection*>(c)); },
                           conn);
  DWORD start = GetTickCount();
  std::string text;
  EXPECT_EQ(0, Read(&text));  // closed by the hook, not by the read
  EXPECT_LT(Since(start), 1000u);
}

// The batched reader of a listing hands out exactly what one ReadLine per
// line would, and leaves the record as those reads would, whether the bytes
// come in one piece, in pieces or one byte at a time: lines at the reply
// capacity and one past it, lines that just fit the receive buffer, one that
// cannot; long listings too, whose bulk is taken in large receives. Only
// when a peer sends more than the record holds after a long listing, unasked,
// does the batched read close the connection where one read per line would
// leave the surplus waiting: it is never read past unseen. (A reader of a
// long listing that asks fewer lines than come may meet that too: that row
// leaves less.)
TEST_F(StoreTest, RawLinesMatchOneReadPerLine) {
  auto line = [](size_t n, char ch) { return std::string(n, ch) + "\r\n"; };
  std::string fitting = line(1023, 'a') + line(1024, 'b') + line(1025, 'c') + line(1026, 'd') +
                        line(4437, 'e') + line(4438, 'f') + "a\rstray\r\n" + "last\n";
  // 20,000 lines, more than are read in bulk, with the odd ones in between.
  std::string many;
  for (int k = 0; k < 20000; ++k) {
    if (k == 700) many += fitting;
    many += std::to_string(k) + std::string(static_cast<size_t>(k % 53), 'm') + "\r\n";
  }
  std::string tiny;  // all in the socket before the first receive
  for (int k = 0; k < 20000; ++k) tiny += "t\n";
  struct Row {
    const char* name;
    std::string bytes;
    unsigned long asked;
    std::vector<int> chunks;  // 0: one piece
    bool unasked;             // more than the record holds follows, unasked
  } rows[] = {
      {"all asked", fitting + "1000 after\r\n", 8, {0, 1}, false},
      {"fewer asked", fitting, 5, {0, 1}, false},
      {"a line past the buffer", line(10, 'x') + line(4439, 'y') + "never\r\n", 3, {0, 1}, false},
      {"closed mid-line", line(3, 'z') + "part", 2, {0, 1}, false},
      {"a long listing", many + "1000 after\r\n", 20008, {0, 65537}, false},
      {"a long listing, fewer asked", many, 20001, {0, 65537}, false},
      {"a long listing with a line past the buffer", many.substr(0, 9000) + line(4439, 'y') + many,
       30000, {0, 65537}, false},
      {"a long listing closed mid-line", many + "part", 20009, {0, 65537}, false},
      {"a long listing and more unasked", tiny + "1000 after\r\n" + line(5000, 'u'), 20000, {0},
       true},
  };
  struct Outcome {
    std::vector<std::string> lines;
    bool failed;
    bool closed;
    std::string left;
  };
  ShortWaits waits(2);
  for (const Row& r : rows) {
    for (int chunk : r.chunks) {
      Outcome got[2];
      for (int batched = 0; batched < 2; ++batched) {
        ScriptedPeer p;
        ASSERT_TRUE(p.Start({SendSplit(r.bytes, chunk), CloseNow()}));
        StoreConnection c = {};
        c.nodeKind = kNodeServer;
        ASSERT_EQ(1, ConnectToHost(&c.socket, p.Address(), kStorePort));
        if (r.unasked) Sleep(300);  // everything waits in the socket
        Outcome& o = got[batched];
        if (batched) {
          ReadRawLines(&c, r.asked, kReplyCapacity,
                       [](void* ctx, char* l) {
                         static_cast<std::vector<std::string>*>(ctx)->push_back(l);
                         return true;
                       },
                       &o.lines, &o.failed);
        } else {
          char text[kReplyCapacity];
          o.failed = false;
          for (unsigned long k = 0; k < r.asked && !o.failed; ++k) {
            o.failed = !ReadLine(&c, text, sizeof text, false).ok;
            if (!o.failed) o.lines.push_back(text);
          }
        }
        o.closed = IsConnectionClosed(&c);
        o.left.assign(c.recvBuffer, static_cast<size_t>(c.buffered));
        EXPECT_EQ('\0', c.recvBuffer[c.buffered]) << r.name;
        if (!o.closed) CloseConnection(&c);
      }
      std::string name = std::string(r.name) + (chunk == 1   ? ", byte by byte"
                                                 : chunk > 0 ? ", in pieces"
                                                             : ", one piece");
      EXPECT_EQ(got[0].lines, got[1].lines) << name;
      EXPECT_EQ(got[0].failed, got[1].failed) << name;
      EXPECT_EQ(got[0].closed || r.unasked, got[1].closed) << name;
      // What is left buffered is the stream after the lines handed out, as
      // far as it had come.
      for (const Outcome& o : got) {
        size_t at = 0;
        for (size_t k = 0; k < o.lines.size(); ++k) at = r.bytes.find('\n', at) + 1;
        EXPECT_EQ(r.bytes.substr(at, o.left.size()), o.left)
            << name << ": " << o.left.size() << " bytes left after " << o.lines.size() << " lines";
      }
    }
  }
}

// The one test that waits out the full minute.
TEST_F(StoreTest, SilentServerTimesOutAfterSixtyWaits) {
  Connect({Hold(75000)});
  DWORD start = GetTickCount();
  std::string text;
  EXPECT_EQ(1, Read(&text));
  DWORD took = Since(start);
  EXPECT_GE(took, 59000u);
  EXPECT_LT(took, 70000u);
  EXPECT_TRUE(IsConnectionClosed(conn));
  ASSERT_TRUE(peer.WaitReceivedLength(6));
  EXPECT_EQ("QUIT\r\n", peer.Received());
}

}  // namespace
