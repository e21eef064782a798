// A snap-in in a folder without "hostext32.dll", run by binding_probe.exe in
// a process of its own: it binds to the older host set (the twelve functions
// spread over three libraries, the earlier library winning), fails to start
// when a library or a function is missing and leaves nothing loaded then,
// and frees the libraries when it shuts down.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "binding_fixture.h"

namespace {

using bindingtest::CopyBuilt;
using bindingtest::FolderPath;

const char kAllLoaded[] = " hostext32.dll=0 hostvctl95.dll=1 hostcomn95.dll=1 hostcore95.dll=1";
const char kNoneLoaded[] = " hostext32.dll=0 hostvctl95.dll=0 hostcomn95.dll=0 hostcore95.dll=0";

class OlderHost : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FolderPath(temp_);
    for (const char* f : {"binding_probe.exe", "tarq.dll", "dsclient32.dll", "netcalls32.dll"})
      ASSERT_TRUE(CopyBuilt(f, folder_)) << f;
#ifdef BINDING_WITH_LOGPAGE
    ASSERT_TRUE(CopyBuilt("logpage.dll", folder_));
#endif
  }
  void Older(std::vector<std::string> libraries) {
    for (const std::string& l : libraries) ASSERT_TRUE(CopyBuilt(l, folder_)) << l;
  }
  // Runs the probe on a snap-in; the lines it and the libraries wrote.
  std::vector<std::string> Run(const char* snapin, const char* nls = "") {
    std::string log = folder_ + "\\probe.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("FAKEHOST_LOG", log.c_str());
    SetEnvironmentVariableA("FAKEHOST_NLS", nls);
    std::string exe = folder_ + "\\binding_probe.exe";
    std::string line = "\"" + exe + "\" " + snapin;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  folder_.c_str(), &si, &pi);
    SetEnvironmentVariableA("FAKEHOST_LOG", nullptr);
    SetEnvironmentVariableA("FAKEHOST_NLS", nullptr);
    EXPECT_TRUE(started);
    if (!started) return {};
    DWORD waited = WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, 0u);
    return bindingtest::LinesOfFile(log);
  }
  static std::vector<std::string> Starting(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
      if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l.substr(prefix.size()));
    return out;
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  zelm::dir::testing::TempFolder temp_;
  std::string folder_;
};

TEST_F(OlderHost, TarqBindsToTheOlderSetWhereEarlierLibrariesWin) {
  Older({"hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"});
  std::vector<std::string> lines = Run("tarq.dll");
  ASSERT_TRUE(Has(lines, "init 0"));
  EXPECT_TRUE(Has(lines, std::string("after init") + kAllLoaded));
  // The language look-ups went to slot 1, not to the core's own copy.
  EXPECT_EQ(Starting(lines, "nls "),
            (std::vector<std::string>{"comn TARQRES.DLL", "comn tarq.hlp"}));
  std::vector<std::string> registered = Starting(lines, "register ");
  ASSERT_EQ(registered.size(), 21u);
  EXPECT_EQ(registered[0], "DS|User|0|0x01010000|tarq.dll|named");
  EXPECT_EQ(registered[3], "DS|User|3|0x01010000|tarq.dll|named");
  EXPECT_EQ(registered[5], "DS|Quorvel:Messaging Server|0|0x01010000|tarq.dll|named");
  EXPECT_EQ(registered[20], "DS|TARQ:ConnMgr Agent|0|0x01010000|tarq.dll|named");
  // Class data through the older set: the sixteen classes with a family.
  std::vector<std::string> data = Starting(lines, "classdata ");
  EXPECT_EQ(data.size(), 16u);
  EXPECT_TRUE(Has(data, "Quorvel:SMTP Agent|SMTP Protocol|3"));
  EXPECT_TRUE(Has(lines, "flags Quorvel:Services|0x489"));
  EXPECT_TRUE(Has(lines, std::string("after shutdown") + kNoneLoaded));
}

TEST_F(OlderHost, MissingLibrariesFailTheStartAndLeaveNothingLoaded) {
  struct Case {
    const char* label;
    std::vector<std::string> present;
  } cases[] = {
      {"none of them", {}},
      {"only the first", {"hostvctl95.dll"}},
      {"the last missing", {"hostvctl95.dll", "hostcomn95.dll"}},
      {"the first missing", {"hostcomn95.dll", "hostcore95.dll"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (const char* l : {"hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"})
      DeleteFileA((folder_ + "\\" + l).c_str());
    Older(c.present);
    std::vector<std::string> lines = Run("tarq.dll");
    EXPECT_TRUE(Has(lines, "init -1"));
    EXPECT_TRUE(Has(lines, std::string("after init") + kNoneLoaded));
    EXPECT_TRUE(Starting(lines, "register ").empty());
  }
}

TEST_F(OlderHost, AFunctionNoLibraryExportsFailsTheStart) {
  Older({"hostvctl95.dll", "hostcomn95.dll"});
  ASSERT_TRUE(CopyBuilt("hostcore95_partial.dll", folder_, "hostcore95.dll"));
  std::vector<std::string> lines = Run("tarq.dll");
  EXPECT_TRUE(Has(lines, "init -1"));
  EXPECT_TRUE(Has(lines, std::string("after init") + kNoneLoaded));
  EXPECT_TRUE(Starting(lines, "register ").empty());
}

TEST_F(OlderHost, TarqLoadsItsLanguageLibraryFromTheFolderTheHostNames) {
  Older({"hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"});
  zelm::dir::testing::TempFolder nls;
  ASSERT_TRUE(CopyBuilt("binding_tarqres.dll", FolderPath(nls), "TARQRES.DLL"));
  std::vector<std::string> lines = Run("tarq.dll", FolderPath(nls).c_str());
  ASSERT_TRUE(Has(lines, "init 0"));
  EXPECT_TRUE(Has(lines, "after init language TARQRES.DLL=1 LOGPGRES.DLL=0"));
  EXPECT_TRUE(Has(lines, "after shutdown language TARQRES.DLL=0 LOGPGRES.DLL=0"));
  // Still sixteen classes with three pictures each: POP's come from tarq.
  std::vector<std::string> data = Starting(lines, "classdata ");
  EXPECT_EQ(data.size(), 16u);
  EXPECT_TRUE(Has(data, "Quorvel:POP Agent|POP3 Client Protocol|3"));
}

#ifdef BINDING_WITH_LOGPAGE
TEST_F(OlderHost, LogpageBindsRegistersTwiceAndFreesTheLibrariesAtShutdown) {
  Older({"hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"});
  zelm::dir::testing::TempFolder nls;
  ASSERT_TRUE(CopyBuilt("binding_tarqres.dll", FolderPath(nls), "LOGPGRES.DLL"));
  std::vector<std::string> lines = Run("logpage.dll", FolderPath(nls).c_str());
  ASSERT_TRUE(Has(lines, "init 0"));
  EXPECT_TRUE(Has(lines, "after init language TARQRES.DLL=0 LOGPGRES.DLL=1"));
  EXPECT_EQ(Starting(lines, "nls "),
            (std::vector<std::string>{"comn LOGPGRES.DLL", "comn tarq.hlp"}));
  EXPECT_EQ(Starting(lines, "register "),
            (std::vector<std::string>{"DS|HVX Server|0|0x01010000|logpage.dll|named",
                                      "DS|Quorvel:Services|0|0x01010000|logpage.dll|named"}));
  EXPECT_TRUE(Starting(lines, "classdata ").empty());
  EXPECT_TRUE(Has(lines, std::string("after shutdown") + kNoneLoaded));
  EXPECT_TRUE(Has(lines, "after shutdown language TARQRES.DLL=0 LOGPGRES.DLL=0"));
}

TEST_F(OlderHost, LogpageFailsTheStartWithoutTheLibraries) {
  std::vector<std::string> lines = Run("logpage.dll");
  EXPECT_TRUE(Has(lines, "init -1"));
  EXPECT_TRUE(Starting(lines, "register ").empty());
}
#endif

}  // namespace
