#include "ldap_backend.h"

#include <algorithm>
#include <map>

#include "ldap_client.h"
#include "ldap_map.h"

namespace zelm::dir {
namespace {

const Schema& S() { return Schema::Get(); }

// LDAP result codes as the directory's own.
int MapResult(int code) {
  switch (code) {
    case kLdapSuccess: return kOk;
    case kLdapNoSuchObject: return kErrNoSuchEntry;
    case kLdapInsufficientAccess:
    case kLdapInvalidCredentials:
    case kLdapInappropriateAuth:
    case kLdapStrongAuthRequired:
    case kLdapConfidentialityRequired: return kErrNoAccess;
    case kLdapAlreadyExists: return kErrEntryExists;
    case kLdapNoSuchAttribute: return kErrNoSuchValue;
    case kLdapUndefinedType: return kErrNoSuchAttribute;
    case kLdapConstraintViolation:
    case kLdapInvalidSyntax: return kErrSyntaxViolation;
    case kLdapTypeOrValueExists: return kErrDuplicateValue;
    case kLdapObjectClassViolation: return kErrIllegalAttribute;
    case kLdapInvalidDnSyntax:
    case kLdapNamingViolation: return kErrBadName;
    case kLdapNotAllowedOnNonLeaf:
    case kLdapNotAllowedOnRdn:
    case kLdapUnwillingToPerform: return kErrInvalidRequest;
    case kLdapBusy:
    case kLdapUnavailable: return kErrLocked;
    default: return kErrSystemFailure;  // down, timed out, cut off, protocol
  }
}

std::string FilterEscape(std::string_view v) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : v) {
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == 0) {
      out += '\\';
      out += kHex[(static_cast<unsigned char>(c) >> 4) & 15];
      out += kHex[static_cast<unsigned char>(c) & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string NameFilter(std::string_view full) {
  return "(" + std::string(kLdapNameAttr) + "=" + FilterEscape(ToUtf8(Fold(full))) + ")";
}

bool SameValue(const AttributeDef* def, std::string_view a, std::string_view b) {
  return def->syntax == kSyntaxCaseExactString ? a == b : SameText(a, b);
}

// The concrete schema class among an entry's objectClass values.
const ClassDef* ClassOf(const std::vector<std::string>& objectClasses) {
  for (const std::string& oc : objectClasses) {
    const ClassDef* c = S().FindClass(SchemaNameOf(oc));
    if (c && !c->abstract && !SchemaNameOf(oc).empty()) return c;
  }
  return nullptr;
}

// Checks one value to be written the way the engine does.
int CheckValue(const AttributeDef* def, const ValueIn& v) {
  if (!Schema::KnownSyntax(v.syntax) || !Schema::Accepts(def, v.syntax)) return kErrSyntaxViolation;
  if (v.text.empty() || v.text.size() > kMaxValueLength) return kErrSyntaxViolation;
  return kOk;
}

struct Held {
  std::string description;
  std::string utf8;   // as stored
  std::string text;   // 8-bit
  uint32_t syntax;
  bool stored;        // there when the entry was read, not added by this request
};

}  // namespace

bool ParseLdapAddress(std::string_view address, std::string* hostUrl, std::string* base) {
  if (!IsLdapAddress(address)) return false;
  size_t slash = address.find('/', 7);
  if (slash == std::string_view::npos || slash == 7 || slash + 1 >= address.size()) return false;
  *hostUrl = std::string(address.substr(0, slash));
  *base = std::string(address.substr(slash + 1));
  return !BaseOrganization(*base).empty();
}

bool IsLdapAddress(std::string_view address) {
  return address.size() > 7 && SameText(address.substr(0, 7), "ldap://");
}

std::string LdapAdminDn(std::string_view base) { return "cn=zelm:admin," + std::string(base); }

int LdapDirectory::Open(const std::string& address, const std::string& identity,
                        const std::string& password, std::unique_ptr<LdapDirectory>* out,
                        std::string* error, int timeoutMs) {
  std::string host, base;
  if (!ParseLdapAddress(address, &host, &base)) {
    *error = "not a directory address ldap://HOST:PORT/o=NAME: " + address;
    return kErrInvalidRequest;
  }
  std::unique_ptr<LdapDirectory> d(new LdapDirectory());
  d->base_ = base;
  if (int rc = LdapSession::Open(host, timeoutMs, &d->session_, error))
    return rc == kLdapParamError ? kErrInvalidRequest : MapResult(rc);

  std::string dn;
  if (identity.empty()) {
    dn = LdapAdminDn(base);
  } else {
    std::string full;
    if (ResolveName("", identity, &full) != kOk || full.empty()) {
      *error = "not a user name: " + identity;
      return kErrBadName;
    }
    // Anonymous until bound: the DN of the name is public.
    if (int r = d->FindDn(full, &dn)) {
      *error = r == kErrNoSuchEntry ? "no such user: " + full : d->lastError_;
      return r;
    }
    // The directory's supervisor may also log in with the administrator's
    // password: the administrator holds every right, as the supervisor does.
    std::string supervisor, name;
    if (d->Setting(kSettingSupervisor, &supervisor) == kOk &&
        ResolveName("", supervisor, &name) == kOk && SameText(name, full) &&
        d->session_->Bind(LdapAdminDn(base), password) == kLdapSuccess) {
      *out = std::move(d);
      return kOk;
    }
  }
  int rc = d->session_->Bind(dn, password);
  if (rc != kLdapSuccess) {
    int r = d->Fail(rc, "bind");
    *error = rc == kLdapInvalidCredentials ? "wrong password for " + (identity.empty() ? dn : identity)
                                            : d->lastError_;
    return r;
  }
  *out = std::move(d);
  return kOk;
}

LdapDirectory::~LdapDirectory() = default;

int LdapDirectory::Fail(int code, const char* what) {
  lastError_ = std::string(what) + ": " + LdapSession::Text(code) + " (LDAP " +
               std::to_string(code) + ")";
  if (!session_->diagnostic().empty()) lastError_ += ": " + session_->diagnostic();
  return MapResult(code);
}

int LdapDirectory::Search(const std::string& base, LdapScope scope, const std::string& filter,
                          const std::vector<std::string>& attrs, std::vector<LdapEntry>* out,
                          int limit) {
  int rc = session_->Search(base, scope, filter, attrs, limit, out);
  return rc == kLdapSuccess || rc == kLdapSizeLimitExceeded ? kOk : Fail(rc, "search");
}

int LdapDirectory::FindEntry(std::string_view full, const std::vector<std::string>& attrs,
                             std::vector<LdapEntry>* found) {
  return full.empty() ? Search(base_, LdapScope::kBase, "(objectClass=*)", attrs, found)
                      : Search(base_, LdapScope::kSubtree, NameFilter(full), attrs, found, 2);
}

int LdapDirectory::FindDn(std::string_view full, std::string* dn) {
  if (full.empty()) {
    *dn = base_;
    return kOk;
  }
  std::vector<LdapEntry> found;
  if (int r = Search(base_, LdapScope::kSubtree, NameFilter(full), {"1.1"}, &found, 2)) return r;
  if (found.empty()) return kErrNoSuchEntry;
  *dn = found[0].dn;
  return kOk;
}

int LdapDirectory::Read(std::string_view full, const std::vector<std::string>& names,
                        std::vector<AttributeValues>* out) {
  out->clear();
  std::vector<std::string> types;
  for (const std::string& n : names) {
    const AttributeDef* def = S().FindAttribute(n);
    if (!def) return kErrNoSuchAttribute;
    types.push_back(LdapName(def->name));
  }
  if (types.empty()) types = {"*"};
  std::vector<LdapEntry> found;
  if (int r = FindEntry(full, types, &found)) return r;
  if (found.empty()) return kErrNoSuchEntry;
  std::map<const AttributeDef*, size_t> at;
  for (const auto& [desc, values] : found[0].attrs) {
    if (SameText(desc, "objectClass")) {
      const ClassDef* c = ClassOf(values);
      if (!c) continue;
      out->insert(out->begin(), {std::string(kObjectClass), kSyntaxClassName, {c->name},
                                 {kSyntaxClassName}});
      for (auto& [d, i] : at) ++i;
      continue;
    }
    uint32_t syntax;
    const AttributeDef* def = AttributeOfDescription(desc, &syntax);
    if (!def) continue;
    auto it = at.find(def);
    if (it == at.end()) {
      it = at.emplace(def, out->size()).first;
      out->push_back({def->name, def->syntax, {}, {}});
    }
    for (const std::string& v : values) {
      (*out)[it->second].values.push_back(FromUtf8(v));
      (*out)[it->second].syntaxes.push_back(syntax);
    }
  }
  return out->empty() ? kErrNoSuchAttribute : kOk;
}

int LdapDirectory::Describe(std::string_view full, ObjectInfo* out) {
  std::vector<LdapEntry> found;
  const std::vector<std::string> attrs = {"objectClass", "hasSubordinates"};
  if (int r = FindEntry(full, attrs, &found)) return r;
  if (found.empty()) return kErrNoSuchEntry;
  const ClassDef* cls = nullptr;
  bool below = false;
  for (const auto& [desc, values] : found[0].attrs) {
    if (SameText(desc, "objectClass")) cls = ClassOf(values);
    if (SameText(desc, "hasSubordinates")) below = !values.empty() && SameText(values[0], "TRUE");
  }
  if (full.empty()) {
    *out = {"", std::string(kRootName), true, below ? 1u : 0u, 0};
  } else {
    if (!cls) return kErrNoSuchClass;
    // LDAP tells only whether there are objects below, not how many.
    *out = {NameOfDn(found[0].dn, base_, &out->full) == kOk ? out->full : std::string(full),
            cls->name, cls->container, below ? 1u : 0u, 0};
  }
  return kOk;
}

int LdapDirectory::List(std::string_view container, std::vector<ObjectInfo>* out) {
  out->clear();
  std::string dn;
  if (int r = FindDn(container, &dn)) return r;
  // Every attribute by name, the class's with its values, to count them.
  std::vector<LdapEntry> found;
  int rc = session_->Search(dn, LdapScope::kOneLevel, "(objectClass=*)",
                            {"objectClass", "hasSubordinates"}, 0, &found);
  std::vector<LdapEntry> names;
  if (rc == kLdapSuccess)
    rc = session_->Search(dn, LdapScope::kOneLevel, "(objectClass=*)", {"*"}, 0, &names, true);
  if (rc != kLdapSuccess) return Fail(rc, "search");
  std::map<std::string, size_t> counts;
  for (const LdapEntry& e : names) {
    std::vector<const AttributeDef*> held;
    for (const auto& [desc, values] : e.attrs) {
      uint32_t syntax;
      const AttributeDef* def = AttributeOfDescription(desc, &syntax);
      if (def && !SameText(def->name, kObjectClass) &&
          std::find(held.begin(), held.end(), def) == held.end())
        held.push_back(def);
    }
    counts[e.dn] = held.size() + 1;  // and "Object Class"
  }
  for (const LdapEntry& e : found) {
    ObjectInfo info{};
    if (NameOfDn(e.dn, base_, &info.full) != kOk) continue;
    const ClassDef* cls = nullptr;
    for (const auto& [desc, values] : e.attrs) {
      if (SameText(desc, "objectClass")) cls = ClassOf(values);
      // LDAP tells only whether there are objects below, not how many.
      if (SameText(desc, "hasSubordinates"))
        info.subordinates = !values.empty() && SameText(values[0], "TRUE") ? 1 : 0;
    }
    if (!cls) continue;
    info.attributeCount = static_cast<uint32_t>(counts[e.dn]);
    info.className = cls->name;
    info.container = cls->container;
    out->push_back(std::move(info));
  }
  std::sort(out->begin(), out->end(), [](const ObjectInfo& a, const ObjectInfo& b) {
    return Fold(LeafName(a.full)) < Fold(LeafName(b.full));
  });
  return kOk;
}

int LdapDirectory::Add(std::string_view full, const std::vector<AttributeIn>& attributes) {
  if (full.empty() || CheckFullName(full) != kOk) return kErrBadName;
  const ClassDef* cls = nullptr;
  for (const AttributeIn& in : attributes) {
    const AttributeDef* def = S().FindAttribute(in.name);
    if (!def) return kErrNoSuchAttribute;
    if (!SameText(def->name, kObjectClass)) continue;
    for (const ValueIn& v : in.values) {
      if (v.syntax != kSyntaxClassName || cls) return kErrSyntaxViolation;
      if (!(cls = S().FindClass(v.text))) return kErrNoSuchClass;
    }
  }
  if (!cls || cls->abstract) return kErrNoSuchClass;

  // The parent's class decides containment, as in the engine.
  std::string_view parent = ParentName(full);
  std::vector<LdapEntry> found;
  if (int r = FindEntry(parent, {"objectClass"}, &found)) return r;
  if (found.empty()) return kErrNoSuchEntry;
  const ClassDef* parentClass = nullptr;
  for (const auto& [desc, values] : found[0].attrs)
    if (SameText(desc, "objectClass")) parentClass = ClassOf(values);
  if (!parent.empty() && (!parentClass || !parentClass->container)) return kErrInvalidRequest;
  if (!S().MayContain(parentClass, cls)) return kErrInvalidRequest;

  std::vector<std::pair<std::string, std::vector<std::string>>> byDescription;
  std::map<const AttributeDef*, std::vector<std::string>> seen;
  for (const AttributeIn& in : attributes) {
    const AttributeDef* def = S().FindAttribute(in.name);
    if (SameText(def->name, kObjectClass)) continue;
    if (!S().Allows(cls, def)) return kErrIllegalAttribute;
    for (const ValueIn& v : in.values) {
      if (int c = CheckValue(def, v)) return c;
      auto& held = seen[def];
      for (const std::string& h : held)
        if (SameValue(def, h, v.text)) return kErrDuplicateValue;
      held.push_back(v.text);
      if (!def->multiValued && held.size() > 1) return kErrSyntaxViolation;
      const std::string desc = LdapDescription(def, v.syntax);
      auto it = std::find_if(byDescription.begin(), byDescription.end(),
                             [&](const auto& p) { return p.first == desc; });
      if (it == byDescription.end()) it = byDescription.insert(byDescription.end(), {desc, {}});
      it->second.push_back(ToUtf8(v.text));
    }
  }
  std::vector<LdapMod> mods;
  mods.push_back({LdapMod::kAdd, "objectClass", {LdapName(cls->name)}});
  mods.push_back({LdapMod::kAdd, NamingAttribute(cls), {ToUtf8(LeafName(full))}});
  mods.push_back({LdapMod::kAdd, std::string(kLdapNameAttr), {ToUtf8(Fold(full))}});
  for (auto& [desc, values] : byDescription) mods.push_back({LdapMod::kAdd, desc, values});
  const std::string dn = RdnFor(cls, LeafName(full)) + "," + found[0].dn;
  int rc = session_->Add(dn, mods);
  return rc == kLdapSuccess ? kOk : Fail(rc, "add");
}

int LdapDirectory::Modify(std::string_view full, const std::vector<Change>& changes) {
  if (full.empty()) return changes.empty() ? kOk : kErrIllegalAttribute;
  std::vector<std::string> types = {"objectClass"};
  for (const Change& c : changes) {
    const AttributeDef* def = S().FindAttribute(c.attribute);
    if (!def) return kErrNoSuchAttribute;
    if (SameText(def->name, kObjectClass)) return kErrIllegalAttribute;
    types.push_back(LdapName(def->name));
  }
  // The values are read first, to know under which description each one is
  // stored; the modify asserts they are still there, so it is one atomic
  // step, and is tried again when another writer came between.
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<LdapEntry> found;
    if (int r = Search(base_, LdapScope::kSubtree, NameFilter(full), types, &found, 2)) return r;
    if (found.empty()) return kErrNoSuchEntry;
    const ClassDef* cls = nullptr;
    std::map<const AttributeDef*, std::vector<Held>> work;
    for (const auto& [desc, values] : found[0].attrs) {
      if (SameText(desc, "objectClass")) {
        cls = ClassOf(values);
        continue;
      }
      uint32_t syntax;
      if (const AttributeDef* def = AttributeOfDescription(desc, &syntax))
        for (const std::string& v : values) work[def].push_back({desc, v, FromUtf8(v), syntax, true});
    }
    if (!cls) return kErrNoSuchClass;

    std::vector<LdapMod> mods;
    LdapAssertion assertion;
    for (const Change& c : changes) {
      const AttributeDef* def = S().FindAttribute(c.attribute);
      if (!S().Allows(cls, def)) return kErrIllegalAttribute;
      std::vector<Held>& held = work[def];
      switch (c.code) {
        case kChangeAddAttribute:
        case kChangeAddValue:
          for (const ValueIn& v : c.values) {
            if (int r = CheckValue(def, v)) return r;
            for (const Held& h : held)
              if (SameValue(def, h.text, v.text)) return kErrDuplicateValue;
            const std::string desc = LdapDescription(def, v.syntax);
            held.push_back({desc, ToUtf8(v.text), v.text, v.syntax, false});
            if (!def->multiValued && held.size() > 1) return kErrSyntaxViolation;
            mods.push_back({LdapMod::kAdd, desc, {ToUtf8(v.text)}});
          }
          break;
        case kChangeRemoveAttribute: {
          if (held.empty()) return kErrNoSuchAttribute;
          std::vector<std::string> descs;
          for (const Held& h : held)
            if (std::find(descs.begin(), descs.end(), h.description) == descs.end()) {
              descs.push_back(h.description);
              if (h.stored) assertion.Present(h.description);
            }
          for (const std::string& d : descs) mods.push_back({LdapMod::kDelete, d, {}});
          held.clear();
          break;
        }
        case kChangeRemoveValue:
          for (const ValueIn& v : c.values) {
            if (!Schema::KnownSyntax(v.syntax)) return kErrSyntaxViolation;
            auto it = std::find_if(held.begin(), held.end(),
                                   [&](const Held& h) { return SameValue(def, h.text, v.text); });
            if (it == held.end()) return kErrNoSuchValue;
            mods.push_back({LdapMod::kDelete, it->description, {it->utf8}});
            if (it->stored) assertion.Equals(it->description, it->utf8);
            held.erase(it);
          }
          break;
        default:
          return kErrInvalidRequest;
      }
    }
    if (mods.empty()) return kOk;  // LDAP has no empty modify; the object exists

    int rc = session_->Modify(found[0].dn, mods, assertion.empty() ? "" : assertion.Ber());
    if (rc != kLdapAssertionFailed) return rc == kLdapSuccess ? kOk : Fail(rc, "modify");
  }
  lastError_ = "modify: the values kept changing under other writers";
  return kErrLocked;
}

int LdapDirectory::Remove(std::string_view full) {
  if (full.empty()) return kErrInvalidRequest;
  std::string dn;
  if (int r = FindDn(full, &dn)) return r;
  int rc = session_->Delete(dn);
  return rc == kLdapSuccess ? kOk : Fail(rc, "delete");
}

int LdapDirectory::AttributeRights(std::string_view full, std::string_view attribute,
                                   uint32_t* rights) {
  *rights = 0;
  const AttributeDef* def = S().FindAttribute(attribute);
  if (!def) return kErrNoSuchAttribute;
  std::string dn;
  if (int r = FindDn(full, &dn)) return r;
  bool may = false;
  if (int r = MayWrite(dn, def, &may)) return r;
  if (may) *rights = kRightCompare | kRightRead | kRightWrite;
  return kOk;
}

int LdapDirectory::MayWrite(const std::string& dn, const AttributeDef* def, bool* may) {
  // The server is asked by a write it refuses either way: removing a value
  // longer than any value the directory holds. It checks the right to write
  // first (insufficient access), then finds no such value.
  int rc = session_->Modify(
      dn, {{LdapMod::kDelete, LdapName(def->name), {std::string(kMaxValueLength + 1, 'x')}}});
  if (rc != kLdapNoSuchAttribute && rc != kLdapInsufficientAccess) return Fail(rc, "rights");
  *may = rc == kLdapNoSuchAttribute;
  return kOk;
}

int LdapDirectory::Rights(std::string_view full, std::string_view scope, uint32_t* rights) {
  *rights = 0;
  if (!SameText(scope, kEntryRights) && !SameText(scope, kAllAttributesRights))
    return AttributeRights(full, scope, rights);
  std::vector<LdapEntry> found;
  if (int r = FindEntry(full, {"objectClass"}, &found)) return r;
  if (found.empty()) return kErrNoSuchEntry;
  const std::string& dn = found[0].dn;

  if (SameText(scope, kAllAttributesRights)) {
    // Write when the server would let some attribute of the object's class
    // be written ("Password" aside, as in the engine).
    const ClassDef* cls = nullptr;
    for (const auto& [desc, values] : found[0].attrs)
      if (SameText(desc, "objectClass")) cls = ClassOf(values);
    for (const AttributeDef& def : S().attributes()) {
      if (SameText(def.name, kObjectClass) || SameText(def.name, "Password")) continue;
      // The root holds no attributes of its own: Description stands for them.
      if (full.empty() ? !SameText(def.name, "Description") : !(cls && S().Allows(cls, &def)))
        continue;
      bool may = false;
      if (int w = MayWrite(dn, &def, &may)) return w;
      if (may) {
        *rights = kRightCompare | kRightRead | kRightWrite;
        break;
      }
    }
    if (!*rights) *rights = kRightCompare | kRightRead;
    return kOk;
  }

  // [Entry Rights]: browse, since the object was found; delete when the
  // server would remove it but for an assertion that never holds (it checks
  // rights first); create when it would add an object below it, asked in a
  // transaction it rolls back.
  *rights = kRightBrowse;
  LdapAssertion never;
  never.Equals("objectClass", "zelm:never");
  int rc = session_->Delete(dn, never.Ber());
  if (rc == kLdapAssertionFailed || rc == kLdapNotAllowedOnNonLeaf) *rights |= kRightDelete;
  else if (rc != kLdapInsufficientAccess) return Fail(rc, "rights");
  const std::string probe = "cn=zelm:probe," + dn;
  rc = session_->TryInTransaction(
      {{LdapWrite::kAdd, probe,
        {{LdapMod::kAdd, "objectClass", {LdapName("User")}},
         {LdapMod::kAdd, "cn", {"zelm:probe"}},
         {LdapMod::kAdd, std::string(kLdapNameAttr), {"zelm:probe"}}}}},
      "cn=zelm:missing," + base_);
  if (rc == kLdapNoSuchObject) *rights |= kRightCreate;
  else if (rc != kLdapInsufficientAccess) return Fail(rc, "rights");
  return kOk;
}

int LdapDirectory::Setting(std::string_view key, std::string* value) {
  value->clear();
  std::vector<LdapEntry> found;
  if (int r = FindEntry("", {std::string(kLdapSettingAttr)}, &found)) return r;
  for (const LdapEntry& e : found)
    for (const auto& [desc, values] : e.attrs)
      for (const std::string& v : values) {
        std::string kv = FromUtf8(v);
        size_t eq = kv.find('=');
        if (eq != std::string::npos && SameText(std::string_view(kv).substr(0, eq), key)) {
          *value = kv.substr(eq + 1);
          return kOk;
        }
      }
  return kErrNoSuchAttribute;
}

int LdapDirectory::Export(TextDirectory* out) {
  *out = TextDirectory();
  std::vector<LdapEntry> found;
  if (int r = Search(base_, LdapScope::kSubtree, "(objectClass=*)", {"*"}, &found)) return r;
  std::vector<TextObject> objects;
  for (const LdapEntry& e : found) {
    TextObject o;
    if (NameOfDn(e.dn, base_, &o.full) != kOk) continue;
    std::map<const AttributeDef*, size_t> at;
    for (const auto& [desc, values] : e.attrs) {
      if (SameText(desc, "objectClass")) {
        if (const ClassDef* c = ClassOf(values)) o.className = c->name;
        continue;
      }
      if (SameText(desc, kLdapGrantAttr)) {
        for (const std::string& v : values) {
          Grant g;
          if (ParseGrantValue(FromUtf8(v), &g)) {
            o.grants.push_back(g);
            o.grantLines.push_back(0);
          }
        }
        continue;
      }
      if (SameText(desc, kLdapSettingAttr) && o.full.empty()) {
        for (const std::string& v : values) {
          std::string kv = FromUtf8(v);
          size_t eq = kv.find('=');
          if (eq == std::string::npos) continue;
          out->settings.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
          out->settingLines.push_back(0);
        }
        continue;
      }
      uint32_t syntax;
      const AttributeDef* def = AttributeOfDescription(desc, &syntax);
      if (!def) continue;
      auto it = at.find(def);
      if (it == at.end()) {
        it = at.emplace(def, o.attributes.size()).first;
        o.attributes.push_back({def->name, {}});
      }
      for (const std::string& v : values)
        o.attributes[it->second].values.push_back({syntax, FromUtf8(v)});
    }
    if (!o.full.empty() && o.className.empty()) continue;  // not one of ours
    if (o.full.empty()) o.attributes.clear();
    objects.push_back(std::move(o));
  }
  // Parents first: fewer components sort earlier.
  auto depth = [](const std::string& f) {
    return f.empty() ? 0 : 1 + std::count(f.begin(), f.end(), '.');
  };
  std::stable_sort(objects.begin(), objects.end(), [&](const TextObject& a, const TextObject& b) {
    int da = depth(a.full), db = depth(b.full);
    return da != db ? da < db : Fold(a.full) < Fold(b.full);
  });
  out->objects = std::move(objects);
  return kOk;
}

int LdapDirectory::Clear() {
  std::vector<LdapEntry> found;
  if (int r = Search(base_, LdapScope::kSubtree, "(objectClass=*)", {"1.1"}, &found)) return r;
  // A DN is longer than its parent's: the longest go first, objects below first.
  std::sort(found.begin(), found.end(),
            [](const LdapEntry& a, const LdapEntry& b) { return a.dn.size() > b.dn.size(); });
  for (const LdapEntry& e : found) {
    if (e.dn.size() <= base_.size()) continue;
    if (int rc = session_->Delete(e.dn); rc != kLdapSuccess) return Fail(rc, "delete");
  }
  for (std::string_view attr : {kLdapGrantAttr, kLdapSettingAttr}) {
    int rc = session_->Modify(base_, {{LdapMod::kDelete, std::string(attr), {}}});
    if (rc != kLdapSuccess && rc != kLdapNoSuchAttribute) return Fail(rc, "clear");
  }
  return kOk;
}

int LdapDirectory::Import(const TextDirectory& text, std::string* error) {
  for (size_t i = 0; i < text.objects.size(); ++i) {
    const TextObject& o = text.objects[i];
    const std::string where = "line " + std::to_string(o.line) + ": " +
                              (o.full.empty() ? std::string(kRootName) : o.full);
    if (!o.full.empty()) {
      std::vector<AttributeIn> attrs = o.attributes;
      attrs.insert(attrs.begin(), {std::string(kObjectClass), {{kSyntaxClassName, o.className}}});
      if (int r = Add(o.full, attrs)) {
        *error = where + ": " + ResultText(r) + (lastError_.empty() ? "" : " (" + lastError_ + ")");
        return r;
      }
    }
    std::vector<LdapMod> mods;
    std::vector<std::string> grants;
    for (const Grant& g : o.grants) grants.push_back(ToUtf8(GrantValue(g)));
    if (!grants.empty()) mods.push_back({LdapMod::kAdd, std::string(kLdapGrantAttr), grants});
    if (o.full.empty() && !text.settings.empty()) {
      std::vector<std::string> settings;
      for (const auto& [k, v] : text.settings) settings.push_back(ToUtf8(k + "=" + v));
      mods.push_back({LdapMod::kReplace, std::string(kLdapSettingAttr), settings});
    }
    if (mods.empty()) continue;
    std::string dn;
    if (int r = FindDn(o.full, &dn)) return r;
    int rc = session_->Modify(dn, mods);
    if (rc != kLdapSuccess) {
      int r = Fail(rc, "grants");
      *error = where + ": " + lastError_;
      return r;
    }
  }
  return kOk;
}

}  // namespace zelm::dir
