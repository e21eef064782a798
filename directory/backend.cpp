#include "backend.h"

#include <utility>

namespace zelm::dir {
namespace {

class Engine final : public Backend {
 public:
  Engine(std::shared_ptr<Directory> d, std::string location, Caller caller)
      : d_(std::move(d)), location_(std::move(location)), caller_(std::move(caller)) {}

  int Read(std::string_view full, const std::vector<std::string>& names,
           std::vector<AttributeValues>* out) override {
    return d_->Read(caller_, full, names, out);
  }
  int Describe(std::string_view full, ObjectInfo* out) override {
    return d_->Describe(caller_, full, out);
  }
  int List(std::string_view container, std::string_view after, size_t max,
           std::vector<ObjectInfo>* out, bool* more) override {
    return d_->List(caller_, container, after, max, out, more);
  }
  int Add(std::string_view full, const std::vector<AttributeIn>& attributes) override {
    return d_->Add(caller_, full, attributes);
  }
  int Modify(std::string_view full, const std::vector<Change>& changes) override {
    return d_->Modify(caller_, full, changes);
  }
  int Remove(std::string_view full) override { return d_->Remove(caller_, full); }
  int SetGrant(std::string_view full, std::string_view trustee, std::string_view scope,
               uint32_t rights) override {
    return d_->SetGrant(caller_, full, trustee, scope, rights);
  }
  int EffectiveRights(std::string_view trustee, std::string_view full, std::string_view scope,
                      uint32_t* rights) override {
    return d_->EffectiveRights(caller_, trustee, full, scope, rights);
  }
  int GetSetting(std::string_view key, std::string* value) override {
    return d_->GetSetting(key, value);
  }
  const std::string& identity() const override { return caller_.identity; }
  const std::string& location() const override { return location_; }

 private:
  std::shared_ptr<Directory> d_;
  std::string location_;
  Caller caller_;
};

}  // namespace

std::unique_ptr<Backend> EngineBackend(std::shared_ptr<Directory> directory,
                                       std::string location, Caller caller) {
  return std::make_unique<Engine>(std::move(directory), std::move(location), std::move(caller));
}

bool IsDirectoryAddress(std::string_view location) {
  return location.size() > 7 && SameText(location.substr(0, 7), "ldap://");
}

}  // namespace zelm::dir
