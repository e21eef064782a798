// Settings against the real registry of the Wine prefix: defaults, the
// machine-wide fallback, buffer limits and window placements.
#include <gtest/gtest.h>

#include <string>

#include "registry_sandbox.h"
#include "settings.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.Ok());
    memset(&g_shellPrefs, 0x5A, sizeof g_shellPrefs);  // nothing may survive loading
  }
  RegistrySandbox sandbox;
};

std::string Read(const char* subkey, const char* name, int capacity, int* length = nullptr) {
  std::string buf(static_cast<size_t>(capacity) + 8, '#');
  int n = ReadShellSetting(subkey, name, &buf[0], capacity);
  if (length) *length = n;
  // Nothing may be written past the capacity.
  EXPECT_EQ(std::string(8, '#'), buf.substr(static_cast<size_t>(capacity)));
  return buf.c_str();
}

TEST_F(SettingsTest, NoKeyAtAllLoadsEveryDefault) {
  LoadPreferences();
  EXPECT_EQ(0ul, g_shellPrefs.viewFlags);
  EXPECT_FALSE(g_shellPrefs.autoconnect);
  EXPECT_FALSE(g_shellPrefs.readonly);
  EXPECT_EQ(4096ul, g_shellPrefs.maxBodySize);
  EXPECT_EQ(50, g_shellPrefs.treeSplitPercent);
  EXPECT_EQ(50, g_shellPrefs.detailsSplitPercent);
  EXPECT_EQ(50, g_shellPrefs.rememberedDetailsSplit);
  EXPECT_STREQ("", g_shellPrefs.lastConnected);

  WindowPosition p;
  EXPECT_EQ(0, LoadWindowPosition(kPositionMainWindow, &p));
  EXPECT_EQ(kUseDefaultPosition, p.left);
  EXPECT_EQ(kUseDefaultPosition, p.top);
  EXPECT_EQ(kUseDefaultPosition, p.width);
  EXPECT_EQ(kUseDefaultPosition, p.height);
  EXPECT_EQ(0ul, p.state);
}

TEST_F(SettingsTest, MachineWideValuesApplyWhereThePerUserHiveHasNone) {
  PutText(HKEY_LOCAL_MACHINE, "1.0", "Readonly", "ON");
  PutText(HKEY_LOCAL_MACHINE, "1.0", "Autoconnect", "On");
  PutText(HKEY_LOCAL_MACHINE, "1.0", "Max BodySize", "9000");
  PutText(HKEY_LOCAL_MACHINE, "1.0\\ZELM MRU", "ZELM Select MRU 0", "preset.example");
  // The per-user key exists and wins for the values it has.
  PutText(HKEY_CURRENT_USER, "1.0", "Autoconnect", "Off");
  // A per-user value that is not text counts as missing.
  DWORD number = 12345;
  PutRaw(HKEY_CURRENT_USER, "1.0", "Max BodySize", REG_DWORD, &number, sizeof number);

  LoadPreferences();
  EXPECT_TRUE(g_shellPrefs.readonly);
  EXPECT_FALSE(g_shellPrefs.autoconnect);
  EXPECT_EQ(9000ul, g_shellPrefs.maxBodySize);
  EXPECT_EQ("preset.example", Read("1.0\\ZELM MRU", "ZELM Select MRU 0", 256));
}

TEST_F(SettingsTest, ZeroAndDamagedPreferencesFallBackToDefaults) {
  struct Row {
    const char* name;
    const char* stored;
    unsigned long maxBody;
    int treeSplit, detailsSplit;
    unsigned long viewFlags;
  };
  const Row rows[] = {
      {"zeros", "0", 4096, 50, 50, 0},
      {"words", "abc", 4096, 50, 50, 0},
      {"negative", "-20", 4096, 50, 50, 0},
      {"leading blanks", "  6000", 6000, 100, 90, 0},
      {"trailing text", "5 bytes", 5, 5, 10, 5},
      {"huge", "99999999999999999999", 0xFFFFFFFFul, 100, 90, 7},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    for (const char* name : {"Max BodySize", "TreeSplit Percent", "DetailsSplit Percent",
                             "View Flags"})
      PutText(HKEY_CURRENT_USER, "1.0", name, r.stored);
    LoadPreferences();
    EXPECT_EQ(r.maxBody, g_shellPrefs.maxBodySize);
    EXPECT_EQ(r.treeSplit, g_shellPrefs.treeSplitPercent);
    EXPECT_EQ(r.detailsSplit, g_shellPrefs.detailsSplitPercent);
    EXPECT_EQ(r.detailsSplit, g_shellPrefs.rememberedDetailsSplit);
    EXPECT_EQ(r.viewFlags, g_shellPrefs.viewFlags);
  }
}

TEST_F(SettingsTest, OnOffAndViewFlagsAsStored) {
  struct Row {
    const char* stored;
    bool on;
  };
  for (const Row& r : {Row{"on", true}, Row{"oN", true}, Row{"Off", false}, Row{"yes", false},
                       Row{"on ", false}, Row{"", false}}) {
    SCOPED_TRACE(r.stored);
    PutText(HKEY_CURRENT_USER, "1.0", "Readonly", r.stored);
    LoadPreferences();
    EXPECT_EQ(r.on, g_shellPrefs.readonly);
  }
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "6");
  PutText(HKEY_CURRENT_USER, "1.0", "Last Connected", "mail.example.net");
  LoadPreferences();
  EXPECT_EQ(6ul, g_shellPrefs.viewFlags);
  EXPECT_STREQ("mail.example.net", g_shellPrefs.lastConnected);
}

TEST_F(SettingsTest, ValuesAtAndPastTheReadCapacity) {
  for (int capacity : {128, 256}) {
    SCOPED_TRACE(capacity);
    std::string fits(static_cast<size_t>(capacity) - 1, 'a');
    std::string tooLong(static_cast<size_t>(capacity), 'b');
    PutText(HKEY_CURRENT_USER, "1.0", "fits", fits);
    PutText(HKEY_CURRENT_USER, "1.0", "too long", tooLong);
    int n = -1;
    EXPECT_EQ(fits, Read("1.0", "fits", capacity, &n));
    EXPECT_EQ(capacity - 1, n);
    EXPECT_EQ("", Read("1.0", "too long", capacity, &n));
    EXPECT_EQ(capacity - 1, n);

    // Stored without a NUL: capacity - 1 bytes still fit, capacity bytes do not.
    PutRaw(HKEY_CURRENT_USER, "1.0", "bare fits", REG_SZ, fits.data(),
           static_cast<DWORD>(fits.size()));
    PutRaw(HKEY_CURRENT_USER, "1.0", "bare too long", REG_SZ, tooLong.data(),
           static_cast<DWORD>(tooLong.size()));
    EXPECT_EQ(fits, Read("1.0", "bare fits", capacity, &n));
    EXPECT_EQ(capacity - 1, n);
    EXPECT_EQ("", Read("1.0", "bare too long", capacity, &n));
  }
  // A too-long preference is absent: its default applies.
  PutText(HKEY_CURRENT_USER, "1.0", "Max BodySize", std::string(127, ' ') + "7");
  LoadPreferences();
  EXPECT_EQ(4096ul, g_shellPrefs.maxBodySize);
  PutText(HKEY_CURRENT_USER, "1.0", "Last Connected", std::string(256, 'h'));
  LoadPreferences();
  EXPECT_STREQ("", g_shellPrefs.lastConnected);
}

TEST_F(SettingsTest, WritesGoToThePerUserHiveOnlyAsTextWithItsNul) {
  PutText(HKEY_LOCAL_MACHINE, "1.0", "Readonly", "On");
  WriteShellSetting(kSettingsMain, kValueReadonly, "Off");
  WriteShellNumber(kSettingsMain, kValueTreeSplit, 37);
  StoredValue v = GetStored(HKEY_CURRENT_USER, "1.0", "Readonly");
  EXPECT_TRUE(v.present);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), v.type);
  EXPECT_EQ(std::string("Off\0", 4), v.bytes);
  EXPECT_EQ("37", GetText(HKEY_CURRENT_USER, "1.0", "TreeSplit Percent"));
  EXPECT_EQ("On", GetText(HKEY_LOCAL_MACHINE, "1.0", "Readonly"));

  // No text deletes the per-user value, and the machine-wide one shows again.
  WriteShellSetting(kSettingsMain, kValueReadonly, nullptr);
  EXPECT_FALSE(GetStored(HKEY_CURRENT_USER, "1.0", "Readonly").present);
  EXPECT_EQ("On", Read("1.0", "Readonly", 128));
}

TEST(WindowPositionText, ParsesWhatItCanAndKeepsOnlyPlacementBits) {
  const int D = kUseDefaultPosition;
  struct Row {
    const char* text;
    int fields;
    int left, top, width, height;
    unsigned long state;
  };
  const Row rows[] = {
      {"10,20,300,200,0", 5, 10, 20, 300, 200, 0},
      {"-5,-6,300,200,16777216", 5, -5, -6, 300, 200, kPlacementMaximized},
      {"1,2,3,4,536870912", 5, 1, 2, 3, 4, kPlacementMinimized},
      {"10,20", 2, 10, 20, D, D, 0},
      {"", 0, D, D, D, D, 0},
      {"garbage", 0, D, D, D, D, 0},
      {"1;2;3;4;0", 1, 1, D, D, D, 0},
      {"1,2,3,4,1073741824", 5, 1, 2, 3, 4, 0},                   // child style bit
      {"1,2,3,4,553648128", 5, 1, 2, 3, 4, kPlacementMinimized},  // both bits
      {"1,2,3,4,285212672", 5, 1, 2, 3, 4, kPlacementMaximized},  // visible + maximized
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    WindowPosition p;
    EXPECT_EQ(r.fields, ParseWindowPosition(r.text, &p));
    EXPECT_EQ(r.left, p.left);
    EXPECT_EQ(r.top, p.top);
    EXPECT_EQ(r.width, p.width);
    EXPECT_EQ(r.height, p.height);
    EXPECT_EQ(r.state, p.state);
  }
}

class WindowPositionTest : public SettingsTest {
 protected:
  HWND MakeWindow(DWORD extraStyle, int x, int y, int w, int h) {
    HWND wnd = CreateWindowExA(0, "STATIC", "placement", WS_OVERLAPPEDWINDOW | extraStyle, x, y,
                               w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(nullptr, wnd);
    windows_.push_back(wnd);
    return wnd;
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
  }
  std::vector<HWND> windows_;
};

TEST_F(WindowPositionTest, NormalMaximizedAndMinimizedWindowsStoreTheirRestoredRectangle) {
  HWND normal = MakeWindow(0, 40, 50, 320, 240);
  ShowWindow(normal, SW_SHOWNORMAL);
  SaveWindowPosition(normal, kPositionMainWindow);
  EXPECT_EQ("40,50,320,240,0", GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions",
                                       "ZELM Shell Main Window"));

  HWND maximized = MakeWindow(0, 60, 70, 300, 200);
  ShowWindow(maximized, SW_SHOWMAXIMIZED);
  ASSERT_TRUE(IsZoomed(maximized));
  SaveWindowPosition(maximized, kPositionMainWindow);
  EXPECT_EQ("60,70,300,200,16777216", GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions",
                                               "ZELM Shell Main Window"));

  HWND minimized = MakeWindow(0, 80, 90, 310, 210);
  ShowWindow(minimized, SW_SHOWMINIMIZED);
  ASSERT_TRUE(IsIconic(minimized));
  SaveWindowPosition(minimized, kPositionPreferences);
  EXPECT_EQ("80,90,310,210,536870912",
            GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Preferences Dialog"));

  // A window that is gone stores nothing.
  HWND gone = MakeWindow(0, 1, 1, 100, 100);
  DestroyWindow(gone);
  SaveWindowPosition(gone, kPositionRepairType);
  EXPECT_FALSE(GetStored(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Repair Type Dialog").present);
}

TEST_F(WindowPositionTest, AMaximizedWindowComesBackMaximizedAtItsRestoredSize) {
  HWND before = MakeWindow(0, 60, 70, 300, 200);
  ShowWindow(before, SW_SHOWMAXIMIZED);
  SaveWindowPosition(before, kPositionMainWindow);

  WindowPosition p;
  ASSERT_EQ(1, LoadWindowPosition(kPositionMainWindow, &p));
  EXPECT_EQ(kPlacementMaximized, p.state);
  // The way the main window is created: the state word added to its style.
  HWND after = MakeWindow(WS_VISIBLE | static_cast<DWORD>(p.state), p.left, p.top, p.width,
                          p.height);
  EXPECT_TRUE(IsZoomed(after));
  WINDOWPLACEMENT wp;
  wp.length = sizeof wp;
  ASSERT_TRUE(GetWindowPlacement(after, &wp));
  EXPECT_EQ(60, wp.rcNormalPosition.left);
  EXPECT_EQ(70, wp.rcNormalPosition.top);
  EXPECT_EQ(300, wp.rcNormalPosition.right - wp.rcNormalPosition.left);
  EXPECT_EQ(200, wp.rcNormalPosition.bottom - wp.rcNormalPosition.top);
}

TEST_F(WindowPositionTest, DamagedOrOverlongStoredPositions) {
  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "ZELM Select Dialog", "12,x");
  WindowPosition p;
  EXPECT_EQ(1, LoadWindowPosition(kPositionSelectDialog, &p));
  EXPECT_EQ(12, p.left);
  EXPECT_EQ(kUseDefaultPosition, p.top);
  EXPECT_EQ(kUseDefaultPosition, p.width);
  EXPECT_EQ(0ul, p.state);

  // 256 characters do not fit the read: the position counts as absent.
  std::string longText = "1,2,3,4,0" + std::string(247, ' ');
  ASSERT_EQ(256u, longText.size());
  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Preferences Dialog", longText);
  EXPECT_EQ(0, LoadWindowPosition(kPositionPreferences, &p));
  EXPECT_EQ(kUseDefaultPosition, p.left);
  longText.pop_back();
  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Preferences Dialog", longText);
  EXPECT_EQ(1, LoadWindowPosition(kPositionPreferences, &p));
  EXPECT_EQ(4, p.height);
}

TEST_F(WindowPositionTest, ADialogMovesOnlyToAStoredLeftEdge) {
  HWND w = MakeWindow(0, 10, 10, 200, 100);
  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Repair Type Dialog", "150,120,999,999,0");
  MoveToStoredPosition(w, kPositionRepairType);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(150, r.left);
  EXPECT_EQ(120, r.top);
  EXPECT_EQ(200, r.right - r.left);  // the template's size stays

  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Repair Type Dialog",
          "-2147483648,5,5,5,0");
  MoveToStoredPosition(w, kPositionRepairType);
  GetWindowRect(w, &r);
  EXPECT_EQ(150, r.left);
}

// Monitors as a machine might have them: a wide one, one to its right, one
// to its left (work areas).
const RECT kMain = {0, 0, 1920, 1040}, kRight = {1920, 0, 3200, 1024}, kLeft = {-1280, 0, 0, 1024};

TEST(StoredPositionOnScreen, RectanglesGoOntoTheMonitorTheyOverlapMostOrTheNearest) {
  const RECT three[] = {kMain, kRight, kLeft};
  const RECT mainOnly[] = {kMain};
  const int big = 2147483000;
  struct Row {
    const char* name;
    int left, top, width, height;
    const RECT* monitors;
    int count;
    RECT want;
  } rows[] = {
      {"inside stays", 100, 100, 800, 600, three, 3, {100, 100, 900, 700}},
      {"on the left monitor stays", -1000, 50, 800, 600, three, 3, {-1000, 50, -200, 650}},
      {"that monitor gone", -1000, 50, 800, 600, mainOnly, 1, {0, 50, 800, 650}},
      {"far right goes to the nearest", 10000, 100, 800, 600, three, 3, {2400, 100, 3200, 700}},
      {"mostly on the right one", 1800, 100, 800, 600, three, 3, {1920, 100, 2720, 700}},
      {"hanging off the bottom", 100, 900, 800, 600, three, 3, {100, 440, 900, 1040}},
      {"above the top", 100, -500, 800, 600, three, 3, {100, 0, 900, 600}},
      {"larger than the monitor", -10, -10, 5000, 3000, mainOnly, 1, {0, 0, 1920, 1040}},
      {"far negative", -big, -big, 100, 100, three, 3, {-1280, 0, -1180, 100}},
      {"past 32 bits with its size", big, 0, 2000, 100, three, 3, {1920, 0, 3200, 100}},
      {"no monitor known", -5000, -5000, 10, 10, nullptr, 0, {-5000, -5000, -4990, -4990}},
  };
  for (const Row& r : rows) {
    RECT got = FitOntoMonitors(r.left, r.top, r.width, r.height, r.monitors, r.count);
    EXPECT_EQ(r.want.left, got.left) << r.name;
    EXPECT_EQ(r.want.top, got.top) << r.name;
    EXPECT_EQ(r.want.right, got.right) << r.name;
    EXPECT_EQ(r.want.bottom, got.bottom) << r.name;
  }
}

TEST(StoredPositionOnScreen, ADamagedMainWindowPositionTakesTheSystemsDefault) {
  const RECT one[] = {kMain};
  const int D = kUseDefaultPosition;
  struct Row {
    const char* text;
    int left, top, width, height;
  } rows[] = {
      {"12,x", D, D, D, D},
      {"10,20,0,300,0", D, D, D, D},
      {"10,20,300,-5,16777216", D, D, D, D},
      {"-2147483648,5,5,5,0", D, D, D, D},
      {"-30000,-30000,400,300,16777216", 0, 0, 400, 300},
      {"10,20,600,400,0", 10, 20, 600, 400},
  };
  for (const Row& r : rows) {
    WindowPosition stored;
    ParseWindowPosition(r.text, &stored);
    WindowPosition p = PlaceOnMonitors(stored, one, 1);
    EXPECT_EQ(r.left, p.left) << r.text;
    EXPECT_EQ(r.top, p.top) << r.text;
    EXPECT_EQ(r.width, p.width) << r.text;
    EXPECT_EQ(r.height, p.height) << r.text;
    EXPECT_EQ(stored.state, p.state) << r.text;
  }
}

// With the monitors of this machine: a dialog stored where no monitor is
// comes back on one.
TEST_F(WindowPositionTest, ADialogStoredOffEveryMonitorComesBackOnOne) {
  RECT areas[kMaxMonitors];
  int count = MonitorWorkAreas(areas, kMaxMonitors);
  ASSERT_GT(count, 0);
  HWND w = MakeWindow(0, 10, 10, 200, 100);
  for (const char* text : {"-30000,-30000,200,100,0", "40000,12,0,0,0", "12,x"}) {
    PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Repair Type Dialog", text);
    MoveToStoredPosition(w, kPositionRepairType);
    RECT r;
    GetWindowRect(w, &r);
    bool inside = false;
    for (int i = 0; i < count; ++i)
      inside = inside || (r.left >= areas[i].left && r.top >= areas[i].top &&
                          r.right <= areas[i].right && r.bottom <= areas[i].bottom);
    EXPECT_TRUE(inside) << text << ": " << r.left << "," << r.top;
    EXPECT_EQ(200, r.right - r.left) << text;
  }
}

}  // namespace
