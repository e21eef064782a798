// The directory on an LDAP server (through ldap_client.h: libldap natively,
// the Windows LDAP API on Windows), spelled as ldap_map.h says, with the
// engine's operations and result codes:
//
//   std::unique_ptr<zelm::dir::LdapDirectory> d;
//   std::string why;
//   int r = zelm::dir::LdapDirectory::Open("ldap://127.0.5.1:38901/o=Zelm",
//                                          "Joe.Sales.Acme", password, &d, &why);
//
// An identity is proved by a bind with its password; an empty identity binds
// as the administrator (cn=zelm:admin,BASE), which holds every right, and so
// may the directory's supervisor with the administrator's password. What a
// caller may do is the server's decision: every write is checked there, and
// EffectiveRights asks the server too. Every wait is bounded (timeoutMs):
// a server that is down or silent gives kErrSystemFailure with the reason in
// lastError(), never a hang.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "directory.h"
#include "ldap_client.h"
#include "textfile.h"

namespace zelm::dir {

// "ldap://host:port/BASE" split; false when it is not one.
bool ParseLdapAddress(std::string_view address, std::string* hostUrl, std::string* base);
bool IsLdapAddress(std::string_view address);

// The administrator's DN under base.
std::string LdapAdminDn(std::string_view base);

class LdapDirectory {
 public:
  static int Open(const std::string& address, const std::string& identity,
                  const std::string& password, std::unique_ptr<LdapDirectory>* out,
                  std::string* error, int timeoutMs = 10000);
  ~LdapDirectory();
  LdapDirectory(const LdapDirectory&) = delete;
  LdapDirectory& operator=(const LdapDirectory&) = delete;

  // As Directory's (directory.h), full names throughout.
  int Read(std::string_view full, const std::vector<std::string>& names,
           std::vector<AttributeValues>* out);
  int Describe(std::string_view full, ObjectInfo* out);
  // Every object directly in the container, by folded leaf name.
  int List(std::string_view container, std::vector<ObjectInfo>* out);
  int Add(std::string_view full, const std::vector<AttributeIn>& attributes);
  // One LDAP modify: the changes apply in order, all or none.
  int Modify(std::string_view full, const std::vector<Change>& changes);
  int Remove(std::string_view full);
  // The bound identity's rights to an attribute of the object, as the server
  // judges them: kRightWrite when it would let a value be written.
  int AttributeRights(std::string_view full, std::string_view attribute, uint32_t* rights);
  // Rights to an attribute, "[All Attributes Rights]" or "[Entry Rights]",
  // each asked of the server. All attributes: write when it would let some
  // attribute of the object's class be written. Entry: browse (it finds the
  // object), create (it would add an object below) and delete (it would
  // remove the object); rename and supervisor are not asked.
  int Rights(std::string_view full, std::string_view scope, uint32_t* rights);

  // A setting of the directory (zelmSetting on the base entry); -603 when unset.
  int Setting(std::string_view key, std::string* value);

  // The whole directory as a description (textfile.h): settings, objects
  // parents first, values with their syntaxes, grants. Needs every right.
  int Export(TextDirectory* out);
  // Removes every object, grant and setting: the base entry alone is left.
  // Needs every right.
  int Clear();
  // Adds a description's objects (with their grants) one by one.
  int Import(const TextDirectory& text, std::string* error);

  const std::string& base() const { return base_; }
  const std::string& lastError() const { return lastError_; }

 private:
  LdapDirectory() = default;
  int Fail(int ldapCode, const char* what);
  // The object's entry ("" the base) with the attributes asked for.
  int FindEntry(std::string_view full, const std::vector<std::string>& attrs,
                std::vector<LdapEntry>* found);
  int FindDn(std::string_view full, std::string* dn);
  int MayWrite(const std::string& dn, const AttributeDef* def, bool* may);
  int Search(const std::string& base, LdapScope scope, const std::string& filter,
             const std::vector<std::string>& attrs, std::vector<LdapEntry>* out, int limit = 0);

  std::unique_ptr<LdapSession> session_;
  std::string base_;
  std::string lastError_;
};

}  // namespace zelm::dir
