// The LDAP backend against a real slapd: a directory moved from the file to
// LDAP and back, each operation's results and codes, logins, and servers
// that are not there or do not answer.
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "ldap_backend.h"
#include "ldap_map.h"
#include "slapd_fixture.h"

namespace zelm::dir::testing {
namespace {

// The small tree with what is easy to lose on the way: a value written with
// another syntax than its attribute's, 8-bit text, escapes, several values,
// grants on the root and below, and a name LDAP must escape.
const std::string kTree = std::string(kSmallTree) + R"(
object MS2.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = Sales.Acme
    Quorvel:Context (syntax 3) = East.Sales.Acme
    Quorvel:Official Name = mail\x2c acme \xe9t\xe9
    grant Sales.Acme : Quorvel:Context = compare read write
object a,b+c.Sales.Acme : User
    Description = line\nbreak
    Password = s3cret
)";

TEST(LdapBackend, EmbeddedToLdapAndBackLosesNothing) {
  TempFolder tmp;
  auto embedded = MakeDirectory(tmp.File("d.zdb"), kTree);
  ASSERT_TRUE(embedded);
  int status;
  const std::string dsadm = "'" DSADM_PATH "' ";
  Shell(dsadm + "ldif '" + tmp.File("d.zdb") + "' > '" + tmp.File("d.ldif") + "'", &status);
  ASSERT_EQ(status, 0);

  Slapd slapd;
  ZELM_START_SLAPD(slapd, tmp.File("d.ldif"));
  const std::string env = "ZELM_LDAP_PASSWORD_FILE='" + slapd.adminPasswordFile() + "' ";
  std::string back = Shell(env + dsadm + "dump " + slapd.url(), &status);
  ASSERT_EQ(status, 0) << back;
  EXPECT_EQ(back, Dump(embedded.get()));
  // The LDIF a server dump writes is the one the file gave.
  std::string ldif = Shell(env + "ZELM_DIRECTORY=" + slapd.url() + " " + dsadm + "ldif -", &status);
  EXPECT_EQ(ldif, Shell("cat '" + tmp.File("d.ldif") + "'", &status));
}

class LdapOps : public ::testing::Test {
 protected:
  void SetUp() override {
    ZELM_START_SLAPD(slapd_);
    admin_ = ReadFileText(slapd_.adminPasswordFile());
    std::string error;
    ASSERT_EQ(LdapDirectory::Open(slapd_.url(), "", admin_, &d_, &error), kOk) << error;
  }
  std::vector<std::string> Values(const std::string& full, const std::string& attr) {
    std::vector<AttributeValues> v;
    return d_->Read(full, {attr}, &v) == kOk ? v[0].values : std::vector<std::string>();
  }
  Slapd slapd_;
  std::string admin_;
  std::unique_ptr<LdapDirectory> d_;
};

TEST_F(LdapOps, ResultsAndCodesAreTheEnginesOwn) {
  const std::string ms = "MS1.Internet Services";
  ASSERT_EQ(d_->Add(ms, OfClass("Quorvel:Messaging Server", {{"Quorvel:Host", {Name("FS1.Acme")}}})),
            kOk) << d_->lastError();
  const std::string big(kMaxValueLength, 'v');
  struct Case {
    const char* label;
    std::vector<Change> changes;
    int result;
  };
  const Case cases[] = {
      {"add and remove in one modify",
       {{kChangeAddValue, "Quorvel:Resolver", {Text("10.0.0.1"), Text("10.0.0.2")}},
        {kChangeRemoveValue, "Quorvel:Resolver", {Text("10.0.0.1")}}}, kOk},
      {"value at the limit", {{kChangeAddValue, "Quorvel:Work Directory", {Text(big)}}}, kOk},
      {"one past the limit", {{kChangeAddValue, "Quorvel:SNMP Name", {Text(big + "v")}}},
       kErrSyntaxViolation},
      {"second value of a single-valued attribute",
       {{kChangeAddValue, "Quorvel:Host", {Text("FS2.Sales.Acme")}}}, kErrSyntaxViolation},
      {"duplicate differing in case", {{kChangeAddValue, "Quorvel:Resolver", {Text("10.0.0.2")}}},
       kErrDuplicateValue},
      {"value not there", {{kChangeRemoveValue, "Quorvel:Resolver", {Text("9.9.9.9")}}},
       kErrNoSuchValue},
      {"all or nothing",
       {{kChangeAddValue, "Quorvel:Resolver", {Text("10.0.0.3")}},
        {kChangeRemoveValue, "Quorvel:Resolver", {Text("9.9.9.9")}}}, kErrNoSuchValue},
      {"unknown attribute", {{kChangeAddValue, "Shoe Size", {Text("9")}}}, kErrNoSuchAttribute},
      {"attribute of another class", {{kChangeAddValue, "Surname", {Text("x")}}},
       kErrIllegalAttribute},
      {"the class itself", {{kChangeAddValue, "Object Class", {Text("User")}}},
       kErrIllegalAttribute},
  };
  for (const Case& c : cases) EXPECT_EQ(d_->Modify(ms, c.changes), c.result) << c.label;
  EXPECT_EQ(Values(ms, "Quorvel:Resolver"), std::vector<std::string>{"10.0.0.2"});

  // A reference written as text keeps its syntax and is removed whatever
  // syntax the remover names.
  ASSERT_EQ(d_->Modify(ms, {{kChangeAddValue, "Quorvel:Context", {Text("Sales.Acme")}}}), kOk);
  std::vector<AttributeValues> read;
  ASSERT_EQ(d_->Read(ms, {"Quorvel:Context"}, &read), kOk);
  EXPECT_EQ(read[0].syntaxes, std::vector<uint32_t>{kSyntaxCaseIgnoreString});
  EXPECT_EQ(d_->Modify(ms, {{kChangeRemoveValue, "Quorvel:Context", {Name("sales.acme")}}}), kOk);
  EXPECT_EQ(d_->Read(ms, {"Quorvel:Context"}, &read), kErrNoSuchAttribute);

  EXPECT_EQ(d_->Add(ms, OfClass("Quorvel:Messaging Server")), kErrEntryExists);
  EXPECT_EQ(d_->Add("X.Nowhere", OfClass("User")), kErrNoSuchEntry);
  EXPECT_EQ(d_->Add("X.Sales.Acme", OfClass("Quorvel:Mail Agent")), kErrNoSuchClass);
  EXPECT_EQ(d_->Add("X.Sales.Acme", OfClass("Quorvel:SMTP Agent")), kErrInvalidRequest);
  EXPECT_EQ(d_->Read("Nobody.Acme", {}, &read), kErrNoSuchEntry);
  EXPECT_EQ(d_->Remove("Sales.Acme"), kErrInvalidRequest);  // not empty
  EXPECT_EQ(d_->Remove(ms), kOk);
  EXPECT_EQ(d_->Remove(ms), kErrNoSuchEntry);

  std::vector<ObjectInfo> list;
  ASSERT_EQ(d_->List("Sales.Acme", &list), kOk);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].full, "Ann.Sales.Acme");
  EXPECT_EQ(list[1].className, "HVX Server");
}

TEST_F(LdapOps, AnIdentityIsProvedAndTheServerJudgesItsRights) {
  std::unique_ptr<LdapDirectory> joe;
  std::string error;
  EXPECT_EQ(LdapDirectory::Open(slapd_.url(), "Joe.Sales.Acme", "wrong", &joe, &error), kErrNoAccess);
  EXPECT_NE(error.find("wrong password"), std::string::npos) << error;
  EXPECT_EQ(LdapDirectory::Open(slapd_.url(), "", "wrong", &joe, &error), kErrNoAccess);
  EXPECT_EQ(LdapDirectory::Open(slapd_.url(), "Nobody.Acme", "x", &joe, &error), kErrNoSuchEntry);
  ASSERT_EQ(LdapDirectory::Open(slapd_.url(), ".Joe.Sales.Acme", "joe", &joe, &error), kOk) << error;

  EXPECT_EQ(Values("Joe.Sales.Acme", "Password"), std::vector<std::string>{"joe"});
  std::vector<AttributeValues> read;
  ASSERT_EQ(joe->Read("Joe.Sales.Acme", {}, &read), kOk);
  for (const AttributeValues& a : read) EXPECT_NE(a.name, "Password");  // not even its own
  EXPECT_EQ(joe->Modify("Acme", {{kChangeAddValue, "Quorvel:Domain", {Text("x")}}}), kErrNoAccess);
  uint32_t rights = 0xFF;
  ASSERT_EQ(joe->AttributeRights("Acme", "Description", &rights), kOk);
  EXPECT_EQ(rights & kRightWrite, 0u);
  ASSERT_EQ(d_->AttributeRights("Acme", "Description", &rights), kOk);
  EXPECT_NE(rights & kRightWrite, 0u);
  EXPECT_EQ(Values("Acme", "Description"), std::vector<std::string>{"Acme Corporation"});

  // An import the identity may not make is refused before anything is
  // sent, naming its line.
  TextDirectory text;
  ASSERT_EQ(ParseText("object Depot.Acme : Organizational Unit\n", &text, &error), kOk);
  EXPECT_EQ(joe->Import(text, &error), kErrNoAccess);
  EXPECT_NE(error.find("line 1: Depot.Acme"), std::string::npos) << error;
  ObjectInfo info;
  EXPECT_EQ(d_->Describe("Depot.Acme", &info), kErrNoSuchEntry);
}

// A peer between the client and slapd that passes everything on but cuts
// the server's answers in the middle of message number cutAt (1 is the
// bind's answer), then closes both sides; with cutAt 0 it never answers.
class CuttingProxy {
 public:
  CuttingProxy(int targetPort, int cutAt) : target_(targetPort), cutAt_(cutAt) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listen_, 4);
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~CuttingProxy() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  int port() const { return port_; }

 private:
  static int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? fd : (close(fd), -1);
  }
  // The length of the whole BER message at the front of b, 0 when incomplete.
  static size_t MessageLength(const std::string& b) {
    if (b.size() < 2) return 0;
    size_t len = uint8_t(b[1]), head = 2;
    if (len & 0x80) {
      size_t n = len & 0x7f;
      if (b.size() < 2 + n) return 0;
      len = 0;
      for (size_t i = 0; i < n; ++i) len = len << 8 | uint8_t(b[2 + i]);
      head += n;
    }
    return b.size() >= head + len ? head + len : 0;
  }
  void Run() {
    pollfd p{listen_, POLLIN, 0};
    while (!stop_ && poll(&p, 1, 50) <= 0) {}
    if (stop_) return;
    int client = accept(listen_, nullptr, nullptr);
    int server = cutAt_ ? Connect(target_) : -1;
    std::string pending;  // the server's bytes not yet passed on
    int messages = 0;
    bool open = true;
    while (!stop_ && open) {
      pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (poll(fds, server >= 0 ? 2 : 1, 50) <= 0) continue;
      char buf[65536];
      if (fds[0].revents) {
        ssize_t n = read(client, buf, sizeof buf);
        if (n <= 0) break;
        if (server >= 0) (void)!write(server, buf, size_t(n));
      }
      if (server >= 0 && fds[1].revents) {
        ssize_t n = read(server, buf, sizeof buf);
        if (n <= 0) break;
        pending.append(buf, size_t(n));
        while (size_t len = MessageLength(pending)) {
          if (++messages == cutAt_) {
            (void)!write(client, pending.data(), len / 2);
            open = false;
            break;
          }
          (void)!write(client, pending.data(), len);
          pending.erase(0, len);
        }
      }
    }
    close(client);
    if (server >= 0) close(server);
  }

  int target_, cutAt_, port_ = 0, listen_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Each way a login or a change can go wrong ends in its own clear error
// within the wait, and leaves the directory whole: a modify cut off in its
// answer was applied entirely or not at all, a value one past the limit
// refuses the whole change, an import failing at its end writes nothing.
TEST_F(LdapOps, BadInputGivesClearErrorsAndWritesNothingByHalves) {
  const std::string ms = "MS9.Internet Services";
  ASSERT_EQ(d_->Add(ms, OfClass("Quorvel:Messaging Server")), kOk) << d_->lastError();
  const std::string base = "/o=Zelm";
  const std::string nobody = "ldap://127.0.0.1:" + std::to_string(FreePort("127.0.0.1")) + base;
  const std::vector<Change> three = {
      {kChangeAddValue, "Quorvel:Resolver", {Text("10.9.0.1"), Text("10.9.0.2"), Text("10.9.0.3")}}};
  enum Step { kLogin, kRead, kModify };
  struct Row {
    const char* label;
    int cutAt;             // -1: straight to slapd; 0: a peer that never answers
    const char* password;  // nullptr: the administrator's
    Step failsAt;
    int result;
    const char* says;
  } rows[] = {
      {"wrong password", -1, "wrong", kLogin, kErrNoAccess, "wrong password"},
      {"nobody listening", -2, nullptr, kLogin, kErrSystemFailure, "bind"},
      {"a peer that never answers", 0, nullptr, kLogin, kErrSystemFailure, "bind"},
      {"closes in the bind's answer", 1, nullptr, kLogin, kErrSystemFailure, "bind"},
      {"closes in a read's answer", 2, nullptr, kRead, kErrSystemFailure, "search"},
      {"closes in a modify's answer", 4, nullptr, kModify, kErrSystemFailure, "modify"},
  };
  for (const Row& row : rows) {
    std::unique_ptr<CuttingProxy> peer;
    std::string url = slapd_.url();
    if (row.cutAt == -2) url = nobody;
    if (row.cutAt >= 0) {
      peer = std::make_unique<CuttingProxy>(slapd_.port(), row.cutAt);
      url = "ldap://127.0.0.1:" + std::to_string(peer->port()) + base;
    }
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<LdapDirectory> d;
    std::string error;
    // Room for a loaded machine: a wait cut short would turn a clear answer
    // (a wrong password) into a silent server's.
    int r = LdapDirectory::Open(url, "", row.password ? row.password : admin_, &d, &error, 3000);
    if (row.failsAt == kLogin) {
      EXPECT_EQ(r, row.result) << row.label;
    } else {
      ASSERT_EQ(r, kOk) << row.label << ": " << error;
      std::vector<AttributeValues> read;
      r = row.failsAt == kRead ? d->Read(ms, {}, &read) : d->Modify(ms, three);
      EXPECT_EQ(r, row.result) << row.label;
      error = d->lastError();
    }
    EXPECT_NE(error.find(row.says), std::string::npos) << row.label << ": " << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << row.label;
    const size_t held = Values(ms, "Quorvel:Resolver").size();
    EXPECT_TRUE(held == 0 || held == 3) << row.label << ": " << held << " of 3 values";
  }
  EXPECT_EQ(Values(ms, "Quorvel:Resolver").size(), 3u);  // the cut modify was applied whole

  // 1,027 bytes of 8-bit text fit; one more refuses the whole change.
  const std::string limit(kMaxValueLength, '\xe9');
  EXPECT_EQ(d_->Modify(ms, {{kChangeAddValue, "Quorvel:SNMP Contact", {Text(limit)}}}), kOk);
  EXPECT_EQ(Values(ms, "Quorvel:SNMP Contact"), std::vector<std::string>{limit});
  EXPECT_EQ(d_->Modify(ms, {{kChangeAddValue, "Quorvel:Resolver", {Text("10.9.0.4")}},
                            {kChangeAddValue, "Quorvel:SNMP Name", {Text(limit + "x")}}}),
            kErrSyntaxViolation);
  EXPECT_EQ(Values(ms, "Quorvel:Resolver").size(), 3u);
  // The server itself refuses what no client of the directory could mean
  // (up to twice the limit in UTF-8), whatever syntax the value carries.
  for (const char* desc : {"zelm-Quorvel--SNMP-Name", "zelm-Quorvel--Postmaster;x-syntax-3"}) {
    int status;
    std::string out = Shell("printf 'dn: cn=MS9,cn=Internet Services,o=Zelm\\nchangetype: modify\\n"
                            "add: " + std::string(desc) + "\\n" + desc + ": " +
                            std::string(2 * kMaxValueLength + 1, 'y') + "\\n' | timeout 20 "
                            "ldapmodify -x -H " + slapd_.host() + " -D 'cn=zelm:admin,o=Zelm' -y '" +
                            slapd_.adminPasswordFile() + "' 2>&1", &status);
    EXPECT_NE(out.find("Constraint violation"), std::string::npos) << desc << ": " << out;
  }

  // An import is one transaction: the object that fails (last) names its
  // line, and none before it is written.
  TextDirectory text;
  std::string error;
  ASSERT_EQ(ParseText("object Depot.Acme : Organizational Unit\n"
                      "object Lou.Depot.Acme : User\n"
                      "object Joe.Sales.Acme : User\n", &text, &error), kOk);
  EXPECT_EQ(d_->Import(text, &error), kErrEntryExists);
  EXPECT_NE(error.find("line 3: Joe.Sales.Acme"), std::string::npos) << error;
  ObjectInfo info;
  EXPECT_EQ(d_->Describe("Depot.Acme", &info), kErrNoSuchEntry);
}

}  // namespace
}  // namespace zelm::dir::testing
