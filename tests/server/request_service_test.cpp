// The request service over real TCP beside a real store: lookups, notices,
// the statistics reply from real traffic, loading and unloading the store
// module, and frames that break the rules.
#include <arpa/inet.h>
#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "netcalls_wire.h"
#include "server_stats.h"
#include "store_fixture.h"

namespace {

const char kService[] = "Arbolin Messaging System";
const char kMessage[] = "From: a@example.org\nSubject: hi\n\nfirst line\nsecond line\n";

class RequestService : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    MakeMaildir("alice");
    Deliver("alice", "cur", "1700000001.M1P1.host:2,S", kMessage);
  }
  // Whether a new store client is refused by the system (nobody listens).
  bool StorePortRefuses() {
    TestClient c;
    return !c.Connect(address_, 999);
  }
  // The statistics reply, asked over its own connection.
  std::string Statistics() {
    auto w = Wire();
    WireClient::Reply r = w->Send(7, NoticeBytes(4, ""));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(NCW_OK, r.Status());
    EXPECT_EQ(140u, FieldAt(r.payload, 4));
    return r.payload.size() == 148 ? r.payload.substr(8) : std::string(140, '\0');
  }
};

TEST_F(RequestService, LookupFindsTheMessagingServiceOnly) {
  StartServer();
  auto w = Wire();
  for (const char* name : {kService, "arbolin messaging SYSTEM"}) {
    WireClient::Reply r = w->Lookup(name);
    ASSERT_TRUE(r.ok) << name;
    EXPECT_EQ(NCW_LOOKUP | NCW_REPLY_BIT, r.type);
    ASSERT_EQ(16u, r.payload.size());
    EXPECT_EQ(NCW_OK, r.Status());
    EXPECT_EQ(7u, FieldAt(r.payload, 4));
    EXPECT_EQ(std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8), r.payload.substr(8));
  }
  WireClient::Reply none = w->Lookup("Arbolin Messaging");
  EXPECT_EQ(NCW_NO_SUCH_SERVICE, none.Status());
  EXPECT_EQ(std::string(12, '\0'), none.payload.substr(4));
}

TEST_F(RequestService, NoticesAreRecordedInOrderOnOneConnection) {
  StartServer();
  auto w = Wire();
  struct Row {
    uint32_t code;
    const char* module;
  } rows[] = {{3, "STORAGNT.QMD"}, {1, "SMTPAGNT.QMD"}, {2, ""}};
  for (const Row& row : rows) {
    WireClient::Reply r = w->Send(7, NoticeBytes(row.code, row.module));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(NCW_SEND | NCW_REPLY_BIT, r.type);
    EXPECT_EQ(NCW_OK, r.Status());
    EXPECT_EQ(std::string("\x8c\0\0\0", 4) + std::string(140, '\0'), r.payload.substr(4));
  }
  std::vector<NoticeRecord> got = server_->Notices();
  ASSERT_EQ(3u, got.size());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[i].code, got[i].code);
    EXPECT_EQ(rows[i].module, got[i].module);
    EXPECT_EQ(0x7F000001u, got[i].peer);
    EXPECT_FALSE(got[i].taken);  // no directory to take anything from
  }
  // A module name that fills its field exactly (135 bytes and the NUL).
  std::string longest(135, 'M');
  EXPECT_EQ(NCW_OK, w->Send(7, NoticeBytes(3, longest)).Status());
  EXPECT_EQ(longest, server_->Notices().back().module);
}

TEST_F(RequestService, TheNoticeListKeepsTheLatest) {
  StartServer();
  auto w = Wire();
  for (int i = 0; i < 70; ++i)
    ASSERT_EQ(NCW_OK, w->Send(7, NoticeBytes(3, "M" + std::to_string(i))).Status());
  std::vector<NoticeRecord> got = server_->Notices();
  ASSERT_EQ(64u, got.size());
  EXPECT_EQ("M6", got.front().module);
  EXPECT_EQ("M69", got.back().module);
}

TEST_F(RequestService, BadSendsGetTheirStatusAndChangeNothing) {
  StartServer();
  auto w = Wire();
  std::string unterminated = NoticeBytes(3, "");
  memset(&unterminated[4], 'A', 136);
  std::string control = NoticeBytes(3, "STOR\tAGNT");
  struct Row {
    const char* label;
    uint32_t service;
    std::string request;
    uint32_t capacity;
    int32_t status;
  } rows[] = {
      {"unknown service id", 8, NoticeBytes(3, "X"), 140, NCW_NO_SUCH_SERVICE},
      {"139 bytes", 7, NoticeBytes(3, "X").substr(0, 139), 140, NCW_BAD_REQUEST},
      {"141 bytes", 7, NoticeBytes(3, "X") + '\0', 140, NCW_BAD_REQUEST},
      {"code 0", 7, NoticeBytes(0, "X"), 140, NCW_BAD_REQUEST},
      {"code 5", 7, NoticeBytes(5, "X"), 140, NCW_BAD_REQUEST},
      {"module without its NUL", 7, unterminated, 140, NCW_BAD_REQUEST},
      {"control character in the module", 7, control, 140, NCW_BAD_REQUEST},
      {"room for 139 reply bytes", 7, NoticeBytes(3, "X"), 139, NCW_REPLY_TOO_LONG},
      {"statistics with no room", 7, NoticeBytes(4, ""), 0, NCW_REPLY_TOO_LONG},
  };
  for (const Row& row : rows) {
    WireClient::Reply r = w->Send(row.service, row.request, row.capacity);
    ASSERT_TRUE(r.ok) << row.label;
    EXPECT_EQ(row.status, r.Status()) << row.label;
    EXPECT_EQ(8u, r.payload.size()) << row.label;  // status and a length of 0, no data
  }
  EXPECT_TRUE(server_->Notices().empty());
  EXPECT_EQ(NCW_OK, w->Send(7, NoticeBytes(3, "X")).Status());  // the connection still serves
}

TEST_F(RequestService, MalformedPayloadsAndUnknownTypesGetStatus4) {
  StartServer();
  auto w = Wire();
  struct Row {
    const char* label;
    uint16_t type;
    std::string payload;
    size_t replyBytes;
  } rows[] = {
      {"lookup, length past the name", NCW_LOOKUP, std::string("\x05\x00" "abc", 5), 16},
      {"lookup, empty name", NCW_LOOKUP, std::string("\x00\x00", 2), 16},
      {"lookup, control character", NCW_LOOKUP, std::string("\x02\x00" "a\n", 4), 16},
      {"send, too short", NCW_SEND, std::string(11, '\0'), 8},
      {"load, one byte", NCW_LOAD, std::string(1, '\x06'), 4},
      {"unload, 256-byte name", NCW_UNLOAD, std::string("\x00\x01", 2) + std::string(256, 'M'), 4},
      {"unknown type", 0x0009, "whatever", 4},
      {"a reply type sent as a request", 0x8001, "", 4},
  };
  for (const Row& row : rows) {
    w->SendFrame(row.type, row.payload);
    WireClient::Reply r = w->Read();
    ASSERT_TRUE(r.ok) << row.label;
    EXPECT_EQ(row.type | NCW_REPLY_BIT, r.type) << row.label;
    EXPECT_EQ(NCW_BAD_REQUEST, r.Status()) << row.label;
    ASSERT_EQ(row.replyBytes, r.payload.size()) << row.label;
    EXPECT_EQ(std::string(row.replyBytes - 4, '\0'), r.payload.substr(4)) << row.label;
  }
  // A name of exactly 255 bytes is well-formed: an unknown module, not a bad request.
  EXPECT_EQ(NCW_NO_SUCH_MODULE, w->Module(NCW_LOAD, std::string(255, 'M')).Status());
  EXPECT_TRUE(server_->ModuleLoaded());
}

TEST_F(RequestService, BrokenHeadersCloseTheConnectionUnanswered) {
  StartServer();
  auto frame = [](uint32_t magic, uint16_t flags, uint32_t length) {
    unsigned char h[12];
    ncw_put_u32(h, magic);
    ncw_put_u16(h + 4, NCW_LOOKUP);
    ncw_put_u16(h + 6, flags);
    ncw_put_u32(h + 8, length);
    return std::string(reinterpret_cast<char*>(h), sizeof h);
  };
  struct Row {
    const char* label;
    std::string bytes;
  } rows[] = {
      {"magic", frame(0x3157434F, 0, 2) + std::string(2, '\0')},
      {"flags", frame(NCW_MAGIC, 1, 2) + std::string(2, '\0')},
      {"length 1,025", frame(NCW_MAGIC, 0, 1025) + std::string(1025, '\0')},
      {"payload cut short", frame(NCW_MAGIC, 0, 30) + std::string(10, '\0')},
  };
  for (const Row& row : rows) {
    auto w = Wire();
    w->SendRaw(row.bytes);
    if (std::string(row.label) == "payload cut short") shutdown(w->Fd(), SHUT_WR);
    EXPECT_TRUE(w->Closed()) << row.label;
  }
  // The largest payload allowed (1,024 bytes) is read and answered.
  auto w = Wire();
  w->SendFrame(0x0009, std::string(1024, 'x'));
  EXPECT_EQ(NCW_BAD_REQUEST, w->Read().Status());
  EXPECT_EQ(NCW_OK, w->Lookup(kService).Status());
}

TEST_F(RequestService, StatisticsCountRealTraffic) {
  StartServer();
  std::string before = Statistics();
  EXPECT_LT(FieldAt(before, 8), 60u);  // uptime in seconds, just started
  for (size_t offset : {36, 44, 76, 84, 88, 100, 108, 132}) EXPECT_EQ(0u, FieldAt(before, offset)) << offset;
  EXPECT_EQ(1u, FieldAt(before, 40));  // this request's own connection

  auto c = Client();
  List(c.get(), "alice", "INBOX");
  // A message arriving in a mailbox the server has looked at is received.
  std::string arrived = "From: b@example.org\nSubject: new\n\nbody\n";
  Deliver("alice", "new", "1800000001.M9P9.host", arrived);
  ASSERT_EQ(2u, List(c.get(), "alice", "INBOX").size());
  c->Send("BODY 1\r\n");
  std::string head = c->Line();
  unsigned long bodyBytes = 0;
  ASSERT_EQ(1, sscanf(head.c_str(), "2021 %lu", &bodyBytes));
  c->Bytes(bodyBytes);
  c->Line();
  // A range from the start counts as a delivery, a later range only its bytes.
  c->Send("BRAW 2 0 3\r\nBRAW 2 3 0\r\n");
  unsigned long first = 0, rest = 0;
  ASSERT_EQ(1, sscanf(c->Line().c_str(), "2025 %lu", &first));
  c->Bytes(first);
  c->Line();
  ASSERT_EQ(1, sscanf(c->Line().c_str(), "2025 %lu", &rest));
  c->Bytes(rest);
  c->Line();

  std::string after = Statistics();
  EXPECT_EQ(1u, FieldAt(after, 36));   // store clients served
  EXPECT_EQ(2u, FieldAt(after, 40));   // request connections, this one included
  EXPECT_EQ(1u, FieldAt(after, 76));   // received, local
  EXPECT_EQ(0u, FieldAt(after, 80));   // nothing comes from remote hosts
  EXPECT_EQ(arrived.size(), FieldAt(after, 100));
  EXPECT_EQ(1u, FieldAt(after, 132));  // its owner is its recipient
  EXPECT_EQ(2u, FieldAt(after, 84));   // delivered to a client on this machine
  EXPECT_EQ(0u, FieldAt(after, 88));
  EXPECT_EQ(bodyBytes + first + rest, FieldAt(after, 108));
  EXPECT_EQ(0u, FieldAt(after, 112));
  EXPECT_GE(FieldAt(after, 8), FieldAt(before, 8));
}

TEST_F(RequestService, TurnedAwayClientsAreCountedApart) {
  config_.maxClients = 1;
  StartServer();
  auto first = Client();
  TestClient second;
  ASSERT_TRUE(second.Connect(address_, 999));
  EXPECT_EQ("5001 too many connections", second.Line());
  std::string s = Statistics();
  EXPECT_EQ(1u, FieldAt(s, 36));
  EXPECT_EQ(1u, FieldAt(s, 44));
}

TEST_F(RequestService, UnloadingTheStoreModuleStopsTheStorePortOnly) {
  StartServer();
  auto browsing = Client();
  auto w = Wire();
  EXPECT_EQ(NCW_OK, w->Module(NCW_UNLOAD, "MSGSRV").Status());
  EXPECT_FALSE(server_->ModuleLoaded());
  EXPECT_TRUE(browsing->Closed());  // connected clients end with the module
  EXPECT_TRUE(StorePortRefuses());
  EXPECT_EQ(NCW_NO_SUCH_MODULE, w->Module(NCW_UNLOAD, "msgsrv").Status());  // not loaded
  EXPECT_EQ(NCW_NO_SUCH_MODULE, w->Module(NCW_UNLOAD, "SMTPSRV").Status());
  // The request service itself goes on, on this and on new connections.
  EXPECT_EQ(NCW_OK, w->Lookup(kService).Status());
  EXPECT_EQ(NCW_OK, Wire()->Send(7, NoticeBytes(4, "")).Status());

  EXPECT_EQ(NCW_OK, w->Module(NCW_LOAD, "msgsrv").Status());
  EXPECT_TRUE(server_->ModuleLoaded());
  auto again = Client();
  again->Send("ULIST\r\n");
  EXPECT_EQ("1000 1 users", again->UntilDone().back());
  EXPECT_EQ(NCW_OK, w->Module(NCW_LOAD, "MSGSRV").Status());  // loaded already: still 0
  EXPECT_EQ(NCW_NO_SUCH_MODULE, w->Module(NCW_LOAD, "MSGSRV2").Status());
  EXPECT_EQ(NCW_OK, w->Module(NCW_UNLOAD, "MSGSRV").Status());
  EXPECT_TRUE(StorePortRefuses());
  EXPECT_EQ(NCW_OK, w->Module(NCW_LOAD, "MSGSRV").Status());
  EXPECT_EQ("1000 zelmstored ready", [&] {
    TestClient c;
    EXPECT_TRUE(c.Connect(address_, 999));
    return c.Line();
  }());
}

TEST_F(RequestService, OnlyTheCommandLinesTrustedHostsMayAsk) {
  std::string error;
  ASSERT_TRUE(ApplySetting(&config_, "trusted", "10.0.0.0/8", &error));
  StartServer();
  auto w = Wire();
  EXPECT_FALSE(w->Module(NCW_UNLOAD, "MSGSRV").ok);  // closed without an answer
  EXPECT_TRUE(w->Closed());
  EXPECT_TRUE(server_->ModuleLoaded());
}

TEST_F(RequestService, NoRequestServiceWithPortZero) {
  config_.requestPort = 0;
  StartServer();
  TestClient c;
  EXPECT_FALSE(c.Connect(address_, 998));
  EXPECT_EQ("1000 zelmstored ready", [&] {
    TestClient s;
    EXPECT_TRUE(s.Connect(address_, 999));
    return s.Line();
  }());
}

TEST(StatisticsReply, FieldsLandAtTheirOffsets) {
  StatisticsFields f;
  f.uptime = 90061;
  uint32_t v = 1;
  for (uint32_t* p : {&f.clientConnections[0], &f.clientConnections[1], &f.serverConnections[0],
                      &f.serverConnections[1], &f.received[0], &f.received[1], &f.delivered[0],
                      &f.delivered[1], &f.queued[0], &f.queued[1], &f.bytesReceived[0],
                      &f.bytesReceived[1], &f.bytesDelivered[0], &f.bytesDelivered[1],
                      &f.recipients[0], &f.recipients[1]})
    *p = 0x01020300u + v++;
  unsigned char out[140];
  memset(out, 0xEE, sizeof out);
  EncodeStatistics(f, out);
  std::string bytes(reinterpret_cast<char*>(out), sizeof out);
  struct Row {
    size_t offset;
    uint32_t value;
  } rows[] = {{8, 90061},         {36, 0x01020301}, {44, 0x01020302}, {40, 0x01020303},
              {48, 0x01020304},   {76, 0x01020305}, {80, 0x01020306}, {84, 0x01020307},
              {88, 0x01020308},   {92, 0x01020309}, {96, 0x0102030A}, {100, 0x0102030B},
              {104, 0x0102030C},  {108, 0x0102030D}, {112, 0x0102030E}, {132, 0x0102030F},
              {136, 0x01020310}};
  std::string expected(140, '\0');
  for (const Row& row : rows) {
    EXPECT_EQ(row.value, FieldAt(bytes, row.offset)) << row.offset;
    for (int i = 0; i < 4; ++i) expected[row.offset + i] = bytes[row.offset + i];
  }
  EXPECT_EQ(expected, bytes);  // every other byte is 0
  EXPECT_EQ(0x0Bu, out[100]);  // little-endian: low byte first
}

TEST(StatisticsReply, CountersStopAtTheTopOf32Bits) {
  EXPECT_EQ(0xFFFFFFFEu, Saturate32(0xFFFFFFFEull));
  EXPECT_EQ(0xFFFFFFFFu, Saturate32(0xFFFFFFFFull));
  EXPECT_EQ(0xFFFFFFFFu, Saturate32(0x100000000ull));
  ServerStats s;
  s.deliveredBytesRemote = 0x123456789ull;
  s.Delivered(0x0A000001, 0x7F000001, true, 5);  // a client elsewhere: remote
  s.Delivered(0x7F000005, 0x0A000009, false, 7);  // loopback: local
  s.Delivered(0x0A000009, 0x0A000009, false, 1);  // the server's own address: local
  StatisticsFields f = CollectStatistics(s);
  EXPECT_EQ(0xFFFFFFFFu, f.bytesDelivered[1]);
  EXPECT_EQ(8u, f.bytesDelivered[0]);
  EXPECT_EQ(1u, f.delivered[1]);
  EXPECT_EQ(0u, f.delivered[0]);
}

}  // namespace
