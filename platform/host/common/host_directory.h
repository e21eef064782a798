// The directory as the administration host sees it, through dsclient32.dll:
// each call opens its own context (so it acts as the identity configured at
// that moment), does one thing and releases it. Results are 0 or a negative
// directory error code. Names are full names without a leading "."; "" is the
// root.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelm::host {

struct DirEntry {
  std::string full;
  std::string className;
  bool container = false;
  uint32_t subordinates = 0;  // objects directly below
};

// The objects directly below `container`, in the directory's (name) order.
int ListChildren(const std::string& container, std::vector<DirEntry>* out);
// The object itself; -601 when it does not exist. The root answers "[Root]".
int ReadEntry(const std::string& full, DirEntry* out);
// Every value of one attribute (appended); an absent attribute reads as none.
int ReadValues(const std::string& full, const char* attribute, std::vector<std::string>* out);
struct AttributeValues {
  std::string name;
  std::vector<std::string> values;
};
// Every attribute the identity may read.
int ReadAllAttributes(const std::string& full, std::vector<AttributeValues>* out);
int RemoveObject(const std::string& full);
// The identity's rights to an attribute, "[All Attributes Rights]" or
// "[Entry Rights]" of the object.
int EffectiveRights(const std::string& full, const char* scope, uint32_t* rights);
// Whether the identity may change any attribute of the object.
bool CanWriteObject(const std::string& full);
// The identity new contexts act as ("" when anonymous); negative on failure.
int WhoAmI(std::string* identity);

// The database file or directory address new contexts open, by the
// directory client's own rules: ZELM_DIRECTORY, else the "Database" value
// under Software\Zelm\Directory (user, then machine), else
// %APPDATA%\Zelm\directory.zdb.
std::string ConfiguredDatabasePath();
// Whether that is a directory on an LDAP server ("ldap://..."), where an
// identity is proved by its password.
bool DirectoryIsServer();
// The login of the contexts opened from now on (over LDAP the password is
// checked on their first call; over the file it is not used). A password
// of at most 255 characters; -623 for a bad name.
int SetLogin(const std::string& identity, const std::string& password);
// Back to the configured identity (and password file).
void ForgetLogin();
// Why the last ReadEntry failed, in the directory client's words ("" when
// it said nothing more than the code).
std::string LastProblem();

// The name handed to the directory client: from the root, whatever the
// context.
std::string ClientName(const std::string& full);

}  // namespace zelm::host
