// The syntax each value was written with, read back from the directory
// (the database file, or the LDAP server), so a page that writes a reference
// as text, or text as a reference, shows.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "backend.h"

namespace snapintest {

// The syntax `value` of `object`'s `attribute` was written with; 0 when the
// directory holds no such value.
inline uint32_t WrittenSyntax(zelm::dir::Backend* directory, const std::string& object,
                              const std::string& attribute, const std::string& value) {
  std::vector<zelm::dir::AttributeValues> read;
  if (directory->Read(object, {attribute}, &read) != 0) return 0;
  for (const zelm::dir::AttributeValues& a : read)
    for (size_t i = 0; i < a.values.size() && i < a.syntaxes.size(); ++i)
      if (a.values[i] == value) return a.syntaxes[i];
  return 0;
}

// A value a page should have written and the syntax it should carry.
struct Written {
  const char* object;
  const char* attribute;
  std::string value;
  uint32_t syntax;
};

inline void ExpectWritten(zelm::dir::Backend* directory, const std::vector<Written>& rows) {
  for (const Written& w : rows)
    EXPECT_EQ(WrittenSyntax(directory, w.object, w.attribute, w.value), w.syntax)
        << w.object << " " << w.attribute << " = " << w.value;
}

}  // namespace snapintest
