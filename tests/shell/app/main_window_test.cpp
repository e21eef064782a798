// The main window itself: what it starts with and brings back from the
// registry, its layout, status bar, view toggles, splitter, accelerators and
// commands, and the snapshot it answers.
#include <windows.h>

#include <commctrl.h>

#include "main_layout.h"
#include "main_window_fixture.h"
#include "modal_action.h"
#include "zelmsh_ids.h"

namespace {

bool Shown(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

int Width(const RECT& r) { return r.right - r.left; }

class WindowTest : public MainWindowTest {
 protected:
  // Presses the splitter band, moves to x and lets go there.
  void DragSplitter(int toX) {
    int y = PanesHeight(m) / 2;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(m->splitterX + 1, y));
    EXPECT_EQ(window, GetCapture());
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, y));
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(toX, y));
    EXPECT_NE(window, GetCapture());
  }
  std::string Stored(const char* name) { return GetText(HKEY_CURRENT_USER, "1.0", name); }
  std::string StoredPosition(const char* name) {
    return GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions", name);
  }
  void Close() {
    DestroyWindow(window);
    PumpMessages();
    window = nullptr;
    ShellShutdown();
  }
};

TEST_F(WindowTest, WithNothingStoredTheDetailsPaneIsHiddenAndTheTreeFillsTheWidth) {
  Start(640, 400);
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  EXPECT_STREQ("ZELMShellClass", cls);
  EXPECT_EQ("ZELM Management", WindowText(window));
  EXPECT_EQ((std::vector<std::string>{"Network"}), Tree());
  EXPECT_EQ(kImageNetwork, TvRootItem(m->treeControl)->image);
  EXPECT_EQ(0xB0Eu, TvOptions(m->treeControl));
  EXPECT_FALSE(Shown(m->detailsPane));
  RECT tree = ChildRect(m->treeControl);
  EXPECT_EQ(0, tree.left);
  EXPECT_EQ(640, tree.right);
  EXPECT_EQ(PanesHeight(m), tree.bottom);
  EXPECT_EQ("0", Stored("View Flags"));
  EXPECT_FALSE(ViewChecked(IDM_VIEW_HEADER));
  EXPECT_FALSE(ViewChecked(IDM_VIEW_BODY));
  EXPECT_FALSE(ViewChecked(IDM_VIEW_DETAILS));
  EXPECT_FALSE(RepairEnabled());
  EXPECT_EQ(50, TvSplitPercent(m->treeControl));
  EXPECT_EQ(4096u, g_shellPrefs.maxBodySize);
  // No last server: no recent entry in the File menu.
  EXPECT_EQ(-1, static_cast<int>(GetMenuState(m->fileMenu, IDM_RECENT_SERVER, MF_BYCOMMAND)));
}

TEST_F(WindowTest, TheStatusBarHasThreePartsWithTheProgressBarInTheFirst) {
  Start(640, 400);
  EXPECT_EQ(m->statusBar, GetDlgItem(window, IDC_STATUS_BAR));
  int edges[4] = {};
  EXPECT_EQ(3, SendMessageA(m->statusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
  EXPECT_EQ(100, edges[0]);
  EXPECT_EQ(420, edges[1]);
  EXPECT_EQ(-1, edges[2]);
  RECT part = {}, bar = {};
  SendMessageA(m->statusBar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
  GetWindowRect(m->progressBar, &bar);
  MapWindowPoints(nullptr, m->statusBar, reinterpret_cast<POINT*>(&bar), 2);
  EXPECT_TRUE(EqualRect(&part, &bar));
  EXPECT_EQ(1, SendMessageA(m->progressBar, PBM_SETSTEP, 1, 0));  // the step was 1
  RECT status = ChildRect(m->statusBar);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.bottom, status.bottom);
  EXPECT_EQ(status.top, PanesHeight(m));

  SizeClient(800, 400);
  SendMessageA(m->statusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
  EXPECT_EQ(500, edges[1]);

  ShowStatus(m, "Connecting to server...");
  EXPECT_EQ("Connecting to server...", StatusText());
  ShowError(m, "Could not connect to server.");
  EXPECT_EQ("", StatusText());
  EXPECT_EQ("Could not connect to server.", ErrorText());
}

TEST_F(WindowTest, StoredFlagsSplitsAndAMaximizedPlacementComeBack) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "5");
  PutText(HKEY_CURRENT_USER, "1.0", "DetailsSplit Percent", "30");
  PutText(HKEY_CURRENT_USER, "1.0", "TreeSplit Percent", "40");
  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "ZELM Shell Main Window",
          "10,20,600,400,16777216");
  ASSERT_EQ(1, ShellStartup(GetModuleHandleA(nullptr)));
  window = CreateMainWindow(false);
  ASSERT_NE(nullptr, window);
  m = GetMainWindow(window);
  PumpMessages();
  EXPECT_TRUE(IsZoomed(window));
  WINDOWPLACEMENT wp = {sizeof wp};
  GetWindowPlacement(window, &wp);
  EXPECT_EQ(10, wp.rcNormalPosition.left);
  EXPECT_EQ(20, wp.rcNormalPosition.top);
  EXPECT_EQ(600, Width(wp.rcNormalPosition));
  EXPECT_EQ(400, wp.rcNormalPosition.bottom - wp.rcNormalPosition.top);

  EXPECT_TRUE(ViewChecked(IDM_VIEW_HEADER));
  EXPECT_FALSE(ViewChecked(IDM_VIEW_BODY));
  EXPECT_TRUE(ViewChecked(IDM_VIEW_DETAILS));
  EXPECT_TRUE(Shown(m->detailsPane));
  EXPECT_EQ(40, TvSplitPercent(m->treeControl));
  int width = ClientWidth();
  RECT tree = ChildRect(m->treeControl), details = ChildRect(m->detailsPane);
  EXPECT_EQ(width * 30 / 100, Width(tree));
  EXPECT_EQ(tree.right + 4, details.left);
  EXPECT_EQ(width, details.right);
  EXPECT_EQ(PanesHeight(m), details.bottom);

  Close();
  EXPECT_EQ("10,20,600,400,16777216", StoredPosition("ZELM Shell Main Window"));
  EXPECT_EQ("40", Stored("TreeSplit Percent"));
  EXPECT_EQ("30", Stored("DetailsSplit Percent"));
}

TEST_F(WindowTest, AStoredPlaceOffEveryMonitorOrDamagedComesBackOnScreen) {
  RECT areas[kMaxMonitors];
  int count = MonitorWorkAreas(areas, kMaxMonitors);
  ASSERT_GT(count, 0);
  for (const char* text : {"-30000,-30000,400,300,0", "12,x"}) {
    PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "ZELM Shell Main Window", text);
    ASSERT_EQ(1, ShellStartup(GetModuleHandleA(nullptr)));
    window = CreateMainWindow(false);
    ASSERT_NE(nullptr, window);
    WINDOWPLACEMENT wp = {sizeof wp};
    GetWindowPlacement(window, &wp);
    const RECT& r = wp.rcNormalPosition;
    bool onScreen = false;
    for (int i = 0; i < count; ++i)
      onScreen = onScreen || (r.left >= areas[i].left && r.top >= areas[i].top &&
                              r.left < areas[i].right && r.top < areas[i].bottom);
    EXPECT_TRUE(onScreen) << text << ": " << r.left << "," << r.top;
    DestroyWindow(window);
    window = nullptr;
    PumpMessages();
    ShellShutdown();
  }
}

TEST_F(WindowTest, ViewTogglesStoreTheFlagsAndTheDetailsPaneReturnsAtItsWidth) {
  PutText(HKEY_CURRENT_USER, "1.0", "DetailsSplit Percent", "30");
  Start(700, 400);
  Command(IDM_VIEW_HEADER);
  EXPECT_EQ("1", Stored("View Flags"));
  EXPECT_TRUE(ViewChecked(IDM_VIEW_HEADER));
  EXPECT_TRUE(Shown(m->detailsPane));
  EXPECT_EQ(210, Width(ChildRect(m->treeControl)));
  Command(IDM_VIEW_BODY);
  EXPECT_EQ("3", Stored("View Flags"));

  DragSplitter(420);
  EXPECT_EQ(420, Width(ChildRect(m->treeControl)));
  Command(IDM_VIEW_DETAILS);  // another flag: the dragged width stays
  EXPECT_EQ("7", Stored("View Flags"));
  EXPECT_EQ(420, Width(ChildRect(m->treeControl)));

  for (int id : {IDM_VIEW_HEADER, IDM_VIEW_BODY, IDM_VIEW_DETAILS}) Command(id);
  EXPECT_EQ("0", Stored("View Flags"));
  EXPECT_FALSE(Shown(m->detailsPane));
  EXPECT_EQ(700, Width(ChildRect(m->treeControl)));
  EXPECT_FALSE(ViewChecked(IDM_VIEW_DETAILS));

  Command(IDM_VIEW_BODY);
  EXPECT_TRUE(Shown(m->detailsPane));
  EXPECT_EQ(420, Width(ChildRect(m->treeControl)));
  Command(IDM_VIEW_BODY);
  Close();  // hidden at the end: the remembered width is stored
  EXPECT_EQ("60", Stored("DetailsSplit Percent"));
  EXPECT_EQ("0", Stored("View Flags"));
}

TEST_F(WindowTest, TheSplitterStopsATenthFromEitherEdgeAndStoresAtLeastTen) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "4");
  Start(705, 400);
  ASSERT_EQ(705, ClientWidth());
  DragSplitter(2);
  // 70 pixels is 9.9 %: the percentage stays at 10, the panes follow it.
  EXPECT_EQ(70, Width(ChildRect(m->treeControl)));
  EXPECT_EQ(74, ChildRect(m->detailsPane).left);
  EXPECT_EQ(70, m->splitterX);

  DragSplitter(704);
  EXPECT_EQ(705 * 90 / 100, Width(ChildRect(m->treeControl)));
  EXPECT_EQ(705, ChildRect(m->detailsPane).right);

  DragSplitter(3);
  Close();
  EXPECT_EQ("10", Stored("DetailsSplit Percent"));
}

TEST_F(WindowTest, ADragThatLosesTheMouseChangesNothing) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "4");
  Start(600, 400);
  RECT before = ChildRect(m->treeControl);
  int y = PanesHeight(m) / 2;
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(m->splitterX + 3, y));
  ASSERT_EQ(window, GetCapture());
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, y));
  ReleaseCapture();
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(100, y));
  RECT after = ChildRect(m->treeControl);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_EQ(50, g_shellPrefs.detailsSplitPercent);

  // One pixel right of the band is the details pane's business, not a drag.
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(m->splitterX + 4, y));
  EXPECT_NE(window, GetCapture());
}

TEST_F(WindowTest, WithTheDetailsPaneHiddenPressesDoNothingAndTheCursorStaysAnArrow) {
  Start(600, 400);
  int y = PanesHeight(m) / 2;
  for (int x : {0, 300, 596, 599}) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    EXPECT_NE(window, GetCapture()) << x;
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  EXPECT_EQ(600, Width(ChildRect(m->treeControl)));
  EXPECT_EQ(100, g_shellPrefs.detailsSplitPercent);

  POINT band = {m->splitterX + 1, y};
  ClientToScreen(window, &band);
  SetCursorPos(band.x, band.y);
  SetCursor(nullptr);
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor());
}

TEST_F(WindowTest, OverTheBandTheCursorIsTheSizingArrow) {
  PutText(HKEY_CURRENT_USER, "1.0", "View Flags", "2");
  Start(600, 400);
  POINT band = {m->splitterX + 2, PanesHeight(m) / 2};
  ClientToScreen(window, &band);
  SetCursorPos(band.x, band.y);
  POINT at;
  GetCursorPos(&at);
  if (at.x != band.x || at.y != band.y) GTEST_SKIP() << "the pointer cannot be placed here";
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(LoadCursorA(nullptr, IDC_SIZEWE), GetCursor());
}

// The accelerator table as the message loop uses it, with Alt or Ctrl held.
class AcceleratorTest : public WindowTest {
 protected:
  bool Press(UINT vk, bool alt, bool ctrl = false) {
    BYTE keys[256] = {};
    if (alt) keys[VK_MENU] = 0x80;
    if (ctrl) keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg = {};
    msg.hwnd = TvTreePane(m->treeControl);
    msg.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    msg.wParam = vk;
    msg.lParam = alt ? 0x20000001 : 1;
    bool taken = TranslateAcceleratorA(window, g_shell.accelerators, &msg) != 0;
    memset(keys, 0, sizeof keys);
    SetKeyboardState(keys);
    PumpMessages();
    return taken;
  }
};

TEST_F(AcceleratorTest, AltKeysReachTheirCommands) {
  Start(600, 400);
  EXPECT_TRUE(Press('H', true));
  EXPECT_EQ(kViewHeader, g_shellPrefs.viewFlags);
  EXPECT_TRUE(Press('B', true));
  EXPECT_TRUE(Press('D', true));
  EXPECT_EQ(7u, g_shellPrefs.viewFlags);
  EXPECT_TRUE(Shown(m->detailsPane));
  EXPECT_FALSE(Press('H', false));  // H alone is no accelerator
  EXPECT_EQ(7u, g_shellPrefs.viewFlags);
  // F3 with nothing looked for yet asks what to look for.
  {
    ModalAction find("Find Message", [](HWND d) { ClickItem(d, IDCANCEL); });
    EXPECT_TRUE(Press(VK_F3, false));
    EXPECT_TRUE(find.Ran());
  }
  // Repair is grey with nothing selected: its key does nothing.
  EXPECT_TRUE(Press('R', true));
  // Commands without a function are taken and do nothing.
  EXPECT_TRUE(Press('V', true));
  EXPECT_TRUE(Press('C', false, true));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(Press('X', true));
  EXPECT_FALSE(IsWindow(window));
  window = nullptr;
}

TEST_F(WindowTest, ExitStoresThePositionAndTheTreeSplit) {
  PutText(HKEY_CURRENT_USER, "1.0", "TreeSplit Percent", "35");
  Start(500, 300);
  SetWindowPos(window, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT r;
  GetWindowRect(window, &r);
  Command(IDM_EXIT);
  EXPECT_FALSE(IsWindow(window));
  window = nullptr;
  char expected[64];
  snprintf(expected, sizeof expected, "40,50,%d,%d,0", Width(r), static_cast<int>(r.bottom - r.top));
  EXPECT_EQ(expected, StoredPosition("ZELM Shell Main Window"));
  EXPECT_EQ("35", Stored("TreeSplit Percent"));
}

TEST_F(WindowTest, AutoconnectAtStartUpConnectsToTheLastServer) {
  ScriptedPeer* p = Serve(Hello("2001 alice\r\n"));
  PutText(HKEY_CURRENT_USER, "1.0", "Autoconnect", "On");
  PutText(HKEY_CURRENT_USER, "1.0", "Last Connected", p->Address());
  Start();
  PumpMessages();
  EXPECT_EQ((std::vector<std::string>{"Network", std::string("  ") + p->Address(), "    alice"}),
            Tree());
  char text[300] = {};
  GetMenuStringA(m->fileMenu, IDM_RECENT_SERVER, text, sizeof text, MF_BYCOMMAND);
  EXPECT_EQ(std::string("&1 ") + p->Address(), text);
  EXPECT_TRUE(p->ScriptOk());
}

TEST_F(WindowTest, AColourChangeLeavesTheDetailsPaneWithLivePens) {
  Start();
  HPEN before = g_shell.highlightPen;
  SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_NE(nullptr, g_shell.highlightPen);
  EXPECT_EQ(g_shell.highlightPen, m->inputs.highlightPen);
  EXPECT_EQ(g_shell.shadowPen, m->inputs.shadowPen);
  EXPECT_EQ(OBJ_PEN, GetObjectType(m->inputs.highlightPen));
  EXPECT_EQ(0u, GetObjectType(before));  // the old one is gone
}

// A window that asks for the snapshot and keeps the answer.
std::string g_reply;
LRESULT CALLBACK ReceiverProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (data->dwData == kSnapshotReply && data->cbData > 0)
      g_reply.assign(static_cast<const char*>(data->lpData), data->cbData - 1);
    return TRUE;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

TEST_F(WindowTest, TheSnapshotIsAnsweredToTheAskingWindow) {
  Start();
  ShowStatus(m, "ready");
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ReceiverProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SnapshotReceiver";
  RegisterClassA(&wc);
  HWND receiver = CreateWindowExA(0, "SnapshotReceiver", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
  ASSERT_NE(nullptr, receiver);
  g_reply.clear();
  COPYDATASTRUCT ask = {kSnapshotRequest, 0, nullptr};
  EXPECT_EQ(TRUE, SendMessageA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(receiver),
                               reinterpret_cast<LPARAM>(&ask)));
  EXPECT_EQ("[tree]\nNetwork\n[list]\n[details]\n[status]\nready\n[error]\n\n", g_reply);
  COPYDATASTRUCT other = {12345, 0, nullptr};
  EXPECT_EQ(FALSE, SendMessageA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(receiver),
                                reinterpret_cast<LPARAM>(&other)));
  DestroyWindow(receiver);
}

}  // namespace
