// "Save log...", "Find..." and "About..." on the real main window, against
// scripted stores and real files.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "modal_action.h"
#include "shell_commands.h"
#include "store_scripts.h"
#include "zelmsh_ids.h"

using Lines = std::vector<std::string>;

namespace {

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const char kInboxLog[] =
    "Mailbox information\r\n"
    "-------------------\r\n"
    "    Number of messages: 3\r\n"
    "    Total size of mailbox:      2 KB\r\n"
    "    Number of new messages:     1\r\n"
    "    Size of new messages:       0 KB\r\n"
    "    New messages use 29 % of the mailbox size\r\n";

class CommandsTest : public InboxTest {
 protected:
  void TearDown() override {
    for (const std::string& f : files) DeleteFileA(f.c_str());
    InboxTest::TearDown();
  }
  std::string NewFile(const char* name) {
    files.push_back(TempPath(name));
    DeleteFileA(files.back().c_str());
    return files.back();
  }
  // WM_COMMAND as an accelerator key sends it.
  void Key(int id) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 1), 0);
    PumpMessages();
  }
  std::vector<std::string> files;
};

// --- Save log -------------------------------------------------------------------

TEST_F(CommandsTest, TheLogHoldsWhatThePaneShowsAsText) {
  OpenInbox({});
  std::string path = NewFile("zelmsh-log-test.txt");
  ASSERT_TRUE(SaveDetailsLog(window, m->detailsPane, path.c_str()));
  EXPECT_EQ(kInboxLog, ReadFile(path));
  // Saved again, the file is replaced, not added to.
  ASSERT_TRUE(SaveDetailsLog(window, m->detailsPane, path.c_str()));
  EXPECT_EQ(kInboxLog, ReadFile(path));
}

TEST_F(CommandsTest, TheCommandAsksForTheFileWithTheSaveDialog) {
  OpenInbox({});
  std::string path = NewFile("zelmsh-log-dialog.txt");
  std::string title;
  {
    ModalAction save("Save log", [&](HWND d) {
      title = WindowText(d);
      // The file name box of the common dialog.
      HWND name = GetDlgItem(d, 0x47C);
      if (!name) name = GetDlgItem(d, 0x480);
      SetWindowTextA(name, path.c_str());
      ClickItem(d, IDOK);
    });
    Command(IDM_SAVE_LOG);
    EXPECT_TRUE(save.Ran());
  }
  EXPECT_EQ(kInboxLog, ReadFile(path));
  EXPECT_EQ("Log saved to " + path, StatusText());
  // Cancel writes nothing and says nothing.
  DeleteFileA(path.c_str());
  {
    ModalAction cancel("Save log", [](HWND d) { ClickItem(d, IDCANCEL); });
    Command(IDM_SAVE_LOG);
    EXPECT_TRUE(cancel.Ran());
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
}

TEST_F(CommandsTest, FailuresAndAnEmptyPaneAreShownInMessageBoxes) {
  Start();
  Command(IDM_SAVE_LOG);
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Save log", boxes.Boxes()[0].caption);
  EXPECT_EQ("The details pane is empty: there is no log to save.", boxes.Boxes()[0].text);
  boxes.Clear();
  DestroyWindow(window);
  window = nullptr;
  ShellShutdown();

  OpenInbox({});
  const char kNowhere[] = "C:\\no such folder here\\log.txt";
  EXPECT_FALSE(SaveDetailsLog(window, m->detailsPane, kNowhere));
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Save log", boxes.Boxes()[0].caption);
  EXPECT_EQ(0u, boxes.Boxes()[0].text.find(std::string("The log could not be saved to ") + kNowhere + ":\n"))
      << boxes.Boxes()[0].text;
  EXPECT_GT(boxes.Boxes()[0].text.size(), strlen(kNowhere) + 32);  // with the system's reason
  boxes.Clear();
}

TEST_F(CommandsTest, CtrlLAndAltSBothSaveTheLog) {
  Start();
  for (bool ctrl : {true, false}) {
    BYTE keys[256] = {};
    keys[ctrl ? VK_CONTROL : VK_MENU] = 0x80;
    SetKeyboardState(keys);
    MSG msg = {};
    msg.hwnd = window;
    msg.message = ctrl ? WM_KEYDOWN : WM_SYSKEYDOWN;
    msg.wParam = ctrl ? 'L' : 'S';
    msg.lParam = ctrl ? 1 : 0x20000001;
    EXPECT_TRUE(TranslateAcceleratorA(window, g_shell.accelerators, &msg));
    memset(keys, 0, sizeof keys);
    SetKeyboardState(keys);
    PumpMessages();
  }
  // The empty pane says so each time: the command ran.
  EXPECT_EQ(2u, boxes.Boxes().size());
  boxes.Clear();
}

// --- Find ----------------------------------------------------------------------------

TEST_F(CommandsTest, FindAsksThenF3FindsTheNextAroundTheList) {
  OpenInbox({});
  std::string shown;
  {
    ModalAction find("Find Message", [&](HWND d) {
      shown = ItemText(d, IDC_FIND_TEXT);
      SetItemText(d, IDC_FIND_TEXT, "LUNCH");
      ClickItem(d, IDOK);
    });
    Command(IDM_FIND);
    EXPECT_TRUE(find.Ran());
  }
  EXPECT_EQ("", shown);
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch *", "3 Re:_Lunch"}), List());
  EXPECT_EQ(kSelectMessage, m->inputs.selectionKind);
  EXPECT_EQ(2, m->inputs.messageNumber);
  EXPECT_EQ("Found \"LUNCH\" in message 2", StatusText());

  Key(IDM_FIND);  // F3: no dialog, the next one
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch", "3 Re:_Lunch *"}), List());
  EXPECT_EQ(3, m->inputs.messageNumber);
  Key(IDM_FIND);  // around to the first match
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch *", "3 Re:_Lunch"}), List());

  // The menu item asks again, starting from the text looked for last.
  {
    ModalAction find("Find Message", [&](HWND d) {
      shown = ItemText(d, IDC_FIND_TEXT);
      SetItemText(d, IDC_FIND_TEXT, "supper");
      ClickItem(d, IDOK);
    });
    Command(IDM_FIND);
  }
  EXPECT_EQ("LUNCH", shown);
  EXPECT_EQ("\"supper\" not found", StatusText());
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch *", "3 Re:_Lunch"}), List());
  // Cancel keeps what was looked for.
  {
    ModalAction find("Find Message", [](HWND d) {
      SetItemText(d, IDC_FIND_TEXT, "report");
      ClickItem(d, IDCANCEL);
    });
    Command(IDM_FIND);
  }
  EXPECT_STREQ("supper", m->findText);
}

TEST_F(CommandsTest, TheFindTextHolds255Characters) {
  OpenInbox({});
  std::string longer(300, 'q');
  ModalAction find("Find Message", [&](HWND d) {
    SetItemText(d, IDC_FIND_TEXT, longer.c_str());
    ClickItem(d, IDOK);
  });
  Command(IDM_FIND);
  EXPECT_EQ(std::string(255, 'q'), m->findText);
  EXPECT_EQ("\"" + std::string(255, 'q') + "\" not found", StatusText());
}

// --- About ------------------------------------------------------------------------------

TEST_F(CommandsTest, AboutShowsTheNameTheIconAndTheVersionResource) {
  Start();
  char version[32];
  ASSERT_TRUE(ProgramVersion(version, sizeof version));
  EXPECT_STREQ("1.0.0", version);
  std::string name, line;
  HICON icon = nullptr;
  ModalAction about("About ZELM Management", [&](HWND d) {
    name = ItemText(d, IDC_ABOUT_NAME);
    line = ItemText(d, IDC_ABOUT_VERSION);
    icon = reinterpret_cast<HICON>(SendDlgItemMessageA(d, IDC_ABOUT_ICON, STM_GETICON, 0, 0));
    ClickItem(d, IDOK);
  });
  Command(IDM_ABOUT);
  EXPECT_TRUE(about.Ran());
  EXPECT_EQ("ZELM Management", name);
  EXPECT_EQ("Version 1.0.0", line);
  EXPECT_NE(nullptr, icon);
}

}  // namespace
