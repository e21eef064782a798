// zelmsh.exe itself against the store server on the sample store
// (server/tools/mkstore.py sample): started as a program, driven from here
// with mouse clicks and keys posted to its windows, read back through the
// main window's snapshot; what it did to the store is checked over a
// connection of our own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pilot.h"
#include "protocol/connection.h"
#include "protocol/store_commands.h"

namespace {

const char kShellKey[] = "Software\\Quorvel\\ZELMShell";
const int kWait = 20000;
// Menu commands of the main window.
const int kConnectCommand = 24331;
const int kExitCommand = 24338;
const int kViewDetailsCommand = 105;

using Lines = std::vector<std::string>;

void PutSetting(const char* subkey, const char* name, const std::string& value) {
  std::string path = std::string(kShellKey) + "\\" + subkey;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

std::string GetSetting(const char* subkey, const char* name) {
  std::string path = std::string(kShellKey) + "\\" + subkey;
  char text[512] = {};
  DWORD size = sizeof text - 1;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return text;
}

void Collect(void* ctx, const char* text) { static_cast<Lines*>(ctx)->push_back(text); }

bool Contains(const Lines& lines, const std::string& line) {
  for (const std::string& l : lines)
    if (l == line) return true;
  return false;
}

class ShellEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* h = getenv("ZELM_STORE_HOST");
    ASSERT_NE(nullptr, h) << "run through scripts/with-store.sh";
    host = h;
    RegDeleteTreeA(HKEY_CURRENT_USER, kShellKey);
  }
  void TearDown() override {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        // A dialog left open by a failed check goes first.
        for (const char* title : {"Confirm", "Enter Address", "Preferences"})
          if (HWND d = PilotFindDialog(process.dwProcessId, title, 0))
            PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        if (pilot.main) PostMessageA(pilot.main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, 10000) == WAIT_TIMEOUT)
          TerminateProcess(process.hProcess, 1);
      }
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
    PilotDetach(&pilot);
    RegDeleteTreeA(HKEY_CURRENT_USER, kShellKey);
  }

  // Starts zelmsh.exe (beside this program) and waits for its window.
  void Launch() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string exe = path;
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "zelmsh.exe";
    STARTUPINFOA si = {sizeof si};
    char command[MAX_PATH + 2];
    snprintf(command, sizeof command, "\"%s\"", exe.c_str());
    ASSERT_TRUE(CreateProcessA(exe.c_str(), command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &process))
        << exe;
    ASSERT_TRUE(PilotAttach(&pilot, process.dwProcessId, kWait)) << "no main window";
  }
  void LaunchConnected(const char* viewFlags = "7") {
    PutSetting("1.0", "Last Connected", host);
    PutSetting("1.0", "Autoconnect", "On");
    PutSetting("1.0", "View Flags", viewFlags);
    Launch();
    ASSERT_TRUE(PilotWaitFor(&pilot, [&](const std::string& s) {
      return PilotTreeRow(s, {host, "bob"}) >= 0;
    }, kWait)) << Snapshot();
  }

  std::string Snapshot() { return PilotSnapshot(&pilot); }
  Lines Section(const char* name) { return PilotSection(Snapshot(), name); }

  // Clicks a tree item and waits until the details show `line`.
  void ClickTree(const std::vector<std::string>& path, const std::string& line) {
    int row = PilotTreeRow(Snapshot(), path);
    ASSERT_GE(row, 0) << path.back() << "\n" << Snapshot();
    ASSERT_TRUE(PilotClickRow(&pilot, pilot.treePane, row));
    ASSERT_TRUE(PilotWaitForText(&pilot, "details", line, kWait)) << Snapshot();
  }
  bool WaitForTree(const Lines& tree) {
    return PilotWaitFor(&pilot, [&](const std::string& s) {
      return PilotSection(s, "tree") == tree;
    }, kWait);
  }

  bool WaitDialogGone(const char* title) {
    for (int i = 0; i < kWait / 50; ++i) {
      if (!PilotFindDialog(process.dwProcessId, title, 0)) return true;
      Sleep(50);
    }
    return false;
  }

  // The mailboxes of a user as the store lists them now, over our own connection.
  Lines StoreMailboxes(const char* user) {
    Lines boxes;
    EXPECT_TRUE(StoreSocketsStartup());
    auto* c = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
    c->nodeKind = kNodeServer;
    Lines users;
    if (ConnectToHost(&c->socket, host.c_str(), kStorePort) && StoreListUsers(c, Collect, &users) == kStoreOk)
      StoreListMailboxes(c, user, Collect, &boxes);
    FreeStoreRecord(c);
    StoreSocketsCleanup();
    return boxes;
  }

  std::string host;
  PROCESS_INFORMATION process = {};
  Pilot pilot;
};

TEST_F(ShellEndToEnd, AutoconnectThenUsersMailboxesMessagesAndTheirDetails) {
  LaunchConnected();
  EXPECT_EQ((Lines{"Network", "  " + host, "    alice", "    bob"}), Section("tree"));
  EXPECT_EQ((Lines{"Connected to server."}), Section("status"));

  ClickTree({host}, "Server Capabilities");
  EXPECT_TRUE(Contains(Section("details"), "IMPLEMENTATION zelmstored 1.0"));

  ClickTree({host, "alice"}, "User message-store information");
  EXPECT_TRUE(Contains(Section("details"), "No space restrictions apply"));
  EXPECT_EQ((Lines{"Network", "  " + host, "    alice *", "      INBOX", "      Archive",
                   "      Archive/2024", "      Trash", "    bob"}),
            Section("tree"));

  ClickTree({host, "alice", "INBOX"}, "Number of messages:\t3");
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch", "3 Long_body"}), Section("list"));
  EXPECT_TRUE(Contains(Section("details"), "Number of new messages:\t1"));

  ASSERT_TRUE(PilotClickRow(&pilot, pilot.itemPane, 0));
  ASSERT_TRUE(PilotWaitForText(&pilot, "details", "Message 1 details", kWait)) << Snapshot();
  Lines d = Section("details");
  EXPECT_TRUE(Contains(d, "* Read"));
  EXPECT_TRUE(Contains(d, "MIME structure of message:"));
  EXPECT_TRUE(Contains(d, "Subject: Quarterly report"));
  EXPECT_TRUE(Contains(d, "Hello Bob,"));
  bool container = false, gif = false;
  for (const std::string& l : d) {
    if (l.rfind("multipart/mixed ", 0) == 0) container = true;
    if (l.rfind("   image/gif ", 0) == 0 && l.find(", Name: chart.gif") != std::string::npos)
      gif = true;
  }
  EXPECT_TRUE(container && gif) << Snapshot();

  // The keyboard moves through the list.
  PilotKey(pilot.itemPane, VK_DOWN);
  ASSERT_TRUE(PilotWaitForText(&pilot, "details", "Message 2 details", kWait)) << Snapshot();
  d = Section("details");
  for (const char* flag : {"* Contains leading dot", "* High Priority", "* Recent (New)"})
    EXPECT_TRUE(Contains(d, flag)) << flag;
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch *", "3 Long_body"}), Section("list"));

  PilotKey(pilot.itemPane, VK_DOWN);
  ASSERT_TRUE(PilotWaitForText(&pilot, "details", "Message 3 details", kWait)) << Snapshot();
  d = Section("details");
  EXPECT_TRUE(Contains(d, "Message too large, only displaying the first 4096 bytes!"));
  EXPECT_TRUE(Contains(d, "line 0000 of a body longer than the shell shows at once"));
  EXPECT_FALSE(Contains(d, "line 0199 of a body longer than the shell shows at once"));
}

TEST_F(ShellEndToEnd, DeletingAMailboxAsksFirstAndRemovesItFromTheStore) {
  LaunchConnected("0");
  ClickTree({host, "alice"}, "User message-store information");
  ClickTree({host, "alice", "Trash"}, "Mailbox information");

  PilotKey(pilot.treePane, VK_DELETE);
  HWND confirm = PilotFindDialog(process.dwProcessId, "Confirm", kWait);
  ASSERT_NE(nullptr, confirm);
  EXPECT_EQ("Are you sure you want to delete the mailbox 'Trash' of user alice?",
            PilotWindowText(GetDlgItem(confirm, 108)));
  ASSERT_TRUE(PilotClickButton(confirm, IDNO));
  ASSERT_TRUE(WaitDialogGone("Confirm"));
  EXPECT_GE(PilotTreeRow(Snapshot(), {host, "alice", "Trash"}), 0);
  EXPECT_TRUE(Contains(StoreMailboxes("alice"), "Trash"));

  PilotKey(pilot.treePane, VK_DELETE);
  confirm = PilotFindDialog(process.dwProcessId, "Confirm", kWait);
  ASSERT_NE(nullptr, confirm);
  ASSERT_TRUE(PilotClickButton(confirm, IDYES));
  // The previous mailbox is selected and listed in its place.
  ASSERT_TRUE(WaitForTree({"Network", "  " + host, "    alice", "      INBOX", "      Archive",
                           "      Archive/2024 *", "    bob"}))
      << Snapshot();
  ASSERT_TRUE(PilotWaitForText(&pilot, "list", "1 Last_year", kWait)) << Snapshot();
  EXPECT_EQ((Lines{"INBOX", "Archive", "Archive/2024"}), StoreMailboxes("alice"));
}

TEST_F(ShellEndToEnd, TheServerDialogRemembersTheServerAndReadOnlyKeepsMailboxes) {
  PutSetting("1.0", "Readonly", "On");
  Launch();
  EXPECT_EQ((Lines{"Network"}), Section("tree"));

  PilotMenu(&pilot, kConnectCommand);
  HWND dialog = PilotFindDialog(process.dwProcessId, "Enter Address", kWait);
  ASSERT_NE(nullptr, dialog);
  HWND edit = FindWindowExA(GetDlgItem(dialog, 10), nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  PilotType(edit, host.c_str());
  PilotKey(edit, VK_RETURN);
  ASSERT_TRUE(WaitForTree({"Network", "  " + host, "    alice", "    bob"})) << Snapshot();
  EXPECT_EQ(host, GetSetting("1.0", "Last Connected"));
  EXPECT_EQ(host, GetSetting("1.0\\ZELM MRU", "ZELM Select MRU 0"));

  PilotMenu(&pilot, kViewDetailsCommand);
  ClickTree({host, "bob"}, "User message-store information");
  EXPECT_EQ("4", GetSetting("1.0", "View Flags"));
  ClickTree({host, "bob", "INBOX"}, "Number of messages:\t1");
  // Read-only: Delete is handled at once and asks nothing.
  ASSERT_TRUE(PilotKeySync(pilot.treePane, VK_DELETE, 5000));
  EXPECT_EQ(nullptr, PilotFindDialog(process.dwProcessId, "Confirm", 0));
  EXPECT_EQ((Lines{"INBOX"}), StoreMailboxes("bob"));

  PilotMenu(&pilot, kExitCommand);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, kWait));
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(GetSetting("1.0\\WindowPositions", "ZELM Shell Main Window").empty());
  EXPECT_EQ("50", GetSetting("1.0", "DetailsSplit Percent"));
  EXPECT_EQ("50", GetSetting("1.0", "TreeSplit Percent"));
}

}  // namespace
