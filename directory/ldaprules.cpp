// ldaprules: keeps an LDAP server's access rules in step with the
// directory's grants (ldap_rules.h), started beside the server by
// scripts/slapd.sh.
//
//   ldaprules DIR
//
// DIR is the server's folder: url (ldap://ADDR:PORT/BASE), admin.pw and the
// server's local socket ldapi. ldaprules follows grants and settings as the
// administrator, by content synchronisation, whoever writes them, and
// replaces the database's rules (olcAccess) through the server's own
// configuration over the local socket (SASL EXTERNAL: the user running
// both). After each change of grants or settings it has taken it records
// the change sequence number it has reached in the entry cn=zelm-rules
// (description), which anybody may read: once that is at least the one of
// a writer's change, the rules reflect it (LdapDirectory::WaitForGrants in
// ldap_backend.h waits so).
#include <ldap.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "ldap_map.h"
#include "ldap_rules.h"
#include "ldap_sync.h"
#include "names.h"

using namespace zelm::dir;
using Clock = std::chrono::steady_clock;

namespace {

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

// Each line once while it repeats (a server that stays away is tried again
// and again).
void Log(const std::string& line) {
  static std::string last;
  if (line == last) return;
  last = line;
  std::fprintf(stderr, "ldaprules: %s\n", line.c_str());
  std::fflush(stderr);
}

std::string ReadLine(const std::string& path) {
  std::ifstream in(path);
  std::string s;
  std::getline(in, s);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

// The server's own configuration, over its local socket.
class Config {
 public:
  ~Config() {
    if (ld_) ldap_unbind_ext_s(ld_, nullptr, nullptr);
  }
  bool Open(const std::string& socketPath, const std::string& base, std::string* error) {
    std::string url = "ldapi://";
    for (char c : socketPath) {
      if (c == '/') url += "%2F";
      else url += c;
    }
    int version = LDAP_VERSION3;
    if (ldap_initialize(&ld_, url.c_str()) != LDAP_SUCCESS) return Failed("cannot use " + url, error);
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    int rc = ldap_sasl_interactive_bind_s(ld_, nullptr, "EXTERNAL", nullptr, nullptr,
                                          LDAP_SASL_QUIET, [](LDAP*, unsigned, void*, void*) { return LDAP_SUCCESS; },
                                          nullptr);
    if (rc != LDAP_SUCCESS) return Failed(std::string("bind to ") + url + ": " + ldap_err2string(rc), error);
    // The database's configuration entry: the one whose suffix is base.
    std::string filter = "(olcSuffix=" + base + ")";
    char none[] = "1.1";
    char* attrs[] = {none, nullptr};
    LDAPMessage* res = nullptr;
    rc = ldap_search_ext_s(ld_, "cn=config", LDAP_SCOPE_ONELEVEL, filter.c_str(), attrs, 0, nullptr,
                           nullptr, nullptr, 0, &res);
    if (rc == LDAP_SUCCESS)
      if (LDAPMessage* e = ldap_first_entry(ld_, res))
        if (char* dn = ldap_get_dn(ld_, e)) {
          database_ = dn;
          ldap_memfree(dn);
        }
    if (res) ldap_msgfree(res);
    if (database_.empty()) return Failed("no database for " + base + " in cn=config", error);
    return true;
  }

  // Replaces the database's rules: false (and the old rules kept) when the
  // server refuses them.
  bool SetRules(const std::vector<std::string>& rules, std::string* error) {
    std::vector<berval> values;
    std::vector<berval*> ptrs;
    for (const std::string& r : rules) values.push_back({r.size(), const_cast<char*>(r.data())});
    for (berval& v : values) ptrs.push_back(&v);
    ptrs.push_back(nullptr);
    char type[] = "olcAccess";
    LDAPMod mod{LDAP_MOD_REPLACE | LDAP_MOD_BVALUES, type, {}};
    mod.mod_bvalues = ptrs.data();
    LDAPMod* mods[] = {&mod, nullptr};
    int rc = ldap_modify_ext_s(ld_, database_.c_str(), mods, nullptr, nullptr);
    if (rc == LDAP_SUCCESS) return true;
    char* text = nullptr;
    ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text);
    *error = std::string("rules refused: ") + ldap_err2string(rc) + (text ? std::string(": ") + text : "");
    if (text) ldap_memfree(text);
    return false;
  }

  // Records how far the rules reach, in cn=zelm-rules.
  bool SetMark(const std::string& csn, std::string* error) {
    char desc[] = "description";
    berval v{csn.size(), const_cast<char*>(csn.data())};
    berval* vals[] = {&v, nullptr};
    LDAPMod mod{LDAP_MOD_REPLACE | LDAP_MOD_BVALUES, desc, {}};
    mod.mod_bvalues = vals;
    LDAPMod* mods[] = {&mod, nullptr};
    int rc = ldap_modify_ext_s(ld_, kMarkDn, mods, nullptr, nullptr);
    if (rc == LDAP_NO_SUCH_OBJECT) {
      char oc[] = "objectClass", cn[] = "cn";
      char ocv[] = "applicationProcess", cnv[] = "zelm-rules";
      char* ocs[] = {ocv, nullptr};
      char* cns[] = {cnv, nullptr};
      char* descs[] = {v.bv_val, nullptr};
      LDAPMod a{LDAP_MOD_ADD, oc, {}}, b{LDAP_MOD_ADD, cn, {}}, c{LDAP_MOD_ADD, desc, {}};
      a.mod_values = ocs;
      b.mod_values = cns;
      c.mod_values = descs;
      LDAPMod* adds[] = {&a, &b, &c, nullptr};
      rc = ldap_add_ext_s(ld_, kMarkDn, adds, nullptr, nullptr);
    }
    if (rc == LDAP_SUCCESS) return true;
    *error = std::string("cannot record the mark: ") + ldap_err2string(rc);
    return false;
  }

 private:
  static constexpr const char* kMarkDn = "cn=zelm-rules";
  bool Failed(const std::string& why, std::string* error) {
    *error = why;
    return false;
  }
  LDAP* ld_ = nullptr;
  std::string database_;
};

struct Holder {
  std::string dn;
  std::vector<Grant> grants;
  std::vector<std::string> settings;
};

// Takes one entry's grants and settings (none: it holds nothing of ours).
void Take(std::map<std::string, Holder>* holders, const std::string& uuid, const std::string& dn,
          const LdapAttributes& attrs) {
  Holder h{dn, {}, {}};
  for (const auto& [desc, values] : attrs)
    for (const std::string& v : values) {
      if (SameText(desc, kLdapGrantAttr)) {
        Grant g;
        if (ParseGrantValue(FromUtf8(v), &g)) h.grants.push_back(g);
      } else if (SameText(desc, kLdapSettingAttr)) {
        h.settings.push_back(FromUtf8(v));
      }
    }
  if (h.grants.empty() && h.settings.empty()) holders->erase(uuid);
  else (*holders)[uuid] = std::move(h);
}

std::vector<std::string> Rules(const std::string& base, const std::map<std::string, Holder>& holders) {
  std::string supervisor;
  std::vector<GrantHolder> in;
  for (const auto& [uuid, h] : holders) {
    for (const std::string& s : h.settings)
      if (s.rfind(std::string(kSettingSupervisor) + "=", 0) == 0)
        supervisor = s.substr(kSettingSupervisor.size() + 1);
    GrantHolder g{"", h.dn, h.grants};
    if (NameOfDn(h.dn, base, &g.full) != kOk || h.grants.empty()) continue;
    in.push_back(std::move(g));
  }
  return LdapAccessRules(base, supervisor, std::move(in));
}

// One session: follows the server until it fails or we are asked to stop.
void Follow(const std::string& dir) {
  const std::string url = ReadLine(dir + "/url");
  const std::string password = ReadLine(dir + "/admin.pw");
  std::unique_ptr<LdapDirectory> d;
  std::string error;
  if (int r = LdapDirectory::Open(url, "", password, &d, &error)) {
    Log("cannot reach " + url + ": " + error + " (" + std::to_string(r) + ")");
    return;
  }
  const std::string base = d->base();
  Config config;
  if (!config.Open(dir + "/ldapi", base, &error)) {
    Log(error);
    return;
  }
  // Where the server stands, then everything holding grants or settings,
  // then every change after that point.
  std::string start;
  if (d->ServerCsn(&start) != kOk) {
    Log("cannot read " + base + ": " + d->lastError());
    return;
  }
  std::map<std::string, Holder> holders;
  {
    std::unique_ptr<LdapDirectory> once;
    if (LdapDirectory::Open(url, "", password, &once, &error) != kOk) return;
    std::unique_ptr<LdapFollower> all;
    if (LdapFollower::Start(std::move(once), "(|(zelmGrant=*)(zelmSetting=*))",
                            {std::string(kLdapGrantAttr), std::string(kLdapSettingAttr)}, false,
                            &all, &error) != kOk) {
      Log("cannot read the grants: " + error);
      return;
    }
    std::vector<LdapFollower::Event> events;
    all->Poll(0, &events);
    for (const LdapFollower::Event& e : events)
      if (e.kind == LdapFollower::Event::kEntry) Take(&holders, e.uuid, e.dn, e.attrs);
  }
  std::unique_ptr<LdapFollower> follower;
  if (LdapFollower::Start(std::move(d), "(|(zelmGrant=*)(zelmSetting=*))",
                          {std::string(kLdapGrantAttr), std::string(kLdapSettingAttr)}, true,
                          &follower, &error) != kOk) {
    Log("cannot follow " + base + ": " + error);
    return;
  }
  std::vector<std::string> applied;
  std::string marked;
  bool first = true;
  while (!gStop) {
    std::vector<LdapFollower::Event> events;
    int r = follower->Poll(200, &events);
    for (const LdapFollower::Event& e : events) {
      if (e.kind == LdapFollower::Event::kEntry) Take(&holders, e.uuid, e.dn, e.attrs);
      if (e.kind == LdapFollower::Event::kGone) holders.erase(e.uuid);
    }
    if (r != kOk) {
      Log(follower->lastError());
      return;
    }
    std::string reached = std::max(follower->csn(), start);
    if (first || !events.empty()) {
      std::vector<std::string> rules = Rules(base, holders);
      if (rules != applied) {
        auto t0 = Clock::now();
        if (!config.SetRules(rules, &error)) {
          Log(error);
          return;
        }
        applied = std::move(rules);
        Log(std::to_string(applied.size()) + " access rules for " + std::to_string(holders.size()) +
            " entries with grants or settings, in " +
            std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count()) +
            " us");
      }
    }
    first = false;
    // Each change to grants or settings (the only ones reported) moves the
    // mark once the rules reflect it, whether they changed or not.
    if (reached > marked) {
      if (!config.SetMark(reached, &error)) {
        Log(error);
        return;
      }
      marked = reached;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: ldaprules DIR (the folder scripts/slapd.sh made)\n", stderr);
    return 2;
  }
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGPIPE, SIG_IGN);
  // A server that is not there yet (a replica still empty) or went away is
  // tried again until we are stopped.
  while (!gStop) {
    Follow(argv[1]);
    for (int i = 0; i < 5 && !gStop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 0;
}
