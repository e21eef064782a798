// The "Preferences" and "YesNo" dialogs, run modally as the main window runs
// them, against the real registry of a sandbox.
#include "confirm_dialog.h"
#include "main_window_fixture.h"
#include "modal_action.h"
#include "preferences_dialog.h"
#include "zelmsh_ids.h"

namespace {

class PreferencesTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    g_shellPrefs.maxBodySize = 4096;
  }
  // Opens the dialog, runs `action`, and returns the dialog's result.
  INT_PTR Run(std::function<void(HWND)> action) {
    ModalAction act("Preferences", std::move(action));
    INT_PTR r = RunPreferencesDialog(nullptr);
    EXPECT_TRUE(act.Ran());
    return r;
  }
  std::string Stored(const char* name) { return GetText(HKEY_CURRENT_USER, "1.0", name); }
};

TEST_F(PreferencesTest, OpensWithTheStoredTextsAndCancelChangesNothing) {
  PutText(HKEY_LOCAL_MACHINE, "1.0", "Autoconnect", "ON");
  PutText(HKEY_CURRENT_USER, "1.0", "Readonly", "off");
  g_shellPrefs.maxBodySize = 8192;  // nothing stored: the size in use shows
  bool autoconnect = false, readonly = true;
  std::string size;
  std::string before = DumpKey(HKEY_CURRENT_USER, "1.0");
  EXPECT_EQ(0, Run([&](HWND d) {
              autoconnect = IsItemChecked(d, IDC_PREF_AUTOCONNECT);
              readonly = IsItemChecked(d, IDC_PREF_READONLY);
              size = ItemText(d, IDC_PREF_MAXBODY);
              CheckDlgButton(d, IDC_PREF_READONLY, BST_CHECKED);
              SetItemText(d, IDC_PREF_MAXBODY, "77");
              ClickItem(d, IDCANCEL);
            }));
  EXPECT_TRUE(autoconnect);
  EXPECT_FALSE(readonly);
  EXPECT_EQ("8192", size);
  EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, "1.0"));
  EXPECT_EQ("<no key>", DumpKey(HKEY_CURRENT_USER, "1.0\\WindowPositions"));
  EXPECT_FALSE(g_shellPrefs.readonly);
  EXPECT_EQ(8192u, g_shellPrefs.maxBodySize);
}

TEST_F(PreferencesTest, OkStoresTheValuesAndSetsThemInMemory) {
  PutText(HKEY_CURRENT_USER, "1.0", "Max BodySize", "1000");
  std::string size;
  EXPECT_EQ(1, Run([&](HWND d) {
              size = ItemText(d, IDC_PREF_MAXBODY);
              CheckDlgButton(d, IDC_PREF_AUTOCONNECT, BST_CHECKED);
              CheckDlgButton(d, IDC_PREF_READONLY, BST_CHECKED);
              SetItemText(d, IDC_PREF_MAXBODY, "2048");
              ClickItem(d, IDOK);
            }));
  EXPECT_EQ("1000", size);
  EXPECT_EQ("On", Stored("Autoconnect"));
  EXPECT_EQ("On", Stored("Readonly"));
  EXPECT_EQ("2048", Stored("Max BodySize"));
  EXPECT_TRUE(g_shellPrefs.autoconnect);
  EXPECT_TRUE(g_shellPrefs.readonly);
  EXPECT_EQ(2048u, g_shellPrefs.maxBodySize);
  EXPECT_FALSE(GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "Preferences Dialog").empty());

  EXPECT_EQ(1, Run([&](HWND d) {
              CheckDlgButton(d, IDC_PREF_AUTOCONNECT, BST_UNCHECKED);
              ClickItem(d, IDOK);
            }));
  EXPECT_EQ("Off", Stored("Autoconnect"));
  EXPECT_EQ("On", Stored("Readonly"));
}

TEST_F(PreferencesTest, ZeroStaysZeroUntilTheNextStart) {
  EXPECT_EQ(1, Run([](HWND d) {
              SetItemText(d, IDC_PREF_MAXBODY, "0");
              ClickItem(d, IDOK);
            }));
  EXPECT_EQ("0", Stored("Max BodySize"));
  EXPECT_EQ(0u, g_shellPrefs.maxBodySize);
  LoadPreferences();
  EXPECT_EQ(4096u, g_shellPrefs.maxBodySize);
}

TEST_F(PreferencesTest, TextThatIsNoByteCountIsRefusedAndTheDialogStays) {
  std::string box;
  EXPECT_EQ(1, Run([&](HWND d) {
              for (const char* bad : {"12abc", "", "4294967296", "-5"}) {
                SetItemText(d, IDC_PREF_MAXBODY, bad);
                ClickItem(d, IDOK);
                EXPECT_TRUE(IsWindowVisible(d)) << bad;
                EXPECT_EQ(GetDlgItem(d, IDC_PREF_MAXBODY), GetFocus()) << bad;
              }
              SetItemText(d, IDC_PREF_MAXBODY, "4294967295");
              ClickItem(d, IDOK);
            }));
  ASSERT_EQ(4u, boxes.Boxes().size());
  EXPECT_EQ("Preferences", boxes.Boxes()[0].caption);
  EXPECT_EQ("Please enter the maximum body size as a number of bytes from 0 to 4294967295.",
            boxes.Boxes()[0].text);
  boxes.Clear();
  EXPECT_EQ("4294967295", Stored("Max BodySize"));
  EXPECT_EQ(4294967295u, g_shellPrefs.maxBodySize);
}

TEST_F(PreferencesTest, TheFieldHolds127CharactersAndNoMore) {
  std::string full = std::string(123, '0') + "4096";   // 127 characters
  std::string over = std::string(124, '0') + "4096";   // 128: the last one is cut
  EXPECT_EQ(1, Run([&](HWND d) {
              SetItemText(d, IDC_PREF_MAXBODY, full.c_str());
              ClickItem(d, IDOK);
            }));
  EXPECT_EQ(full, Stored("Max BodySize"));
  EXPECT_EQ(4096u, g_shellPrefs.maxBodySize);
  EXPECT_EQ(1, Run([&](HWND d) {
              SetItemText(d, IDC_PREF_MAXBODY, over.c_str());
              ClickItem(d, IDOK);
            }));
  EXPECT_EQ(over.substr(0, 127), Stored("Max BodySize"));
  EXPECT_EQ(409u, g_shellPrefs.maxBodySize);
}

TEST_F(PreferencesTest, TheMainWindowOpensItAndDoesNotRenderAgain) {
  Start();
  EXPECT_EQ(0, boxes.Boxes().size());
  bool ran = false;
  {
    ModalAction act("Preferences", [&](HWND d) {
      ran = true;
      EXPECT_EQ(window, GetWindow(d, GW_OWNER));
      SetItemText(d, IDC_PREF_MAXBODY, "100");
      ClickItem(d, IDOK);
    });
    Command(IDM_PREFERENCES);
  }
  EXPECT_TRUE(ran);
  EXPECT_EQ(100u, g_shellPrefs.maxBodySize);
  EXPECT_EQ(4096u, m->inputs.maxBodySize);  // taken at the next rendering
}

TEST(YesNoTest, YesIsOneAndEverythingElseIsZero) {
  struct Case {
    const char* label;
    int command;  // 0: Return pressed where the focus is
    INT_PTR expected;
  } cases[] = {{"yes", IDYES, 1}, {"no", IDNO, 0}, {"escape", IDCANCEL, 0}, {"return", 0, 0}};
  for (const Case& c : cases) {
    std::string text;
    ModalAction act("Confirm", [&](HWND d) {
      text = ItemText(d, IDC_YESNO_TEXT);
      if (c.command == 0) {
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(GetFocus(), WM_KEYUP, VK_RETURN, 0xC0000001);
      } else if (c.command == IDCANCEL) {
        SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
      } else {
        ClickItem(d, c.command);
      }
    });
    EXPECT_EQ(c.expected, AskYesNo(nullptr, "Delete it?")) << c.label;
    EXPECT_TRUE(act.Ran()) << c.label;
    EXPECT_EQ("Delete it?", text) << c.label;
  }
}

}  // namespace
