// The directory schema: every class and attribute the administration tools and
// the store server use, with syntax, single or multiple values and containment.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zelm::dir {

enum Syntax : uint32_t {
  kSyntaxDistinguishedName = 1,
  kSyntaxCaseExactString = 2,
  kSyntaxCaseIgnoreString = 3,
  kSyntaxClassName = 20,
};

constexpr std::string_view kObjectClass = "Object Class";
constexpr std::string_view kEntryRights = "[Entry Rights]";
constexpr std::string_view kAllAttributesRights = "[All Attributes Rights]";

struct AttributeDef {
  const char* name;
  uint32_t syntax;
  bool multiValued;
  // Left out of [All Attributes Rights]: only a grant naming the attribute
  // itself, or supervisor rights, let a caller read or write it (passwords).
  bool guarded;
};

struct ClassDef {
  const char* name;
  const char* super;     // nullptr for the top of the hierarchy
  bool abstract;         // never the class of an object
  bool container;        // may hold objects
  std::vector<const char*> parents;     // classes it may live in; "[Root]" for the root
  std::vector<const char*> attributes;  // besides those of its super classes
};

class Schema {
 public:
  static const Schema& Get();

  const AttributeDef* FindAttribute(std::string_view name) const;
  const ClassDef* FindClass(std::string_view name) const;
  const std::vector<AttributeDef>& attributes() const { return attributes_; }
  const std::vector<ClassDef>& classes() const { return classes_; }

  // Whether objects of cls may hold attr (through any super class).
  bool Allows(const ClassDef* cls, const AttributeDef* attr) const;
  // Whether an object of child may live in parent (nullptr = the root).
  bool MayContain(const ClassDef* parent, const ClassDef* child) const;
  // Syntax codes a caller may write values of attr with. The administration
  // pages write references with 1 or 3 depending on the dialog, so 1 and 3
  // are interchangeable for text; 20 is only for the class of a new object.
  static bool Accepts(const AttributeDef* attr, uint32_t syntax);
  static bool KnownSyntax(uint32_t syntax);

 private:
  Schema();
  std::vector<AttributeDef> attributes_;
  std::vector<ClassDef> classes_;
};

}  // namespace zelm::dir
