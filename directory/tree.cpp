#include "tree.h"

#include <algorithm>

#include "codec.h"
#include "errors.h"
#include "names.h"

namespace zelm::dir {
namespace {

const Schema& S() { return Schema::Get(); }

bool SameValue(const AttributeDef* def, std::string_view a, std::string_view b) {
  return def->syntax == kSyntaxCaseExactString ? a == b : SameText(a, b);
}

int CheckValue(const AttributeDef* def, const ValueIn& v) {
  if (!Schema::KnownSyntax(v.syntax) || !Schema::Accepts(def, v.syntax))
    return kErrSyntaxViolation;
  if (v.text.empty() || v.text.size() > kMaxValueLength ||
      v.text.find('\0') != std::string::npos)
    return kErrSyntaxViolation;
  return kOk;
}

Attribute* FindIn(std::vector<Attribute>& attrs, const AttributeDef* def) {
  for (Attribute& a : attrs)
    if (a.def == def) return &a;
  return nullptr;
}

bool HasValue(const Attribute* a, std::string_view text) {
  if (!a) return false;
  for (const std::string& v : a->values)
    if (SameValue(a->def, v, text)) return true;
  return false;
}

// Adds checked values to attrs (creating the attribute when new).
int AddValues(std::vector<Attribute>& attrs, const AttributeDef* def,
              const std::vector<ValueIn>& values) {
  for (const ValueIn& v : values) {
    if (int r = CheckValue(def, v)) return r;
    Attribute* a = FindIn(attrs, def);
    if (HasValue(a, v.text)) return kErrDuplicateValue;
    if (a && !def->multiValued && !a->values.empty()) return kErrSyntaxViolation;
    if (!a) {
      attrs.push_back({def, {}, {}});
      a = &attrs.back();
    }
    a->values.push_back(v.text);
    a->syntaxes.push_back(v.syntax);
  }
  return kOk;
}

bool TrusteeMatches(std::string_view trustee, std::string_view identity) {
  if (SameText(trustee, kPublicTrustee)) return true;
  if (identity.empty()) return false;
  if (SameText(trustee, kRootName)) return true;
  return SameText(trustee, identity) || IsBelow(identity, trustee);
}

bool IsEntryScope(std::string_view scope) { return SameText(scope, kEntryRights); }

// Rights of identity on obj for the grants that pick(scope) selects. Each
// trustee's rights come from the nearest level (the object, then each container
// up to the root) where that trustee holds such a grant: a grant further down
// replaces what the trustee would inherit. The trustees identity matches add up.
template <class Pick>
uint32_t NearestRights(std::string_view identity, const Object* obj, Pick pick) {
  std::vector<std::string> decided;
  uint32_t rights = 0;
  for (const Object* o = obj; o; o = o->parent) {
    std::vector<std::string> here;
    for (const Grant& g : o->grants) {
      if (!pick(g.scope) || !TrusteeMatches(g.trustee, identity)) continue;
      std::string key = Fold(g.trustee);
      if (std::find(decided.begin(), decided.end(), key) != decided.end()) continue;
      rights |= g.rights;
      here.push_back(std::move(key));
    }
    decided.insert(decided.end(), here.begin(), here.end());
  }
  return rights;
}

// Version 2 records each value's syntax; version 1 snapshots (older files)
// carry none, so their values take the attribute's own syntax.
constexpr uint8_t kSnapshotVersion = 2;
constexpr uint8_t kSnapshotVersionWithoutSyntax = 1;

}  // namespace

const Attribute* Object::Find(const AttributeDef* def) const {
  for (const Attribute& a : attributes)
    if (a.def == def) return &a;
  return nullptr;
}

Tree::Tree() : root_{"", nullptr, nullptr, {}, {}, {}} {}

const Object* Tree::Find(std::string_view full) const {
  if (full.empty()) return &root_;
  auto it = objects_.find(Fold(full));
  return it == objects_.end() ? nullptr : it->second.get();
}

Object* Tree::FindMutable(std::string_view full) {
  return const_cast<Object*>(static_cast<const Tree*>(this)->Find(full));
}

int Tree::Add(std::string_view full, const std::vector<AttributeIn>& attributes, bool apply) {
  if (full.empty() || CheckFullName(full) != kOk) return kErrBadName;
  if (objects_.count(Fold(full))) return kErrEntryExists;
  Object* parent = FindMutable(ParentName(full));
  if (!parent) return kErrNoSuchEntry;

  const AttributeDef* classAttr = S().FindAttribute(kObjectClass);
  const ClassDef* cls = nullptr;
  for (const AttributeIn& in : attributes) {
    const AttributeDef* def = S().FindAttribute(in.name);
    if (!def) return kErrNoSuchAttribute;
    if (def != classAttr) continue;
    for (const ValueIn& v : in.values) {
      if (v.syntax != kSyntaxClassName || cls) return kErrSyntaxViolation;
      cls = S().FindClass(v.text);
      if (!cls) return kErrNoSuchClass;
    }
  }
  // An abstract class only gathers attributes for the classes below it.
  if (!cls || cls->abstract) return kErrNoSuchClass;
  if ((parent->cls && !parent->cls->container) || !S().MayContain(parent->cls, cls))
    return kErrInvalidRequest;

  std::vector<Attribute> attrs;
  for (const AttributeIn& in : attributes) {
    const AttributeDef* def = S().FindAttribute(in.name);
    if (def == classAttr) continue;
    if (!S().Allows(cls, def)) return kErrIllegalAttribute;
    if (int r = AddValues(attrs, def, in.values)) return r;
  }
  if (!apply) return kOk;

  auto obj = std::make_unique<Object>();
  obj->full.assign(full);
  obj->cls = cls;
  obj->parent = parent;
  obj->attributes = std::move(attrs);
  parent->children[Fold(LeafName(full))] = obj.get();
  objects_[Fold(full)] = std::move(obj);
  return kOk;
}

int Tree::Modify(std::string_view full, const std::vector<Change>& changes, bool apply) {
  Object* obj = FindMutable(full);
  if (!obj) return kErrNoSuchEntry;
  if (obj == &root_) return changes.empty() ? kOk : kErrIllegalAttribute;

  std::vector<Attribute> work = obj->attributes;
  for (const Change& c : changes) {
    const AttributeDef* def = S().FindAttribute(c.attribute);
    if (!def) return kErrNoSuchAttribute;
    // The class of an object is fixed at creation.
    if (SameText(def->name, kObjectClass) || !S().Allows(obj->cls, def))
      return kErrIllegalAttribute;
    switch (c.code) {
      case kChangeAddAttribute:
      case kChangeAddValue:
        if (int r = AddValues(work, def, c.values)) return r;
        break;
      case kChangeRemoveAttribute: {
        auto it = std::find_if(work.begin(), work.end(),
                               [def](const Attribute& a) { return a.def == def; });
        if (it == work.end()) return kErrNoSuchAttribute;
        work.erase(it);
        break;
      }
      case kChangeRemoveValue:
        for (const ValueIn& v : c.values) {
          if (!Schema::KnownSyntax(v.syntax)) return kErrSyntaxViolation;
          auto at = std::find_if(work.begin(), work.end(),
                                 [def](const Attribute& a) { return a.def == def; });
          if (at == work.end()) return kErrNoSuchValue;
          auto& vals = at->values;
          auto vit = std::find_if(vals.begin(), vals.end(), [&](const std::string& s) {
            return SameValue(def, s, v.text);
          });
          if (vit == vals.end()) return kErrNoSuchValue;
          at->syntaxes.erase(at->syntaxes.begin() + (vit - vals.begin()));
          vals.erase(vit);
          if (vals.empty()) work.erase(at);
        }
        break;
      default:
        return kErrInvalidRequest;
    }
  }
  if (apply) obj->attributes = std::move(work);
  return kOk;
}

int Tree::Remove(std::string_view full, bool apply) {
  Object* obj = FindMutable(full);
  if (!obj) return kErrNoSuchEntry;
  // The root stays, and a container goes only once it is empty.
  if (obj == &root_ || !obj->children.empty()) return kErrInvalidRequest;
  if (!apply) return kOk;
  obj->parent->children.erase(Fold(LeafName(obj->full)));
  objects_.erase(Fold(obj->full));
  return kOk;
}

int NormalizeGrant(std::string_view trustee, std::string_view scope, uint32_t rights, Grant* out) {
  std::string who;
  if (SameText(trustee, kPublicTrustee)) who = kPublicTrustee;
  else if (SameText(trustee, kRootName)) who = kRootName;
  else if (!trustee.empty() && trustee.front() == '.' && CheckFullName(trustee.substr(1)) == kOk &&
           trustee.size() > 1) who = trustee.substr(1);
  else if (!trustee.empty() && CheckFullName(trustee) == kOk) who = trustee;
  else return kErrBadName;

  std::string what;
  uint32_t allowed;
  if (SameText(scope, kEntryRights)) {
    what = kEntryRights;
    allowed = kAllEntryRights;
  } else if (SameText(scope, kAllAttributesRights)) {
    what = kAllAttributesRights;
    allowed = kAllAttributeRights;
  } else if (const AttributeDef* def = S().FindAttribute(scope)) {
    what = def->name;
    allowed = kAllAttributeRights;
  } else {
    return kErrNoSuchAttribute;
  }
  if (rights & ~allowed) return kErrInvalidRequest;
  *out = {std::move(who), std::move(what), rights};
  return kOk;
}

int Tree::SetGrant(std::string_view full, std::string_view trustee, std::string_view scope,
                   uint32_t rights, bool apply) {
  Object* obj = FindMutable(full);
  if (!obj) return kErrNoSuchEntry;
  Grant want;
  if (int r = NormalizeGrant(trustee, scope, rights, &want)) return r;
  if (!apply) return kOk;

  auto& grants = obj->grants;
  auto it = std::find_if(grants.begin(), grants.end(), [&](const Grant& g) {
    return SameText(g.trustee, want.trustee) && SameText(g.scope, want.scope);
  });
  if (it != grants.end()) {
    if (rights == 0) grants.erase(it);
    else it->rights = rights;
  } else if (rights != 0) {
    grants.push_back(std::move(want));
  }
  return kOk;
}

int Tree::SetSetting(std::string_view key, std::string_view value, bool apply) {
  if (key != kSettingSupervisor && key != kSettingIdentity) return kErrInvalidRequest;
  if (!value.empty() && CheckFullName(value) != kOk) return kErrBadName;
  if (!apply) return kOk;
  if (value.empty()) settings_.erase(std::string(key));
  else settings_[std::string(key)] = std::string(value);
  return kOk;
}

std::string Tree::Setting(std::string_view key) const {
  auto it = settings_.find(std::string(key));
  return it == settings_.end() ? std::string() : it->second;
}

bool Tree::IsSupervisor(std::string_view identity) const {
  std::string sup = Setting(kSettingSupervisor);
  return !identity.empty() && !sup.empty() && SameText(sup, identity);
}

uint32_t Tree::EntryRights(std::string_view identity, const Object* obj) const {
  if (IsSupervisor(identity)) return kAllEntryRights;
  // Supervisor rights on a container reach everything below it.
  for (const Object* o = obj; o; o = o->parent)
    for (const Grant& g : o->grants)
      if (IsEntryScope(g.scope) && (g.rights & kRightSupervisor) &&
          TrusteeMatches(g.trustee, identity))
        return kAllEntryRights;
  return NearestRights(identity, obj, IsEntryScope);
}

uint32_t Tree::AttributeRights(std::string_view identity, const Object* obj,
                               const AttributeDef* attr) const {
  if (EntryRights(identity, obj) & kRightSupervisor) return kAllAttributeRights;
  uint32_t rights = NearestRights(identity, obj, [attr](std::string_view scope) {
    if (SameText(scope, kAllAttributesRights)) return !attr || !attr->guarded;
    return attr && SameText(scope, attr->name);
  });
  return (rights & kRightAttributeSupervisor) ? kAllAttributeRights : rights;
}

std::string Tree::Serialize() const {
  std::string out;
  PutU8(&out, kSnapshotVersion);
  PutU32(&out, static_cast<uint32_t>(settings_.size()));
  for (const auto& s : settings_) {
    PutText(&out, s.first);
    PutText(&out, s.second);
  }
  auto putGrants = [&out](const Object& o) {
    PutU32(&out, static_cast<uint32_t>(o.grants.size()));
    for (const Grant& g : o.grants) {
      PutText(&out, g.trustee);
      PutText(&out, g.scope);
      PutU32(&out, g.rights);
    }
  };
  putGrants(root_);
  PutU64(&out, objects_.size());
  Walk([&](const Object& o) {
    PutText(&out, o.full);
    PutText(&out, o.cls->name);
    PutU32(&out, static_cast<uint32_t>(o.attributes.size()));
    for (const Attribute& a : o.attributes) {
      PutText(&out, a.def->name);
      PutU32(&out, static_cast<uint32_t>(a.values.size()));
      for (size_t i = 0; i < a.values.size(); ++i) {
        PutU32(&out, a.syntaxes[i]);
        PutText(&out, a.values[i]);
      }
    }
    putGrants(o);
  });
  return out;
}

int Tree::Load(std::string_view bytes) {
  ByteReader in(bytes);
  const uint8_t version = in.U8();
  if (version != kSnapshotVersion && version != kSnapshotVersionWithoutSyntax)
    return kErrSystemFailure;
  const bool withSyntax = version == kSnapshotVersion;
  settings_.clear();
  for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
    std::string key(in.Text());
    settings_[key] = std::string(in.Text());
  }
  auto readGrants = [&in](Object* o) {
    for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
      Grant g;
      g.trustee = in.Text();
      g.scope = in.Text();
      g.rights = in.U32();
      o->grants.push_back(std::move(g));
    }
  };
  readGrants(&root_);
  uint64_t count = in.U64();
  for (uint64_t i = 0; i < count && in.ok(); ++i) {
    std::string_view full = in.Text();
    const ClassDef* cls = S().FindClass(in.Text());
    Object* parent = FindMutable(ParentName(full));
    if (!cls || !parent || full.empty() || Find(full)) return kErrSystemFailure;
    auto obj = std::make_unique<Object>();
    obj->full.assign(full);
    obj->cls = cls;
    obj->parent = parent;
    for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
      const AttributeDef* def = S().FindAttribute(in.Text());
      if (!def) return kErrSystemFailure;
      Attribute a{def, {}, {}};
      for (uint32_t k = in.U32(); k > 0 && in.ok(); --k) {
        uint32_t syntax = withSyntax ? in.U32() : def->syntax;
        if (!Schema::KnownSyntax(syntax)) return kErrSystemFailure;
        a.syntaxes.push_back(syntax);
        a.values.emplace_back(in.Text());
      }
      obj->attributes.push_back(std::move(a));
    }
    readGrants(obj.get());
    parent->children[Fold(LeafName(full))] = obj.get();
    objects_[Fold(full)] = std::move(obj);
  }
  return in.ok() && in.done() ? kOk : kErrSystemFailure;
}

std::unique_ptr<Tree> Tree::Clone() const {
  auto copy = std::make_unique<Tree>();
  if (copy->Load(Serialize()) != kOk) return nullptr;
  return copy;
}

std::string RightsText(bool entry, uint32_t rights) {
  static const std::pair<uint32_t, const char*> kEntry[] = {
      {kRightBrowse, "browse"}, {kRightCreate, "create"}, {kRightDelete, "delete"},
      {kRightRename, "rename"}, {kRightSupervisor, "supervisor"}};
  static const std::pair<uint32_t, const char*> kAttr[] = {
      {kRightCompare, "compare"}, {kRightRead, "read"}, {kRightWrite, "write"},
      {kRightAddSelf, "add-self"}, {kRightAttributeSupervisor, "supervisor"}};
  std::string out;
  for (const auto& w : entry ? kEntry : kAttr) {
    if (!(rights & w.first)) continue;
    if (!out.empty()) out += ' ';
    out += w.second;
  }
  return out.empty() ? "none" : out;
}

int ParseRights(bool entry, std::string_view words, uint32_t* rights) {
  *rights = 0;
  size_t pos = 0;
  while (pos < words.size()) {
    while (pos < words.size() && (words[pos] == ' ' || words[pos] == '\t')) ++pos;
    size_t end = pos;
    while (end < words.size() && words[end] != ' ' && words[end] != '\t') ++end;
    std::string_view w = words.substr(pos, end - pos);
    pos = end;
    if (w.empty() || SameText(w, "none")) continue;
    bool found = false;
    for (uint32_t bit = 1; bit <= 0x20; bit <<= 1) {
      std::string name = RightsText(entry, bit);
      if (name != "none" && SameText(name, w)) {
        *rights |= bit;
        found = true;
      }
    }
    if (!found) return kErrInvalidRequest;
  }
  return kOk;
}

}  // namespace zelm::dir
