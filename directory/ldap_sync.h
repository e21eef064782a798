// Content synchronisation with an LDAP server (native, libldap): the server
// reports every change to the entries a search selects as it happens, so a
// process can follow the directory without reading it again.
//
//   std::unique_ptr<zelm::dir::LdapDirectory> d;   // bound, ldap_backend.h
//   std::unique_ptr<zelm::dir::LdapFollower> f;
//   LdapFollower::Start(std::move(d), "(zelmGrant=*)", {"zelmGrant"}, false, &f, &why);
//   std::vector<LdapFollower::Event> news;
//   f->Poll(100, &news);   // what changed, as it is now
//
// Started from the beginning, the follower first reports every entry the
// search selects, then kRefreshed, then each change. Started from now, it
// reports only changes after the server's newest one. An entry that stops
// matching the search is reported gone. Reads see only what the bound
// identity may read.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ldap_backend.h"

struct ldap_sync_t;

namespace zelm::dir {

using LdapAttributes = std::vector<std::pair<std::string, std::vector<std::string>>>;

class LdapFollower {
 public:
  struct Event {
    enum Kind { kEntry, kGone, kRefreshed };
    Kind kind;
    std::string uuid;       // the entry's entryUUID (16 bytes as sent); "" for kRefreshed
    std::string dn;         // may be empty for kGone
    LdapAttributes attrs;   // kEntry: the requested attributes as they are now
  };

  static int Start(std::unique_ptr<LdapDirectory> directory, const std::string& filter,
                   const std::vector<std::string>& attrs, bool fromNow,
                   std::unique_ptr<LdapFollower>* out, std::string* error);
  ~LdapFollower();
  LdapFollower(const LdapFollower&) = delete;
  LdapFollower& operator=(const LdapFollower&) = delete;

  // Waits up to waitMs for news and appends it to *out: kOk, or
  // kErrSystemFailure once the connection broke (lastError says why); the
  // follower is then done and a new one must be started.
  int Poll(int waitMs, std::vector<Event>* out);

  // The change sequence number of the newest change reported ("" before
  // the first), comparable as text with the server's entryCSN values.
  const std::string& csn() const { return csn_; }
  const std::string& lastError() const { return lastError_; }
  LdapDirectory& directory() { return *d_; }

 private:
  LdapFollower() = default;
  friend struct LdapFollowerCalls;
  void TakeCookie();

  std::unique_ptr<LdapDirectory> d_;
  ldap_sync_t* ls_ = nullptr;
  std::vector<Event>* sink_ = nullptr;
  std::vector<Event> pending_;  // reported while starting
  std::string csn_;
  std::string lastError_;
  bool ended_ = false;
};

}  // namespace zelm::dir
