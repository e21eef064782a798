// Shared by the directory suites: a temporary folder per test and a small
// directory built from text in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "directory.h"
#include "textfile.h"

namespace zelm::dir::testing {

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("zelmdir-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Users in an organization with nested units, a file server and a messaging
// server with a store agent; Manager may create and write in Sales.
inline const char kSmallTree[] = R"(
supervisor Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Sales.Acme : Organizational Unit
    grant Manager.Sales.Acme : [Entry Rights] = browse create delete
    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write
object Manager.Sales.Acme : User
object Joe.Sales.Acme : User
    Password = Secret
object East.Sales.Acme : Organizational Unit
object Kim.East.Sales.Acme : User
object FS1.Acme : HVX Server
    Network Address = 127.0.0.9
object Internet Services : Quorvel:Services
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = FS1.Acme
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
)";

// Creates a database at path from text and opens it.
inline std::unique_ptr<Directory> MakeDirectory(const std::string& path,
                                                const std::string& text = kSmallTree,
                                                OpenOptions options = OpenOptions()) {
  TextDirectory parsed;
  std::string error;
  if (ParseText(text, &parsed, &error) != kOk) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  Tree tree;
  if (BuildTree(parsed, &tree, &error) != kOk) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  if (int r = Directory::Create(path, tree)) {
    ADD_FAILURE() << "create: " << r;
    return nullptr;
  }
  std::unique_ptr<Directory> d;
  if (int r = Directory::Open(path, &d, std::move(options))) {
    ADD_FAILURE() << "open: " << r;
    return nullptr;
  }
  return d;
}

inline std::string Dump(Directory* d) {
  std::string text;
  d->Inspect(Caller::System(), [&text](const Tree& t) { text = DumpText(t); });
  return text;
}

inline std::vector<std::string> Values(Directory* d, const std::string& object,
                                       const std::string& attribute, int* result = nullptr) {
  std::vector<AttributeValues> read;
  int r = d->Read(Caller::System(), object, {attribute}, &read);
  if (result) *result = r;
  return r == kOk ? read[0].values : std::vector<std::string>();
}

// The syntax each value of the attribute was written with.
inline std::vector<uint32_t> Syntaxes(Directory* d, const std::string& object,
                                      const std::string& attribute) {
  std::vector<AttributeValues> read;
  if (d->Read(Caller::System(), object, {attribute}, &read) != kOk) return {};
  return read[0].syntaxes;
}

inline ValueIn Text(const std::string& s) { return {kSyntaxCaseIgnoreString, s}; }
inline ValueIn Name(const std::string& s) { return {kSyntaxDistinguishedName, s}; }

inline std::vector<AttributeIn> OfClass(const std::string& cls,
                                        std::vector<AttributeIn> more = {}) {
  more.insert(more.begin(), {"Object Class", {{kSyntaxClassName, cls}}});
  return more;
}

}  // namespace zelm::dir::testing
