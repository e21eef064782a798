// tarq.dll and logpage.dll started by the real host program's code over the
// real hostext32.dll: what they register and in which order, the class data
// and icons the host receives, the reload setting across a run, and the
// language library found through the host's language folders.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "binding_fixture.h"
#include "hostext_internal.h"
#include "snapins.h"
#include "ui_driver.h"

namespace {

using bindingtest::Pixels;
using bindingtest::PixelsOf;
using bindingtest::ResourcePixels;
using zelm::host::ClassProc;
using zelm::host::ClassProcs;

const char kSettingKey[] = "Software\\Halcyn\\Tarqsuite\\2.0";
const char kSettingValue[] = "Auto QMD Reload";

// The registration table as the host must see it.
struct Row {
  const char* className;
  int32_t selectionMode;
  uint32_t flags;
  int32_t kind;
  const char* description;  // null: no class data
  const char* family;
};
const Row kTable[] = {
    {"User", 0, 0, 0, nullptr, nullptr},
    {"Organization", 0, 0, 0, nullptr, nullptr},
    {"Organizational Unit", 0, 0, 0, nullptr, nullptr},
    {"User", 3, 0, 0, nullptr, nullptr},
    {"HVX Server", 0, 0, 0, nullptr, nullptr},
    {"Quorvel:Messaging Server", 0, 0x6CD, 1, "Halcyn Tarqsuite", "MsgSrv"},
    {"Quorvel:Services", 0, 0x489, 1, "Internet Services", "Services"},
    {"Quorvel:Mail Agent", 0, 0x400, 1, "Quorvel Abstract Agent Baseclass", "Services"},
    {"Quorvel:ZELM Agent", 0, 0x29C, 1, "ZELM Message Store", "ZELM"},
    {"Quorvel:POP Agent", 0, 0x29C, 1, "POP3 Client Protocol", "POP"},
    {"Quorvel:Finger Agent", 0, 0x29C, 1, "Finger User Lookup Protocol", "Finger"},
    {"Quorvel:Proxy Agent", 0, 0x29C, 0, "Mail Proxy Agent", "Proxy"},  // the one agent answering 0
    {"Quorvel:IMAP Agent", 0, 0x29C, 1, "IMAP Client Protocol", "IMAP"},
    {"Quorvel:SMTP Agent", 0, 0x29C, 1, "SMTP Protocol", "SMTP"},
    {"Quorvel:WebMail Agent", 0, 0x29C, 1, "WebMail Interface", "WebMail"},
    {"Quorvel:AntiSpam Agent", 0, 0x29C, 1, "AntiSpam Agent", "AntiSpam"},
    {"Quorvel:AutoReply Agent", 0, 0x29C, 1, "Forward/AutoReply Agent", "AutoReply"},
    {"Quorvel:Alias Agent", 0, 0x29C, 1, "Alias Agent", "Alias"},
    {"Quorvel:Addressbook Agent", 0, 0x29C, 1, "Address Book Agent", "LDAP"},
    {"Quorvel:Signup Agent", 0, 0x29C, 1, "Signup Agent", "Signup"},
    {"TARQ:ConnMgr Agent", 0, 0x29C, 1, "Connection Manager", "ConnMgr"},
};

class SnapinsInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  }
  void TearDown() override {
    zelm::host::CloseSnapins(nullptr);
    DestroyWindow(owner_);
    PumpMessages();
  }
  void Load(const std::vector<std::string>& paths) {
    problems_.clear();
    zelm::host::LoadSnapins(paths, owner_, &problems_);
    ASSERT_TRUE(problems_.empty()) << problems_[0];
  }
  static std::string UserSetting() {
    char value[64] = "<none>";
    DWORD bytes = sizeof value, type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
      return "<no key>";
    if (RegQueryValueExA(key, kSettingValue, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &bytes) != ERROR_SUCCESS || type != REG_SZ)
      lstrcpyA(value, "<none>");
    RegCloseKey(key);
    return value;
  }
  static void PutSetting(HKEY hive, DWORD type, const std::string& data) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(hive, kSettingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, kSettingValue, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
  }

  hosttest::RegistrySandbox registry_;
  hosttest::HostDirectory directory_{bindingtest::kBindingTree};
  HWND owner_ = nullptr;
  std::vector<std::string> problems_;
};

TEST_F(SnapinsInHost, TarqRegistersEveryClassInTableOrderWithItsAnswers) {
  Load({"tarq.dll"});
  HMODULE tarq = GetModuleHandleA("tarq.dll");
  const std::vector<ClassProc>& procs = ClassProcs();
  ASSERT_EQ(procs.size(), std::size(kTable));
  for (size_t i = 0; i < procs.size(); ++i) {
    const Row& row = kTable[i];
    const HXRegistration& reg = procs[i].reg;
    SCOPED_TRACE(std::to_string(i + 1) + " " + row.className);
    EXPECT_STREQ(reg.className, row.className);
    EXPECT_STREQ(reg.category, "DS");
    EXPECT_EQ(reg.version, 16842752u);
    EXPECT_EQ(reg.selectionMode, row.selectionMode);
    EXPECT_EQ(reg.module, tarq);
    EXPECT_NE(reg.identification[0], '\0');
    EXPECT_EQ(procs[i].flags, row.flags);
    EXPECT_EQ(procs[i].kind, row.kind);
  }
  // Both kinds of container share one procedure; every agent class has its own.
  EXPECT_EQ(procs[1].reg.procedure, procs[2].reg.procedure);
  EXPECT_NE(procs[11].reg.procedure, procs[12].reg.procedure);
}

TEST_F(SnapinsInHost, ClassesWithAFamilyHandTheHostDescriptionAndThreeIcons) {
  Load({"tarq.dll"});
  HMODULE tarq = GetModuleHandleA("tarq.dll");
  for (const Row& row : kTable) {
    SCOPED_TRACE(row.className);
    HXClassData data;
    int32_t found = HXGetClassData(row.className, &data);
    if (!row.description) {
      EXPECT_EQ(found, -1);
      continue;
    }
    ASSERT_EQ(found, 0);
    EXPECT_STREQ(data.description, row.description);
    const char* endings[] = {"Class", "Alias", "ROnly"};
    for (int i = 0; i < 3; ++i) {
      Pixels shown = PixelsOf(data.bitmaps[i]);
      EXPECT_EQ(shown.width, 16);
      EXPECT_EQ(shown, ResourcePixels(tarq, (std::string(row.family) + endings[i]).c_str()))
          << endings[i];
    }
  }
}

TEST_F(SnapinsInHost, OlderHostLibrariesStayUnloadedWhenTheHostLibraryIsThere) {
  // They are built beside the suite, so they could be found.
  for (const char* older : {"hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"})
    ASSERT_NE(GetFileAttributesA((bindingtest::BinaryFolder() + "\\" + older).c_str()),
              INVALID_FILE_ATTRIBUTES);
  Load({"tarq.dll"});
  for (const char* older : {"hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll"})
    EXPECT_EQ(GetModuleHandleA(older), nullptr) << older;
}

TEST_F(SnapinsInHost, ReloadSettingIsOffOnlyForOffInAnyCaseAndShutDownStoresIt) {
  struct Case {
    const char* label;
    const char* user;     // null: no value
    const char* machine;  // null: no value
    const char* stored;   // what ShutDown leaves per user
  } cases[] = {
      {"no value anywhere", nullptr, nullptr, "On"},
      {"Off", "Off", nullptr, "Off"},
      {"OFF", "OFF", nullptr, "Off"},
      {"oFf", "oFf", nullptr, "Off"},
      {"On", "On", nullptr, "On"},
      {"empty", "", nullptr, "On"},
      {"Off with a blank", "Off ", nullptr, "On"},
      {"0", "0", nullptr, "On"},
      {"machine-wide off", nullptr, "off", "Off"},
      {"per user wins", "On", "Off", "On"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Halcyn");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Halcyn");
    if (c.user) PutSetting(HKEY_CURRENT_USER, REG_SZ, std::string(c.user) + '\0');
    if (c.machine) PutSetting(HKEY_LOCAL_MACHINE, REG_SZ, std::string(c.machine) + '\0');
    Load({"tarq.dll"});
    ASSERT_TRUE(zelm::host::CloseSnapins(nullptr));
    EXPECT_EQ(UserSetting(), c.stored);
  }
}

TEST_F(SnapinsInHost, ReloadSettingThatIsNoTextOrTooLongLeavesReloadOn) {
  struct Case {
    const char* label;
    DWORD type;
    std::string data;
  } cases[] = {
      {"a number", REG_DWORD, std::string("\0\0\0\0", 4)},
      {"511 characters", REG_SZ, "Off" + std::string(508, ' ') + '\0'},
      {"512 characters", REG_SZ, std::string(509, ' ') + "Off" + '\0'},
      {"4,000 characters", REG_SZ, std::string(4000, 'O') + '\0'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Halcyn");
    PutSetting(HKEY_CURRENT_USER, c.type, c.data);
    PutSetting(HKEY_LOCAL_MACHINE, REG_SZ, std::string("On") + '\0');
    Load({"tarq.dll"});
    ASSERT_TRUE(zelm::host::CloseSnapins(nullptr));
    EXPECT_EQ(UserSetting(), "On");
  }
}

TEST_F(SnapinsInHost, LanguageLibraryInTheNlsFolderSuppliesBitmapsFamilyByFamily) {
  zelm::dir::testing::TempFolder nls;
  ASSERT_TRUE(bindingtest::CopyBuilt("binding_tarqres.dll", bindingtest::FolderPath(nls),
                                     "TARQRES.DLL"));
  hosttest::RegistrySandbox::PutText(HKEY_CURRENT_USER, "NLS Folder", bindingtest::FolderPath(nls));
  HMODULE language = LoadLibraryExA(nls.File("TARQRES.DLL").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(language, nullptr);
  Pixels webMail = ResourcePixels(language, "SMTPClass");
  FreeLibrary(language);

  Load({"tarq.dll"});
  EXPECT_NE(GetModuleHandleA("TARQRES.DLL"), nullptr);
  HMODULE tarq = GetModuleHandleA("tarq.dll");
  HXClassData smtp, pop;
  ASSERT_EQ(HXGetClassData("Quorvel:SMTP Agent", &smtp), 0);
  ASSERT_EQ(HXGetClassData("Quorvel:POP Agent", &pop), 0);
  // SMTP's pictures are the language library's (drawn as WebMail's there).
  EXPECT_EQ(PixelsOf(smtp.bitmaps[0]), webMail);
  EXPECT_EQ(PixelsOf(smtp.bitmaps[0]), ResourcePixels(tarq, "WebMailClass"));
  EXPECT_EQ(PixelsOf(smtp.bitmaps[2]), ResourcePixels(tarq, "WebMailROnly"));
  // The library has POP's alias picture but not its class picture: all
  // three come from tarq itself.
  EXPECT_EQ(PixelsOf(pop.bitmaps[0]), ResourcePixels(tarq, "POPClass"));
  EXPECT_EQ(PixelsOf(pop.bitmaps[1]), ResourcePixels(tarq, "POPAlias"));
  EXPECT_EQ(PixelsOf(pop.bitmaps[2]), ResourcePixels(tarq, "POPROnly"));

  ASSERT_TRUE(zelm::host::CloseSnapins(nullptr));
  EXPECT_EQ(GetModuleHandleA("TARQRES.DLL"), nullptr);
}

#ifdef BINDING_WITH_LOGPAGE
TEST_F(SnapinsInHost, LogpageRegistersItsProcedureForTwoClassesAfterTarqsWithoutClassData) {
  Load({"tarq.dll", "logpage.dll"});
  const std::vector<ClassProc>& procs = ClassProcs();
  ASSERT_EQ(procs.size(), std::size(kTable) + 2);
  const ClassProc& server = procs[std::size(kTable)];
  const ClassProc& services = procs[std::size(kTable) + 1];
  HMODULE logpage = GetModuleHandleA("logpage.dll");
  EXPECT_STREQ(server.reg.className, "HVX Server");
  EXPECT_STREQ(services.reg.className, "Quorvel:Services");
  for (const ClassProc* p : {&server, &services}) {
    EXPECT_EQ(p->reg.module, logpage);
    EXPECT_EQ(p->reg.version, 16842752u);
    EXPECT_EQ(p->reg.selectionMode, 0);
    EXPECT_EQ(p->flags, 0u);
    EXPECT_EQ(p->reg.procedure,
              reinterpret_cast<QZXObjectProc>(
                  reinterpret_cast<void*>(GetProcAddress(logpage, "SyslogObjProc"))));
  }
  // The services container keeps tarq's description and icons.
  EXPECT_EQ(zelm::host::ClassDescription("Quorvel:Services"), "Internet Services");
  HXClassData data;
  EXPECT_EQ(HXGetClassData("HVX Server", &data), -1);
}

TEST_F(SnapinsInHost, LogpageAloneStartsAndStopsWithoutTouchingTheSetting) {
  Load({"logpage.dll"});
  EXPECT_EQ(ClassProcs().size(), 2u);
  ASSERT_TRUE(zelm::host::CloseSnapins(nullptr));
  EXPECT_EQ(UserSetting(), "<no key>");
}
#endif

}  // namespace
