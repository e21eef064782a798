// What the main window answers its tree control: quick-help texts, messages
// dragged out written as .eml files fetched from a scripted store, and files
// dropped on the list.

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "store_scripts.h"
#include "zelmsh_ids.h"

using Lines = std::vector<std::string>;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

const char kHeader[] = "From: carol@example.org\r\nSubject: Lunch\r\n";
// Lines longer than a body piece, and a carriage return where a piece is cut.
std::string Body() {
  return "Hi Bob,\r\n" + std::string(1500, 'a') + "\r\n" + std::string(1024, 'x') + "\r" +
         std::string(10, 'y') + "\r\n\r\nbye\r\n";
}

std::vector<PeerStep> Fetch(int number, const std::string& header, const std::string& body) {
  std::string n = std::to_string(number);
  return {Expect("HEAD " + n + "\r\n"), Send("2020 header follows\r\n" + header + "1000 end of header\r\n"),
          Expect("BODY " + n + "\r\n"),
          Send("2021 " + std::to_string(body.size()) + " bytes follow\r\n" + body + "1000 end of body\r\n")};
}

class AnswersTest : public InboxTest {
 protected:
  std::string QuickHelp(TreeItem* item) {
    QuickHelpRequest req = {};
    req.control = m->treeControl;
    req.item = item;
    req.data = item->data;
    SendMessageA(window, kTvTreeQuickHelp, 0, reinterpret_cast<LPARAM>(&req));
    return req.text;
  }
  ListItem* Entry(int row) {
    ListItem* e = TvFirstEntry(m->treeControl);
    for (int i = 0; e && i < row; ++i) e = e->next;
    return e;
  }
  // The name request the control sends for the entry at `row`.
  DragNameRequest Name(int row) {
    DragNameRequest req = {};
    req.control = m->treeControl;
    req.entry = Entry(row);
    req.data = req.entry ? req.entry->data : 0;
    SendMessageA(window, kTvDragName, 0, reinterpret_cast<LPARAM>(&req));
    PumpMessages();
    return req;
  }
  std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
};

// EnumThreadWindows callback: the quick-help pop-up among a thread's windows.
BOOL CALLBACK FindQuickHelpPopup(HWND w, LPARAM found) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "VORDANTVQHCLASS") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

TEST_F(AnswersTest, QuickHelpSaysWhatIsKnownOfEachItem) {
  OpenInbox({});
  std::string host = server->hostName;
  EXPECT_EQ(host + ": 2 users", QuickHelp(serverItem));
  EXPECT_EQ("alice: 3 mailboxes", QuickHelp(alice));
  EXPECT_EQ("", QuickHelp(Child(serverItem, "bob")));  // never listed
  EXPECT_EQ("INBOX: 3 messages, 2 KB", QuickHelp(inbox));
  EXPECT_EQ("", QuickHelp(Child(alice, "Sent")));
  EXPECT_EQ("", QuickHelp(TvRootItem(m->treeControl)));

  QuickHelpRequest req = {};
  req.control = m->treeControl;
  req.entry = Entry(1);
  req.data = req.entry->data;
  SendMessageA(window, kTvItemQuickHelp, 0, reinterpret_cast<LPARAM>(&req));
  EXPECT_STREQ("Message 2: Lunch", req.text);

  // Through the control: the pointer coming to the server's row.
  HWND pane = TvTreePane(m->treeControl);
  RECT r;
  SendMessageA(pane, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  SendMessageA(pane, WM_MOUSEMOVE, 0, MAKELPARAM(r.left + 40, (r.top + r.bottom) / 2));
  // This thread's pop-up: another suite's process on the same desktop may show one too.
  HWND popup = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindQuickHelpPopup, reinterpret_cast<LPARAM>(&popup));
  ASSERT_NE(nullptr, popup);
  EXPECT_EQ(host + ": 2 users", WindowText(popup));
}

TEST_F(AnswersTest, ADraggedMessageIsWrittenWholeAsAnEmlFile) {
  std::vector<PeerStep> more = Fetch(2, kHeader, Body());
  ScriptedPeer* p = OpenInbox(more);
  // A leftover of an earlier run that had this process number goes first.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string run = std::string(temp) + "zelmsh-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(run.c_str(), nullptr);
  CreateDirectoryA((run + "\\1").c_str(), nullptr);
  std::ofstream(run + "\\1\\Lunch.eml") << "old";
  SelectRows({1});
  DragNameRequest req = Name(1);
  EXPECT_TRUE(p->ScriptOk());
  EXPECT_EQ("HEAD 2\r\nBODY 2\r\n", Sent(p));
  std::string path = req.name;
  ASSERT_FALSE(path.empty()) << ErrorText();
  EXPECT_EQ("Lunch.eml", path.substr(path.size() - 9));
  EXPECT_STREQ("Lunch", req.secondName);
  EXPECT_EQ(std::string(kHeader) + "\r\n" + Body(), ReadFile(path));
  EXPECT_EQ("Message 2 saved as " + path, StatusText());
  // In this run's folder below the temporary folder, which goes with the window.
  EXPECT_EQ(run + "\\1\\Lunch.eml", path);
  DestroyWindow(window);
  window = nullptr;
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Exists(run));
}

TEST_F(AnswersTest, MessagesOfOneDropWithTheSameNameAreKeptApart) {
  std::vector<PeerStep> more = Fetch(2, kHeader, "one\r\n");
  Then(&more, Fetch(3, kHeader, "two\r\n"));
  Then(&more, Fetch(2, kHeader, "one\r\n"));
  ScriptedPeer* p = OpenInbox(more);
  // A second entry with the text of the first (message 3 of the store).
  ListItem* twin = TvAddEntry(m->treeControl, nullptr, 0, "Lunch", nullptr, 0, 3);
  ASSERT_NE(nullptr, twin);
  SelectRows({1, 3});
  std::string first = Name(1).name, second = Name(3).name;
  EXPECT_EQ(Folder(first), Folder(second));
  EXPECT_EQ("Lunch.eml", first.substr(first.size() - 9));
  EXPECT_EQ("Lunch (2).eml", second.substr(second.size() - 13));
  EXPECT_EQ(std::string(kHeader) + "\r\ntwo\r\n", ReadFile(second));
  // The next drop starts a folder of its own.
  SelectRows({1});
  std::string again = Name(1).name;
  EXPECT_NE(Folder(first), Folder(again));
  EXPECT_EQ("Lunch.eml", again.substr(again.size() - 9));
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(AnswersTest, TheStoreIsToldWhichMailboxTheNumbersBelongTo) {
  // Bob's first selection names him in the store; the list still shows
  // alice's INBOX, whose message 2 is then asked for after selecting it again.
  std::vector<PeerStep> more = {Expect("RSET\r\nUSER bob\r\nSHOW\r\n"),
                                Send("1000 a\r\n1000 b\r\n2002 1\r\n2001 INBOX\r\n1000 end\r\n"),
                                Expect("SPACE\r\n"), Send("1000 10 0\r\n"),
                                Expect(InfoCommand("alice", "INBOX")), Send(InboxAnswer())};
  Then(&more, Fetch(2, kHeader, "hello\r\n"));
  ScriptedPeer* p = OpenInbox(more);
  Click(Child(serverItem, "bob"));
  SelectRows({1});
  EXPECT_NE('\0', Name(1).name[0]) << ErrorText();
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(AnswersTest, AMessageTheStoreRefusesIsLeftOutAndSaidWhy) {
  ScriptedPeer* p = OpenInbox({Expect("HEAD 2\r\n"), Send("2020 header follows\r\n") , Send(std::string(kHeader) + "1000 end\r\n"),
                               Expect("BODY 2\r\n"), Send("4015 the message changed since it was listed\r\n"),
                               // The connection is still in step afterwards.
                               Expect("HEAD 1\r\n"), Send("4014 no such message\r\n")});
  SelectRows({1});
  DragNameRequest req = Name(1);
  EXPECT_STREQ("", req.name);
  EXPECT_EQ("Message 2 was not saved: the server refused the body: the message changed since it was listed",
            ErrorText());
  EXPECT_FALSE(Exists(std::string(m->exported.dropFolder) + "\\Lunch.eml"));
  EXPECT_STREQ("", Name(0).name);
  EXPECT_EQ("Message 1 was not saved: the server did not send the message's header", ErrorText());
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(AnswersTest, FilesDroppedOnTheListAreReleasedWithAWord) {
  OpenInbox({});
  HWND itemPane = TvItemPane(m->treeControl);
  EXPECT_TRUE(GetWindowLongA(itemPane, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_FALSE(GetWindowLongA(TvTreePane(m->treeControl), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  const char names[] = "C:\\a.eml\0C:\\b.eml\0";
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 20 + sizeof names);
  auto* bytes = static_cast<char*>(GlobalLock(h));
  DWORD offset = 20;
  memcpy(bytes, &offset, sizeof offset);
  memcpy(bytes + 20, names, sizeof names);
  GlobalUnlock(h);
  PostMessageA(itemPane, WM_DROPFILES, reinterpret_cast<WPARAM>(h), 0);
  PumpMessages();
  EXPECT_EQ("The store takes no files: 2 dropped files were not added.", StatusText());
  EXPECT_EQ(3u, List().size());
}

}  // namespace
