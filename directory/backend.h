// One directory as one identity sees it, whichever backend holds it: the
// engine's database file or an LDAP server. What the directory client, the
// store server and the mail system's configurator use, so each works with
// either:
//
//   std::unique_ptr<zelm::dir::Backend> d;
//   std::string why;
//   if (zelm::dir::OpenBackend(location, identity, password, &d, &why) != 0) ...
//   d->Read("MS1.Internet Services", {"Quorvel:Host"}, &values);
//
// A location is a database file path or a directory address
// "ldap://host:port/BASE". Over the file the identity is taken as given (the
// engine checks its rights; "" with system = true acts with every right);
// over LDAP it is proved by a bind with the password ("" binds as the
// directory's administrator). Every call returns 0 or an errors.h code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "directory.h"

namespace zelm::dir {

class Backend {
 public:
  virtual ~Backend() = default;

  // As Directory's (directory.h), for this backend's identity.
  virtual int Read(std::string_view full, const std::vector<std::string>& names,
                   std::vector<AttributeValues>* out) = 0;
  virtual int Describe(std::string_view full, ObjectInfo* out) = 0;
  virtual int List(std::string_view container, std::string_view after, size_t max,
                   std::vector<ObjectInfo>* out, bool* more) = 0;
  virtual int Add(std::string_view full, const std::vector<AttributeIn>& attributes) = 0;
  virtual int Modify(std::string_view full, const std::vector<Change>& changes) = 0;
  virtual int Remove(std::string_view full) = 0;
  virtual int SetGrant(std::string_view full, std::string_view trustee, std::string_view scope,
                       uint32_t rights) = 0;
  // Rights of trustee ("" = this identity) to scope of the object.
  virtual int EffectiveRights(std::string_view trustee, std::string_view full,
                              std::string_view scope, uint32_t* rights) = 0;
  virtual int GetSetting(std::string_view key, std::string* value) = 0;

  // The full name this backend acts as ("" = system or administrator).
  virtual const std::string& identity() const = 0;
  // The location it was opened on.
  virtual const std::string& location() const = 0;
  // Why the last call failed, when the backend knows more than the code says
  // (a server that is down); may be empty.
  virtual std::string lastError() const { return std::string(); }
};

// The engine's database, shared: several backends (one per identity) may use
// one open Directory.
std::unique_ptr<Backend> EngineBackend(std::shared_ptr<Directory> directory,
                                       std::string location, Caller caller);

// Whether location names an LDAP server rather than a database file.
bool IsDirectoryAddress(std::string_view location);

// Opens location as identity. Over the file, system = true acts with every
// right whatever the identity. Over LDAP every wait lasts at most timeoutMs.
int OpenBackend(const std::string& location, const std::string& identity,
                const std::string& password, bool system, std::unique_ptr<Backend>* out,
                std::string* error, int timeoutMs = 10000);

}  // namespace zelm::dir
