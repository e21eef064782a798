#include "test_directory.h"

#include <windows.h>

#include <fstream>

#include "ldap_backend.h"
#include "textfile.h"

namespace zelm::testdir {
namespace {

std::string Env(const char* name) {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

// A Linux path as this process sees it (Wine maps / to Z:).
std::string WindowsPath(std::string unix) {
  for (char& c : unix)
    if (c == '/') c = '\\';
  return "Z:" + unix;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

}  // namespace

std::string SlapdFolder() {
  const std::string folder = Env("ZELM_TEST_SLAPD");
  return folder.empty() ? folder : WindowsPath(folder);
}

TestDirectory::TestDirectory(const std::string& file, const std::string& text) {
  using namespace zelm::dir;
  TextDirectory parsed;
  if (ParseText(text, &parsed, &error_) != kOk) return;
  for (const auto& [key, value] : parsed.settings)
    if (SameText(key, kSettingSupervisor)) supervisor_ = value;

  const std::string slapd = SlapdFolder();
  ldap_ = !slapd.empty();
  if (ldap_) {
    location_ = FirstLine(slapd + "\\url");
    const std::string admin = FirstLine(slapd + "\\admin.pw");
    if (location_.empty()) {
      error_ = "no slapd in " + slapd + " (ZELM_NO_SLAPD=1, or scripts/ldaptest.sh failed)";
      return;
    }
    // The server is shared by the run's tests: each starts from an empty one.
    std::unique_ptr<LdapDirectory> seed;
    if (LdapDirectory::Open(location_, "", admin, &seed, &error_) != kOk) return;
    if (seed->Clear() != kOk) {
      error_ = "clearing the server: " + seed->lastError();
      return;
    }
    if (seed->Import(parsed, &error_) != kOk) return;
    // The test acts once the server enforces the tree's grants.
    std::string csn;
    if (seed->GrantsCsn(&csn) != kOk || seed->WaitForRules(csn, 10000) != kOk) {
      error_ = "the server's access rules: " + seed->lastError();
      return;
    }
    if (OpenBackend(location_, "", admin, false, &admin_, &error_) != kOk) return;
  } else {
    Tree tree;
    if (BuildTree(parsed, &tree, &error_) != kOk) return;
    if (int r = Directory::Create(file, tree)) {
      error_ = std::string("creating ") + file + ": " + ResultText(r);
      return;
    }
    location_ = file;
    if (OpenBackend(location_, "", "", true, &admin_, &error_) != kOk) return;
  }
  SetEnvironmentVariableA("ZELM_DIRECTORY", location_.c_str());
  As(supervisor_);
}

TestDirectory::~TestDirectory() {
  for (const char* name : {"ZELM_DIRECTORY", "ZELM_IDENTITY", "ZELM_LDAP_PASSWORD_FILE"})
    SetEnvironmentVariableA(name, nullptr);
  // A login the test gave the directory client ends with it.
  if (HMODULE client = GetModuleHandleA("dsclient32.dll")) {
    using SetLogin = int32_t (*)(const char*, const char*);
    if (auto forget = reinterpret_cast<SetLogin>(
            reinterpret_cast<void*>(GetProcAddress(client, MAKEINTRESOURCEA(1207)))))
      forget(nullptr, nullptr);
  }
  if (!passwordFile_.empty()) DeleteFileA(passwordFile_.c_str());
}

void TestDirectory::As(const std::string& identity) {
  if (!ldap_) {
    SetEnvironmentVariableA("ZELM_IDENTITY", identity.empty() ? nullptr : identity.c_str());
    return;
  }
  // The supervisor logs in with the administrator's password.
  if (identity.empty() || zelm::dir::SameText(identity, supervisor_)) {
    SetEnvironmentVariableA("ZELM_IDENTITY", identity.empty() ? nullptr : identity.c_str());
    SetEnvironmentVariableA("ZELM_LDAP_PASSWORD_FILE", (SlapdFolder() + "\\admin.pw").c_str());
    return;
  }
  const std::string password = PasswordOf(identity);
  if (passwordFile_.empty()) {
    static int serial = 0;
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    passwordFile_ = std::string(folder) + "zelmtest-" + std::to_string(GetCurrentProcessId()) +
                    "-" + std::to_string(++serial) + ".pw";
  }
  std::ofstream(passwordFile_, std::ios::binary | std::ios::trunc) << password << "\n";
  SetEnvironmentVariableA("ZELM_IDENTITY", identity.c_str());
  SetEnvironmentVariableA("ZELM_LDAP_PASSWORD_FILE", passwordFile_.c_str());
}

std::string TestDirectory::PasswordOf(const std::string& identity) {
  if (!ldap_) return std::string();
  if (zelm::dir::SameText(identity, supervisor_)) return FirstLine(SlapdFolder() + "\\admin.pw");
  std::vector<std::string> held = Values(identity, "Password");
  if (!held.empty()) return held[0];
  const std::string password = "pw-" + zelm::dir::Fold(identity);
  admin_->Modify(identity, {{zelm::dir::kChangeAddValue, "Password", {{3, password}}}});
  return password;
}

std::vector<std::string> TestDirectory::Values(const std::string& object,
                                               const std::string& attribute) const {
  std::vector<zelm::dir::AttributeValues> read;
  if (!admin_ || admin_->Read(object, {attribute}, &read) != zelm::dir::kOk || read.empty())
    return {};
  return read[0].values;
}

bool TestDirectory::Exists(const std::string& object) const {
  zelm::dir::ObjectInfo info;
  return admin_ && admin_->Describe(object, &info) == zelm::dir::kOk;
}

}  // namespace zelm::testdir
