// hostext32.dll as the snap-ins see it (functions looked up by name) and as
// the host program sees it (ordinals): exports, registration, class data,
// the selection list and the language folders.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "hostext_internal.h"

namespace {

const char* const kApiNames[] = {
    "QZXRegisterObjectProc", "QZXRegisterObjectProcEx", "QZXAddClassData", "QZXRemoveClassData",
    "QZXLaunchDSFlatBrowser", "QZXLaunchFSFlatBrowser", "QZXCreateMved", "QZXGetMvedCount",
    "QZXGetMvedValue", "QZXGetSelObjectCount", "QZXGetSelObject", "QZXGetNLSFilePath"};

HMODULE Host() { return GetModuleHandleA("hostext32.dll"); }

template <class F>
F ByName(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Host(), name)));
}

int32_t QZXAPI ProcA(const char*, uint32_t, intptr_t, intptr_t) { return 0; }
int32_t QZXAPI ProcB(const char*, uint32_t, intptr_t, intptr_t) { return 0; }

// The names in the library's export directory, read from the loaded image.
std::vector<std::string> ExportedNames(HMODULE m) {
  auto base = reinterpret_cast<const unsigned char*>(m);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> out;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    out.push_back(reinterpret_cast<const char*>(base + names[i]));
  return out;
}

class HostExt : public ::testing::Test {
 protected:
  // Registrations are the library's, process-wide: each test makes its own
  // under a snap-in number of its own and drops them again.
  void SetUp() override {
    snapin_ = 1000 + ++serial_;
    HXSetSnapin(snapin_);
  }
  void TearDown() override {
    HXSetSnapin(-1);
    HXForgetSnapin(snapin_);
    HXSetSelection(0, nullptr, nullptr);
  }
  std::vector<HXRegistration> Mine() const {
    std::vector<HXRegistration> out;
    for (int32_t i = 0; i < HXRegistrationCount(); ++i) {
      HXRegistration r;
      if (HXGetRegistration(i, &r) == 0 && r.snapin == snapin_) out.push_back(r);
    }
    return out;
  }
  int32_t snapin_ = 0;
  static int serial_;
};
int HostExt::serial_ = 0;

TEST_F(HostExt, ExportsExactlyTheTwelveNames) {
  ASSERT_NE(Host(), nullptr);
  std::vector<std::string> names = ExportedNames(Host());
  std::vector<std::string> expected(std::begin(kApiNames), std::end(kApiNames));
  std::sort(expected.begin(), expected.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, expected);
  for (const char* name : kApiNames) EXPECT_NE(GetProcAddress(Host(), name), nullptr) << name;
  // The host program's own entries are there by number only.
  EXPECT_EQ(GetProcAddress(Host(), "HXSetSnapin"), nullptr);
  EXPECT_NE(GetProcAddress(Host(), MAKEINTRESOURCEA(101)), nullptr);
  EXPECT_NE(GetProcAddress(Host(), MAKEINTRESOURCEA(108)), nullptr);
}

TEST_F(HostExt, RegistrationsKeepTheirArgumentsAndOrder) {
  auto reg = ByName<decltype(&QZXRegisterObjectProc)>("QZXRegisterObjectProc");
  auto regEx = ByName<decltype(&QZXRegisterObjectProcEx)>("QZXRegisterObjectProcEx");
  HINSTANCE module = GetModuleHandleA(nullptr);
  EXPECT_EQ(reg("DS", "User", "Test users", module, ProcA, QZX_INTERFACE_VERSION), 0);
  EXPECT_EQ(regEx("DS", "User", "Test users, several", module, ProcB, QZX_INTERFACE_VERSION,
                  QZX_SELECT_MULTIPLE), 0);
  EXPECT_EQ(reg("DS", "Organization", "Test containers", module, ProcA, 16842752), 0);
  // Registering the same procedure for the same class again changes nothing.
  EXPECT_EQ(reg("DS", "user", "again", module, ProcA, QZX_INTERFACE_VERSION), 0);

  std::vector<HXRegistration> mine = Mine();
  ASSERT_EQ(mine.size(), 3u);
  EXPECT_STREQ(mine[0].className, "User");
  EXPECT_STREQ(mine[0].identification, "Test users");
  EXPECT_STREQ(mine[0].category, "DS");
  EXPECT_EQ(mine[0].selectionMode, QZX_SELECT_SINGLE);
  EXPECT_EQ(mine[0].procedure, ProcA);
  EXPECT_EQ(mine[0].module, module);
  EXPECT_EQ(mine[0].version, 0x01010000u);
  EXPECT_EQ(mine[1].selectionMode, QZX_SELECT_MULTIPLE);
  EXPECT_EQ(mine[1].procedure, ProcB);
  EXPECT_STREQ(mine[2].className, "Organization");
}

TEST_F(HostExt, BadRegistrationsAreRefused) {
  auto reg = ByName<decltype(&QZXRegisterObjectProc)>("QZXRegisterObjectProc");
  std::string longest(QZX_CLASS_NAME_BYTES - 1, 'c');
  std::string tooLong(QZX_CLASS_NAME_BYTES, 'c');
  EXPECT_EQ(reg("DS", nullptr, "x", nullptr, ProcA, 0), -1);
  EXPECT_EQ(reg("DS", "", "x", nullptr, ProcA, 0), -1);
  EXPECT_EQ(reg("DS", "User", "x", nullptr, nullptr, 0), -1);
  EXPECT_EQ(reg(nullptr, "User", "x", nullptr, ProcA, 0), -1);
  EXPECT_EQ(reg("DS", tooLong.c_str(), "x", nullptr, ProcA, 0), -1);
  EXPECT_EQ(reg("DS", longest.c_str(), nullptr, nullptr, ProcA, 0), 0);
  // An identification longer than the host keeps is cut, not refused.
  std::string wordy(400, 'w');
  EXPECT_EQ(reg("DS", "User", wordy.c_str(), nullptr, ProcB, 0), 0);
  std::vector<HXRegistration> mine = Mine();
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(std::string(mine[0].className), longest);
  EXPECT_STREQ(mine[0].identification, "");
  EXPECT_EQ(std::string(mine[1].identification), std::string(HX_IDENT_BYTES - 1, 'w'));
}

TEST_F(HostExt, ForgettingASnapinDropsOnlyItsRegistrations) {
  auto reg = ByName<decltype(&QZXRegisterObjectProc)>("QZXRegisterObjectProc");
  auto add = ByName<decltype(&QZXAddClassData)>("QZXAddClassData");
  int32_t other = snapin_ + 500;
  reg("DS", "User", "mine", nullptr, ProcA, 0);
  add("Test Forget Mine", "mine", nullptr, nullptr, nullptr);
  HXSetSnapin(other);
  reg("DS", "User", "other", nullptr, ProcB, 0);
  add("Test Forget Other", "other", nullptr, nullptr, nullptr);
  HXSetSnapin(snapin_);

  HXForgetSnapin(other);
  HXClassData data;
  EXPECT_EQ(HXGetClassData("Test Forget Other", &data), -1);
  EXPECT_EQ(HXGetClassData("Test Forget Mine", &data), 0);
  ASSERT_EQ(Mine().size(), 1u);
  EXPECT_STREQ(Mine()[0].identification, "mine");
  HXForgetSnapin(snapin_);
  EXPECT_EQ(HXGetClassData("Test Forget Mine", &data), -1);
}

HBITMAP Square(COLORREF colour, int size) {
  HDC screen = GetDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(screen, size, size);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, b);
  RECT rc = {0, 0, size, size};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rc, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return b;
}

COLORREF PixelOf(HBITMAP b) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  COLORREF c = GetPixel(dc, 1, 1);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

TEST_F(HostExt, ClassDataIsCopiedAndStaysTheSnapinsToFree) {
  auto add = ByName<decltype(&QZXAddClassData)>("QZXAddClassData");
  auto remove = ByName<decltype(&QZXRemoveClassData)>("QZXRemoveClassData");
  HBITMAP mine[3] = {Square(RGB(255, 0, 0), 16), nullptr, Square(RGB(0, 0, 255), 24)};
  ASSERT_EQ(add("Test Class", "Test description", mine[0], mine[1], mine[2]), 0);

  HXClassData data;
  ASSERT_EQ(HXGetClassData("test class", &data), 0);
  EXPECT_STREQ(data.className, "Test Class");
  EXPECT_STREQ(data.description, "Test description");
  ASSERT_NE(data.bitmaps[0], nullptr);
  EXPECT_NE(data.bitmaps[0], mine[0]);
  EXPECT_EQ(data.bitmaps[1], nullptr);
  // The snap-in may delete its own bitmaps: the host's copies live on.
  DeleteObject(mine[0]);
  EXPECT_EQ(PixelOf(data.bitmaps[0]), RGB(255, 0, 0));
  BITMAP info;
  ASSERT_EQ(GetObjectA(data.bitmaps[2], sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 24);

  // Adding again replaces the data.
  ASSERT_EQ(add("Test Class", "Other", nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(HXGetClassData("Test Class", &data), 0);
  EXPECT_STREQ(data.description, "Other");
  EXPECT_EQ(data.bitmaps[0], nullptr);

  HBITMAP handles[3] = {mine[2], nullptr, mine[2]};
  EXPECT_EQ(remove("Test Class", &handles[0], &handles[1], &handles[2]), 0);
  EXPECT_EQ(handles[0], mine[2]);  // left for the snap-in to delete
  EXPECT_EQ(HXGetClassData("Test Class", &data), -1);
  EXPECT_EQ(remove("Test Class", &handles[0], &handles[1], &handles[2]), -1);
  EXPECT_EQ(add(nullptr, "x", nullptr, nullptr, nullptr), -1);
  DeleteObject(mine[2]);
}

TEST_F(HostExt, SelectionRecordsCarryTheNameAtOffset132) {
  auto count = ByName<decltype(&QZXGetSelObjectCount)>("QZXGetSelObjectCount");
  auto get = ByName<decltype(&QZXGetSelObject)>("QZXGetSelObject");
  std::string fits(QZX_NAME_BYTES - 1, 'n');  // 515 characters: the snap-ins' browse buffer
  std::string over(QZX_NAME_BYTES, 'o');
  const char* names[] = {"Joe.Sales.Acme", fits.c_str(), over.c_str()};
  const char* classes[] = {"User", "User", nullptr};
  HXSetSelection(3, names, classes);

  int32_t n = -1;
  ASSERT_EQ(count(&n), 0);
  EXPECT_EQ(n, 3);
  unsigned char record[sizeof(QZXObjectRecord)];
  memset(record, 0xCC, sizeof record);
  ASSERT_EQ(get(0, reinterpret_cast<QZXObjectRecord*>(record)), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(record + 132), "Joe.Sales.Acme");
  EXPECT_STREQ(reinterpret_cast<const char*>(record), "User");
  ASSERT_EQ(get(1, reinterpret_cast<QZXObjectRecord*>(record)), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 132)), fits);
  ASSERT_EQ(get(2, reinterpret_cast<QZXObjectRecord*>(record)), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 132)), over.substr(0, QZX_NAME_BYTES - 1));
  EXPECT_EQ(record[0], 0);  // no class: empty, not left over

  EXPECT_EQ(get(3, reinterpret_cast<QZXObjectRecord*>(record)), -1);
  EXPECT_EQ(get(-1, reinterpret_cast<QZXObjectRecord*>(record)), -1);
  EXPECT_EQ(get(0, nullptr), -1);
  EXPECT_EQ(count(nullptr), -1);
  HXSetSelection(0, nullptr, nullptr);
  count(&n);
  EXPECT_EQ(n, 0);
}

class HostNls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Ok());
    base_ = hosttest::SuiteFolder().File("nls" + std::to_string(GetTickCount()) + "-" +
                                         std::to_string(++serial_));
    CreateDirectoryA(base_.c_str(), nullptr);
    CreateDirectoryA((base_ + "\\german").c_str(), nullptr);
  }
  void Touch(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  std::string Ask(const char* file) {
    char dir[QZX_PATH_BYTES];
    memset(dir, 'x', sizeof dir);
    auto nls = ByName<decltype(&QZXGetNLSFilePath)>("QZXGetNLSFilePath");
    EXPECT_EQ(nls(file, dir), 0);
    return dir;
  }
  hosttest::RegistrySandbox sandbox_;
  std::string base_;
  static int serial_;
};
int HostNls::serial_ = 0;

TEST_F(HostNls, LanguageFolderFirstThenTheBaseThenNothing) {
  hosttest::RegistrySandbox::PutText(HKEY_CURRENT_USER, "NLS Folder", base_);
  hosttest::RegistrySandbox::PutText(HKEY_CURRENT_USER, "Language", "german");
  Touch(base_ + "\\TARQRES.DLL");
  Touch(base_ + "\\german\\TARQRES.DLL");
  Touch(base_ + "\\tarq.hlp");
  EXPECT_EQ(Ask("TARQRES.DLL"), base_ + "\\german");
  EXPECT_EQ(Ask("tarqres.dll"), base_ + "\\german");
  EXPECT_EQ(Ask("tarq.hlp"), base_);
  EXPECT_EQ(Ask("LOGPGRES.DLL"), "");
}

TEST_F(HostNls, MachineSettingsServeWhenTheUserHasNone) {
  hosttest::RegistrySandbox::PutText(HKEY_LOCAL_MACHINE, "NLS Folder", base_);
  hosttest::RegistrySandbox::PutText(HKEY_LOCAL_MACHINE, "Language", "german");
  Touch(base_ + "\\german\\LOGPGRES.DLL");
  EXPECT_EQ(Ask("LOGPGRES.DLL"), base_ + "\\german");
}

TEST_F(HostNls, NamesThatReachOutsideFindNothing) {
  hosttest::RegistrySandbox::PutText(HKEY_CURRENT_USER, "NLS Folder", base_ + "\\german");
  // A language that names another folder is not followed either.
  hosttest::RegistrySandbox::PutText(HKEY_CURRENT_USER, "Language", "..");
  Touch(base_ + "\\secret.txt");
  Touch(base_ + "\\german\\ok.txt");
  EXPECT_EQ(Ask("..\\secret.txt"), "");
  EXPECT_EQ(Ask("german\\ok.txt"), "");
  EXPECT_EQ(Ask(""), "");
  EXPECT_EQ(Ask(nullptr), "");
  EXPECT_EQ(Ask("ok.txt"), base_ + "\\german");
  auto nls = ByName<decltype(&QZXGetNLSFilePath)>("QZXGetNLSFilePath");
  EXPECT_EQ(nls("ok.txt", nullptr), -1);
}

TEST_F(HostNls, WithoutSettingsTheFolderBesideTheLibrary) {
  // The build has no "nls" folder beside hostext32.dll.
  EXPECT_EQ(Ask("TARQRES.DLL"), "");
}

}  // namespace
