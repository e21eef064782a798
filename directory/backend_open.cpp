// OpenBackend, and the LDAP server seen through Backend: built where the LDAP
// backend is.
#include <algorithm>
#include <utility>

#include "backend.h"
#include "ldap_backend.h"

namespace zelm::dir {
namespace {

constexpr int kRulesWaitMs = 10000;

class Ldap final : public Backend {
 public:
  Ldap(std::unique_ptr<LdapDirectory> d, std::string location, std::string identity)
      : d_(std::move(d)), location_(std::move(location)), identity_(std::move(identity)) {}

  int Read(std::string_view full, const std::vector<std::string>& names,
           std::vector<AttributeValues>* out) override {
    return d_->Read(full, names, out);
  }
  int Describe(std::string_view full, ObjectInfo* out) override { return d_->Describe(full, out); }
  // The server hands over a container's objects at once; the pages a caller
  // asks for are cut from them, in the engine's order (folded leaf names).
  // A listing from the start asks the server; the pages after it come from
  // what that answer held, so a long listing costs one answer, not one per
  // page.
  int List(std::string_view container, std::string_view after, size_t max,
           std::vector<ObjectInfo>* out, bool* more) override {
    out->clear();
    *more = false;
    if (after.empty() || !SameText(container, listed_)) {
      listed_.clear();
      if (int r = d_->List(container, &listing_)) return r;
      listed_ = std::string(container);
    }
    auto it = std::upper_bound(listing_.begin(), listing_.end(), after,
                               [](std::string_view a, const ObjectInfo& o) {
                                 return a < Fold(LeafName(o.full));
                               });
    for (; it != listing_.end(); ++it) {
      if (out->size() == max) {
        *more = true;
        break;
      }
      out->push_back(*it);
    }
    return kOk;
  }
  int Add(std::string_view full, const std::vector<AttributeIn>& attributes) override {
    return d_->Add(full, attributes);
  }
  int Modify(std::string_view full, const std::vector<Change>& changes) override {
    return d_->Modify(full, changes);
  }
  int Remove(std::string_view full) override { return d_->Remove(full); }
  // Returns once the server's access rules reflect the grant (or after the
  // wait, which the rules' keeper may not be running to end).
  int SetGrant(std::string_view full, std::string_view trustee, std::string_view scope,
               uint32_t rights) override {
    if (int r = d_->SetGrant(full, trustee, scope, rights)) return r;
    int w = d_->WaitForGrants(full, kRulesWaitMs);
    return w == kErrNoSuchEntry ? kOk : w;
  }
  int EffectiveRights(std::string_view trustee, std::string_view full, std::string_view scope,
                      uint32_t* rights) override {
    *rights = 0;
    // The server judges only the bound identity's rights.
    if (!trustee.empty() && !SameText(trustee, identity_)) return kErrInvalidRequest;
    return d_->Rights(full, scope, rights);
  }
  int GetSetting(std::string_view key, std::string* value) override {
    return d_->GetSetting(key, value);
  }
  const std::string& identity() const override { return identity_; }
  const std::string& location() const override { return location_; }
  std::string lastError() const override { return d_->lastError(); }

 private:
  std::unique_ptr<LdapDirectory> d_;
  std::string location_;
  std::string identity_;
  std::string listed_;  // the container listing_ holds
  std::vector<ObjectInfo> listing_;
};

}  // namespace

int OpenBackend(const std::string& location, const std::string& identity,
                const std::string& password, bool system, std::unique_ptr<Backend>* out,
                std::string* error, int timeoutMs) {
  out->reset();
  if (IsDirectoryAddress(location)) {
    std::unique_ptr<LdapDirectory> d;
    if (int r = LdapDirectory::Open(location, identity, password, &d, error, timeoutMs)) return r;
    *out = std::make_unique<Ldap>(std::move(d), location, identity);
    return kOk;
  }
  std::unique_ptr<Directory> d;
  if (int r = Directory::Open(location, &d)) {
    if (error) *error = std::string(ResultText(r)) + ": " + location;
    return r;
  }
  *out = EngineBackend(std::shared_ptr<Directory>(std::move(d)), location,
                       system ? Caller::System() : Caller::As(identity));
  return kOk;
}

}  // namespace zelm::dir
