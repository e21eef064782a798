// What the host suites share: a directory database of their own in a
// temporary folder, selected for this process the way administrators select
// one (ZELM_DIRECTORY / ZELM_IDENTITY), and registry hives of their own.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dir_fixture.h"
#include "registry_sandbox.h"
#include "test_directory.h"

namespace hosttest {

// Users in an organization with two units, a file server with two volumes, a
// messaging server. Manager may create, delete and write in Sales only.
inline const char kHostTree[] = R"(
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
    Description = Acme Corporation
object Admin.Acme : User
object Sales.Acme : Organizational Unit
    Description = Sales
    grant Manager.Sales.Acme : [Entry Rights] = browse create delete
    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write
object Manager.Sales.Acme : User
object Joe.Sales.Acme : User
    Full Name = Joe Miller
    Quorvel:EMail Address = joe@sales.example
    Quorvel:EMail Address = j.miller@sales.example
object Ann.Sales.Acme : User
    Full Name = Ann Baker
object Keep.Sales.Acme : User
    Full Name = Keep Me
    Description = protected
object East.Sales.Acme : Organizational Unit
object Kim.East.Sales.Acme : User
object Support.Acme : Organizational Unit
object Zed.Support.Acme : User
    Full Name = Zed Support
object FS1.Acme : HVX Server
    Network Address = 127.0.0.9
    Volume = SYS=vol/SYS
    Volume = MAIL=vol/MAIL
object Internet Services : Quorvel:Services
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = FS1.Acme
    Quorvel:Context = .Internet Services
)";

// The folder of this process's databases, "zelmhost-<process id>-<n>" in the
// temporary folder. dsclient32 keeps the database it opened last open until
// the process ends, so the folder cannot go with the process; each new one
// clears away those whose processes have ended.
class SuiteFolderOfProcess {
 public:
  SuiteFolderOfProcess() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    for (const fs::directory_entry& e : fs::directory_iterator(temp, ec)) {
      std::string name = e.path().filename().string();
      unsigned long pid = 0;
      if (std::sscanf(name.c_str(), "zelmhost-%lu-", &pid) != 1) continue;
      HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
      if (p) {
        CloseHandle(p);
        continue;
      }
      fs::remove_all(e.path(), ec);
    }
    path_ = temp / ("zelmhost-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount()));
    fs::create_directories(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline SuiteFolderOfProcess& SuiteFolder() {
  static SuiteFolderOfProcess folder;
  return folder;
}

// A directory made from text, used by every context this process creates
// from now on, acting as `identity`: a database file of its own, or in a
// suite's ".ldap" variant the run's slapd (test_directory.h).
class HostDirectory {
 public:
  explicit HostDirectory(const std::string& text = kHostTree) {
    static int serial = 0;
    path_ = SuiteFolder().File("db" + std::to_string(++serial) + "\\directory.zdb");
    CreateDirectoryA(Folder().c_str(), nullptr);
    directory_ = std::make_unique<zelm::testdir::TestDirectory>(path_, text);
    EXPECT_EQ(directory_->error(), "");
    current_ = this;
    As("Admin.Acme");
  }
  ~HostDirectory() {
    if (current_ == this) current_ = nullptr;
  }
  HostDirectory(const HostDirectory&) = delete;
  HostDirectory& operator=(const HostDirectory&) = delete;

  // Contexts act as identity from now on (over LDAP: logged in as it).
  static void As(const char* identity) {
    if (current_) current_->directory_->As(identity ? identity : "");
  }
  // The password a user logs in with over LDAP; "" over the file.
  std::string PasswordOf(const std::string& identity) const {
    return directory_->PasswordOf(identity);
  }
  // The database file or directory address contexts use.
  const std::string& Path() const { return directory_->Location(); }
  // The folder of the database file (made over LDAP too, for the test's files).
  std::string Folder() const { return path_.substr(0, path_.find_last_of('\\')); }
  // The directory with every right.
  zelm::dir::Backend* Admin() const { return directory_->Admin(); }
  std::vector<std::string> Values(const std::string& object, const std::string& attribute) const {
    return directory_->Values(object, attribute);
  }
  bool Exists(const std::string& object) const { return directory_->Exists(object); }
  // Makes a folder below this database's folder ("vol\\SYS\\mail").
  void MakeFolder(const std::string& relative) const {
    std::string path = Folder();
    size_t at = 0;
    while (at <= relative.size()) {
      size_t end = relative.find('\\', at);
      if (end == std::string::npos) end = relative.size();
      path += "\\" + relative.substr(at, end - at);
      CreateDirectoryA(path.c_str(), nullptr);
      at = end + 1;
    }
  }

 private:
  static inline HostDirectory* current_ = nullptr;
  std::string path_;
  std::unique_ptr<zelm::testdir::TestDirectory> directory_;
};

// A sandbox for the host's tests, with values under Software\Zelm\Admin.
class HostRegistry : public ::RegistrySandbox {
 public:
  HostRegistry() : ::RegistrySandbox("host") {}
  // A value under Software\Zelm\Admin of the redirected hive.
  static void Put(HKEY hive, const char* name, DWORD type, const std::string& data) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hive, "Software\\Zelm\\Admin", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &k, nullptr));
    RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(k);
  }
  static void PutText(HKEY hive, const char* name, const std::string& text) {
    Put(hive, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
  }
};
using RegistrySandbox = HostRegistry;

}  // namespace hosttest
