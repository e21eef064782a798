// netcalls32.dll by ordinal, against an in-process request service over real
// TCP; the server's address comes from a real directory through dsclient32.
#include <gtest/gtest.h>

#include "request_service.h"

#include <string>

#include "dir_fixture.h"
#include "dsclient32.h"
#include "netcalls32.h"

namespace {

using zelm::dir::testing::MakeDirectory;
using zelm::dir::testing::TempFolder;

const char kService[] = "Arbolin Messaging System";

class NetcallsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = new TempFolder(); }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(service_.Start());
    service_.AddService(kService, 7, 1, 2, 3);
    // An address nobody listens on: a service that stopped.
    RequestService gone;
    ASSERT_TRUE(gone.Start());
    const std::string goneAddress = gone.Address();
    gone.Stop();

    std::string tree =
        "supervisor Admin.Acme\n"
        "object [Root]\n"
        "    grant [Public] : [Entry Rights] = browse\n"
        "    grant [Public] : [All Attributes Rights] = compare read\n"
        "object Acme : Organization\n"
        "object Admin.Acme : User\n"
        "object FS1.Acme : HVX Server\n"
        "    Network Address = " + service_.Address() + "\n"
        "object FS2.Acme : HVX Server\n"
        "    Network Address = " + goneAddress + "\n";
    path_ = folder_->File(std::to_string(++serial_) + ".zdb");
    ASSERT_TRUE(MakeDirectory(path_, tree));
    SetEnvironmentVariableA("ZELM_DIRECTORY", path_.c_str());
    SetEnvironmentVariableA("ZELM_IDENTITY", "Admin.Acme");
    context_ = DSCCreateContext();
    ASSERT_GT(context_, 0);
    connection_ = Connect("FS1.Acme");
  }

  void TearDown() override {
    NCSetTimeouts(0, 0);
    if (context_ > 0) DSCFreeContext(context_);
    service_.Stop();
    SetEnvironmentVariableA("ZELM_DIRECTORY", nullptr);
    SetEnvironmentVariableA("ZELM_IDENTITY", nullptr);
  }

  uint32_t Connect(const char* server) {
    uint32_t c = 0;
    EXPECT_EQ(DSCOpenConnection(context_, server, &c), 0);
    EXPECT_EQ(DSCAuthenticateConnection(context_, c), 0);
    return c;
  }

  // Sends request and returns the result; reply gets what arrived.
  int32_t Send(const std::string& request, std::string* reply, uint16_t capacity = 140) {
    std::string buffer(capacity + 8u, '\xAA');  // bytes past the capacity must stay
    uint16_t length = capacity;
    int32_t r = NCSendRequest(connection_, 7, request.data(), static_cast<uint32_t>(request.size()),
                              &buffer[0], &length);
    EXPECT_EQ(buffer.substr(capacity), std::string(8, '\xAA'));
    *reply = buffer.substr(0, length);
    return r;
  }

  static std::string Pattern(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed)) & 0xFF);
    return s;
  }

  static TempFolder* folder_;
  static int serial_;
  RequestService service_;
  std::string path_;
  int32_t context_ = 0;
  uint32_t connection_ = 0;
};

TempFolder* NetcallsTest::folder_ = nullptr;
int NetcallsTest::serial_ = 0;

TEST_F(NetcallsTest, ExportsOnlyByOrdinal) {
  HMODULE m = GetModuleHandleA("netcalls32.dll");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetProcAddress(m, "NCSendRequest"), nullptr);
  for (int ordinal : {471, 500, 570, 571, 900})
    EXPECT_NE(GetProcAddress(m, MAKEINTRESOURCEA(ordinal)), nullptr) << ordinal;
  EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(472)), nullptr);
}

TEST_F(NetcallsTest, LooksUpServicesByNameIgnoringCase) {
  uint32_t id = 99;
  uint16_t major = 9, minor = 9, revision = 9;
  ASSERT_EQ(NCLookupService(connection_, kService, &id, &major, &minor, &revision, nullptr), 0);
  EXPECT_EQ(id, 7u);
  EXPECT_EQ(major, 1);
  EXPECT_EQ(minor, 2);
  EXPECT_EQ(revision, 3);
  EXPECT_EQ(NCLookupService(connection_, "ARBOLIN messaging SYSTEM", &id, nullptr, nullptr, nullptr,
                            nullptr),
            0);
  EXPECT_EQ(id, 7u);

  EXPECT_EQ(NCLookupService(connection_, "Other Service", &id, &major, &minor, &revision, nullptr),
            NC_ERR_NO_SUCH_SERVICE);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(major, 0);

  std::vector<ServiceRequest> got = service_.Requests();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].type, NCW_LOOKUP);
  EXPECT_EQ(got[0].name, kService);
  EXPECT_EQ(got[2].name, "Other Service");
  EXPECT_EQ(service_.Connections(), 3);  // one connection per call
}

TEST_F(NetcallsTest, SendsARequestAndTakesTheReplyUpToTheCapacity) {
  const std::string request = Pattern(140, 1);
  std::string reply;

  service_.SetSendReply(Pattern(140, 2));
  ASSERT_EQ(Send(request, &reply), 0);
  EXPECT_EQ(reply, Pattern(140, 2));
  ASSERT_EQ(service_.Requests().size(), 1u);
  EXPECT_EQ(service_.Requests()[0].type, NCW_SEND);
  EXPECT_EQ(service_.Requests()[0].serviceId, 7u);
  EXPECT_EQ(service_.Requests()[0].capacity, 140u);
  EXPECT_EQ(service_.Requests()[0].data, request);

  service_.SetSendReply("short");
  ASSERT_EQ(Send(request, &reply), 0);
  EXPECT_EQ(reply, "short");

  service_.SetSendReply("");
  ASSERT_EQ(Send(request, &reply), 0);
  EXPECT_EQ(reply, "");

  // Longer than the caller can take: the service refuses it, or a faulty one
  // sends it anyway; either way nothing reaches the caller's buffer.
  service_.SetSendReply(Pattern(141, 3));
  EXPECT_EQ(Send(request, &reply), NC_ERR_REPLY_TOO_LONG);
  EXPECT_EQ(reply, "");
  service_.SetFault(RequestService::kReplyOverCapacity);
  EXPECT_EQ(Send(request, &reply), NC_ERR_REPLY_TOO_LONG);
  EXPECT_EQ(reply, "");
  service_.SetFault(RequestService::kNone);

  service_.SetSendReply("", NCW_SERVICE_FAILED);
  EXPECT_EQ(Send(request, &reply), NC_ERR_SERVICE_FAILED);
  uint16_t length = 140;
  char buffer[140];
  EXPECT_EQ(NCSendRequest(connection_, 8, request.data(), 140, buffer, &length), NC_ERR_NO_SUCH_SERVICE);
  EXPECT_EQ(length, 0);

  // The largest request and reply the wire carries.
  service_.SetSendReply(Pattern(NCW_MAX_DATA, 4));
  ASSERT_EQ(Send(Pattern(NCW_MAX_DATA, 5), &reply, NCW_MAX_DATA), 0);
  EXPECT_EQ(reply, Pattern(NCW_MAX_DATA, 4));
  EXPECT_EQ(service_.Requests().back().data, Pattern(NCW_MAX_DATA, 5));
}

TEST_F(NetcallsTest, LoadsAndUnloadsModulesWithTheServersAnswer) {
  EXPECT_EQ(NCLoadModule(connection_, "MSGSRV"), 0);
  EXPECT_EQ(NCUnloadModule(connection_, "MSGSRV"), 0);
  service_.SetModuleStatus(NCW_MODULE_FAILED, NCW_NO_SUCH_MODULE);
  EXPECT_EQ(NCLoadModule(connection_, "MSGSRV"), NC_ERR_MODULE_FAILED);
  EXPECT_EQ(NCUnloadModule(connection_, "MSGSRV"), NC_ERR_NO_SUCH_MODULE);
  service_.SetModuleStatus(NCW_BAD_REQUEST, 77);
  EXPECT_EQ(NCLoadModule(connection_, "MSGSRV"), NC_ERR_BAD_REQUEST);
  EXPECT_EQ(NCUnloadModule(connection_, "MSGSRV"), NC_ERR_PROTOCOL);  // a status the wire lacks

  std::vector<ServiceRequest> got = service_.Requests();
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].type, NCW_LOAD);
  EXPECT_EQ(got[1].type, NCW_UNLOAD);
  for (const ServiceRequest& r : got) EXPECT_EQ(r.name, "MSGSRV");
}

TEST_F(NetcallsTest, BadArgumentsAreRefusedBeforeAnythingIsSent) {
  uint32_t id;
  char reply[140];
  uint16_t length = 140;
  const std::string longest(NCW_MAX_NAME, 'n');
  EXPECT_EQ(NCLookupService(connection_, nullptr, &id, nullptr, nullptr, nullptr, nullptr),
            NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCLookupService(connection_, "", &id, nullptr, nullptr, nullptr, nullptr),
            NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCLookupService(connection_, (longest + "n").c_str(), &id, nullptr, nullptr, nullptr,
                            nullptr),
            NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCLoadModule(connection_, "MSG\r\nSRV"), NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCUnloadModule(connection_, nullptr), NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCSendRequest(connection_, 7, reply, 0, reply, &length), NC_ERR_INVALID_ARGUMENT);
  std::string big(NCW_MAX_DATA + 1, 'b');
  length = 140;
  EXPECT_EQ(NCSendRequest(connection_, 7, big.data(), NCW_MAX_DATA + 1, reply, &length),
            NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCSendRequest(connection_, 7, reply, 140, reply, nullptr), NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(NCSendRequest(connection_, 7, nullptr, 140, reply, &length), NC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(service_.Connections(), 0);

  // The longest name goes out whole.
  EXPECT_EQ(NCLookupService(connection_, longest.c_str(), &id, nullptr, nullptr, nullptr, nullptr),
            NC_ERR_NO_SUCH_SERVICE);
  ASSERT_EQ(service_.Requests().size(), 1u);
  EXPECT_EQ(service_.Requests()[0].name, longest);
}

TEST_F(NetcallsTest, OnlyOpenAuthenticatedConnectionsNameAServer) {
  uint32_t unauthenticated = 0;
  ASSERT_EQ(DSCOpenConnection(context_, "FS1.Acme", &unauthenticated), 0);
  EXPECT_EQ(NCLoadModule(unauthenticated, "MSGSRV"), NC_ERR_NO_CONNECTION);
  EXPECT_EQ(NCLoadModule(0, "MSGSRV"), NC_ERR_NO_CONNECTION);
  DSCFreeContext(context_);  // its connections go with it
  context_ = 0;
  EXPECT_EQ(NCLoadModule(connection_, "MSGSRV"), NC_ERR_NO_CONNECTION);
  EXPECT_EQ(service_.Connections(), 0);
}

TEST_F(NetcallsTest, AServerThatIsNotThereFailsAtOnce) {
  uint32_t gone = Connect("FS2.Acme");
  uint32_t id = 5;
  DWORD start = GetTickCount();
  EXPECT_EQ(NCLookupService(gone, kService, &id, nullptr, nullptr, nullptr, nullptr), NC_ERR_UNREACHABLE);
  EXPECT_EQ(NCLoadModule(gone, "MSGSRV"), NC_ERR_UNREACHABLE);
  EXPECT_EQ(id, 0u);
  // A refused connection needs no timeout; the bound is only a backstop.
  EXPECT_LT(GetTickCount() - start, 2u * NC_DEFAULT_CONNECT_MS);
}

TEST_F(NetcallsTest, FaultyRepliesFailWithinTheBounds) {
  NCSetTimeouts(1000, 400);
  struct Row {
    RequestService::Fault fault;
    int32_t want;
  } rows[] = {
      {RequestService::kTruncatedReply, NC_ERR_PROTOCOL},
      {RequestService::kBadMagic, NC_ERR_PROTOCOL},
      {RequestService::kWrongReplyType, NC_ERR_PROTOCOL},
      {RequestService::kCloseOnAccept, NC_ERR_PROTOCOL},
      {RequestService::kSilent, NC_ERR_TIMEOUT},
  };
  for (const Row& row : rows) {
    service_.SetFault(row.fault);
    uint32_t id = 5;
    DWORD start = GetTickCount();
    EXPECT_EQ(NCLookupService(connection_, kService, &id, nullptr, nullptr, nullptr, nullptr), row.want)
        << row.fault;
    EXPECT_EQ(id, 0u);
    EXPECT_LT(GetTickCount() - start, 5000u) << row.fault;
    std::string reply;
    if (row.fault != RequestService::kSilent) {  // the silent service holds its thread
      EXPECT_EQ(Send(Pattern(140, 1), &reply), row.want) << row.fault;
    }
  }
}

TEST_F(NetcallsTest, AnAddressMayNameItsPort) {
  RequestService other;
  ASSERT_TRUE(other.Start(0));
  other.AddService(kService, 42);
  ASSERT_NE(other.Address().find(':'), std::string::npos);
  ASSERT_EQ(zelm::dir::testing::MakeDirectory(path_ + "-port.zdb",
                                              "supervisor Admin.Acme\n"
                                              "object Acme : Organization\n"
                                              "object Admin.Acme : User\n"
                                              "object FS3.Acme : HVX Server\n"
                                              "    Network Address = " + other.Address() + "\n") != nullptr,
            true);
  SetEnvironmentVariableA("ZELM_DIRECTORY", (path_ + "-port.zdb").c_str());
  int32_t context = DSCCreateContext();
  ASSERT_GT(context, 0);
  uint32_t c = 0;
  ASSERT_EQ(DSCOpenConnection(context, "FS3.Acme", &c), 0);
  ASSERT_EQ(DSCAuthenticateConnection(context, c), 0);
  uint32_t id = 0;
  EXPECT_EQ(NCLookupService(c, kService, &id, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(id, 42u);
  DSCFreeContext(context);
  EXPECT_EQ(service_.Connections(), 0);
}

}  // namespace
