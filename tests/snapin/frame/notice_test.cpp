// Telling the running server: notices and module loading reach the
// in-process request service over TCP at the address the directory records
// for the file server; the change flag lands in the real directory.
#include "frame_fixture.h"

#include <string.h>

#include "ui_driver.h"

namespace frametest {
namespace {

using NoticeTest = FrameTest;

const char kAgent[] = "ZELM Agent.MS1.Internet Services";  // served by FS1, the test's service

std::string RequestBytes(uint32_t code, const char* module) {
  std::string bytes(140, '\0');
  bytes[0] = static_cast<char>(code);
  memcpy(&bytes[4], module, strlen(module));
  return bytes;
}

TEST_F(NoticeTest, WithReloadOnTheServerHearsEachKindAndTheFlagIsSet) {
  struct Row {
    int kind;
    uint32_t code;
  } rows[] = {{kNoticeChanged, 3}, {kNoticeCreated, 1}, {kNoticeDeleted, 2}};
  size_t taken = 0;
  for (const Row& row : rows) {
    SetValues(kAgent, "Quorvel:Config Changed", {"0"});
    ASSERT_EQ(NotifyConfigChange(kAgent, "STORAGNT.QMD", row.kind), 1);
    ASSERT_TRUE(service_.WaitForRequests(taken + 2));
    std::vector<ServiceRequest> got = service_.Requests();
    ASSERT_EQ(got.size(), taken + 2) << row.kind;
    EXPECT_EQ(got[taken].type, NCW_LOOKUP);
    EXPECT_EQ(got[taken].name, "Arbolin Messaging System");
    EXPECT_EQ(got[taken + 1].type, NCW_SEND);
    EXPECT_EQ(got[taken + 1].serviceId, 11u);
    EXPECT_EQ(got[taken + 1].capacity, 140u);
    EXPECT_EQ(got[taken + 1].data, RequestBytes(row.code, "STORAGNT.QMD")) << row.kind;
    EXPECT_EQ(Values(kAgent, "Quorvel:Config Changed"), std::vector<std::string>{"1"});
    taken += 2;
  }
}

TEST_F(NoticeTest, WithReloadOffOnlyTheFlagIsSet) {
  g_snapin.autoReload = 0;
  SetValues(kAgent, "Quorvel:Config Changed", {"0"});
  EXPECT_EQ(NotifyConfigChange(kAgent, "STORAGNT.QMD", kNoticeChanged), 1);
  EXPECT_EQ(Values(kAgent, "Quorvel:Config Changed"), std::vector<std::string>{"1"});
  EXPECT_EQ(NotifyConfigChange("MS1.Internet Services", "", kNoticeChanged), 1);  // flag never set before
  EXPECT_EQ(Values("MS1.Internet Services", "Quorvel:Config Changed"), std::vector<std::string>{"1"});
  EXPECT_EQ(service_.Connections(), 0);
}

TEST_F(NoticeTest, ANameWithoutAContainerIsLeftAlone) {
  EXPECT_EQ(NotifyConfigChange("Mail", "STORAGNT.QMD", kNoticeChanged), 0);
  EXPECT_EQ(NotifyConfigChange(nullptr, "STORAGNT.QMD", kNoticeChanged), 0);
  EXPECT_EQ(service_.Connections(), 0);
}

TEST_F(NoticeTest, AServerThatCannotBeToldIsPassedOverSilently) {
  MessageBoxInterceptor boxes;
  // FS2's address has nobody listening; MS3 has no host; FS3 no address.
  SetValues("MS3.Internet Services", "Quorvel:Host", {"FS3.Acme"});
  for (const char* object : {"SMTP Agent.MS2.Internet Services", "POP Agent.MS3.Internet Services"}) {
    EXPECT_EQ(NotifyConfigChange(object, "SMTPAGNT.QMD", kNoticeCreated), 1) << object;
    EXPECT_EQ(Values(object, "Quorvel:Config Changed"), std::vector<std::string>{"1"}) << object;
  }
  SetValues("MS3.Internet Services", "Quorvel:Host", {});
  EXPECT_EQ(NotifyConfigChange("POP Agent.MS3.Internet Services", "POPAGNT.QMD", kNoticeDeleted), 1);
  // The service is there but has no request service of that name.
  RequestService bare;
  ASSERT_TRUE(bare.Start());
  SetValues("FS2.Acme", "Network Address", {bare.Address()});
  EXPECT_EQ(NotifyConfigChange("SMTP Agent.MS2.Internet Services", "SMTPAGNT.QMD", kNoticeChanged), 1);
  ASSERT_TRUE(bare.WaitForRequests(1));
  EXPECT_EQ(bare.Requests().size(), 1u);  // the lookup, nothing sent after it
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(service_.Connections(), 0);
}

TEST_F(NoticeTest, AModuleNameFillsAtMost135BytesOfItsField) {
  const std::string longest(135, 'm');
  ConfigChangeRequest r = MakeRequest(kRequestChanged, longest.c_str());
  EXPECT_EQ(r.code, 3u);
  EXPECT_EQ(std::string(r.moduleFile), longest);
  r = MakeRequest(kRequestChanged, (longest + "X").c_str());
  EXPECT_EQ(std::string(r.moduleFile), longest);
  r = MakeRequest(kRequestStatistics, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r), sizeof r), std::string("\x04\0\0\0", 4) + std::string(136, '\0'));
}

TEST_F(NoticeTest, ModulesAreLoadedAndUnloadedOnTheHostServer) {
  EXPECT_EQ(ControlServerModule("FS1.Acme", 1), 1);
  EXPECT_EQ(ControlServerModule(".FS1.Acme", 0), 1);
  std::vector<ServiceRequest> got = service_.Requests();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].type, NCW_LOAD);
  EXPECT_EQ(got[0].name, "MSGSRV");
  EXPECT_EQ(got[1].type, NCW_UNLOAD);
  EXPECT_EQ(got[1].name, "MSGSRV");

  service_.SetModuleStatus(NCW_MODULE_FAILED, NCW_NO_SUCH_MODULE);
  EXPECT_EQ(ControlServerModule("FS1.Acme", 1), 0);
  EXPECT_EQ(ControlServerModule("FS1.Acme", 0), 0);
  EXPECT_EQ(ControlServerModule("FS2.Acme", 0), 0);  // nobody listening
  EXPECT_EQ(ControlServerModule("FS3.Acme", 0), 0);  // no address
  EXPECT_EQ(ControlServerModule("FS9.Acme", 0), 0);  // no such server
  EXPECT_EQ(ControlServerModule("Joe.Sales.Acme", 0), 0);  // not a server
  As("Nobody.Acme");  // no user to authenticate as: nothing is sent
  EXPECT_EQ(ControlServerModule("FS1.Acme", 0), 0);
  EXPECT_EQ(service_.Requests().size(), 4u);

  g_snapin.autoReload = 0;
  As("Admin.Acme");
  EXPECT_EQ(ControlServerModule("FS1.Acme", 1), 1);
  EXPECT_EQ(ControlServerModule("FS9.Acme", 0), 1);
  EXPECT_EQ(service_.Requests().size(), 4u);
}

TEST_F(NoticeTest, ARequestTakesUpTo140BytesOfReply) {
  DSContext context = DSOpenContext(nullptr);
  ASSERT_GT(context, 0);
  uint32_t connection = 0;
  ASSERT_EQ(DSCOpenConnection(context, "FS1.Acme", &connection), 0);
  ASSERT_EQ(DSCAuthenticateConnection(context, connection), 0);
  const ConfigChangeRequest query = MakeRequest(kRequestStatistics, nullptr);

  std::string counters(140, '\0');
  for (size_t i = 0; i < counters.size(); ++i) counters[i] = static_cast<char>(i + 1);
  service_.SetSendReply(counters);
  unsigned char reply[kRequestBytes + 4];
  memset(reply, 0xEE, sizeof reply);
  ASSERT_EQ(SendServerRequest(connection, &query, reply), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 140), counters);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply) + 140, 4), std::string(4, '\xEE'));
  EXPECT_EQ(service_.Requests().back().data, std::string("\x04\0\0\0", 4) + std::string(136, '\0'));

  // A short reply leaves the rest zero; a long one is refused whole.
  service_.SetSendReply("\x09\x08");
  ASSERT_EQ(SendServerRequest(connection, &query, reply), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 140), std::string("\x09\x08", 2) + std::string(138, '\0'));
  service_.SetSendReply(counters + "!");
  EXPECT_EQ(SendServerRequest(connection, &query, reply), NC_ERR_REPLY_TOO_LONG);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 140), std::string(140, '\0'));

  DSCloseContext(context);

  // Another server without the request service.
  RequestService bare;
  ASSERT_TRUE(bare.Start());
  SetValues("FS3.Acme", "Network Address", {bare.Address()});
  context = DSOpenContext(nullptr);
  ASSERT_EQ(DSCOpenConnection(context, "FS3.Acme", &connection), 0);
  ASSERT_EQ(DSCAuthenticateConnection(context, connection), 0);
  EXPECT_EQ(SendServerRequest(connection, &query, reply), NC_ERR_NO_SUCH_SERVICE);
  DSCloseContext(context);
  EXPECT_EQ(bare.Requests().size(), 1u);
}

}  // namespace
}  // namespace frametest
