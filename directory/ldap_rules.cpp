#include "ldap_rules.h"

#include <algorithm>
#include <cctype>

#include "errors.h"
#include "ldap_map.h"
#include "names.h"

namespace zelm::dir {
namespace {

const char kHex[] = "0123456789ABCDEF";

// A DN value escaped with hex pairs only, which slapd's configuration reader
// keeps as they are inside a quoted DN.
std::string HexEscapeValue(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' ||
                   c == ';' || c == '=' || c < 0x20 || (i == 0 && (c == '#' || c == ' ')) ||
                   (i + 1 == utf8.size() && c == ' ');
    if (special) {
      out += '\\';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A DN the server wrote (RFC 4514: "\," or "\2C") with hex escapes only.
std::string HexEscapeDn(std::string_view dn) {
  std::string out;
  for (size_t i = 0; i < dn.size(); ++i) {
    if (dn[i] != '\\' || i + 1 == dn.size()) {
      if (dn[i] == '"') out += "\\22";
      else out += dn[i];
      continue;
    }
    char n = dn[i + 1];
    bool hex = i + 2 < dn.size() && std::isxdigit(static_cast<unsigned char>(n)) &&
               std::isxdigit(static_cast<unsigned char>(dn[i + 2]));
    if (hex) {
      out.append(dn.substr(i, 3));
      i += 2;
    } else {
      unsigned char c = static_cast<unsigned char>(n);
      out += '\\';
      out += kHex[c >> 4];
      out += kHex[c & 15];
      ++i;
    }
  }
  return out;
}

std::vector<std::string> Components(std::string_view full) {
  std::vector<std::string> out;
  while (!full.empty()) {
    size_t dot = full.find('.');
    out.emplace_back(full.substr(0, dot));
    full.remove_prefix(dot == std::string_view::npos ? full.size() : dot + 1);
  }
  return out;
}

// full as a chain of names under base: the last component named by o, the
// others by ou, the first by first ("cn" for a user, "ou" for a unit).
std::string ChainDn(std::string_view full, std::string_view base, const char* first) {
  if (CheckFullName(full) != kOk || full.empty()) return "";
  std::vector<std::string> parts = Components(full);
  std::string dn;
  for (size_t i = 0; i < parts.size(); ++i) {
    const char* type = i + 1 == parts.size() ? "o" : i == 0 ? first : "ou";
    dn += std::string(type) + "=" + HexEscapeValue(ToUtf8(parts[i])) + ",";
  }
  return dn + HexEscapeDn(base);
}

size_t Depth(std::string_view full) {
  return full.empty() ? 0 : 1 + std::count(full.begin(), full.end(), '.');
}

// A trustee as the engine keeps it: "[Public]", "[Root]" or a full name.
std::string Trustee(std::string_view t) {
  if (SameText(t, kPublicTrustee)) return std::string(kPublicTrustee);
  if (SameText(t, kRootName)) return std::string(kRootName);
  if (!t.empty() && t.front() == '.') t.remove_prefix(1);
  return std::string(t);
}

// Rights per trustee, in the order trustees first appear.
using Rights = std::vector<std::pair<std::string, uint32_t>>;

uint32_t Of(const Rights& r, const std::string& trustee) {
  for (const auto& [t, bits] : r)
    if (SameText(t, trustee)) return bits;
  return 0;
}

// Each trustee's rights from the nearest level of the chain (nearest first)
// holding a grant that pick selects, as the engine decides them.
template <class Pick>
Rights Nearest(const std::vector<const GrantHolder*>& chain, Pick pick) {
  Rights out;
  std::vector<std::string> decided;
  for (const GrantHolder* level : chain) {
    std::vector<std::string> here;
    for (const Grant& g : level->grants) {
      if (!pick(g.scope)) continue;
      std::string key = Fold(Trustee(g.trustee));
      if (std::find(decided.begin(), decided.end(), key) != decided.end()) continue;
      auto it = std::find_if(out.begin(), out.end(),
                             [&](const auto& p) { return Fold(p.first) == key; });
      if (it == out.end()) out.emplace_back(Trustee(g.trustee), g.rights);
      else it->second |= g.rights;
      here.push_back(std::move(key));
    }
    decided.insert(decided.end(), here.begin(), here.end());
  }
  return out;
}

Rights AttributeRightsOf(const std::vector<const GrantHolder*>& chain, const AttributeDef* def) {
  Rights r = Nearest(chain, [def](std::string_view scope) {
    if (SameText(scope, kAllAttributesRights)) return !def || !def->guarded;
    return def && SameText(scope, def->name);
  });
  for (auto& [t, bits] : r)
    if (bits & kRightAttributeSupervisor) bits = kAllAttributeRights;
  return r;
}

std::string AttributePrivileges(uint32_t rights) {
  std::string p;
  if (rights & kRightCompare) p += "c";
  if (rights & kRightRead) p += "rs";
  if (rights & kRightWrite) p += "w";
  return p.empty() ? p : p + "d";
}

// Who a trustee is on the server, as by-clauses taking access.
std::string Who(std::string_view base, const std::string& trustee, const std::string& access) {
  if (trustee == kPublicTrustee) return " by * " + access;
  if (trustee == kRootName) return " by users " + access;
  std::string out;
  std::string user = LdapUserDn(trustee, base), unit = LdapUnitDn(trustee, base);
  if (!user.empty()) out += " by dn.exact=\"" + user + "\" " + access;
  if (!unit.empty()) out += " by dn.subtree=\"" + unit + "\" " + access;
  return out;
}

struct Group {
  std::string_view base;
  std::string supervisors;  // by-clauses giving everything, first in each rule
  std::vector<std::string>* out;

  // One rule: supervisors, then each trustee adding its privileges, then
  // everybody's own, stopping there.
  void Rule(const std::string& what, const std::vector<std::pair<std::string, std::string>>& adds,
            const std::string& everybody, const std::string& before = "") const {
    std::string r = "to " + what + supervisors + before;
    for (const auto& [trustee, privileges] : adds)
      if (!privileges.empty()) r += Who(base, trustee, "+" + privileges + " continue");
    out->push_back(r + " by * " + everybody + " stop");
  }
};

}  // namespace

std::string LdapUserDn(std::string_view full, std::string_view base) {
  return Depth(full) < 2 ? std::string() : ChainDn(full, base, "cn");
}

std::string LdapUnitDn(std::string_view full, std::string_view base) {
  return ChainDn(full, base, "ou");
}

std::vector<std::string> LdapAccessRules(std::string_view base, std::string_view supervisor,
                                         std::vector<GrantHolder> holders) {
  std::vector<std::string> out;
  const std::string baseDn = HexEscapeDn(base);
  // Settings, names and what the server itself keeps: readable by all,
  // changed by the administrator alone.
  out.push_back("to dn.base=\"" + baseDn + "\" attrs=zelmSetting by * +rscd stop");
  out.push_back(
      "to attrs=zelmName,cn,ou,o,hasSubordinates,entryUUID,entryCSN,contextCSN,entryDN,"
      "structuralObjectClass,subschemaSubentry by * +rscd stop");
  if (std::string s = LdapUserDn(supervisor, base); !s.empty())
    out.push_back("to * by dn.exact=\"" + s + "\" manage stop by * break");

  if (std::none_of(holders.begin(), holders.end(), [](const GrantHolder& h) { return h.full.empty(); }))
    holders.push_back({"", std::string(base), {}});
  std::sort(holders.begin(), holders.end(), [](const GrantHolder& a, const GrantHolder& b) {
    size_t da = Depth(a.full), db = Depth(b.full);
    return da != db ? da > db : Fold(a.full) < Fold(b.full);
  });

  for (const GrantHolder& g : holders) {
    // The levels whose grants reach g, nearest first; the parent's chain
    // decides what is seen of g from its container.
    std::vector<const GrantHolder*> chain, parentChain;
    for (const GrantHolder& h : holders) {
      bool above = h.full.empty() || IsBelow(g.full, h.full);
      if (above && &h != &g) parentChain.push_back(&h);
      if (above || SameText(h.full, g.full)) chain.push_back(&h);
    }
    const Rights entry = Nearest(chain, [](std::string_view s) { return SameText(s, kEntryRights); });
    const Rights parentEntry =
        Nearest(parentChain, [](std::string_view s) { return SameText(s, kEntryRights); });
    const AttributeDef* password = Schema::Get().FindAttribute("Password");
    const Rights others = AttributeRightsOf(chain, nullptr);
    const Rights secret = AttributeRightsOf(chain, password);

    // Attributes a grant names, each with its own rights.
    std::vector<const AttributeDef*> named;
    for (const GrantHolder* level : chain)
      for (const Grant& gr : level->grants) {
        const AttributeDef* def = Schema::Get().FindAttribute(gr.scope);
        if (!def || def->guarded || def->syntax == kSyntaxClassName) continue;
        if (std::find(named.begin(), named.end(), def) == named.end()) named.push_back(def);
      }
    std::vector<Rights> namedRights;
    for (const AttributeDef* def : named) namedRights.push_back(AttributeRightsOf(chain, def));

    Group group{base, "", &out};
    std::vector<std::string> trustees;
    auto note = [&](const Rights& r) {
      for (const auto& [t, bits] : r)
        if (std::none_of(trustees.begin(), trustees.end(), [&](const std::string& x) { return SameText(x, t); }))
          trustees.push_back(t);
    };
    for (const GrantHolder* level : chain)
      for (const Grant& gr : level->grants)
        if (SameText(gr.scope, kEntryRights) && (gr.rights & kRightSupervisor) &&
            group.supervisors.find(Who(base, Trustee(gr.trustee), "manage stop")) == std::string::npos)
          group.supervisors += Who(base, Trustee(gr.trustee), "manage stop");
    note(entry);
    note(others);
    note(secret);
    for (const Rights& r : namedRights) note(r);
    // Some right here: the entry is found by a search.
    auto any = [&](const std::string& t) {
      if (Of(entry, t) || Of(others, t) || Of(secret, t)) return true;
      for (const Rights& r : namedRights)
        if (Of(r, t)) return true;
      return false;
    };

    const std::string dn = HexEscapeDn(g.dn);
    const std::string subtree = "dn.subtree=\"" + dn + "\"";
    const std::string children = "dn.children=\"" + dn + "\"";
    const std::string self = "dn.base=\"" + dn + "\"";
    const bool root = g.full.empty();

    // The entry itself: searching below it (browse), finding it, deleting
    // it; adding below it (the parent's children decide, and an entry
    // holding a password needs write on Password, one holding grants
    // supervisor rights).
    auto entryAdds = [&](bool here, bool withPassword) {
      std::vector<std::pair<std::string, std::string>> adds;
      for (const std::string& t : trustees) {
        uint32_t e = Of(entry, t);
        std::string p;
        if (e & kRightBrowse) p += "s";
        if (any(t) || (here && (Of(parentEntry, t) & kRightBrowse))) p += "r";
        if (e & kRightDelete) p += "z";
        if (withPassword && (Of(secret, t) & kRightWrite)) p += "a";
        adds.emplace_back(t, p);
      }
      return adds;
    };
    if (root) {
      group.Rule(self + " attrs=entry", {}, "+rsdx");
    } else {
      group.Rule(self + " attrs=entry", entryAdds(true, false), "+adx");
    }
    group.Rule(children + " filter=(zelmGrant=*) attrs=entry", entryAdds(false, false), "+dx");
    group.Rule(children + " filter=(userPassword=*) attrs=entry", entryAdds(false, true), "+dx");
    group.Rule(children + " attrs=entry", entryAdds(false, false), "+adx");

    std::vector<std::pair<std::string, std::string>> create, browse, parentBrowse;
    for (const auto& [t, bits] : entry) {
      if (bits & kRightCreate) create.emplace_back(t, "a");
      if (bits & kRightBrowse) browse.emplace_back(t, "s");
    }
    for (const auto& [t, bits] : parentEntry)
      if (bits & kRightBrowse) parentBrowse.emplace_back(t, "s");
    group.Rule(subtree + " attrs=children", create, "+z");
    group.Rule(self + " attrs=objectClass", root ? decltype(parentBrowse)() : parentBrowse,
               root ? "+rscd" : "+rcd");
    group.Rule(children + " attrs=objectClass", browse, "+rcd");
    group.Rule(subtree + " attrs=zelmGrant", {}, "+0");

    auto adds = [&](const Rights& r) {
      std::vector<std::pair<std::string, std::string>> a;
      for (const auto& [t, bits] : r) a.emplace_back(t, AttributePrivileges(bits));
      return a;
    };
    group.Rule(subtree + " attrs=userPassword", adds(secret), "+0", " by * +x continue");
    // Named attributes with the same trustees and rights share one rule.
    std::vector<bool> done(named.size());
    for (size_t i = 0; i < named.size(); ++i) {
      if (done[i]) continue;
      std::string attrs = LdapName(named[i]->name);
      const auto mine = adds(namedRights[i]);
      for (size_t j = i + 1; j < named.size(); ++j)
        if (!done[j] && adds(namedRights[j]) == mine) {
          attrs += "," + LdapName(named[j]->name);
          done[j] = true;
        }
      group.Rule(subtree + " attrs=" + attrs, mine, "+0");
    }
    group.Rule(subtree, adds(others), "+0");
  }
  return out;
}

}  // namespace zelm::dir
