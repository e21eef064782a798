// Typeless dotted names: most specific component first ("Mail.Sales.Acme"),
// a leading "." names from the root, "[Root]" is the root itself. Inside the
// engine an object is known by its full name without the leading "." and the
// root by the empty string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::dir {

constexpr size_t kMaxNameLength = 256;       // full name, without a leading "."
constexpr size_t kMaxComponentLength = 64;
constexpr size_t kMaxSchemaNameLength = 32;  // attribute and class names
constexpr size_t kMaxValueLength = 1027;     // a value and its NUL fit 1,028 bytes

constexpr std::string_view kRootName = "[Root]";
constexpr std::string_view kPublicTrustee = "[Public]";  // every caller, even anonymous

// Text is 8-bit; letter case is folded for ASCII letters only.
std::string Fold(std::string_view text);
bool SameText(std::string_view a, std::string_view b);

// 0 when full is "" (the root) or a valid dotted name; kErrBadName otherwise.
// With parts, the components in order, most specific first.
int CheckFullName(std::string_view full, std::vector<std::string_view>* parts = nullptr);

// Resolves a name given by a caller against a name context (both as callers
// write them) into a full name. Rules:
//  - "[Root]" is the root; a name starting with "." is complete from the root;
//  - a context that is empty, "[Root]" or "." takes names as complete;
//  - a context ending in "." (what the administration pages hand over, "Sales.Acme.")
//    takes a name that already ends with the context as complete and
//    appends the context to any other name;
//  - any other context is appended ("Mail" in "Sales.Acme" is "Mail.Sales.Acme");
//  - each trailing "." of a name climbs one level from the context first
//    ("Mail." in "Sales.Acme" is "Mail.Acme").
int ResolveName(std::string_view context, std::string_view name, std::string* full);

// "Mail.Sales.Acme" -> "Sales.Acme"; a top-level name -> "" (the root).
std::string_view ParentName(std::string_view full);
// "Mail.Sales.Acme" -> "Mail".
std::string_view LeafName(std::string_view full);
// True when full lies somewhere below ancestor ("" is above everything).
bool IsBelow(std::string_view full, std::string_view ancestor);

}  // namespace zelm::dir
