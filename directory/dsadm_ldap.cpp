// dsadm's commands against a directory on an LDAP server (ldap_backend.h).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ldap_backend.h"
#include "ldap_map.h"
#include "textfile.h"

namespace zelm::dir {

// dsadm.cpp
int LoadTextFile(const std::string& path, TextDirectory* text);
int GrantRights(const std::vector<std::string>& rest, uint32_t* rights);

namespace {

int Report(const LdapDirectory& d, const std::string& what, int code) {
  if (code == kOk) return 0;
  std::fprintf(stderr, "dsadm: %s: %s (%d)%s%s\n", what.c_str(), ResultText(code), code,
               d.lastError().empty() ? "" : ": ", d.lastError().c_str());
  return 1;
}

// The password comes from a file, never from the command line.
bool ReadPassword(std::string* password) {
  const char* file = std::getenv("ZELM_LDAP_PASSWORD_FILE");
  if (!file || !*file) {
    std::fprintf(stderr, "dsadm: set ZELM_LDAP_PASSWORD_FILE to a file holding the password\n");
    return false;
  }
  std::ifstream in(file);
  if (!in || !std::getline(in, *password)) {
    std::fprintf(stderr, "dsadm: cannot read the password file %s\n", file);
    return false;
  }
  if (!password->empty() && password->back() == '\r') password->pop_back();
  return true;
}

bool ToTree(const TextDirectory& text, Tree* tree) {
  std::string error;
  if (BuildTree(text, tree, &error) == kOk) return true;
  std::fprintf(stderr, "dsadm: the server's directory does not build: %s\n", error.c_str());
  return false;
}

// After a change of grants: done once the server enforces every grant up to
// csn ("": every grant there is).
int WaitForRules(LdapDirectory& dir, const std::string& address, const char* wait,
                 std::string csn = std::string()) {
  if (csn.empty())
    if (int r = dir.GrantsCsn(&csn)) return Report(dir, "access rules", r);
  int w = dir.WaitForRules(csn, wait ? std::atoi(wait) : 10000);
  if (w == kErrNoSuchEntry) {
    std::fprintf(stderr, "dsadm: nothing keeps the access rules of %s: the grants are stored "
                         "but not enforced\n", address.c_str());
    return 1;
  }
  return Report(dir, "access rules", w);
}

}  // namespace

int RunLdap(const std::string& address, const std::string& identity, const std::string& cmd,
            const std::vector<std::string>& rest) {
  std::string password;
  if (!ReadPassword(&password)) return 1;
  const char* wait = std::getenv("ZELM_LDAP_TIMEOUT_MS");
  std::unique_ptr<LdapDirectory> d;
  std::string error;
  if (int r = LdapDirectory::Open(address, identity, password, &d, &error,
                                  wait ? std::atoi(wait) : 10000)) {
    std::fprintf(stderr, "dsadm: %s: %s (%d): %s\n", address.c_str(), ResultText(r), r,
                 error.c_str());
    return 1;
  }
  LdapDirectory& dir = *d;

  if ((cmd == "dump" || cmd == "ldif") && rest.empty()) {
    TextDirectory text;
    if (int r = dir.Export(&text)) return Report(dir, "export", r);
    Tree tree;
    if (!ToTree(text, &tree)) return 1;
    std::fputs((cmd == "dump" ? DumpText(tree) : TreeToLdif(tree, dir.base())).c_str(), stdout);
    return 0;
  }
  if (cmd == "import" && rest.size() == 1) {
    TextDirectory text;
    if (int r = LoadTextFile(rest[0], &text)) return r;
    if (dir.Import(text, &error) != kOk) {
      std::fprintf(stderr, "dsadm: %s: %s\n", rest[0].c_str(), error.c_str());
      return 1;
    }
    return WaitForRules(dir, address, wait);
  }
  std::string full;
  const std::string typed = rest.empty() ? (cmd == "list" ? "[Root]" : "") : rest[0];
  if (typed.empty() || ResolveName("", typed, &full) != kOk) {
    std::fprintf(stderr, "dsadm: bad or missing object name \"%s\"\n", typed.c_str());
    return 2;
  }
  if (cmd == "list" && rest.size() <= 1) {
    std::vector<ObjectInfo> objects;
    if (int r = dir.List(full, &objects)) return Report(dir, full, r);
    for (const ObjectInfo& o : objects)
      std::printf("%s\t%s\n", std::string(LeafName(o.full)).c_str(), o.className.c_str());
    return 0;
  }
  if (cmd == "show" && rest.size() == 1) {
    std::vector<AttributeValues> values;
    if (int r = dir.Read(full, {}, &values)) return Report(dir, full, r);
    for (const AttributeValues& a : values) {
      const AttributeDef* def = Schema::Get().FindAttribute(a.name);
      for (size_t i = 0; i < a.values.size(); ++i)
        std::printf("%s\n", ValueLine(def, a.syntaxes[i], a.values[i]).c_str());
    }
    return 0;
  }
  if (cmd == "delete" && rest.size() == 1) return Report(dir, full, dir.Remove(full));
  if (rest.size() < 2) {
    std::fprintf(stderr, "dsadm: %s: missing arguments\n", cmd.c_str());
    return 2;
  }
  const AttributeDef* def = Schema::Get().FindAttribute(rest[1]);
  const uint32_t syntax = def ? def->syntax : kSyntaxCaseIgnoreString;
  if (cmd == "get" && rest.size() == 2) {
    std::vector<AttributeValues> values;
    if (int r = dir.Read(full, {rest[1]}, &values)) return Report(dir, full, r);
    for (const std::string& v : values[0].values) std::printf("%s\n", EscapeValue(v).c_str());
    return 0;
  }
  if ((cmd == "add-value" || cmd == "remove-value") && rest.size() == 3) {
    Change c{cmd == "add-value" ? kChangeAddValue : kChangeRemoveValue, rest[1],
             {{syntax, rest[2]}}};
    return Report(dir, full, dir.Modify(full, {c}));
  }
  if (cmd == "set" && rest.size() >= 2) {
    // Removing what is there and adding the new values is one modify.
    std::vector<AttributeValues> now;
    int r = dir.Read(full, {rest[1]}, &now);
    if (r != kOk && r != kErrNoSuchAttribute) return Report(dir, full, r);
    std::vector<Change> changes;
    if (r == kOk) {
      Change remove{kChangeRemoveValue, rest[1], {}};
      for (size_t i = 0; i < now[0].values.size(); ++i)
        remove.values.push_back({now[0].syntaxes[i], now[0].values[i]});
      changes.push_back(remove);
    }
    Change add{kChangeAddValue, rest[1], {}};
    for (size_t i = 2; i < rest.size(); ++i) add.values.push_back({syntax, rest[i]});
    if (!add.values.empty()) changes.push_back(add);
    return Report(dir, full, dir.Modify(full, changes));
  }
  if (cmd == "set-if" && rest.size() == 4) {
    std::vector<Change> changes;
    if (!rest[2].empty()) changes.push_back({kChangeRemoveValue, rest[1], {{syntax, rest[2]}}});
    changes.push_back({kChangeAddValue, rest[1], {{syntax, rest[3]}}});
    int r = dir.Modify(full, changes);
    const bool unmet = rest[2].empty() ? r == kErrSyntaxViolation || r == kErrDuplicateValue
                                       : r == kErrNoSuchValue || r == kErrNoSuchAttribute;
    if (unmet) {
      std::fprintf(stderr, "dsadm: %s: %s is not \"%s\": nothing changed\n", full.c_str(),
                   rest[1].c_str(), rest[2].c_str());
      return 3;
    }
    return Report(dir, full, r);
  }
  if (cmd == "grant" && rest.size() >= 3) {
    uint32_t rights = 0;
    if (int r = GrantRights(rest, &rights)) return r;
    if (int r = dir.SetGrant(full, rest[1], rest[2], rights)) return Report(dir, full, r);
    // Done once the server enforces it.
    std::string csn;
    if (int r = dir.ObjectCsn(full, &csn)) return Report(dir, full, r);
    return WaitForRules(dir, address, wait, csn);
  }
  if (cmd == "rights" && rest.size() == 3 && !identity.empty() && SameText(rest[1], identity)) {
    uint32_t rights = 0;
    if (int r = dir.Rights(full, rest[2], &rights)) return Report(dir, full, r);
    std::printf("0x%02X %s\n", rights, RightsText(SameText(rest[2], kEntryRights), rights).c_str());
    return 0;
  }
  std::fprintf(stderr,
               "dsadm: over LDAP: dump, ldif, import, list, show, get, set, add-value, "
               "remove-value, set-if, delete, grant, and rights of the --as identity\n");
  return 2;
}

}  // namespace zelm::dir
