// ldapgen: what an LDAP server needs to hold the directory (ldap_map.h).
//   ldapgen schema OUT            the schema file slapd includes
//   ldapgen ldif BASE [TEXT]      LDIF of a directory description (default:
//                                 the sample tree) under BASE, for slapadd
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "errors.h"
#include "ldap_map.h"
#include "textfile.h"

using namespace zelm::dir;

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "schema" && argc == 3) {
    std::string text, error;
    if (LdapSchemaText(&text, &error) != kOk) {
      std::fprintf(stderr, "ldapgen: %s\n", error.c_str());
      return 1;
    }
    // Written only when it changed, so slapd trees built from it stay put.
    std::ifstream old(argv[2], std::ios::binary);
    std::ostringstream s;
    s << old.rdbuf();
    if (old && s.str() == text) return 0;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    return out.good() ? 0 : 1;
  }
  if (cmd == "ldif" && (argc == 3 || argc == 4)) {
    std::string body;
    if (argc == 4) {
      std::ifstream in(argv[3], std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "ldapgen: cannot read %s\n", argv[3]);
        return 1;
      }
      std::ostringstream s;
      s << in.rdbuf();
      body = s.str();
    } else {
      body = SampleDirectoryText();
    }
    if (BaseOrganization(argv[2]).empty()) {
      std::fprintf(stderr, "ldapgen: the base must be named by o= (o=Zelm)\n");
      return 1;
    }
    TextDirectory text;
    Tree tree;
    std::string error;
    if (ParseText(body, &text, &error) != kOk || BuildTree(text, &tree, &error) != kOk) {
      std::fprintf(stderr, "ldapgen: %s\n", error.c_str());
      return 1;
    }
    std::fputs(TreeToLdif(tree, argv[2]).c_str(), stdout);
    return 0;
  }
  std::fputs("usage: ldapgen schema OUT | ldapgen ldif BASE [TEXT]\n", stderr);
  return 2;
}
