// The directory's objects in memory: containment, attributes, trustee grants
// and the checks every change passes before it is written. Not thread-safe;
// Directory serialises access.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "schema.h"

namespace zelm::dir {

struct ValueIn {
  uint32_t syntax;
  std::string text;
};

struct AttributeIn {
  std::string name;
  std::vector<ValueIn> values;
};

enum ChangeCode : uint32_t {
  kChangeAddAttribute = 0,     // add the values given (the attribute may be new)
  kChangeRemoveAttribute = 1,  // remove the attribute with all its values
  kChangeAddValue = 2,
  kChangeRemoveValue = 3,
};

struct Change {
  uint32_t code;
  std::string attribute;
  std::vector<ValueIn> values;
};

// Rights on the object itself ([Entry Rights]).
enum EntryRight : uint32_t {
  kRightBrowse = 0x01,
  kRightCreate = 0x02,
  kRightDelete = 0x04,
  kRightRename = 0x08,
  kRightSupervisor = 0x10,  // every right on the object, its attributes and everything below
  kAllEntryRights = 0x1F,
};

// Rights on attributes (a named attribute or [All Attributes Rights]).
enum AttributeRight : uint32_t {
  kRightCompare = 0x01,
  kRightRead = 0x02,
  kRightWrite = 0x04,
  kRightAddSelf = 0x08,
  kRightAttributeSupervisor = 0x20,
  kAllAttributeRights = 0x2F,
};

// A trustee's rights on an object: trustee is an object's full name (a user,
// or a container for everybody below it), "[Public]" (every caller) or "[Root]"
// (every caller with an identity). scope is "[Entry Rights]",
// "[All Attributes Rights]" or an attribute name as the schema spells it.
struct Grant {
  std::string trustee;
  std::string scope;
  uint32_t rights;
};

// A grant as the directory keeps it: the trustee "[Public]", "[Root]" or a
// full name (a leading "." dropped), the scope as the schema spells it.
// -623 for a bad trustee, -603 for an unknown scope, -641 for rights the
// scope does not have.
int NormalizeGrant(std::string_view trustee, std::string_view scope, uint32_t rights, Grant* out);

struct Attribute {
  const AttributeDef* def;
  std::vector<std::string> values;
  // The syntax each value was written with, one per value: text attributes
  // take 1 and 3 alike, and callers may need to know which one a writer used.
  std::vector<uint32_t> syntaxes;
};

struct Object {
  std::string full;        // full name as created; "" for the root
  const ClassDef* cls;     // nullptr for the root
  Object* parent;          // nullptr for the root
  std::vector<Attribute> attributes;  // in the order they were first given
  std::map<std::string, Object*> children;  // by folded leaf name; owned by Tree
  std::vector<Grant> grants;

  const Attribute* Find(const AttributeDef* def) const;
};

// Names of the settings a directory keeps beside its objects.
constexpr std::string_view kSettingSupervisor = "supervisor";  // identity with every right
constexpr std::string_view kSettingIdentity = "identity";      // default identity of clients

class Tree {
 public:
  Tree();
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // full is a full name as names.h defines it; "" is the root.
  const Object* Find(std::string_view full) const;
  const Object& root() const { return root_; }
  size_t size() const { return objects_.size(); }

  // Each change is checked first; with apply false the tree is left as it is.
  int Add(std::string_view full, const std::vector<AttributeIn>& attributes, bool apply);
  int Modify(std::string_view full, const std::vector<Change>& changes, bool apply);
  int Remove(std::string_view full, bool apply);
  int SetGrant(std::string_view full, std::string_view trustee, std::string_view scope,
               uint32_t rights, bool apply);
  int SetSetting(std::string_view key, std::string_view value, bool apply);
  std::string Setting(std::string_view key) const;
  const std::map<std::string, std::string>& settings() const { return settings_; }

  // Effective rights of identity ("" = anonymous) on the object.
  uint32_t EntryRights(std::string_view identity, const Object* obj) const;
  // attr nullptr asks for [All Attributes Rights] alone.
  uint32_t AttributeRights(std::string_view identity, const Object* obj,
                           const AttributeDef* attr) const;

  // Whole tree in one byte string (objects parents first) and back.
  std::string Serialize() const;
  int Load(std::string_view bytes);
  // A copy to try changes on; nullptr when it cannot be made.
  std::unique_ptr<Tree> Clone() const;

  // Every object but the root, parents before children, children by name.
  template <class F>
  void Walk(F&& visit) const { WalkFrom(&root_, visit); }

 private:
  template <class F>
  void WalkFrom(const Object* o, F& visit) const {
    for (const auto& child : o->children) {
      visit(*child.second);
      WalkFrom(child.second, visit);
    }
  }
  Object* FindMutable(std::string_view full);
  bool IsSupervisor(std::string_view identity) const;

  Object root_;
  std::unordered_map<std::string, std::unique_ptr<Object>> objects_;  // by folded full name
  std::map<std::string, std::string> settings_;
};

// Rights words of the text format and tools: "browse create delete rename
// supervisor" on [Entry Rights], "compare read write add-self supervisor" on attributes.
std::string RightsText(bool entry, uint32_t rights);
int ParseRights(bool entry, std::string_view words, uint32_t* rights);

}  // namespace zelm::dir
