#include "ldap_backend.h"

#include <ldap.h>
#include <sys/time.h>

#include <algorithm>
#include <map>

#include "ldap_map.h"
#include "ldap_rules.h"

namespace zelm::dir {

struct LdapDirectory::Entry {
  std::string dn;
  std::vector<std::pair<std::string, std::vector<std::string>>> attrs;  // description, values
};

namespace {

const Schema& S() { return Schema::Get(); }

// LDAP result codes as the directory's own.
int MapResult(int code) {
  switch (code) {
    case LDAP_SUCCESS: return kOk;
    case LDAP_NO_SUCH_OBJECT: return kErrNoSuchEntry;
    case LDAP_INSUFFICIENT_ACCESS:
    case LDAP_INVALID_CREDENTIALS:
    case LDAP_INAPPROPRIATE_AUTH:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_CONFIDENTIALITY_REQUIRED: return kErrNoAccess;
    case LDAP_ALREADY_EXISTS: return kErrEntryExists;
    case LDAP_NO_SUCH_ATTRIBUTE: return kErrNoSuchValue;
    case LDAP_UNDEFINED_TYPE: return kErrNoSuchAttribute;
    case LDAP_CONSTRAINT_VIOLATION:
    case LDAP_INVALID_SYNTAX: return kErrSyntaxViolation;
    case LDAP_TYPE_OR_VALUE_EXISTS: return kErrDuplicateValue;
    case LDAP_OBJECT_CLASS_VIOLATION: return kErrIllegalAttribute;
    case LDAP_INVALID_DN_SYNTAX:
    case LDAP_NAMING_VIOLATION: return kErrBadName;
    case LDAP_NOT_ALLOWED_ON_NONLEAF:
    case LDAP_NOT_ALLOWED_ON_RDN:
    case LDAP_UNWILLING_TO_PERFORM: return kErrInvalidRequest;
    case LDAP_BUSY:
    case LDAP_UNAVAILABLE: return kErrLocked;
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

// LDAPMod lists own their strings here until the request is sent.
class Mods {
 public:
  void Add(int op, const std::string& type, const std::vector<std::string>& values) {
    items_.push_back({op, type, values});
  }
  bool empty() const { return items_.empty(); }
  LDAPMod** Get() {
    mods_.clear();
    ptrs_.clear();
    bvals_.clear();
    vals_.clear();
    mods_.resize(items_.size());
    bvals_.resize(items_.size());
    vals_.resize(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
      Item& it = items_[i];
      for (std::string& v : it.values) bvals_[i].push_back({v.size(), v.data()});
      for (berval& b : bvals_[i]) vals_[i].push_back(&b);
      vals_[i].push_back(nullptr);
      mods_[i].mod_op = it.op | LDAP_MOD_BVALUES;
      mods_[i].mod_type = it.type.data();
      mods_[i].mod_bvalues = it.values.empty() ? nullptr : vals_[i].data();
    }
    for (LDAPMod& m : mods_) ptrs_.push_back(&m);
    ptrs_.push_back(nullptr);
    return ptrs_.data();
  }

 private:
  struct Item {
    int op;
    std::string type;
    std::vector<std::string> values;
  };
  std::vector<Item> items_;
  std::vector<LDAPMod> mods_;
  std::vector<LDAPMod*> ptrs_;
  std::vector<std::vector<berval>> bvals_;
  std::vector<std::vector<berval*>> vals_;
};

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

// Sends one update ('a' add, 'm' modify) of a transaction and
// takes the server's answer; the server applies it only when the
// transaction ends. The result code, and the update's message id.
int Queue(LDAP* ld, int timeoutMs, LDAPControl** ctrls, char op, const std::string& dn,
          LDAPMod** mods, int* msgid) {
  int code = op == 'a' ? ldap_add_ext(ld, dn.c_str(), mods, ctrls, nullptr, msgid)
                       : ldap_modify_ext(ld, dn.c_str(), mods, ctrls, nullptr, msgid);
  LDAPMessage* res = nullptr;
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (code == LDAP_SUCCESS && ldap_result(ld, *msgid, LDAP_MSG_ALL, &tv, &res) <= 0)
    ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &code);
  else if (code == LDAP_SUCCESS)
    ldap_parse_result(ld, res, &code, nullptr, nullptr, nullptr, nullptr, 1);
  return code;
}

// One modify that the server applies only while every filter of assertion
// ("(a=x)(b=y)", or none) still holds: the LDAP result code.
int ModifyAsserting(LDAP* ld, const std::string& dn, LDAPMod** mods, const std::string& assertion) {
  LDAPControl* ctrl = nullptr;
  LDAPControl* ctrls[2] = {nullptr, nullptr};
  if (!assertion.empty()) {
    std::string filter = "(&" + assertion + ")";
    if (ldap_create_assertion_control(ld, const_cast<char*>(filter.c_str()), 1, &ctrl) !=
        LDAP_SUCCESS)
      return LDAP_LOCAL_ERROR;
    ctrls[0] = ctrl;
  }
  int rc = ldap_modify_ext_s(ld, dn.c_str(), mods, ctrl ? ctrls : nullptr, nullptr);
  if (ctrl) ldap_control_free(ctrl);
  return rc;
}

// Commits a transaction: the result code, and in *failed the message id of
// the update that failed (the response says, RFC 5805).
int EndTransaction(LDAP* ld, int timeoutMs, berval* txn, int* failed) {
  *failed = 0;
  int msgid = 0;
  int code = ldap_txn_end(ld, 1, txn, nullptr, nullptr, &msgid);
  LDAPMessage* res = nullptr;
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (code != LDAP_SUCCESS) return code;
  if (ldap_result(ld, msgid, LDAP_MSG_ALL, &tv, &res) <= 0) {
    ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &code);
    return code ? code : LDAP_TIMEOUT;
  }
  berval* data = nullptr;
  ldap_parse_extended_result(ld, res, nullptr, &data, 0);
  if (ldap_parse_result(ld, res, &code, nullptr, nullptr, nullptr, nullptr, 1) != LDAP_SUCCESS)
    code = LDAP_DECODING_ERROR;
  if (data) {
    if (BerElement* ber = ber_init(data)) {
      ber_len_t len = 0;
      ber_int_t id = 0;
      if (ber_scanf(ber, "{") != LBER_ERROR && ber_peek_tag(ber, &len) == LBER_INTEGER &&
          ber_scanf(ber, "i", &id) != LBER_ERROR)
        *failed = id;
      ber_free(ber, 1);
    }
    ber_bvfree(data);
  }
  return code;
}

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
  d->timeoutMs_ = timeoutMs;
  if (ldap_initialize(&d->ld_, host.c_str()) != LDAP_SUCCESS) {
    *error = "cannot use " + host;
    return kErrInvalidRequest;
  }
  int version = LDAP_VERSION3;
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  ldap_set_option(d->ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(d->ld_, LDAP_OPT_NETWORK_TIMEOUT, &tv);
  ldap_set_option(d->ld_, LDAP_OPT_TIMEOUT, &tv);
  ldap_set_option(d->ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);

  if (int r = d->Bind(identity, password, error)) return r;
  *out = std::move(d);
  return kOk;
}

// A user's DN follows from the name (users live below organizations and
// units), so a bind needs no search the user's rights might hide; only a
// refused bind asks whether the user is there at all.
int LdapDirectory::Bind(const std::string& identity, const std::string& password,
                        std::string* error) {
  std::string dn, full;
  if (identity.empty()) {
    dn = LdapAdminDn(base_);
  } else {
    if (ResolveName("", identity, &full) != kOk || (dn = LdapUserDn(full, base_)).empty()) {
      *error = "not a user name: " + identity;
      return kErrBadName;
    }
  }
  berval cred{password.size(), const_cast<char*>(password.data())};
  int rc = ldap_sasl_bind_s(ld_, dn.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, nullptr);
  if (rc == LDAP_SUCCESS) return kOk;
  int r = Fail(rc, "bind");
  *error = lastError_;
  if (rc != LDAP_INVALID_CREDENTIALS) return r;
  std::string found;
  if (!full.empty() && FindDn(full, &found) == kErrNoSuchEntry) {
    *error = "no such user: " + full;
    return kErrNoSuchEntry;
  }
  *error = "wrong password for " + (identity.empty() ? dn : identity);
  return r;
}

LdapDirectory::~LdapDirectory() {
  if (ld_) ldap_unbind_ext_s(ld_, nullptr, nullptr);
}

int LdapDirectory::Fail(int code, const char* what) {
  lastError_ = std::string(what) + ": " + ldap_err2string(code) + " (LDAP " +
               std::to_string(code) + ")";
  return MapResult(code);
}

int LdapDirectory::Search(const std::string& base, int scope, const std::string& filter,
                          const std::vector<std::string>& attrs, std::vector<Entry>* out,
                          int limit) {
  out->clear();
  std::vector<char*> names;
  for (const std::string& a : attrs) names.push_back(const_cast<char*>(a.c_str()));
  names.push_back(nullptr);
  timeval tv{timeoutMs_ / 1000, (timeoutMs_ % 1000) * 1000};
  LDAPMessage* res = nullptr;
  int rc = ldap_search_ext_s(ld_, base.c_str(), scope, filter.c_str(),
                             attrs.empty() ? nullptr : names.data(), 0, nullptr, nullptr, &tv,
                             limit, &res);
  if (rc != LDAP_SUCCESS && rc != LDAP_SIZELIMIT_EXCEEDED) {
    if (res) ldap_msgfree(res);
    return Fail(rc, "search");
  }
  for (LDAPMessage* e = ldap_first_entry(ld_, res); e; e = ldap_next_entry(ld_, e)) {
    Entry entry;
    if (char* dn = ldap_get_dn(ld_, e)) {
      entry.dn = dn;
      ldap_memfree(dn);
    }
    BerElement* ber = nullptr;
    for (char* a = ldap_first_attribute(ld_, e, &ber); a; a = ldap_next_attribute(ld_, e, ber)) {
      std::vector<std::string> values;
      if (berval** v = ldap_get_values_len(ld_, e, a)) {
        for (berval** p = v; *p; ++p) values.emplace_back((*p)->bv_val, (*p)->bv_len);
        ldap_value_free_len(v);
      }
      entry.attrs.emplace_back(a, std::move(values));
      ldap_memfree(a);
    }
    if (ber) ber_free(ber, 0);
    out->push_back(std::move(entry));
  }
  ldap_msgfree(res);
  return kOk;
}

int LdapDirectory::FindDn(std::string_view full, std::string* dn) {
  if (full.empty()) {
    *dn = base_;
    return kOk;
  }
  std::vector<Entry> found;
  if (int r = Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(full), {"1.1"}, &found, 2)) return r;
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
  std::vector<Entry> found;
  int r = full.empty() ? Search(base_, LDAP_SCOPE_BASE, "(objectClass=*)", types, &found)
                       : Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(full), types, &found, 2);
  if (r) return r;
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
  std::vector<Entry> found;
  const std::vector<std::string> attrs = {"objectClass", "hasSubordinates"};
  int r = full.empty() ? Search(base_, LDAP_SCOPE_BASE, "(objectClass=*)", attrs, &found)
                       : Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(full), attrs, &found, 2);
  if (r) return r;
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
  std::vector<Entry> found;
  if (int r = Search(dn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", {"objectClass", "hasSubordinates"},
                     &found))
    return r;
  for (const Entry& e : found) {
    ObjectInfo info{};
    if (NameOfDn(e.dn, base_, &info.full) != kOk) continue;
    const ClassDef* cls = nullptr;
    for (const auto& [desc, values] : e.attrs) {
      if (SameText(desc, "objectClass")) cls = ClassOf(values);
      // Whether there are objects below, not how many.
      if (SameText(desc, "hasSubordinates") && !values.empty() && SameText(values[0], "TRUE"))
        info.subordinates = 1;
    }
    if (!cls) continue;
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
            const std::vector<AttributeIn>& attributes, Mods* mods) {
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
  mods->Add(LDAP_MOD_ADD, "objectClass", {LdapName(cls->name)});
  mods->Add(LDAP_MOD_ADD, NamingAttribute(cls), {ToUtf8(LeafName(full))});
  mods->Add(LDAP_MOD_ADD, std::string(kLdapNameAttr), {ToUtf8(Fold(full))});
  for (auto& [desc, values] : byDescription) mods->Add(LDAP_MOD_ADD, desc, values);
  return kOk;
}

}  // namespace

int LdapDirectory::Add(std::string_view full, const std::vector<AttributeIn>& attributes) {
  const ClassDef* cls = nullptr;
  if (int r = ClassToAdd(full, attributes, &cls)) return r;
  // The parent's class decides containment, as in the engine.
  std::string_view parent = ParentName(full);
  std::vector<Entry> found;
  int r = parent.empty() ? Search(base_, LDAP_SCOPE_BASE, "(objectClass=*)", {"objectClass"}, &found)
                         : Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(parent), {"objectClass"},
                                  &found, 2);
  if (r) return r;
  if (found.empty()) return kErrNoSuchEntry;
  const ClassDef* parentClass = nullptr;
  for (const auto& [desc, values] : found[0].attrs)
    if (SameText(desc, "objectClass")) parentClass = ClassOf(values);
  Mods mods;
  if (int c = AddMods(full, cls, parentClass, attributes, &mods)) return c;
  const std::string dn = RdnFor(cls, LeafName(full)) + "," + found[0].dn;
  int rc = ldap_add_ext_s(ld_, dn.c_str(), mods.Get(), nullptr, nullptr);
  return rc == LDAP_SUCCESS ? kOk : Fail(rc, "add");
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
    std::vector<Entry> found;
    if (int r = Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(full), types, &found, 2)) return r;
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

    Mods mods;
    std::string assertion;
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
            mods.Add(LDAP_MOD_ADD, desc, {ToUtf8(v.text)});
          }
          break;
        case kChangeRemoveAttribute: {
          if (held.empty()) {
            // Not there, or not readable by this identity: the server says
            // which, judging the right first.
            mods.Add(LDAP_MOD_DELETE, LdapName(def->name), {});
            unseenAttribute = true;
            break;
          }
          std::vector<std::string> descs;
          for (const Held& h : held)
            if (std::find(descs.begin(), descs.end(), h.description) == descs.end()) {
              descs.push_back(h.description);
              if (h.stored) assertion += "(" + h.description + "=*)";
            }
          for (const std::string& d : descs) mods.Add(LDAP_MOD_DELETE, d, {});
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
                mods.Add(LDAP_MOD_DELETE, LdapDescription(def, def->syntax), {ToUtf8(v.text)});
                continue;
              }
              return kErrNoSuchValue;
            }
            mods.Add(LDAP_MOD_DELETE, it->description, {it->utf8});
            if (it->stored)
              assertion += "(" + it->description + "=" + FilterEscape(it->utf8) + ")";
            held.erase(it);
          }
          break;
        default:
          return kErrInvalidRequest;
      }
    }
    if (mods.empty()) return kOk;  // LDAP has no empty modify; the object exists

    int rc = ModifyAsserting(ld_, found[0].dn, mods.Get(), assertion);
    if (rc == LDAP_NO_SUCH_ATTRIBUTE && unseenAttribute) return Fail(LDAP_UNDEFINED_TYPE, "modify");
    if (rc != LDAP_ASSERTION_FAILED) return rc == LDAP_SUCCESS ? kOk : Fail(rc, "modify");
  }
  lastError_ = "modify: the values kept changing under other writers";
  return kErrLocked;
}

int LdapDirectory::Remove(std::string_view full) {
  if (full.empty()) return kErrInvalidRequest;
  std::string dn;
  if (int r = FindDn(full, &dn)) return r;
  int rc = ldap_delete_ext_s(ld_, dn.c_str(), nullptr, nullptr);
  return rc == LDAP_SUCCESS ? kOk : Fail(rc, "delete");
}

int LdapDirectory::AttributeRights(std::string_view full, std::string_view attribute,
                                   uint32_t* rights) {
  *rights = 0;
  const AttributeDef* def = S().FindAttribute(attribute);
  if (!def) return kErrNoSuchAttribute;
  std::string dn;
  if (int r = FindDn(full, &dn)) return r;
  // The server is asked by a write it refuses either way: removing a value
  // longer than any value the directory holds. It checks the right to write
  // first (insufficient access), then finds no such value.
  Mods mods;
  mods.Add(LDAP_MOD_DELETE, LdapName(def->name), {std::string(kMaxValueLength + 1, 'x')});
  int rc = ldap_modify_ext_s(ld_, dn.c_str(), mods.Get(), nullptr, nullptr);
  if (rc == LDAP_NO_SUCH_ATTRIBUTE) *rights = kRightCompare | kRightRead | kRightWrite;
  else if (rc == LDAP_INSUFFICIENT_ACCESS) *rights = 0;
  else return Fail(rc, "rights");
  return kOk;
}

int LdapDirectory::Export(TextDirectory* out) {
  *out = TextDirectory();
  std::vector<Entry> found;
  if (int r = Search(base_, LDAP_SCOPE_SUBTREE, "(objectClass=*)", {"*"}, &found)) return r;
  std::vector<TextObject> objects;
  for (const Entry& e : found) {
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

// One transaction: every object (parents first) with its grants, and the
// settings, written all or none; the server checks each against the rights
// of the identity importing.
int LdapDirectory::Import(const TextDirectory& text, std::string* error) {
  berval* txn = nullptr;
  int rc = ldap_txn_start_s(ld_, nullptr, nullptr, &txn);
  if (rc != LDAP_SUCCESS) {
    int r = Fail(rc, "transaction");
    *error = lastError_;
    return r;
  }
  LDAPControl spec{const_cast<char*>(LDAP_CONTROL_TXN_SPEC), *txn, 1};
  LDAPControl* ctrls[] = {&spec, nullptr};
  std::map<std::string, std::pair<std::string, const ClassDef*>> made;  // by folded name
  std::vector<std::pair<int, std::string>> sent;                        // message id, where
  std::string where;
  auto abandon = [&](int r, const std::string& why) {
    int unused = 0;
    ldap_txn_end_s(ld_, 0, txn, nullptr, nullptr, &unused);
    ber_bvfree(txn);
    *error = where + ": " + why;
    return r;
  };
  // Queues one update; the server answers it at once and applies it at the end.
  auto queue = [&](char op, const std::string& dn, Mods* mods) -> int {
    int msgid = 0;
    int code = Queue(ld_, timeoutMs_, ctrls, op, dn, mods->Get(), &msgid);
    if (code == LDAP_SUCCESS) sent.emplace_back(msgid, where);
    return code;
  };
  for (const TextObject& o : text.objects) {
    where = "line " + std::to_string(o.line) + ": " +
            (o.full.empty() ? std::string(kRootName) : o.full);
    std::string dn = base_;
    if (!o.full.empty()) {
      std::vector<AttributeIn> attrs = o.attributes;
      attrs.insert(attrs.begin(), {std::string(kObjectClass), {{kSyntaxClassName, o.className}}});
      const ClassDef* cls = nullptr;
      if (int r = ClassToAdd(o.full, attrs, &cls)) return abandon(r, ResultText(r));
      const std::string parent = Fold(ParentName(o.full));
      std::string parentDn;
      const ClassDef* parentClass = nullptr;
      if (auto it = made.find(parent); it != made.end()) {
        parentDn = it->second.first;
        parentClass = it->second.second;
      } else {
        std::vector<Entry> found;
        int r = parent.empty()
                    ? Search(base_, LDAP_SCOPE_BASE, "(objectClass=*)", {"objectClass"}, &found)
                    : Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(parent), {"objectClass"}, &found, 2);
        if (r == kOk && found.empty()) r = kErrNoSuchEntry;
        if (r) return abandon(r, std::string(ResultText(r)) + " (the container)");
        parentDn = found[0].dn;
        for (const auto& [desc, values] : found[0].attrs)
          if (SameText(desc, "objectClass")) parentClass = ClassOf(values);
      }
      Mods mods;
      if (int r = AddMods(o.full, cls, parentClass, attrs, &mods)) return abandon(r, ResultText(r));
      dn = RdnFor(cls, LeafName(o.full)) + "," + parentDn;
      if (int code = queue('a', dn, &mods)) return abandon(Fail(code, "add"), lastError_);
      made[Fold(o.full)] = {dn, cls};
    }
    Mods mods;
    std::vector<std::string> grants;
    for (const Grant& g : o.grants) grants.push_back(ToUtf8(GrantValue(g)));
    if (!grants.empty()) mods.Add(LDAP_MOD_ADD, std::string(kLdapGrantAttr), grants);
    if (o.full.empty() && !text.settings.empty()) {
      std::vector<std::string> settings;
      for (const auto& [k, v] : text.settings) settings.push_back(ToUtf8(k + "=" + v));
      mods.Add(LDAP_MOD_REPLACE, std::string(kLdapSettingAttr), settings);
    }
    if (!mods.empty())
      if (int code = queue('m', dn, &mods)) return abandon(Fail(code, "grants"), lastError_);
  }
  where = "commit";
  int failed = 0;
  rc = EndTransaction(ld_, timeoutMs_, txn, &failed);
  ber_bvfree(txn);
  if (rc == LDAP_SUCCESS) return kOk;
  int r = Fail(rc, "import");
  for (const auto& [id, at] : sent)
    if (id == failed) where = at;
  *error = where + ": " + lastError_ + "; nothing was written";
  return r;
}

int LdapDirectory::SetGrant(std::string_view full, std::string_view trustee,
                            std::string_view scope, uint32_t rights) {
  Grant want;
  if (int r = NormalizeGrant(trustee, scope, rights, &want)) return r;
  const std::string type(kLdapGrantAttr);
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<Entry> found;
    int r = full.empty() ? Search(base_, LDAP_SCOPE_BASE, "(objectClass=*)", {type}, &found)
                         : Search(base_, LDAP_SCOPE_SUBTREE, NameFilter(full), {type}, &found, 2);
    if (r) return r;
    if (found.empty()) return kErrNoSuchEntry;
    Mods mods;
    std::string assertion;
    for (const auto& [desc, values] : found[0].attrs) {
      if (!SameText(desc, type)) continue;
      for (const std::string& v : values) {
        Grant g;
        if (!ParseGrantValue(FromUtf8(v), &g) || !SameText(g.trustee, want.trustee) ||
            !SameText(g.scope, want.scope))
          continue;
        mods.Add(LDAP_MOD_DELETE, type, {v});
        assertion += "(" + type + "=" + FilterEscape(v) + ")";
      }
    }
    // Only supervisors read grants: with none seen, removing a grant that
    // cannot exist asks the server whether this identity may change them.
    if (rights) mods.Add(LDAP_MOD_ADD, type, {ToUtf8(GrantValue(want))});
    else if (mods.empty()) mods.Add(LDAP_MOD_DELETE, type, {"0#-#-"});
    int rc = ModifyAsserting(ld_, found[0].dn, mods.Get(), assertion);
    if (rc == LDAP_NO_SUCH_ATTRIBUTE && !rights && assertion.empty()) return kOk;
    if (rc != LDAP_ASSERTION_FAILED) return rc == LDAP_SUCCESS ? kOk : Fail(rc, "grant");
  }
  lastError_ = "grant: the grants kept changing under other writers";
  return kErrLocked;
}

int LdapDirectory::GetSetting(std::string_view key, std::string* value) {
  value->clear();
  std::vector<Entry> found;
  if (int r = Search(base_, LDAP_SCOPE_BASE, "(objectClass=*)", {std::string(kLdapSettingAttr)},
                     &found))
    return r;
  for (const Entry& e : found)
    for (const auto& [desc, values] : e.attrs)
      for (const std::string& v : values) {
        std::string kv = FromUtf8(v);
        if (kv.size() > key.size() && kv[key.size()] == '=' && kv.compare(0, key.size(), key) == 0)
          *value = kv.substr(key.size() + 1);
      }
  return kOk;
}

}  // namespace zelm::dir
