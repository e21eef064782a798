// zelmsh.exe against the store server on the sample store with two faults in
// alice's INBOX (with-damaged-store.sh): the repair run from the Tools menu,
// watched in its progress dialog and checked with the store afterwards; and
// messages dragged out of the list with the real mouse onto a window of this
// program, arriving as .eml files equal to what the store sends.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winsock.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pilot.h"

namespace {

const char kShellKey[] = "Software\\Quorvel\\ZELMShell";
const int kWait = 20000;
const int kRepairCommand = 102;

using Lines = std::vector<std::string>;

void PutSetting(const char* name, const std::string& value) {
  std::string path = std::string(kShellKey) + "\\1.0";
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A conversation with the store over a plain socket, read until the store
// closes after QUIT: independent of the shell's own client.
std::string Converse(const std::string& host, const std::string& commands) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);
  std::string all;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(999);
  a.sin_addr.s_addr = inet_addr(host.c_str());
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    std::string out = commands + "QUIT\r\n";
    send(s, out.data(), static_cast<int>(out.size()), 0);
    char buf[8192];
    for (;;) {
      fd_set r;
      FD_ZERO(&r);
      FD_SET(s, &r);
      timeval tv = {20, 0};
      if (select(0, &r, nullptr, nullptr, &tv) <= 0) break;
      int n = recv(s, buf, sizeof buf, 0);
      if (n <= 0) break;
      all.append(buf, static_cast<size_t>(n));
    }
  }
  closesocket(s);
  WSACleanup();
  return all;
}

// Splits the start of text at its first CR LF.
std::string TakeLine(std::string* text) {
  size_t e = text->find("\r\n");
  std::string line = text->substr(0, e);
  text->erase(0, e == std::string::npos ? text->size() : e + 2);
  return line;
}

// Message n of alice's INBOX as an .eml file: header lines, a blank line,
// the body, as the store sends them.
std::string ExpectedEml(const std::string& host, int n) {
  std::string num = std::to_string(n);
  std::string all = Converse(host, "USER alice\r\nMBOX INBOX\r\nINFO\r\nHEAD " + num +
                                       "\r\nBODY " + num + "\r\n");
  std::string line;
  while (!all.empty() && (line = TakeLine(&all)).compare(0, 4, "2020") != 0) {
  }
  std::string eml;
  while (!all.empty() && (line = TakeLine(&all)).compare(0, 5, "1000 ") != 0) eml += line + "\r\n";
  eml += "\r\n";
  line = TakeLine(&all);
  if (line.compare(0, 5, "2021 ") != 0) return "<no body: " + line + ">";
  size_t bytes = strtoul(line.c_str() + 5, nullptr, 10);
  return eml + all.substr(0, bytes);
}

// --- A window of this program that takes files through OLE ------------------

class FileTarget : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* e) override {
    *e = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* e) override {
    *e = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* e) override {
    FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m = {};
    if (data->GetData(&f, &m) == S_OK) {
      HDROP h = static_cast<HDROP>(m.hGlobal);
      UINT count = DragQueryFileA(h, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        char name[MAX_PATH] = {};
        DragQueryFileA(h, i, name, sizeof name);
        files.push_back(name);
        contents.push_back(ReadFile(name));  // read while the shell still has them
      }
      ReleaseStgMedium(&m);
    }
    *e = DROPEFFECT_COPY;
    ++drops;
    return S_OK;
  }
  LONG refs = 1;
  int drops = 0;
  Lines files, contents;
};

// Presses at `from`, waits until the pane holds the mouse (the shell's drag
// loop runs), moves to `to` and releases.
struct DragPlay {
  POINT from, to;
  HWND pane;
  DWORD paneThread;
  bool sawCapture;
};

void Mouse(DWORD flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

DWORD WINAPI PlayDrag(void* arg) {
  auto* p = static_cast<DragPlay*>(arg);
  SetCursorPos(p->from.x, p->from.y);
  Sleep(100);  // the shell's pointer settles on the row (no message to wait for)
  Mouse(MOUSEEVENTF_LEFTDOWN);
  for (int i = 0; i < 2000 && !p->sawCapture; ++i) {
    GUITHREADINFO gi = {sizeof gi};
    GetGUIThreadInfo(p->paneThread, &gi);
    p->sawCapture = gi.hwndCapture == p->pane;
    if (!p->sawCapture) Sleep(5);
  }
  SetCursorPos((p->from.x + p->to.x) / 2, (p->from.y + p->to.y) / 2);
  Sleep(50);
  SetCursorPos(p->to.x, p->to.y);
  Sleep(50);
  Mouse(MOUSEEVENTF_LEFTUP);
  return 0;
}

LRESULT CALLBACK TargetProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, msg, wp, lp);
}

class ShellPlusEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* h = getenv("ZELM_STORE_HOST");
    ASSERT_NE(nullptr, h) << "run through tests/e2e/with-damaged-store.sh";
    host = h;
    RegDeleteTreeA(HKEY_CURRENT_USER, kShellKey);
  }
  void TearDown() override {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        for (const char* title : {"Select Repair Type...", "Repair in progress..."})
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

  void LaunchConnected(const char* viewFlags) {
    PutSetting("Last Connected", host);
    PutSetting("Autoconnect", "On");
    PutSetting("View Flags", viewFlags);
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
    ASSERT_TRUE(PilotWaitFor(&pilot, [&](const std::string& s) {
      return PilotTreeRow(s, {host, "bob"}) >= 0;
    }, kWait)) << Snapshot();
  }
  std::string Snapshot() { return PilotSnapshot(&pilot); }
  void ClickTree(const std::vector<std::string>& path, const std::string& line) {
    int row = PilotTreeRow(Snapshot(), path);
    ASSERT_GE(row, 0) << path.back() << "\n" << Snapshot();
    ASSERT_TRUE(PilotClickRow(&pilot, pilot.treePane, row));
    ASSERT_TRUE(PilotWaitForText(&pilot, "details", line, kWait)) << Snapshot();
  }
  // WM_GETTEXT: the text of another program's edit control is not its title.
  std::string Field(HWND dialog, int id) {
    char text[1200] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &ignored);
    return text;
  }
  // Waits for the shell to end, running this thread's messages meanwhile
  // (an OLE target of this thread may still be spoken to).
  bool WaitExit() {
    DWORD end = GetTickCount() + kWait;
    while (static_cast<int>(end - GetTickCount()) > 0) {
      DWORD r = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 100, QS_ALLINPUT);
      if (r == WAIT_OBJECT_0) return true;
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    return false;
  }
  bool WaitField(HWND dialog, int id, const std::string& text) {
    for (int i = 0; i < kWait / 50; ++i) {
      if (Field(dialog, id) == text) return true;
      Sleep(50);
    }
    return false;
  }

  std::string host;
  PROCESS_INFORMATION process = {};
  Pilot pilot;
};

TEST_F(ShellPlusEndToEnd, RepairFromTheToolsMenuPutsTheMailboxRightAndShowsItsProgress) {
  LaunchConnected("4");
  ClickTree({host, "alice"}, "User message-store information");
  ClickTree({host, "alice", "INBOX"}, "Mailbox information");

  PilotMenu(&pilot, kRepairCommand);
  HWND type = PilotFindDialog(process.dwProcessId, "Select Repair Type...", kWait);
  ASSERT_NE(nullptr, type);
  EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(type, 10), BM_GETCHECK, 0, 0));
  ASSERT_TRUE(PilotClickButton(type, IDOK));
  HWND progress = PilotFindDialog(process.dwProcessId, "Repair in progress...", kWait);
  ASSERT_NE(nullptr, progress);
  ASSERT_TRUE(WaitField(progress, IDCANCEL, "Close")) << Field(progress, 103);
  const std::string kSaid = "Repair finished: 1 mailbox checked, 2 errors found, 2 repaired.";
  EXPECT_EQ(kSaid, Field(progress, 103));
  EXPECT_EQ("alice", Field(progress, 102));
  EXPECT_EQ("INBOX", Field(progress, 101));
  EXPECT_EQ("2", Field(progress, 104));
  ASSERT_TRUE(PilotClickButton(progress, IDCANCEL));
  ASSERT_TRUE(PilotWaitForText(&pilot, "status", kSaid, kWait)) << Snapshot();
  // The list was asked for anew and is whole.
  EXPECT_EQ((Lines{"1 Quarterly_report", "2 Lunch", "3 Long_body"}),
            PilotSection(Snapshot(), "list"));
  // The store agrees: a check now finds nothing.
  std::string check = Converse(host, "USER alice\r\nREPAIR CHECK MBOX INBOX\r\n");
  EXPECT_NE(std::string::npos, check.find("\r\n1000 done 1 0 0\r\n")) << check;
}

TEST_F(ShellPlusEndToEnd, MessagesDraggedOutArriveAsEmlFilesInOrder) {
  LaunchConnected("0");
  ClickTree({host, "alice"}, "User message-store information");
  ClickTree({host, "alice", "INBOX"}, "Mailbox information");
  SetWindowPos(pilot.main, HWND_TOP, 0, 0, 600, 460, SWP_NOACTIVATE);

  ASSERT_EQ(S_OK, OleInitialize(nullptr));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TargetProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ZelmDropFolder";
  RegisterClassA(&wc);
  HWND target = CreateWindowExA(WS_EX_TOPMOST, "ZelmDropFolder", "drop folder",
                                WS_POPUP | WS_VISIBLE | WS_CAPTION, 660, 80, 260, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
  ASSERT_NE(nullptr, target);
  FileTarget folder;
  ASSERT_EQ(S_OK, RegisterDragDrop(target, &folder));

  // Messages 1 and 2 selected: a click, then a shift click.
  ASSERT_TRUE(PilotClickRow(&pilot, pilot.itemPane, 0));
  RECT r;
  SendMessageA(pilot.itemPane, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  LPARAM at = MAKELPARAM(r.left + 30, (r.top + r.bottom) / 2);
  PostMessageA(pilot.itemPane, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, at);
  PostMessageA(pilot.itemPane, WM_LBUTTONUP, MK_SHIFT, at);
  ASSERT_TRUE(PilotWaitFor(&pilot, [](const std::string& s) {
    return PilotSection(s, "list") == Lines{"1 Quarterly_report *", "2 Lunch *", "3 Long_body"};
  }, kWait)) << Snapshot();

  POINT from = {r.left + 30, (r.top + r.bottom) / 2};
  ClientToScreen(pilot.itemPane, &from);
  POINT to = {130, 100};
  ClientToScreen(target, &to);
  DragPlay play = {from, to, pilot.itemPane, GetWindowThreadProcessId(pilot.itemPane, nullptr), false};
  HANDLE t = CreateThread(nullptr, 0, PlayDrag, &play, 0, nullptr);
  ASSERT_NE(nullptr, t);
  // OLE calls this thread through its messages: they run while waiting.
  DWORD end = GetTickCount() + 30000;
  while (folder.drops == 0 && static_cast<int>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  WaitForSingleObject(t, 10000);
  CloseHandle(t);
  EXPECT_TRUE(play.sawCapture);
  ASSERT_EQ(1, folder.drops) << Snapshot();
  ASSERT_EQ(2u, folder.files.size());
  EXPECT_EQ("\\Quarterly_report.eml", folder.files[0].substr(folder.files[0].size() - 21));
  EXPECT_EQ("\\Lunch.eml", folder.files[1].substr(folder.files[1].size() - 10));
  EXPECT_EQ(ExpectedEml(host, 1), folder.contents[0]);
  EXPECT_EQ(ExpectedEml(host, 2), folder.contents[1]);
  EXPECT_NE(std::string::npos, folder.contents[0].find("Subject: Quarterly report\r\n"));

  // The files are the shell's until it ends; then they go.
  PostMessageA(pilot.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitExit());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.files[0].c_str()));
  RevokeDragDrop(target);
  DestroyWindow(target);
  OleUninitialize();
}

}  // namespace
