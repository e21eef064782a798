#include "ldap_backend.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "ldap_client.h"
#include "ldap_map.h"
#include "ldap_rules.h"

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

  if (int r = d->Bind(identity, password, error)) return r;
  *out = std::move(d);
  return kOk;
}

// A user's DN follows from the name (users live below organizations and
// units), so a bind needs no search the user's rights might hide; only a
// refused bind asks whether the user is there at all, or is the directory's
// supervisor, who may also log in with the administrator's password (the
// administrator holds every right, as the supervisor does).
int LdapDirectory::Bind(const std::string& identity, const std::string& password,
                        std::string* error) {
  std::string dn, full;
  if (identity.empty()) {
    dn = LdapAdminDn(base_);
  } else if (ResolveName("", identity, &full) != kOk || (dn = LdapUserDn(full, base_)).empty()) {
    *error = "not a user name: " + identity;
    return kErrBadName;
  }
  int rc = session_->Bind(dn, password);
  if (rc == kLdapSuccess) return kOk;
  int r = Fail(rc, "bind");
  *error = lastError_;
  if (rc != kLdapInvalidCredentials) return r;
  if (!full.empty()) {
    std::string supervisor, name;
    if (GetSetting(kSettingSupervisor, &supervisor) == kOk &&
        ResolveName("", supervisor, &name) == kOk && SameText(name, full) &&
        session_->Bind(LdapAdminDn(base_), password) == kLdapSuccess) {
      lastError_.clear();
      return kOk;
    }
    std::string found;
    if (FindDn(full, &found) == kErrNoSuchEntry) {
      *error = "no such user: " + full;
      return kErrNoSuchEntry;
    }
  }
  *error = "wrong password for " + (identity.empty() ? dn : identity);
  return r;
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

namespace {

// The class an add names, checked as the engine checks it.
int ClassToAdd(std::string_view full, const std::vector<AttributeIn>& attributes,
               const ClassDef** cls) {
  if (full.empty() || CheckFullName(full) != kOk) return kErrBadName;
  *cls = nullptr;
  for (const AttributeIn& in : attributes) {
    const AttributeDef* def = S().FindAttribute(in.name);
    if (!def) return kErrNoSuchAttribute;
    if (!SameText(def->name, kObjectClass)) continue;
    for (const ValueIn& v : in.values) {
      if (v.syntax != kSyntaxClassName || *cls) return kErrSyntaxViolation;
      if (!(*cls = S().FindClass(v.text))) return kErrNoSuchClass;
    }
  }
  if (!*cls || (*cls)->abstract) return kErrNoSuchClass;
  return kOk;
}

// The entry of an add below a parent of parentClass (nullptr: the root):
// its attributes, checked as the engine checks them.
int AddMods(std::string_view full, const ClassDef* cls, const ClassDef* parentClass,
            const std::vector<AttributeIn>& attributes, std::vector<LdapMod>* mods) {
  if (!ParentName(full).empty() && (!parentClass || !parentClass->container))
    return kErrInvalidRequest;
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
  mods->clear();
  mods->push_back({LdapMod::kAdd, "objectClass", {LdapName(cls->name)}});
  mods->push_back({LdapMod::kAdd, NamingAttribute(cls), {ToUtf8(LeafName(full))}});
  mods->push_back({LdapMod::kAdd, std::string(kLdapNameAttr), {ToUtf8(Fold(full))}});
  for (auto& [desc, values] : byDescription) mods->push_back({LdapMod::kAdd, desc, values});
  return kOk;
}

}  // namespace

int LdapDirectory::Add(std::string_view full, const std::vector<AttributeIn>& attributes) {
  const ClassDef* cls = nullptr;
  if (int r = ClassToAdd(full, attributes, &cls)) return r;
  // The parent's class decides containment, as in the engine.
  std::vector<LdapEntry> found;
  if (int r = FindEntry(ParentName(full), {"objectClass"}, &found)) return r;
  if (found.empty()) return kErrNoSuchEntry;
  const ClassDef* parentClass = nullptr;
  for (const auto& [desc, values] : found[0].attrs)
    if (SameText(desc, "objectClass")) parentClass = ClassOf(values);
  std::vector<LdapMod> mods;
  if (int c = AddMods(full, cls, parentClass, attributes, &mods)) return c;
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
    bool unseenAttribute = false;
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
          if (held.empty()) {
            // Not there, or not readable by this identity: the server says
            // which, judging the right first.
            mods.push_back({LdapMod::kDelete, LdapName(def->name), {}});
            unseenAttribute = true;
            break;
          }
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
            if (it == held.end()) {
              if (held.empty()) {  // as above
                mods.push_back(
                    {LdapMod::kDelete, LdapDescription(def, def->syntax), {ToUtf8(v.text)}});
                continue;
              }
              return kErrNoSuchValue;
            }
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
    if (rc == kLdapNoSuchAttribute && unseenAttribute) return Fail(kLdapUndefinedType, "modify");
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
  if (int r = MayWrite(dn, LdapName(def->name), &may)) return r;
  if (may) *rights = kRightCompare | kRightRead | kRightWrite;
  return kOk;
}

int LdapDirectory::MayWrite(const std::string& dn, const std::string& type, bool* may) {
  // The server is asked by a write it refuses either way: removing a value
  // longer than any value the directory holds. It checks the right to write
  // first (insufficient access), then finds no such value.
  int rc = session_->Modify(dn, {{LdapMod::kDelete, type, {std::string(kMaxValueLength + 1, 'x')}}});
  if (rc != kLdapNoSuchAttribute && rc != kLdapInsufficientAccess) return Fail(rc, "rights");
  *may = rc == kLdapNoSuchAttribute;
  return kOk;
}

// Asked with the No-Op control: the server checks everything and writes
// nothing. The probe holds only attributes the base entry holds too: slapd
// 2.5.13 keeps an attribute it first meets in a write it then drops as
// known, and loses that attribute's values in every later write.
int LdapDirectory::MayCreate(const std::string& dn, bool* may) {
  int rc = session_->Try({LdapWrite::kAdd, "o=zelm:probe," + dn,
                          {{LdapMod::kAdd, "objectClass", {"organization"}},
                           {LdapMod::kAdd, "o", {"zelm:probe"}}}});
  if (rc != kLdapNoOperation && rc != kLdapInsufficientAccess) return Fail(rc, "rights");
  *may = rc == kLdapNoOperation;
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
      if (int w = MayWrite(dn, LdapName(def.name), &may)) return w;
      if (may) {
        *rights = kRightCompare | kRightRead | kRightWrite;
        break;
      }
    }
    if (!*rights) *rights = kRightCompare | kRightRead;
    return kOk;
  }

  // [Entry Rights]: browse, since the object was found; delete and create
  // when the server would remove it, or add an object below it: asked with
  // the No-Op control. (An assertion that never holds is no way to ask:
  // slapd tests it before the right to delete the entry itself; and slapd
  // 2.5.13 is harmed by transactions that fail.)
  *rights = kRightBrowse;
  int rc = session_->Try({LdapWrite::kDelete, dn, {}});
  if (rc == kLdapNoOperation || rc == kLdapNotAllowedOnNonLeaf) *rights |= kRightDelete;
  else if (rc != kLdapInsufficientAccess) return Fail(rc, "rights");
  bool may = false;
  if (int r = MayCreate(dn, &may)) return r;
  if (may) *rights |= kRightCreate;
  return kOk;
}

int LdapDirectory::GetSetting(std::string_view key, std::string* value) {
  value->clear();
  std::vector<LdapEntry> found;
  if (int r = FindEntry("", {std::string(kLdapSettingAttr)}, &found)) return r;
  for (const LdapEntry& e : found)
    for (const auto& [desc, values] : e.attrs)
      for (const std::string& v : values) {
        std::string kv = FromUtf8(v);
        if (kv.size() > key.size() && kv[key.size()] == '=' && kv.compare(0, key.size(), key) == 0)
          *value = kv.substr(key.size() + 1);
      }
  return kOk;
}

int LdapDirectory::SetGrant(std::string_view full, std::string_view trustee,
                            std::string_view scope, uint32_t rights) {
  Grant want;
  if (int r = NormalizeGrant(trustee, scope, rights, &want)) return r;
  const std::string type(kLdapGrantAttr);
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<LdapEntry> found;
    if (int r = FindEntry(full, {type}, &found)) return r;
    if (found.empty()) return kErrNoSuchEntry;
    std::vector<LdapMod> mods;
    LdapAssertion assertion;
    for (const auto& [desc, values] : found[0].attrs) {
      if (!SameText(desc, type)) continue;
      for (const std::string& v : values) {
        Grant g;
        if (!ParseGrantValue(FromUtf8(v), &g) || !SameText(g.trustee, want.trustee) ||
            !SameText(g.scope, want.scope))
          continue;
        mods.push_back({LdapMod::kDelete, type, {v}});
        assertion.Equals(type, v);
      }
    }
    // Only supervisors read grants: with none seen, removing a grant that
    // cannot exist asks the server whether this identity may change them.
    if (rights) mods.push_back({LdapMod::kAdd, type, {ToUtf8(GrantValue(want))}});
    else if (mods.empty()) mods.push_back({LdapMod::kDelete, type, {"0#-#-"}});
    int rc = session_->Modify(found[0].dn, mods, assertion.empty() ? "" : assertion.Ber());
    if (rc == kLdapNoSuchAttribute && !rights && assertion.empty()) return kOk;
    if (rc != kLdapAssertionFailed) return rc == kLdapSuccess ? kOk : Fail(rc, "grant");
  }
  lastError_ = "grant: the grants kept changing under other writers";
  return kErrLocked;
}

int LdapDirectory::NewestValue(const std::string& dn, const char* attr, std::string* out) {
  out->clear();
  std::vector<LdapEntry> found;
  int rc = session_->Search(dn, LdapScope::kBase, "(objectClass=*)", {attr}, 0, &found);
  if (rc == kLdapNoSuchObject) return kErrNoSuchEntry;
  if (rc != kLdapSuccess) return Fail(rc, "search");
  for (const LdapEntry& e : found)
    for (const auto& [desc, values] : e.attrs)
      for (const std::string& v : values) *out = std::max(*out, v);
  return kOk;
}

int LdapDirectory::ServerCsn(std::string* csn) { return NewestValue(base_, "contextCSN", csn); }

int LdapDirectory::ObjectCsn(std::string_view full, std::string* csn) {
  std::string dn;
  if (int r = FindDn(full, &dn)) return r;
  return NewestValue(dn, "entryCSN", csn);
}

int LdapDirectory::GrantsCsn(std::string* csn) {
  csn->clear();
  std::vector<LdapEntry> found;
  const std::string filter = "(|(zelmGrant=*)(zelmSetting=*))";
  if (int r = Search(base_, LdapScope::kSubtree, filter, {"entryCSN"}, &found)) return r;
  std::string root;
  if (int r = ObjectCsn("", &root)) return r;
  *csn = root;
  for (const LdapEntry& e : found)
    for (const auto& [desc, values] : e.attrs)
      for (const std::string& v : values) *csn = std::max(*csn, v);
  return kOk;
}

int LdapDirectory::WaitForRules(const std::string& want, int timeoutMs) {
  std::string reached;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (int r = NewestValue("cn=zelm-rules", "description", &reached)) return r;
    if (reached >= want) return kOk;
    if (std::chrono::steady_clock::now() > end) {
      lastError_ = "the access rules did not reach " + want + " within " +
                   std::to_string(timeoutMs) + " ms (ldaprules at " + reached + ")";
      return kErrSystemFailure;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

int LdapDirectory::WaitForGrants(std::string_view full, int timeoutMs) {
  std::string csn;
  if (int r = ObjectCsn(full, &csn)) return r;
  return WaitForRules(csn, timeoutMs);
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

// One transaction: every object (parents first) with its grants, and the
// settings, written all or none; the server checks each against the rights
// of the identity importing. A transaction that fails harms slapd 2.5.13
// (LdapSession::Transaction), so what the server would refuse is found
// first without writing: an object already there, and the rights where the
// import meets the server (the containers it adds to, the entries whose
// grants or settings it changes). Below a container it adds, rights are
// those of the container it meets: only supervisors write grants, and a
// grant below a supervisor's reach takes nothing away.
int LdapDirectory::Import(const TextDirectory& text, std::string* error) {
  struct Step {
    std::string where;
    std::string full;    // kAdd: the object
    std::string anchor;  // the entry on the server it adds below or changes
    bool password = false;
  };
  std::vector<LdapWrite> writes;
  std::vector<Step> steps;
  struct Made {
    std::string dn, anchor;
    const ClassDef* cls;
  };
  std::map<std::string, Made> made;  // by folded name
  for (const TextObject& o : text.objects) {
    const std::string where = "line " + std::to_string(o.line) + ": " +
                              (o.full.empty() ? std::string(kRootName) : o.full);
    auto refuse = [&](int r, const std::string& why) {
      *error = where + ": " + why;
      return r;
    };
    std::string dn = base_, anchor = base_;
    if (!o.full.empty()) {
      std::vector<AttributeIn> attrs = o.attributes;
      attrs.insert(attrs.begin(), {std::string(kObjectClass), {{kSyntaxClassName, o.className}}});
      const ClassDef* cls = nullptr;
      if (int r = ClassToAdd(o.full, attrs, &cls)) return refuse(r, ResultText(r));
      const std::string parent = Fold(ParentName(o.full));
      std::string parentDn;
      const ClassDef* parentClass = nullptr;
      if (auto it = made.find(parent); it != made.end()) {
        parentDn = it->second.dn;
        anchor = it->second.anchor;
        parentClass = it->second.cls;
      } else {
        std::vector<LdapEntry> found;
        int r = FindEntry(parent, {"objectClass"}, &found);
        if (r == kOk && found.empty()) r = kErrNoSuchEntry;
        if (r) return refuse(r, std::string(ResultText(r)) + " (the container)");
        parentDn = anchor = found[0].dn;
        for (const auto& [desc, values] : found[0].attrs)
          if (SameText(desc, "objectClass")) parentClass = ClassOf(values);
      }
      std::vector<LdapMod> mods;
      if (int r = AddMods(o.full, cls, parentClass, attrs, &mods)) return refuse(r, ResultText(r));
      dn = RdnFor(cls, LeafName(o.full)) + "," + parentDn;
      Step step{where, o.full, anchor};
      for (const AttributeIn& in : o.attributes) step.password |= SameText(in.name, "Password");
      writes.push_back({LdapWrite::kAdd, dn, std::move(mods)});
      steps.push_back(std::move(step));
      made[Fold(o.full)] = {dn, anchor, cls};
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
    if (!mods.empty()) {
      // Grants on an object the import adds are checked with its add.
      steps.push_back({where, "", o.full.empty() ? base_ : ""});
      writes.push_back({LdapWrite::kModify, dn, std::move(mods)});
    }
  }
  if (writes.empty()) return kOk;

  auto refuse = [&](const Step& step, int r, const std::string& why) {
    *error = step.where + ": " + why + "; nothing was written";
    return r;
  };
  std::map<std::string, bool> mayCreate, mayPassword;  // by anchor
  for (size_t i = 0; i < writes.size(); ++i) {
    const Step& step = steps[i];
    bool may = true;
    if (writes[i].kind == LdapWrite::kModify) {
      if (step.anchor.empty()) continue;
      for (const LdapMod& m : writes[i].mods) {
        if (int r = MayWrite(step.anchor, m.type, &may)) return refuse(step, r, lastError_);
        if (!may) return refuse(step, kErrNoAccess, "no right to change " + m.type);
      }
      continue;
    }
    if (!made.count(Fold(ParentName(step.full)))) {
      std::string there;
      if (FindDn(step.full, &there) == kOk)
        return refuse(step, kErrEntryExists, ResultText(kErrEntryExists));
    }
    if (!mayCreate.count(step.anchor))
      if (int r = MayCreate(step.anchor, &mayCreate[step.anchor])) return refuse(step, r, lastError_);
    if (!mayCreate[step.anchor]) return refuse(step, kErrNoAccess, "no right to create objects");
    if (step.password && !mayPassword.count(step.anchor))
      if (int r = MayWrite(step.anchor, LdapName("Password"), &mayPassword[step.anchor]))
        return refuse(step, r, lastError_);
    if (step.password && !mayPassword[step.anchor])
      return refuse(step, kErrNoAccess, "no right to set a password");
  }
  size_t failed = 0;
  int rc = session_->Transaction(writes, &failed);
  if (rc == kLdapSuccess) return kOk;
  int r = Fail(rc, failed < writes.size() && writes[failed].kind == LdapWrite::kAdd ? "add"
                                                                                  : "import");
  *error = (failed < steps.size() ? steps[failed].where : std::string("commit")) + ": " +
           lastError_ + "; nothing was written";
  return r;
}

}  // namespace zelm::dir
