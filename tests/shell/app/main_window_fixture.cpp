#include "main_window_fixture.h"

#include <cstring>
#include <sstream>

#include "zelmsh_ids.h"

std::vector<PeerStep> Hello(const std::string& userLines) {
  return {Send("1000 ready\r\n"), Expect("ULIST\r\n"), Send(userLines + "1000 done\r\n")};
}

void Then(std::vector<PeerStep>* script, std::vector<PeerStep> more) {
  for (PeerStep& s : more) script->push_back(std::move(s));
}

void MainWindowTest::SetUp() {
  ASSERT_TRUE(sandbox.Ok());
  memset(&g_shellPrefs, 0, sizeof g_shellPrefs);
}

void MainWindowTest::TearDown() {
  if (window && IsWindow(window)) DestroyWindow(window);
  PumpMessages();
  ShellShutdown();
  for (auto& p : peers) p->Stop();
  EXPECT_TRUE(boxes.Boxes().empty()) << "unexpected message box: " << boxes.Boxes()[0].text;
}

void MainWindowTest::Start(int clientWidth, int clientHeight) {
  ASSERT_EQ(1, ShellStartup(GetModuleHandleA(nullptr)));
  window = CreateMainWindow(false);
  ASSERT_NE(nullptr, window);
  m = GetMainWindow(window);
  ASSERT_NE(nullptr, m);
  SizeClient(clientWidth, clientHeight);
  PumpMessages();
}

void MainWindowTest::SizeClient(int width, int height) {
  RECT r = {0, 0, width, height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), TRUE, 0);
  SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  // The menu bar may wrap and take more height; only the width is exact.
  RECT c;
  GetClientRect(window, &c);
  if (c.right != width) {
    int more = width - c.right;
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + more, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

int MainWindowTest::ClientWidth() {
  RECT c;
  GetClientRect(window, &c);
  return c.right;
}

ScriptedPeer* MainWindowTest::Serve(std::vector<PeerStep> script) {
  peers.push_back(std::make_unique<ScriptedPeer>());
  sentCursor.push_back(0);
  ScriptedPeer* p = peers.back().get();
  EXPECT_TRUE(p->Start(std::move(script)));
  return p;
}

StoreConnection* MainWindowTest::ConnectTo(ScriptedPeer* peer) {
  strcpy(g_shellPrefs.lastConnected, peer->Address());
  Command(IDM_RECENT_SERVER);
  TreeItem* item = Child(nullptr, peer->Address());
  EXPECT_NE(nullptr, item) << "no server item for " << peer->Address();
  Sent(peer);
  return item ? reinterpret_cast<StoreConnection*>(item->data) : nullptr;
}

std::string MainWindowTest::Sent(ScriptedPeer* peer) {
  for (size_t i = 0; i < peers.size(); ++i) {
    if (peers[i].get() != peer) continue;
    std::string all = peer->Received();
    std::string fresh = all.substr(sentCursor[i]);
    sentCursor[i] = all.size();
    return fresh;
  }
  return {};
}

TreeItem* MainWindowTest::Child(TreeItem* parent, const char* text) {
  if (!parent) parent = TvRootItem(m->treeControl);
  for (TreeItem* c = parent->firstChild; c; c = c->nextSibling)
    if (strcmp(c->text, text) == 0) return c;
  return nullptr;
}

void MainWindowTest::Click(TreeItem* item) {
  ASSERT_NE(nullptr, item);
  HWND pane = TvTreePane(m->treeControl);
  int n = static_cast<int>(SendMessageA(pane, LB_GETCOUNT, 0, 0));
  for (int row = 0; row < n; ++row) {
    if (SendMessageA(pane, LB_GETITEMDATA, row, 0) == reinterpret_cast<LRESULT>(item)) {
      SendMessageA(pane, LB_SETCURSEL, row, 0);
      SendMessageA(m->treeControl, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(pane), LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(pane));
      PumpMessages();
      return;
    }
  }
  ADD_FAILURE() << "no row for " << item->text;
}

void MainWindowTest::SelectRows(std::vector<int> rows) {
  HWND pane = TvItemPane(m->treeControl);
  SendMessageA(pane, LB_SETSEL, FALSE, -1);
  for (int row : rows) SendMessageA(pane, LB_SETSEL, TRUE, row);
  SendMessageA(m->treeControl, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(pane), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(pane));
  PumpMessages();
}

void MainWindowTest::TreeKey(int vk) {
  HWND pane = TvTreePane(m->treeControl);
  SendMessageA(pane, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
  SendMessageA(pane, WM_KEYUP, static_cast<WPARAM>(vk), 0xC0000001);
  PumpMessages();
}

void MainWindowTest::Command(int id) {
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  PumpMessages();
}

std::vector<std::string> MainWindowTest::Section(const char* name) {
  std::vector<std::string> out;
  char* text = BuildSnapshot(m);
  if (!text) {
    ADD_FAILURE() << "no snapshot";
    return out;
  }
  std::istringstream in(text);
  free(text);
  std::string line, want = std::string("[") + name + "]";
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') {
      inside = line == want;
      continue;
    }
    if (inside) out.push_back(line);
  }
  return out;
}

bool MainWindowTest::RepairEnabled() {
  UINT state = GetMenuState(m->menu, IDM_REPAIR, MF_BYCOMMAND);
  return !(state & (MF_GRAYED | MF_DISABLED));
}

bool MainWindowTest::ViewChecked(int command) {
  return (GetMenuState(m->menu, static_cast<UINT>(command), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

RECT MainWindowTest::ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
