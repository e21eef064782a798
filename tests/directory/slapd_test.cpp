// The project's slapd: started by scripts/slapd.sh with the generated schema
// and the sample tree loaded.
#include <cstdio>

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

}  // namespace
}  // namespace zelm::dir::testing
