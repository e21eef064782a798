// Error boxes, the plain message dialogs and the snap-in's setting.
#include "frame_fixture.h"

#include "ui_driver.h"

namespace frametest {
namespace {

struct ErrorRow {
  int code;
  const char* text;
};

const ErrorRow kTexts[] = {
    {-601, "No such entry"},
    {-602, "No such value"},
    {-603, "No such attribute"},
    {-604, "No such class"},
    {-606, "Entry already exists"},
    {-608, "Illegal attribute specified"},
    {-613, "Syntax violation"},
    {-614, "Duplicate value specified"},
    {-623, "Syntax invalid in name"},
    {-632, "System failure"},
    {-641, "Invalid request"},
    {-645, "Class already exists"},
    {-649, "Insufficient buffer space"},
    {-657, "Schema sync in progress"},
    {-663, "Directory services locked"},
    {-672, "No access"},
    {-306, "Bad syntax"},
    {-999, "Undefined DS error"},
    {-600, "Undefined DS error"},
    {0, "Undefined DS error"},
    {-2147483647 - 1, "Undefined DS error"},
};

class ErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = nullptr;
  }
  void TearDown() override { g_snapin.resources = nullptr; }
};

TEST_F(ErrorTest, EveryCodeShowsItsTextUnderTheDirectoryErrorCaption) {
  HWND owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  MessageBoxInterceptor boxes;
  for (const ErrorRow& row : kTexts) {
    boxes.Clear();
    EXPECT_STREQ(DSShowError(owner, row.code), row.text) << row.code;
    ASSERT_EQ(boxes.Boxes().size(), 1u) << row.code;
    EXPECT_EQ(boxes.Boxes()[0].caption, "[" + std::to_string(row.code) + "] Directory Error");
    EXPECT_EQ(boxes.Boxes()[0].text, row.text) << row.code;
  }
  EXPECT_EQ(DSErrorStringId(-601), 1);
  EXPECT_EQ(DSErrorStringId(-306), 18);
  EXPECT_EQ(DSErrorStringId(-999), 19);
  DestroyWindow(owner);
}

TEST_F(ErrorTest, TextsComeFromTheResourceModuleAndFallBackWhenItLacksThem) {
  MessageBoxInterceptor boxes;
  // A module with no string table (the request client) as resource module.
  g_snapin.resources = GetModuleHandleA("netcalls32.dll");
  ASSERT_NE(g_snapin.resources, nullptr);
  EXPECT_STREQ(DSShowError(nullptr, -672), "No access");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-672] Directory Error");
  // Loaded strings are really taken from the resource module: the test's
  // own copy answers for its ids.
  g_snapin.resources = GetModuleHandleA(nullptr);
  char text[64];
  ASSERT_GT(LoadStringA(g_snapin.resources, 14, text, sizeof text), 0);
  EXPECT_STREQ(text, "Insufficient buffer space");
}

// The snap-in's own modal dialogs, run by DialogBoxParam as the pages do.
TEST(MessageDialogTest, Button1EndsWith1AndButton2With0) {
  struct Row {
    const char* dialog;
    int button;
    INT_PTR want;
    const char* title;
  } rows[] = {
      {"ServerExists", IDOK, 1, "Server already configured"},
      {"ServerExists", IDCANCEL, 0, "Server already configured"},
      {"ObjectExists", IDOK, 1, "Object Exists"},
      {"ObjectExists", IDCANCEL, 0, "Object Exists"},
  };
  for (const Row& row : rows) {
    DialogAnswerer answer(row.button);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), row.dialog, nullptr, MessageDlgProc, 0), row.want)
        << row.dialog << " " << row.button;
    ASSERT_EQ(answer.seen.size(), 1u);
    EXPECT_EQ(answer.seen[0].title, row.title);
  }
  DialogAnswerer answer(IDOK);
  DialogBoxParamA(GetModuleHandleA(nullptr), "ServerExists", nullptr, MessageDlgProc, 0);
  ASSERT_EQ(answer.seen.size(), 1u);
  EXPECT_EQ(answer.seen[0].text,
            "The selected server is already running Messaging Server. Please check your selection.");
}

using SettingsTest = FrameTest;

const char kKey[] = "Software\\Halcyn\\Tarqsuite\\2.0";

void Store(HKEY hive, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(hive, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void StoreText(HKEY hive, const char* name, const std::string& text) {
  Store(hive, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string Read(const char* name, int size = 512) {
  std::string buffer(static_cast<size_t>(size), 'Z');
  int n = ReadSetting(name, &buffer[0], size);
  std::string text = buffer.c_str();
  EXPECT_EQ(static_cast<size_t>(n), text.size());
  return text;
}

TEST_F(SettingsTest, ReadsPerUserThenMachineWide) {
  EXPECT_EQ(Read(kSettingAutoReload), "");
  StoreText(HKEY_LOCAL_MACHINE, kSettingAutoReload, "Off");
  EXPECT_EQ(Read(kSettingAutoReload), "Off");
  StoreText(HKEY_CURRENT_USER, kSettingAutoReload, "On");
  EXPECT_EQ(Read(kSettingAutoReload), "On");
  // A per-user value that is not text leaves the machine-wide one in force.
  DWORD number = 1;
  Store(HKEY_CURRENT_USER, kSettingAutoReload, REG_DWORD, &number, sizeof number);
  EXPECT_EQ(Read(kSettingAutoReload), "Off");
}

TEST_F(SettingsTest, WritesPerUserOnlyAndDeletesOnNoText) {
  StoreText(HKEY_LOCAL_MACHINE, kSettingAutoReload, "Off");
  WriteSetting(kSettingAutoReload, "On");
  EXPECT_EQ(Read(kSettingAutoReload), "On");
  char stored[16] = {};
  DWORD size = sizeof stored, type = 0;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kKey, kSettingAutoReload, RRF_RT_ANY, &type, stored, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 3u);  // the NUL is stored too
  size = sizeof stored;
  ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kKey, kSettingAutoReload, RRF_RT_ANY, &type, stored, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(stored, "Off");

  WriteSetting(kSettingAutoReload, nullptr);
  EXPECT_EQ(Read(kSettingAutoReload), "Off");
  WriteSetting(kSettingAutoReload, "");
  EXPECT_EQ(Read(kSettingAutoReload), "");
}

TEST_F(SettingsTest, AValueMustFitTheBufferWithItsNul) {
  const std::string fits(511, 'f');
  StoreText(HKEY_CURRENT_USER, "Long", fits);
  EXPECT_EQ(Read("Long"), fits);
  StoreText(HKEY_CURRENT_USER, "Long", fits + "g");
  EXPECT_EQ(Read("Long"), "");
  // Stored without its NUL: 511 bytes still fit, 512 do not.
  Store(HKEY_CURRENT_USER, "Bare", REG_SZ, fits.data(), 511);
  EXPECT_EQ(Read("Bare"), fits);
  std::string more = fits + "g";
  Store(HKEY_CURRENT_USER, "Bare", REG_SZ, more.data(), 512);
  EXPECT_EQ(Read("Bare"), "");
  EXPECT_EQ(ReadSetting("Long", nullptr, 10), 0);
}

}  // namespace
}  // namespace frametest
