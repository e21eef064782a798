// Spelling the directory for an LDAP server: names, descriptions, DNs,
// values and the generated schema.
#include <gtest/gtest.h>

#include <set>

#include "errors.h"
#include "ldap_map.h"
#include "names.h"

namespace zelm::dir {
namespace {

TEST(LdapMap, EveryClassAndAttributeNameRoundTrips) {
  std::set<std::string> attrs, classes;  // folded: LDAP ignores case
  auto check = [](const char* name, std::set<std::string>* seen) {
    std::string l = LdapName(name);
    ASSERT_FALSE(l.empty()) << name;
    EXPECT_TRUE(seen->insert(Fold(l)).second) << name << " collides as " << l;
    EXPECT_EQ(SchemaNameOf(l), name) << l;
    EXPECT_EQ(SchemaNameOf(Fold(l)), name) << "folded " << l;
  };
  for (const AttributeDef& a : Schema::Get().attributes()) check(a.name, &attrs);
  for (const ClassDef& c : Schema::Get().classes()) check(c.name, &classes);
}

TEST(LdapMap, NamesLdapCannotSpellAreRefused) {
  const struct {
    const char* name;
    const char* ldap;
  } cases[] = {
      {"Quorvel:Message Store", "zelm-Quorvel--Message-Store"},
      {"TARQ:ConnMgr", "zelm-TARQ--ConnMgr"},
      {"Object Class", "objectClass"},
      {"Password", "userPassword"},
      {"Top", "zelm-Top"},
      {"A: B", "zelm-A---B"},
      {"A :B", ""},  // would read back as "A: B"
      {"A-B", ""},
      {"A_B", ""},
      {" A", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LdapName(c.name), c.ldap) << c.name;
  EXPECT_EQ(SchemaNameOf("cn"), "");
  EXPECT_EQ(SchemaNameOf("zelm-"), "");
}

TEST(LdapMap, DescriptionsCarryAValuesOwnSyntax) {
  const struct {
    const char* attr;
    uint32_t syntax;
    const char* description;
  } cases[] = {
      {"Quorvel:Context", kSyntaxDistinguishedName, "zelm-Quorvel--Context"},
      {"Quorvel:Context", kSyntaxCaseIgnoreString, "zelm-Quorvel--Context;x-syntax-3"},
      {"Description", kSyntaxDistinguishedName, "zelm-Description;x-syntax-1"},
      {"Password", kSyntaxCaseIgnoreString, "userPassword"},
  };
  for (const auto& c : cases) {
    const AttributeDef* def = Schema::Get().FindAttribute(c.attr);
    ASSERT_TRUE(def);
    EXPECT_EQ(LdapDescription(def, c.syntax), c.description);
    uint32_t syntax = 0;
    EXPECT_EQ(AttributeOfDescription(c.description, &syntax), def);
    if (def->syntax != kSyntaxCaseExactString) {
      EXPECT_EQ(syntax, c.syntax) << c.description;
    }
  }
  uint32_t s;
  EXPECT_EQ(AttributeOfDescription("zelm-Description;lang-de", &s)->syntax, s);
  EXPECT_EQ(AttributeOfDescription("zelm-Description;x-syntax-7", &s), nullptr);
  EXPECT_EQ(AttributeOfDescription("zelm-Shoe-Size", &s), nullptr);
  EXPECT_EQ(AttributeOfDescription("cn", &s), nullptr);
}

TEST(LdapMap, DnsOfObjectsAndBack) {
  const ClassDef* org = Schema::Get().FindClass("Organization");
  const ClassDef* unit = Schema::Get().FindClass("Organizational Unit");
  const ClassDef* user = Schema::Get().FindClass("User");
  EXPECT_EQ(RdnFor(org, "Acme"), "o=Acme");
  EXPECT_EQ(RdnFor(unit, "Sales"), "ou=Sales");
  EXPECT_EQ(RdnFor(user, "a,b+c=d"), "cn=a\\,b\\+c\\=d");
  EXPECT_EQ(RdnFor(user, "#1 x"), "cn=\\#1 x");
  EXPECT_EQ(RdnFor(user, "M\xFCller"), "cn=M\xC3\xBCller");

  const struct {
    const char* dn;
    const char* base;
    int result;
    const char* full;
  } cases[] = {
      {"cn=Mail,ou=Sales,o=Acme,o=Zelm", "o=Zelm", kOk, "Mail.Sales.Acme"},
      {"CN=Mail,OU=Sales,O=Acme,O=ZELM", "o=Zelm", kOk, "Mail.Sales.Acme"},
      {"cn=a\\,b\\+c\\=d,o=Zelm", "o=Zelm", kOk, "a,b+c=d"},
      {"cn=a\\2Cb,o=Zelm", "o=Zelm", kOk, "a,b"},
      {"cn=M\xC3\xBCller,o=Zelm", "o=Zelm", kOk, "M\xFCller"},
      {"cn=Internet Services,o=Zelm,dc=example", "o=Zelm,dc=example", kOk, "Internet Services"},
      {"o=Zelm", "o=Zelm", kOk, ""},
      {"cn=Mail,o=Other", "o=Zelm", kErrBadName, ""},
      {"o=Zelm", "cn=x,o=Zelm", kErrBadName, ""},
      {"cn=a.b,o=Zelm", "o=Zelm", kErrBadName, ""},  // no dotted name holds it
      {"cn=a+sn=b,o=Zelm", "o=Zelm", kErrBadName, ""},
      {"cn=,o=Zelm", "o=Zelm", kErrBadName, ""},
      {"cn=x\\", "o=Zelm", kErrBadName, ""},
  };
  for (const auto& c : cases) {
    std::string full = "unchanged";
    EXPECT_EQ(NameOfDn(c.dn, c.base, &full), c.result) << c.dn;
    if (c.result == kOk) {
      EXPECT_EQ(full, c.full) << c.dn;
    }
  }
  EXPECT_EQ(BaseOrganization("o=Zelm,dc=example"), "Zelm");
  EXPECT_EQ(BaseOrganization("dc=example"), "");
}

TEST(LdapMap, EveryByteSurvivesUtf8AndGrantsTheirValue) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(FromUtf8(ToUtf8(all)), all);
  EXPECT_EQ(FromUtf8("\xE2\x82\xAC!"), "?!");  // beyond Latin-1

  Grant g{"Sales.Acme", "Quorvel:Host", 0x2F}, back;
  ASSERT_TRUE(ParseGrantValue(GrantValue(g), &back));
  EXPECT_EQ(GrantValue(back), "2f#Quorvel:Host#Sales.Acme");
  for (const char* bad : {"", "7", "7#scope", "#s#t", "x#s#t", "7##t", "7#s#"})
    EXPECT_FALSE(ParseGrantValue(bad, &back)) << bad;
}

TEST(LdapMap, SchemaHasEveryTypeAndClassOnce) {
  std::string text, error;
  ASSERT_EQ(LdapSchemaText(&text, &error), kOk) << error;
  size_t types = 0, classes = 0;
  for (size_t at = 0; (at = text.find("attributetype (", at)) != std::string::npos; ++at) ++types;
  for (size_t at = 0; (at = text.find("objectclass (", at)) != std::string::npos; ++at) ++classes;
  // Less "Object Class" and "Password" (standard types), plus three of ours.
  EXPECT_EQ(types, Schema::Get().attributes().size() - 2 + 3);
  EXPECT_EQ(classes, Schema::Get().classes().size() + 1);
  EXPECT_NE(text.find("NAME 'zelm-Quorvel--Host'"), std::string::npos);
  EXPECT_NE(text.find("SINGLE-VALUE"), std::string::npos);
}

}  // namespace
}  // namespace zelm::dir
