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
  // As the engine's: sets (rights 0: removes) the trustee's grant on the
  // object, in one modify that asserts the grant it replaces. The server
  // lets only supervisors of the object change its grants, and enforces the
  // new grant once the rules' keeper has taken it (WaitForGrants).
  int SetGrant(std::string_view full, std::string_view trustee, std::string_view scope,
               uint32_t rights);
  // A setting of the directory ("" when not set), public as in the engine.
  int GetSetting(std::string_view key, std::string* value);

  // The server's newest change sequence number (its contextCSN), or with
  // full the one of that object's latest change (its entryCSN): a writer
  // reads it after a change to wait for those who follow.
  int ServerCsn(std::string* csn);
  int ObjectCsn(std::string_view full, std::string* csn);
  // The newest of the base entry's and every grant or setting holder's: once
  // the rules reach it they reflect every grant there is (after an import).
  int GrantsCsn(std::string* csn);
  // Waits until the server's access rules reflect the changes up to csn
  // (ldaprules beside it has taken them): kOk; kErrNoSuchEntry when nobody
  // keeps rules there; kErrSystemFailure when they do not within timeoutMs.
  // csn may come from another server this one copies.
  int WaitForRules(const std::string& csn, int timeoutMs);
  // Both: after changing the grants of full.
  int WaitForGrants(std::string_view full, int timeoutMs);

  // The whole directory as a description (textfile.h): settings, objects
  // parents first, values with their syntaxes, grants. Needs every right.
  int Export(TextDirectory* out);
  // Removes every object, grant and setting: the base entry alone is left.
  // Needs every right.
  int Clear();
  // Adds a description's objects with their grants, and its settings, in one
  // transaction: all or, the failing line named in *error, none.
  int Import(const TextDirectory& text, std::string* error);

  const std::string& base() const { return base_; }
  const std::string& lastError() const { return lastError_; }

 private:
  friend class LdapFollower;  // native-only extensions on the same connection (ldap_sync.h)
  LdapDirectory() = default;
  int Fail(int ldapCode, const char* what);
  // The object's entry ("" the base) with the attributes asked for.
  int FindEntry(std::string_view full, const std::vector<std::string>& attrs,
                std::vector<LdapEntry>* found);
  int FindDn(std::string_view full, std::string* dn);
  int Bind(const std::string& identity, const std::string& password, std::string* error);
  // Whether the server lets this identity write values of the LDAP type, or
  // add objects below dn; asked without writing.
  int MayWrite(const std::string& dn, const std::string& type, bool* may);
  int MayCreate(const std::string& dn, bool* may);
  int Search(const std::string& base, LdapScope scope, const std::string& filter,
             const std::vector<std::string>& attrs, std::vector<LdapEntry>* out, int limit = 0);
  // The newest value of attr on the entry dn ("" when none).
  int NewestValue(const std::string& dn, const char* attr, std::string* out);

  std::unique_ptr<LdapSession> session_;
  std::string base_;
  std::string lastError_;
};

}  // namespace zelm::dir
