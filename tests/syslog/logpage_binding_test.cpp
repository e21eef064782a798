// logpage's InitSnapin and Shutdown run in this process (the suite plays the
// snap-in's module) over the real hostext32.dll: SyslogObjProc registered for
// the file server class and then the services container, the language
// library found through the host's language folder holding the page and
// freed again at Shutdown, and what the syslog procedure answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "entry_points.h"
#include "frame.h"
#include "hostext_internal.h"
#include "registry_sandbox.h"
#include "syslog_objproc.h"
#include "syslog_page.h"

namespace {

constexpr int32_t kSuiteSnapin = 88;

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

class LogpageInProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = g_snapin.instance;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    nls_ = std::string(temp) + "logpage-nls-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(nls_.c_str(), nullptr);
  }
  void TearDown() override {
    if (started_) Shutdown();
    HXForgetSnapin(kSuiteSnapin);
    DeleteFileA((nls_ + "\\LOGPGRES.DLL").c_str());
    RemoveDirectoryA(nls_.c_str());
  }
  void Start() {
    HXSetSnapin(kSuiteSnapin);
    int32_t r = InitSnapin();
    HXSetSnapin(-1);
    ASSERT_EQ(r, 0);
    started_ = true;
  }
  void UseLanguageLibrary() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_TRUE(CopyFileA((Folder(self) + "\\logpage_testres.dll").c_str(),
                          (nls_ + "\\LOGPGRES.DLL").c_str(), FALSE));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Zelm\\Admin", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "NLS Folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(nls_.c_str()),
                   static_cast<DWORD>(nls_.size() + 1));
    RegCloseKey(key);
  }

  RegistrySandbox registry_{"logpage"};
  std::string nls_;
  bool started_ = false;
};

TEST_F(LogpageInProcess, RegistersTheSyslogProcedureForServersThenTheServicesContainer) {
  Start();
  std::vector<std::string> classes;
  for (int32_t i = 0, n = HXRegistrationCount(); i < n; ++i) {
    HXRegistration reg;
    ASSERT_EQ(HXGetRegistration(i, &reg), 0);
    if (reg.snapin != kSuiteSnapin) continue;
    classes.push_back(reg.className);
    EXPECT_EQ(reg.procedure, SyslogObjProc);
    EXPECT_EQ(reg.module, GetModuleHandleA(nullptr));
    EXPECT_EQ(reg.version, 0x01010000u);
    EXPECT_EQ(reg.selectionMode, 0);
  }
  EXPECT_EQ(classes, (std::vector<std::string>{"HVX Server", "Quorvel:Services"}));
}

TEST_F(LogpageInProcess, ItsLanguageLibraryHoldsThePageUntilShutdown) {
  UseLanguageLibrary();
  Start();
  HMODULE language = GetModuleHandleA("LOGPGRES.DLL");
  ASSERT_NE(language, nullptr);
  ASSERT_NE(language, GetModuleHandleA(nullptr));
  EXPECT_EQ(ResourceModule(), language);
  // The page the syslog procedure hands out names the language library.
  QZXPageRecord record = {};
  ASSERT_EQ(SyslogObjProc("FS1.Acme", QZX_MSG_PAGE, 0, reinterpret_cast<intptr_t>(&record)), 0);
  EXPECT_EQ(record.instance, language);
  EXPECT_STREQ(record.title, "Syslog Configuration");
  Shutdown();
  started_ = false;
  EXPECT_EQ(GetModuleHandleA("LOGPGRES.DLL"), nullptr);
  EXPECT_EQ(ResourceModule(), GetModuleHandleA(nullptr));
  EXPECT_EQ(g_host.api.registerObjectProc, nullptr);
}

TEST_F(LogpageInProcess, TheSyslogProcedureOffersOnePageWithAFixedTitle) {
  UseLanguageLibrary();  // so the page's module can be told from the snap-in's own
  Start();
  EXPECT_EQ(SyslogObjProc("FS1.Acme", QZX_MSG_OPEN, 0, 0), 1);
  EXPECT_STREQ(g_snapin.currentObject, "FS1.Acme");
  EXPECT_STREQ(g_snapin.pageContainer, "Acme.");
  QZXPageRecord record = {};
  EXPECT_EQ(SyslogObjProc("FS1.Acme", QZX_MSG_PAGE, 0, reinterpret_cast<intptr_t>(&record)), 0);
  EXPECT_EQ(record.procedure, SyslogConfigDlgProc);
  EXPECT_EQ(record.instance, GetModuleHandleA("LOGPGRES.DLL"));
  EXPECT_NE(record.instance, GetModuleHandleA(nullptr));
  EXPECT_STREQ(record.templateName, "LogConfig");
  EXPECT_STREQ(record.title, "Syslog Configuration");
  EXPECT_EQ(record.reserved, 0);
  QZXPageRecord none = {};
  EXPECT_EQ(SyslogObjProc("FS1.Acme", QZX_MSG_PAGE, 1, reinterpret_cast<intptr_t>(&none)), -1);
  EXPECT_EQ(none.procedure, nullptr);
  for (uint32_t m : {QZX_MSG_CREATE, QZX_MSG_CLASS_KIND, QZX_MSG_DELETE, QZX_MSG_CLASS_FLAGS})
    EXPECT_EQ(SyslogObjProc("HVX Server", m, 0, 0), 0) << std::hex << m;
}

TEST_F(LogpageInProcess, ClassDataClearsTheFacilityRecords) {
  g_facilities[3].level = 5;
  g_facilities[3].mode = kModeFile;
  strcpy(g_facilities[3].path, "SYS:/LOG/HDS.LOG");
  strcpy(g_facilities[21].host, "10.0.0.7");
  EXPECT_EQ(SyslogObjProc("HVX Server", QZX_MSG_CLASS_DATA, 0, 0), 0);
  FacilityRecord zero;
  memset(&zero, 0, sizeof zero);
  for (const FacilityRecord& r : g_facilities) EXPECT_EQ(memcmp(&r, &zero, sizeof r), 0);
}

}  // namespace
