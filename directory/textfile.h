// The readable description of a directory, used to create sample and test
// directories and to dump one:
//
//   # comment
//   supervisor Admin.Acme          identity holding every right
//   identity Admin.Acme            identity of clients that configure none
//   object [Root]
//       grant [Public] : [Entry Rights] = browse
//   object Acme : Organization
//       Description = Acme Corporation
//       grant Sales.Acme : [All Attributes Rights] = read write
//
// An "object" line gives a full name and, except for [Root], the class; parents
// come before their children. Indented lines below it give one attribute value
// each ("Name = value", repeated for more values) or a grant
// ("grant trustee : scope = rights", rights as tree.h's ParseRights reads them).
// Values are trimmed; \\ \n \r \t and \xHH stand for themselves. A value written
// with another syntax than its attribute's carries it after the name:
// "Quorvel:Context (syntax 3) = Sales.Acme".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "directory.h"
#include "tree.h"

namespace zelm::dir {

struct TextObject {
  int line = 0;
  std::string full;       // "" for [Root]
  std::string className;  // "" for [Root]
  std::vector<AttributeIn> attributes;
  std::vector<Grant> grants;
  std::vector<int> grantLines;
};

struct TextDirectory {
  std::vector<std::pair<std::string, std::string>> settings;
  std::vector<int> settingLines;
  std::vector<TextObject> objects;
};

// 0, or kErrInvalidRequest with *error saying "line N: ...".
int ParseText(std::string_view text, TextDirectory* out, std::string* error);
// Builds a tree for a new database; every object passes the schema's checks.
int BuildTree(const TextDirectory& text, Tree* tree, std::string* error);
// Adds the described settings, objects and grants to an open directory, in
// order, each checked like any other write of caller (the system by
// default), as one change: all or none. *error names the line refused.
int ApplyText(const TextDirectory& text, Directory* dir, std::string* error);
int ApplyText(const TextDirectory& text, Directory* dir, const Caller& caller, std::string* error);
std::string DumpText(const Tree& tree);

std::string EscapeValue(std::string_view value);
// "Name = value" with the value escaped, and the syntax mark when syntax is
// not the attribute's own.
std::string ValueLine(const AttributeDef* def, uint32_t syntax, std::string_view value);
int UnescapeValue(std::string_view text, std::string* value);

// The default sample directory (directory/sample-directory.txt, built in).
std::string_view SampleDirectoryText();

// "Volume" values are "NAME=folder"; a relative folder lies in the folder of
// the database file.
bool SplitVolume(std::string_view value, std::string* name, std::string* folder);
std::string VolumeFolder(const std::string& databasePath, std::string_view folder);
// Creates the folders of every volume of the tree that do not exist yet.
int MakeVolumeFolders(const Tree& tree, const std::string& databasePath);

}  // namespace zelm::dir
