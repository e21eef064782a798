#include "main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "browse.h"
#include "main_layout.h"
#include "message_export.h"
#include "preferences_dialog.h"
#include "shell_commands.h"
#include "tree_answers.h"
#include "zelmsh_ids.h"

const char kMainWindowClass[] = "ZELMShellClass";
const char kMainWindowTitle[] = "ZELM Management";
const char kRootItemText[] = "Network";

namespace {

enum { kStatusPart = 1, kErrorPart = 2 };
enum { kFileMenuIndex = 0, kToolsMenuIndex = 3 };

// The view commands and the flag each one toggles.
struct ViewToggle {
  int command;
  unsigned long flag;
};
const ViewToggle kViewToggles[] = {
    {IDM_VIEW_HEADER, kViewHeader},
    {IDM_VIEW_BODY, kViewBody},
    {IDM_VIEW_DETAILS, kViewDetails},
};

// --- What connecting asks of the window ---------------------------------------

void FrameShowStatus(void* ctx, const char* text) { ShowStatus(static_cast<MainWindow*>(ctx), text); }
void FrameShowError(void* ctx, const char* text) { ShowError(static_cast<MainWindow*>(ctx), text); }

TreeItem* FrameAddServer(void* ctx, StoreConnection* server) {
  auto* m = static_cast<MainWindow*>(ctx);
  return TvAddItem(m->treeControl, nullptr, kTvAddLastChild, server->hostName, nullptr,
                   kImageServer, 1, reinterpret_cast<LPARAM>(server));
}

int FrameAddUser(void* ctx, StoreConnection* server, UserNode* user) {
  auto* m = static_cast<MainWindow*>(ctx);
  return TvAddItem(m->treeControl, server->treeItem, kTvAddLastChild, user->name, nullptr,
                   kImageUser, 1, reinterpret_cast<LPARAM>(user)) != nullptr;
}

// --- Drawing objects ----------------------------------------------------------

void DropPen(HPEN* pen) {
  if (*pen) DeleteObject(*pen);
  *pen = nullptr;
}

void MakeButtonPens() {
  DropPen(&g_shell.highlightPen);
  DropPen(&g_shell.facePen);
  DropPen(&g_shell.shadowPen);
  DropPen(&g_shell.textPen);
  g_shell.highlightPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  g_shell.facePen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
  g_shell.shadowPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  g_shell.textPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
  g_shell.windowText = GetSysColor(COLOR_WINDOWTEXT);
  g_shell.window = GetSysColor(COLOR_WINDOW);
  g_shell.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  g_shell.highlight = GetSysColor(COLOR_HIGHLIGHT);
}

void FillInputs(MainWindow* m) {
  DetailsInputs& in = m->inputs;
  in.viewFlags = g_shellPrefs.viewFlags;
  in.maxBodySize = g_shellPrefs.maxBodySize;
  in.windowText = g_shell.windowText;
  in.window = g_shell.window;
  in.highlightText = g_shell.highlightText;
  in.highlight = g_shell.highlight;
  in.interfaceFont = g_shell.interfaceFont;
  in.fixedFont = g_shell.fixedFont;
  in.highlightPen = g_shell.highlightPen;
  in.shadowPen = g_shell.shadowPen;
  in.statOut = &m->lastStat;
}

// --- Splitter -----------------------------------------------------------------

// Inverts the 4-pixel line over the panes' height at split position x; drawn
// twice it is gone.
void InvertSplitLine(MainWindow* m, int x) {
  if (!m->dragDC) return;
  POINT top = {x + kSplitterWidth / 2, 0};
  POINT bottom = {top.x, PanesHeight(m)};
  ClientToScreen(m->window, &top);
  ClientToScreen(m->window, &bottom);
  HGDIOBJ oldPen = SelectObject(m->dragDC, g_shell.splitterPen);
  int oldRop = SetROP2(m->dragDC, R2_NOT);
  MoveToEx(m->dragDC, top.x, top.y, nullptr);
  LineTo(m->dragDC, bottom.x, bottom.y);
  SetROP2(m->dragDC, oldRop);
  SelectObject(m->dragDC, oldPen);
}

int ClientWidth(MainWindow* m) {
  RECT c;
  GetClientRect(m->window, &c);
  return c.right;
}

bool OverSplitter(MainWindow* m, int x, int y) {
  return m->detailsShown && y >= 0 && y < PanesHeight(m) && OnSplitterBand(x, m->splitterX);
}

void BeginSplitDrag(MainWindow* m, int x, int y) {
  if (m->dragging || !OverSplitter(m, x, y)) return;
  m->dragDC = GetDC(nullptr);
  if (!m->dragDC) return;
  m->dragging = true;
  SetCapture(m->window);
  m->dragX = m->splitterX;
  InvertSplitLine(m, m->dragX);
}

// The line follows the pointer; the panes move only when the button is
// released (a drag that loses the capture changes nothing).
void MoveSplitDrag(MainWindow* m, int x) {
  InvertSplitLine(m, m->dragX);
  m->dragX = ClampSplitterX(x, ClientWidth(m));
  InvertSplitLine(m, m->dragX);
}

// Ends a drag; with apply the panes take the new split.
void EndSplitDrag(MainWindow* m, bool apply, int x) {
  if (!m->dragging) return;
  m->dragging = false;
  InvertSplitLine(m, m->dragX);
  ReleaseDC(nullptr, m->dragDC);
  m->dragDC = nullptr;
  if (GetCapture() == m->window) ReleaseCapture();
  if (!apply) return;
  int percent = DetailsPercentAt(x, ClientWidth(m));
  g_shellPrefs.detailsSplitPercent = percent;
  // Also what the pane comes back with after being hidden.
  g_shellPrefs.rememberedDetailsSplit = percent;
  PlacePanes(m);
  InvalidateRect(m->window, nullptr, TRUE);
}

// --- Commands -------------------------------------------------------------------

void ToggleView(MainWindow* m, const ViewToggle& t) {
  g_shellPrefs.viewFlags ^= t.flag;
  CheckMenuItem(m->menu, static_cast<UINT>(t.command),
                MF_BYCOMMAND | ((g_shellPrefs.viewFlags & t.flag) ? MF_CHECKED : MF_UNCHECKED));
  LayoutPanes(m);
  RenderCurrent(m);
}

// code: 1 when the command came from an accelerator key.
void OnCommand(MainWindow* m, int command, int code) {
  for (const ViewToggle& t : kViewToggles) {
    if (t.command == command) {
      ToggleView(m, t);
      return;
    }
  }
  switch (command) {
    case IDM_CONNECT:
      ConnectFromDialog(&m->frame);
      break;
    case IDM_RECENT_SERVER:
      ConnectToLastServer(&m->frame);
      break;
    case IDM_EXIT:
      DestroyWindow(m->window);
      break;
    case IDM_PREFERENCES:
      RunPreferencesDialog(m->window);
      break;
    case IDM_SAVE_LOG:
      RunSaveLogCommand(m);
      break;
    case IDM_FIND:
      // F3 looks again for the last text; the menu item asks first.
      RunFindCommand(m, code == 1);
      break;
    case IDM_ABOUT:
      RunAboutDialog(m->window);
      break;
    case IDM_REPAIR:
      RunRepairCommand(m);
      break;
    default:
      // The remaining accelerators have no function.
      break;
  }
}

// --- Creation and destruction -----------------------------------------------------

bool OnCreate(HWND w) {
  // Freed with its store-selection table in OnNcDestroy.
  auto* m = static_cast<MainWindow*>(calloc(1, sizeof(MainWindow)));
  if (!m) return false;
  m->window = w;
  SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m));
  HINSTANCE instance = g_shell.instance;

  m->menu = GetMenu(w);
  m->fileMenu = GetSubMenu(m->menu, kFileMenuIndex);
  m->toolsMenu = GetSubMenu(m->menu, kToolsMenuIndex);
  EnableRepair(m, false);
  m->frame.window = w;
  m->frame.fileMenu = m->fileMenu;
  m->frame.context = m;
  m->frame.showStatus = FrameShowStatus;
  m->frame.showError = FrameShowError;
  m->frame.addServerItem = FrameAddServer;
  m->frame.addUserItem = FrameAddUser;
  FillInputs(m);

  m->statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "Status bar",
                                 WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, w,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)),
                                 instance, nullptr);
  if (!m->statusBar) return false;
  m->progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   m->statusBar, nullptr, instance, nullptr);
  if (!m->progressBar) return false;
  SendMessageA(m->progressBar, PBM_SETSTEP, 1, 0);

  m->treeControl = TvCreate(instance, w, w, w, g_shellPrefs.treeSplitPercent, g_shell.treeBitmap,
                            g_shell.treeMask, kTreeImageRows, kImageCell, kImageCell,
                            g_shell.itemBitmap, g_shell.itemMask, kItemImageColumns, kImageCell,
                            kImageCell, 0, 0, kShellTreeOptions);
  if (!m->treeControl) return false;
  TvSetItem(m->treeControl, nullptr, kRootItemText, nullptr, kImageNetwork, -1, 0);

  for (const ViewToggle& t : kViewToggles)
    CheckMenuItem(m->menu, static_cast<UINT>(t.command),
                  MF_BYCOMMAND | ((g_shellPrefs.viewFlags & t.flag) ? MF_CHECKED : MF_UNCHECKED));

  m->detailsPane = CreateDetailsPane(w, &m->inputs, false);
  if (!m->detailsPane) return false;
  LayoutPanes(m);
  return true;
}

void OnDestroy(MainWindow* m) {
  m->destroying = true;
  EndSplitDrag(m, false, 0);
  SaveWindowPosition(m->window, kPositionMainWindow);
  WriteShellNumber(kSettingsMain, kValueTreeSplit, TvSplitPercent(m->treeControl));
  RemoveExportedMessages(m);
  if (g_shell.quitOnDestroy) PostQuitMessage(0);
}

void OnNcDestroy(HWND w, MainWindow* m) {
  SetWindowLongPtrA(w, GWLP_USERDATA, 0);
  free(m->selections);
  free(m->facts);
  free(m);
}

void OnSize(MainWindow* m, UINT how, int width, int height) {
  if (how != SIZE_RESTORED && how != SIZE_MAXIMIZED) return;
  RECT bar;
  GetWindowRect(m->statusBar, &bar);
  int barHeight = bar.bottom - bar.top;
  if (barHeight <= 0) {
    // A bar not yet sized finds its own height.
    SendMessageA(m->statusBar, WM_SIZE, 0, 0);
    GetWindowRect(m->statusBar, &bar);
    barHeight = bar.bottom - bar.top;
  }
  MoveWindow(m->statusBar, 0, height - barHeight, width, barHeight, TRUE);
  int edges[kStatusParts];
  StatusPartEdges(width, edges);
  SendMessageA(m->statusBar, SB_SETPARTS, kStatusParts, reinterpret_cast<LPARAM>(edges));
  RECT part;
  if (SendMessageA(m->statusBar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part)))
    MoveWindow(m->progressBar, part.left, part.top, part.right - part.left,
               part.bottom - part.top, TRUE);
  PlacePanes(m);
}

void OnSysColorChange(MainWindow* m) {
  MakeButtonPens();
  FillInputs(m);
  // Only top-level windows hear of it from the system.
  SendMessageA(m->treeControl, WM_SYSCOLORCHANGE, 0, 0);
  SendMessageA(m->statusBar, WM_SYSCOLORCHANGE, 0, 0);
  InvalidateRect(m->window, nullptr, TRUE);
  InvalidateRect(m->detailsPane, nullptr, TRUE);
}

bool OnSetCursor(MainWindow* m, HWND over, int hit) {
  if (over != m->window || hit != HTCLIENT) return false;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(m->window, &pt);
  if (!m->dragging && !OverSplitter(m, pt.x, pt.y)) return false;
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZEWE)));
  return true;
}

// Another program (or a test) asks for the snapshot.
LRESULT OnCopyData(MainWindow* m, HWND from, const COPYDATASTRUCT* data) {
  if (!data || data->dwData != kSnapshotRequest || !IsWindow(from)) return FALSE;
  char* text = BuildSnapshot(m);
  if (!text) return FALSE;
  COPYDATASTRUCT reply;
  reply.dwData = kSnapshotReply;
  reply.cbData = static_cast<DWORD>(strlen(text) + 1);
  reply.lpData = text;
  // An asker that stopped answering must not stop this window.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(from, WM_COPYDATA, reinterpret_cast<WPARAM>(m->window),
                      reinterpret_cast<LPARAM>(&reply), SMTO_ABORTIFHUNG, 5000, &ignored);
  free(text);
  return TRUE;
}

// While an exchange waits for a store that is slow to answer, what needs
// painting is painted (a window moved away from it, the bar's last step)
// and nothing else runs: input waits until the exchange is over, so no
// second exchange can start in the middle of the first.
void RepaintWhileWaiting(void*) {
  MSG msg;
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
    DispatchMessageA(&msg);
}

LRESULT CALLBACK MainWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  MainWindow* m = GetMainWindow(w);
  if (msg == WM_CREATE) return OnCreate(w) ? 0 : -1;
  if (!m) return DefWindowProcA(w, msg, wp, lp);
  // Every store exchange starts from a message of this window.
  StoreWaitHookScope repaint(RepaintWhileWaiting, m);
  switch (msg) {
    case WM_DESTROY: OnDestroy(m); return 0;
    case WM_NCDESTROY: OnNcDestroy(w, m); return DefWindowProcA(w, msg, wp, lp);
    case WM_SIZE: OnSize(m, static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp)); return 0;
    case WM_COMMAND: OnCommand(m, LOWORD(wp), HIWORD(wp)); return 0;
    case WM_SETFOCUS: SetFocus(m->treeControl); return 0;  // its pane that had it last
    case WM_SYSCOLORCHANGE: OnSysColorChange(m); return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(m, reinterpret_cast<HWND>(wp), LOWORD(lp))) return TRUE;
      break;
    case WM_LBUTTONDOWN: BeginSplitDrag(m, GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case WM_MOUSEMOVE:
      if (m->dragging) MoveSplitDrag(m, GET_X_LPARAM(lp));
      return 0;
    case WM_LBUTTONUP: EndSplitDrag(m, true, GET_X_LPARAM(lp)); return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != w) EndSplitDrag(m, false, 0);
      return 0;
    case WM_COPYDATA:
      return OnCopyData(m, reinterpret_cast<HWND>(wp), reinterpret_cast<COPYDATASTRUCT*>(lp));
    // The tree control's notifications.
    case kTvSelected: OnTreeSelection(m, reinterpret_cast<TreeItem*>(wp), lp); return 0;
    case kTvDeleteItem: OnReleaseItem(m, lp); return 0;
    case kTvTreeDeleteKey: OnTreeDeleteKey(m, reinterpret_cast<TreeItem*>(wp)); return 0;
    case kTvItemSelected: OnListSelection(m, reinterpret_cast<const SelectionInfo*>(lp)); return 0;
    case kTvTreeQuickHelp: AnswerTreeQuickHelp(m, reinterpret_cast<QuickHelpRequest*>(lp)); return 0;
    case kTvItemQuickHelp: AnswerEntryQuickHelp(m, reinterpret_cast<QuickHelpRequest*>(lp)); return 0;
    case kTvDragName: AnswerDragName(m, reinterpret_cast<DragNameRequest*>(lp)); return 0;
    case WM_DROPFILES:
    case kTvPaneDrop:
      return OnFilesDropped(m, reinterpret_cast<HDROP>(wp), reinterpret_cast<const DropNotice*>(lp));
  }
  return DefWindowProcA(w, msg, wp, lp);
}

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "Logo");
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void DropBitmap(HBITMAP* b) {
  if (*b) DeleteObject(*b);
  *b = nullptr;
}

}  // namespace

ShellResources g_shell;

MainWindow* GetMainWindow(HWND window) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void ShowStatus(MainWindow* m, const char* text) {
  SendMessageA(m->statusBar, SB_SETTEXTA, kStatusPart, reinterpret_cast<LPARAM>(text));
  UpdateWindow(m->statusBar);
}

void ShowError(MainWindow* m, const char* text) {
  SendMessageA(m->statusBar, SB_SETTEXTA, kStatusPart, reinterpret_cast<LPARAM>(""));
  SendMessageA(m->statusBar, SB_SETTEXTA, kErrorPart, reinterpret_cast<LPARAM>(text));
  UpdateWindow(m->statusBar);
}

int PanesHeight(MainWindow* m) {
  RECT client, bar = {0, 0, 0, 0};
  GetClientRect(m->window, &client);
  if (m->statusBar && (GetWindowLongA(m->statusBar, GWL_STYLE) & WS_VISIBLE))
    GetWindowRect(m->statusBar, &bar);
  int height = client.bottom - (bar.bottom - bar.top);
  return height > 0 ? height : 0;
}

void PlacePanes(MainWindow* m) {
  MainPaneRects r = LayoutMainPanes(ClientWidth(m), PanesHeight(m), g_shellPrefs.detailsSplitPercent,
                                    m->detailsShown);
  RECT tree = r.tree;
  TvMove(m->treeControl, &tree);
  if (m->detailsShown)
    MoveWindow(m->detailsPane, r.details.left, r.details.top, r.details.right - r.details.left,
               r.details.bottom - r.details.top, TRUE);
  m->splitterX = r.splitterX;
}

void LayoutPanes(MainWindow* m) {
  char text[16];
  snprintf(text, sizeof text, "%lu", g_shellPrefs.viewFlags);
  WriteShellSetting(kSettingsMain, kValueViewFlags, text);
  if (g_shellPrefs.viewFlags != 0) {
    g_shellPrefs.detailsSplitPercent = g_shellPrefs.rememberedDetailsSplit;
    m->detailsShown = true;
    ShowWindow(m->detailsPane, SW_SHOWNA);
  } else {
    if (m->detailsShown) g_shellPrefs.rememberedDetailsSplit = g_shellPrefs.detailsSplitPercent;
    g_shellPrefs.detailsSplitPercent = kWholeWidthPercent;
    m->detailsShown = false;
    ShowWindow(m->detailsPane, SW_HIDE);
  }
  PlacePanes(m);
  InvalidateRect(m->window, nullptr, TRUE);
}

int ShellStartup(HINSTANCE instance) {
  g_shell.instance = instance;
  g_shell.started = true;  // from here on ShellShutdown releases what was made
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  if (!StoreSocketsStartup()) return 0;
  if (!TvRegister(instance)) return 0;

  g_shell.treeBitmap = LoadBitmapA(instance, "TreeBitmap");
  g_shell.treeMask = LoadBitmapA(instance, "TreeMask");
  g_shell.itemBitmap = LoadBitmapA(instance, "ItemBitmap");
  g_shell.itemMask = LoadBitmapA(instance, "ItemMask");
  g_shell.menu = LoadMenuA(instance, "MainMenu");
  g_shell.accelerators = LoadAcceleratorsA(instance, "MainMenu");
  if (!g_shell.menu) return 0;
  EnableMenuItem(g_shell.menu, IDM_REPAIR, MF_BYCOMMAND | MF_GRAYED);

  g_shell.splitterPen = CreatePen(PS_SOLID, kSplitterWidth, RGB(0, 0, 0));
  MakeButtonPens();
  g_shell.interfaceFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  g_shell.fixedFont = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));

  if (!RegisterDetailsPaneClass(instance) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return 0;
  if (!RegisterMainClass(instance)) return 0;

  LoadWindowPosition(kPositionMainWindow, &g_shell.mainPosition);
  LoadPreferences();
  return 1;
}

HWND CreateMainWindow(bool visible) {
  HMENU menu = g_shell.menu;
  g_shell.menu = nullptr;  // the window owns it now
  if (!menu) {
    // A second window of the same run gets a menu of its own.
    menu = LoadMenuA(g_shell.instance, "MainMenu");
    if (!menu) return nullptr;
  }
  // Where the window was may be off every monitor attached now.
  RECT areas[kMaxMonitors];
  int monitors = MonitorWorkAreas(areas, kMaxMonitors);
  const WindowPosition p = PlaceOnMonitors(g_shell.mainPosition, areas, monitors);
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS |
                static_cast<DWORD>(p.state) | (visible ? WS_VISIBLE : 0);
  HWND w = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, style, p.left, p.top, p.width,
                           p.height, nullptr, menu, g_shell.instance, nullptr);
  if (!w) {
    // A window that failed in WM_CREATE took its menu with it.
    if (IsMenu(menu)) DestroyMenu(menu);
    return nullptr;
  }
  StartRecentServer(&GetMainWindow(w)->frame);
  return w;
}

int RunMessageLoop(HWND main) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (g_shell.accelerators && IsWindow(main) &&
        TranslateAcceleratorA(main, g_shell.accelerators, &msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void ShellShutdown() {
  if (!g_shell.started) return;
  g_shell.started = false;
  TvUnregister();
  // The width to come back with: the pane's when it shows, otherwise the
  // one remembered while it was hidden.
  int split = g_shellPrefs.detailsSplitPercent == kWholeWidthPercent
                  ? g_shellPrefs.rememberedDetailsSplit
                  : g_shellPrefs.detailsSplitPercent;
  WriteShellNumber(kSettingsMain, kValueDetailsSplit, split);
  DropPen(&g_shell.splitterPen);
  DropPen(&g_shell.highlightPen);
  DropPen(&g_shell.facePen);
  DropPen(&g_shell.shadowPen);
  DropPen(&g_shell.textPen);
  DropBitmap(&g_shell.treeBitmap);
  DropBitmap(&g_shell.treeMask);
  DropBitmap(&g_shell.itemBitmap);
  DropBitmap(&g_shell.itemMask);
  if (g_shell.menu) DestroyMenu(g_shell.menu);
  g_shell.menu = nullptr;
  UnregisterClassA(kMainWindowClass, g_shell.instance);
  UnregisterClassA(kDetailsPaneClass, g_shell.instance);
  StoreSocketsCleanup();
}

int RunStoreShell(HINSTANCE instance) {
  g_shell.quitOnDestroy = true;
  HWND main = ShellStartup(instance) ? CreateMainWindow(true) : nullptr;
  if (!main) {
    MessageBoxA(nullptr, "The store shell could not start: the system refused a window or "
                "network resource it needs.", kMainWindowTitle, MB_OK | MB_ICONSTOP);
    ShellShutdown();
    return 1;
  }
  int code = RunMessageLoop(main);
  ShellShutdown();
  return code;
}
