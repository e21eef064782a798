// The project's slapd: started by scripts/slapd.sh with the generated schema
// and the sample tree loaded.
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "ldap_backend.h"
#include "ldap_map.h"
#include "slapd_fixture.h"

namespace zelm::dir::testing {
namespace {

TEST(Slapd, StartsWithTheSampleTreeAndItsPasswords) {
  Slapd slapd;
  ZELM_START_SLAPD(slapd);
  EXPECT_EQ(slapd.url(), slapd.host() + "/o=Zelm");

  TextDirectory text;
  Tree tree;
  std::string error;
  ASSERT_EQ(ParseText(SampleDirectoryText(), &text, &error), kOk);
  ASSERT_EQ(BuildTree(text, &tree, &error), kOk);

  int status;
  const std::string search = "timeout 20 ldapsearch -x -LLL -o ldif-wrap=no -H " + slapd.host() +
                             " -D 'cn=zelm:admin,o=Zelm' -y '" + slapd.adminPasswordFile() +
                             "' -b o=Zelm ";
  std::string all = Shell(search + "'(objectClass=*)' zelmName", &status);
  ASSERT_EQ(status, 0) << all;
  size_t entries = 0;
  for (size_t at = 0; (at = all.find("\ndn: ", at)) != std::string::npos; ++at) ++entries;
  EXPECT_EQ(entries + (all.rfind("dn: ", 0) == 0), tree.size() + 1);  // and the base

  std::string manager = Shell(search + "'(zelmName=manager.sales.acme)'", &status);
  EXPECT_NE(manager.find("dn: cn=Manager,ou=Sales,o=Acme,o=Zelm"), std::string::npos) << manager;
  EXPECT_NE(manager.find("zelm-Quorvel--EMail-Address: maria.lopez@sales.acme.example"),
            std::string::npos);
  std::string services = Shell(search + "'(zelmName=internet services)' zelmGrant", &status);
  EXPECT_NE(services.find("zelmGrant: 7#Quorvel:Config Changed#Zelmstored.Acme"),
            std::string::npos) << services;

  const std::string whoami = "timeout 20 ldapwhoami -x -H " + slapd.host() +
                             " -D 'cn=Joe,ou=Sales,o=Acme,o=Zelm' -w ";
  Shell(whoami + "joe", &status);
  EXPECT_EQ(status, 0);
  Shell(whoami + "wrong 2>&1", &status);
  EXPECT_NE(status, 0);
}

// A replica on another address: what is written through its provider is
// read through it, and its own rules follow the provider's grants.
TEST(Slapd, AReplicaCopiesItsProviderAndEnforcesTheSameRights) {
  Slapd provider, replica;
  ZELM_START_SLAPD(provider);
  ASSERT_EQ(replica.StartReplica(provider), "");
  EXPECT_NE(replica.addr(), provider.addr());
  const std::string pw = ReadFileText(provider.adminPasswordFile());
  std::unique_ptr<LdapDirectory> source, copy, joe;
  std::string error;
  ASSERT_EQ(LdapDirectory::Open(provider.url(), "", pw, &source, &error), kOk) << error;
  ASSERT_EQ(LdapDirectory::Open(replica.url(), "", pw, &copy, &error), kOk) << error;
  ASSERT_EQ(LdapDirectory::Open(replica.url(), "Joe.Sales.Acme", "joe", &joe, &error), kOk) << error;

  ASSERT_EQ(source->Modify("Acme", {{kChangeAddValue, "Quorvel:Domain", {Text("copied.example")}}}),
            kOk);
  std::vector<AttributeValues> read;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(copy->Read("Acme", {"Quorvel:Domain"}, &read) == kOk && read[0].values.size() == 2) &&
         std::chrono::steady_clock::now() < end)
    usleep(20000);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].values, (std::vector<std::string>{"acme.example", "copied.example"}));

  // Joe may read no password there, until the provider grants it.
  const std::string manager = "Manager.Sales.Acme";
  EXPECT_NE(joe->Read(manager, {"Password"}, &read), kOk);
  ASSERT_EQ(source->SetGrant(manager, "Joe.Sales.Acme", "Password", kRightRead), kOk);
  std::string csn;
  ASSERT_EQ(source->ObjectCsn(manager, &csn), kOk);
  ASSERT_EQ(copy->WaitForRules(csn, 10000), kOk) << copy->lastError();
  ASSERT_EQ(joe->Read(manager, {"Password"}, &read), kOk);
  EXPECT_EQ(read[0].values, std::vector<std::string>{"manager"});
  // Writes belong to the provider: the replica refers them there.
  EXPECT_EQ(copy->Modify("Acme", {{kChangeAddValue, "Quorvel:Domain", {Text("x.example")}}}),
            kErrSystemFailure);
  EXPECT_NE(copy->lastError().find("Referral"), std::string::npos) << copy->lastError();
}

}  // namespace
}  // namespace zelm::dir::testing
