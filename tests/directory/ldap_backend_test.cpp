// The LDAP backend against a real slapd: a directory moved from the file to
// LDAP and back, each operation's results and codes, logins, and servers
// that are not there or do not answer.
#include <sys/socket.h>

#include <chrono>
#include <cstdio>

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
}

TEST(LdapServer, DownOrSilentGivesAnErrorWithinTheWait) {
  // Nothing listens on the first; the second accepts connections and never answers.
  const int closed = FreePort("127.0.0.1");
  int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(silent, 8), 0);
  socklen_t len = sizeof a;
  getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
  for (int port : {closed, int(ntohs(a.sin_port))}) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<LdapDirectory> d;
    std::string error;
    EXPECT_EQ(LdapDirectory::Open("ldap://127.0.0.1:" + std::to_string(port) + "/o=Zelm", "",
                                  "x", &d, &error, 700),
              kErrSystemFailure) << port;
    EXPECT_FALSE(error.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << error;
  }
  close(silent);
  std::unique_ptr<LdapDirectory> d;
  std::string error;
  EXPECT_EQ(LdapDirectory::Open("ldap://127.0.0.1:389/dc=x", "", "x", &d, &error),
            kErrInvalidRequest);  // the base must be named by o=
}

}  // namespace
}  // namespace zelm::dir::testing
