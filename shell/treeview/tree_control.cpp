// The control window: classes and shared drawing objects, creation and
// destruction, pane layout and the splitter.
#include "tree_state.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "tree_geometry.h"

TreeShared g_tree;

namespace {
// The control asked for last: an owner adding a long listing asks for the
// same one each time, and the window manager's checks cost more than adding
// an entry. Forgotten when that control goes.
HWND g_lastControl;
TreeControlState* g_lastState;

int g_checkFailures;
char g_firstFailure[256];

bool BothPanes(const TreeControlState* s) { return s->treePane && s->itemPane; }

bool Stacked(const TreeControlState* s) {
  return (s->options & kTvStacked) && !(s->options & kTvSideBySide);
}

void DropPen(HPEN* pen) {
  if (*pen) DeleteObject(*pen);
  *pen = nullptr;
}

// --- Layout and splitter -----------------------------------------------------

void PlacePanes(TreeControlState* s) {
  PaneLayout l = LayoutPanes(s->width, s->height, s->splitPercent, s->options);
  if (s->treePane)
    MoveWindow(s->treePane, l.tree.left, l.tree.top, l.tree.right - l.tree.left,
               l.tree.bottom - l.tree.top, TRUE);
  if (s->itemPane)
    MoveWindow(s->itemPane, l.item.left, l.item.top, l.item.right - l.item.left,
               l.item.bottom - l.item.top, TRUE);
}

// The drag line at pos (client coordinates along the split axis), on the screen.
RECT DragLine(TreeControlState* s, int pos) {
  POINT a = {0, 0}, b = {s->width, s->height};
  if (Stacked(s)) {
    a.y = pos - kSplitBand / 2;
    b.y = a.y + kSplitBand;
  } else {
    a.x = pos - kSplitBand / 2;
    b.x = a.x + kSplitBand;
  }
  ClientToScreen(s->self, &a);
  ClientToScreen(s->self, &b);
  RECT r = {a.x, a.y, b.x, b.y};
  return r;
}

// Inverts the drag line; drawn twice it is gone.
void InvertDragLine(TreeControlState* s) {
  if (!s->dragDC) return;
  const RECT& r = s->dragRect;
  HGDIOBJ oldPen = SelectObject(s->dragDC, g_tree.splitterPen);
  int oldRop = SetROP2(s->dragDC, R2_NOT);
  if (Stacked(s)) {
    int y = r.top + kSplitBand / 2;
    MoveToEx(s->dragDC, r.left, y, nullptr);
    LineTo(s->dragDC, r.right, y);
  } else {
    int x = r.left + kSplitBand / 2;
    MoveToEx(s->dragDC, x, r.top, nullptr);
    LineTo(s->dragDC, x, r.bottom);
  }
  SetROP2(s->dragDC, oldRop);
  SelectObject(s->dragDC, oldPen);
}

void SetSplitCursor(TreeControlState* s) {
  SetCursor(LoadCursorA(nullptr, Stacked(s) ? IDC_SIZENS : IDC_SIZEWE));
}

bool OnSplitter(TreeControlState* s, int x, int y) {
  if (!BothPanes(s)) return false;
  PaneLayout l = LayoutPanes(s->width, s->height, s->splitPercent, s->options);
  return NearSplit(Stacked(s) ? y : x, l.split);
}

void BeginDrag(TreeControlState* s, int x, int y) {
  if (!OnSplitter(s, x, y) || s->width <= 0 || s->height <= 0 || s->dragging) return;
  s->dragDC = GetDC(nullptr);
  if (!s->dragDC) return;
  SetCapture(s->self);
  s->dragging = 1;
  PaneLayout l = LayoutPanes(s->width, s->height, s->splitPercent, s->options);
  s->dragRect = DragLine(s, l.split);
  InvertDragLine(s);
}

void MoveDrag(TreeControlState* s, int x, int y) {
  bool stacked = Stacked(s);
  int extent = stacked ? s->height : s->width;
  InvertDragLine(s);
  s->dragRect = DragLine(s, ClampSplitPointer(stacked ? y : x, extent));
  InvertDragLine(s);
}

// Ends a drag; with apply the split moves to the pointer.
void EndDrag(TreeControlState* s, bool apply, int x, int y) {
  if (!s->dragging) return;
  s->dragging = 0;
  InvertDragLine(s);
  ReleaseDC(nullptr, s->dragDC);
  s->dragDC = nullptr;
  if (GetCapture() == s->self) ReleaseCapture();
  if (!apply) return;
  bool stacked = Stacked(s);
  int p = SplitFromPointer(stacked ? y : x, stacked ? s->height : s->width, stacked);
  if (p < 0) return;
  s->splitPercent = p;
  PlacePanes(s);
  InvalidateRect(s->self, nullptr, TRUE);
}

// --- Creation and destruction ------------------------------------------------

HWND MakePane(TreeControlState* s, int id, const char* title, DWORD style, DWORD noDrop,
              WNDPROC* base) {
  HWND pane = CreateWindowExA(0, "LISTBOX", title, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                              s->self, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              s->instance, nullptr);
  if (!pane) return nullptr;
  SetWindowLongPtrA(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
  *base = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaneProc)));
  SendMessageA(pane, WM_SETFONT, reinterpret_cast<WPARAM>(g_tree.font), FALSE);
  DragAcceptFiles(pane, (s->options & noDrop) ? FALSE : TRUE);
  return pane;
}

LRESULT OnNcCreate(HWND w, const CREATESTRUCTA* cs) {
  const TreeCreateParams* p = static_cast<const TreeCreateParams*>(cs->lpCreateParams);
  if (!p || !g_tree.registered) return FALSE;
  // Freed in WM_NCDESTROY.
  TreeControlState* s = static_cast<TreeControlState*>(calloc(1, sizeof(TreeControlState)));
  if (!s) return FALSE;
  s->magic = kStateMagic;
  s->self = w;
  s->options = p->options;
  if (!(s->options & (kTvSideBySide | kTvStacked))) s->options |= kTvSideBySide;
  s->options |= kTvQuickHelp;
  s->treeOwner = p->treeOwner;
  s->itemOwner = p->itemOwner;
  s->instance = p->instance;
  s->splitPercent = SaneSplitPercent(p->splitPercent);
  s->treeBitmap = p->treeBitmap;
  s->itemBitmap = p->itemBitmap;
  s->treeMask = p->treeMask;
  s->itemMask = p->itemMask;
  s->treeRows = p->treeRows > 0 ? p->treeRows : 1;
  s->itemColumns = p->itemColumns > 0 ? p->itemColumns : 1;
  s->treeImageWidth = p->treeImageWidth > 0 ? p->treeImageWidth : 0;
  s->treeImageHeight = p->treeImageHeight > 0 ? p->treeImageHeight : 0;
  s->itemImageWidth = p->itemImageWidth > 0 ? p->itemImageWidth : 0;
  s->itemImageHeight = p->itemImageHeight > 0 ? p->itemImageHeight : 0;
  s->quickHelpRow = -1;
  SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(s));
  ++g_tree.liveControls;
  return DefWindowProcA(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(cs));
}

LRESULT OnCreate(TreeControlState* s) {
  if (!s) return -1;
  if (s->options & kTvTreePane) {
    s->treePane = MakePane(s, kTreePaneId, "TV:Tree",
                           LBS_OWNERDRAWVARIABLE | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
                               WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT,
                           kTvNoTreeDrop, &s->treeProc);
    if (!s->treePane || !MakeRoot(s)) return -1;
  }
  if (s->options & kTvItemPane) {
    s->itemPane = MakePane(s, kItemPaneId, "TV:Item",
                           LBS_OWNERDRAWFIXED | LBS_NODATA | LBS_MULTICOLUMN | LBS_EXTENDEDSEL |
                               LBS_NOTIFY | LBS_WANTKEYBOARDINPUT | WS_HSCROLL |
                               LBS_NOINTEGRALHEIGHT,
                           kTvNoItemDrop, &s->itemProc);
    if (!s->itemPane) return -1;
    SendMessageA(s->itemPane, LB_SETITEMHEIGHT, 0,
                 ListRowHeight(s->itemImageHeight, g_tree.fontHeight));
    s->columnWidth = s->itemImageWidth > 0 ? s->itemImageWidth : 1;
    SendMessageA(s->itemPane, LB_SETCOLUMNWIDTH, s->columnWidth, 0);
  }
  s->focusPane = s->treePane ? s->treePane : s->itemPane;
  s->quickHelp = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TV_QUICKHELP_CLASS_NAME,
                                 "TVQuickHelp", WS_POPUP | WS_BORDER, 0, 0, 0, 0, s->self,
                                 nullptr, s->instance, nullptr);
  return 0;
}

// Mirrors OnCreate; also runs after a failed creation.
void OnDestroy(TreeControlState* s) {
  if (!s) return;
  EndDrag(s, false, 0, 0);
  if (s->treePane) {
    DeleteWholeTree(s);
    DestroyWindow(s->treePane);
    s->treePane = nullptr;
  }
  if (s->itemPane) {
    DeleteEveryEntry(s);
    DestroyWindow(s->itemPane);
    s->itemPane = nullptr;
  }
  FreeEntryRows(s);
  if (s->quickHelp) {
    DestroyWindow(s->quickHelp);
    s->quickHelp = nullptr;
  }
  s->focusPane = nullptr;
}

void OnNcDestroy(HWND w, TreeControlState* s) {
  if (!s) return;
  if (g_lastState == s) g_lastControl = nullptr, g_lastState = nullptr;
  SetWindowLongPtrA(w, 0, 0);
  s->magic = 0;
  free(s);
  --g_tree.liveControls;
}

LRESULT OnMeasureItem(TreeControlState* s, MEASUREITEMSTRUCT* m) {
  if (m->CtlID == kTreePaneId) {
    const TreeItem* item = reinterpret_cast<const TreeItem*>(m->itemData);
    m->itemHeight = static_cast<UINT>(
        TreeRowHeight(item ? item->sizeFactor : 1, s->treeImageHeight, g_tree.fontHeight));
  } else {
    m->itemHeight = static_cast<UINT>(ListRowHeight(s->itemImageHeight, g_tree.fontHeight));
  }
  return TRUE;
}

LRESULT OnDrawItem(TreeControlState* s, const DRAWITEMSTRUCT* d) {
  if (d->CtlType != ODT_LISTBOX) return FALSE;
  if (d->hwndItem == s->treePane) DrawTreeRow(s, d);
  else if (d->hwndItem == s->itemPane) DrawEntryRow(s, d);
  return TRUE;
}

void OnSize(TreeControlState* s, int width, int height) {
  s->width = width;
  s->height = height;
  PlacePanes(s);
  InvalidateRect(s->self, nullptr, TRUE);
}

void OnPaint(TreeControlState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s->self, &ps);
  if (dc) PaintSplitBand(s, dc);
  EndPaint(s->self, &ps);
}

bool OnSetCursor(TreeControlState* s, HWND over, int hit) {
  if (over != s->self || hit != HTCLIENT) return false;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(s->self, &pt);
  if (!s->dragging && !OnSplitter(s, pt.x, pt.y)) return false;
  SetSplitCursor(s);
  return true;
}

void OnMouseMove(TreeControlState* s, int x, int y) {
  if (s->dragging) MoveDrag(s, x, y);
  else if (OnSplitter(s, x, y)) SetSplitCursor(s);
}

void OnSysColorChange(TreeControlState* s) {
  MakeSharedPens();
  InvalidateRect(s->self, nullptr, TRUE);
  if (s->treePane) InvalidateRect(s->treePane, nullptr, TRUE);
  if (s->itemPane) InvalidateRect(s->itemPane, nullptr, TRUE);
}

LRESULT CALLBACK ControlProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  TreeControlState* s = reinterpret_cast<TreeControlState*>(GetWindowLongPtrA(w, 0));
  if (s) TREE_CHECK(s);
  switch (msg) {
    case WM_NCCREATE: return OnNcCreate(w, reinterpret_cast<CREATESTRUCTA*>(lp));
    case WM_CREATE: return OnCreate(s);
    case WM_DESTROY: OnDestroy(s); return 0;
    case WM_NCDESTROY: OnNcDestroy(w, s); return DefWindowProcA(w, msg, wp, lp);
  }
  if (!s) return DefWindowProcA(w, msg, wp, lp);
  switch (msg) {
    case WM_SIZE: OnSize(s, LOWORD(lp), HIWORD(lp)); return 0;
    case WM_PAINT: OnPaint(s); return 0;
    case WM_MEASUREITEM: return OnMeasureItem(s, reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
    case WM_DRAWITEM: return OnDrawItem(s, reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    case WM_DELETEITEM: return TRUE;
    case WM_COMMAND: OnPaneCommand(s, HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
    case WM_VKEYTOITEM: return OnPaneKey(s, LOWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_CHARTOITEM: return -2;
    case WM_SETCURSOR:
      if (OnSetCursor(s, reinterpret_cast<HWND>(wp), LOWORD(lp))) return TRUE;
      break;
    case WM_MOUSEMOVE: OnMouseMove(s, GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case WM_LBUTTONDOWN: BeginDrag(s, GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case WM_LBUTTONUP: EndDrag(s, true, GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != w) EndDrag(s, false, 0, 0);
      return 0;
    case WM_SETFOCUS:
      if (s->focusPane) SetFocus(s->focusPane);
      return 0;
    case WM_SYSCOLORCHANGE: OnSysColorChange(s); return 0;
    case kResumeRedraw: ResumeRedraw(s); return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

// --- Shared objects ----------------------------------------------------------

void MakeSharedPens(void) {
  DropPen(&g_tree.highlightPen);
  DropPen(&g_tree.facePen);
  DropPen(&g_tree.shadowPen);
  DropPen(&g_tree.textPen);
  DropPen(&g_tree.linePen);
  if (g_tree.bandBrush) DeleteObject(g_tree.bandBrush);
  g_tree.highlightPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  g_tree.facePen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
  g_tree.shadowPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  g_tree.textPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
  g_tree.linePen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  g_tree.bandBrush = CreateSolidBrush(GetSysColor(COLOR_ACTIVEBORDER));
  g_tree.infoText = GetSysColor(COLOR_INFOTEXT);
  g_tree.infoBack = GetSysColor(COLOR_INFOBK);
  g_tree.window = GetSysColor(COLOR_WINDOW);
  g_tree.windowText = GetSysColor(COLOR_WINDOWTEXT);
  g_tree.highlight = GetSysColor(COLOR_HIGHLIGHT);
  g_tree.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
}

int TextWidth(const char* text) {
  SIZE size = {};
  if (g_tree.measureDC && text)
    GetTextExtentPoint32A(g_tree.measureDC, text, static_cast<int>(strlen(text)), &size);
  return size.cx;
}

bool TextSurelyWithin(const char* text, int width) {
  if (!g_tree.haveCharWidths || !text) return false;
  long sum = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p >= 128) return false;  // other code pages' characters are measured
    // A pixel to spare per character for rounding between the two measures.
    sum += g_tree.charWidths[*p] + 1;
    if (sum > width) return false;
  }
  return true;
}

bool TextOfLengthSurelyWithin(const char* text, size_t length, int width) {
  if (!g_tree.haveCharWidths || !text) return false;
  // Short enough even were every character the widest: only whether all
  // are ASCII is left to see, eight at a time.
  size_t room = static_cast<size_t>(width > 0 ? width : 0);
  if (length * static_cast<size_t>(g_tree.widestChar + 1) > room)
    return TextSurelyWithin(text, width);
  uint64_t high = 0;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t eight;
    memcpy(&eight, text + i, 8);
    high |= eight;
  }
  for (; i < length; ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080ull) == 0;
}

int TvRegister(HINSTANCE instance) {
  if (g_tree.registered) return 1;
  WNDCLASSA wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ControlProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = TV_CLASS_NAME;
  ATOM control = RegisterClassA(&wc);
  if (!control) return 0;
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = QuickHelpProc;
  wc.cbWndExtra = 0;
  wc.hbrBackground = nullptr;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = TV_QUICKHELP_CLASS_NAME;
  ATOM quickHelp = RegisterClassA(&wc);
  if (!quickHelp) {
    UnregisterClassA(TV_CLASS_NAME, instance);
    return 0;
  }
  g_tree.instance = instance;
  g_tree.controlAtom = control;
  g_tree.quickHelpAtom = quickHelp;
  g_tree.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  g_tree.measureDC = CreateCompatibleDC(nullptr);
  if (g_tree.measureDC) {
    g_tree.measureOldFont = SelectObject(g_tree.measureDC, g_tree.font);
    TEXTMETRICA tm = {};
    GetTextMetricsA(g_tree.measureDC, &tm);
    g_tree.fontHeight = tm.tmHeight;
    g_tree.haveCharWidths = GetCharWidth32A(g_tree.measureDC, 0, 127, g_tree.charWidths) ? 1 : 0;
    for (int width : g_tree.charWidths)
      if (width > g_tree.widestChar) g_tree.widestChar = width;
  }
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  g_tree.quickHelpFont = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                     ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                     DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
  g_tree.splitterPen = CreatePen(PS_SOLID, kSplitBand, RGB(0, 0, 0));
  MakeSharedPens();
  // The drag cursors are the program's resources; a program without them
  // keeps the system's cursor.
  g_tree.dropNone = LoadCursorA(instance, "DropNone");
  g_tree.dropSingle = LoadCursorA(instance, "DropSingle");
  g_tree.dropMultiple = LoadCursorA(instance, "DropMultiple");
  g_tree.registered = 1;
  return 1;
}

int TvUnregister(void) {
  if (!g_tree.registered) return 1;
  if (g_tree.liveControls > 0) return 0;
  UnregisterClassA(TV_CLASS_NAME, g_tree.instance);
  UnregisterClassA(TV_QUICKHELP_CLASS_NAME, g_tree.instance);
  if (g_tree.measureDC) {
    SelectObject(g_tree.measureDC, g_tree.measureOldFont);
    DeleteDC(g_tree.measureDC);
  }
  if (g_tree.quickHelpFont) DeleteObject(g_tree.quickHelpFont);
  DropPen(&g_tree.splitterPen);
  DropPen(&g_tree.highlightPen);
  DropPen(&g_tree.facePen);
  DropPen(&g_tree.shadowPen);
  DropPen(&g_tree.textPen);
  DropPen(&g_tree.linePen);
  if (g_tree.bandBrush) DeleteObject(g_tree.bandBrush);
  // Cursors loaded from resources are shared and never destroyed.
  g_tree = TreeShared();
  return 1;
}

TreeControlState* TreeStateOf(HWND control) {
  if (control && control == g_lastControl) return g_lastState;
  if (!control || !g_tree.registered || !IsWindow(control)) return nullptr;
  if (static_cast<ATOM>(GetClassLongPtrA(control, GCW_ATOM)) != g_tree.controlAtom) return nullptr;
  TreeControlState* s = reinterpret_cast<TreeControlState*>(GetWindowLongPtrA(control, 0));
  if (!s || s->magic != kStateMagic) return nullptr;
  g_lastControl = control;
  g_lastState = s;
  return s;
}

void HoldRedraw(TreeControlState* s, HWND pane) {
  int bit = pane == s->treePane ? 1 : 2;
  if (!pane || (s->redrawHeld & bit)) return;
  if (!s->redrawHeld) PostMessageA(s->self, kResumeRedraw, 0, 0);
  s->redrawHeld |= bit;
  SendMessageA(pane, WM_SETREDRAW, FALSE, 0);
}

void ResumeRedraw(TreeControlState* s) {
  int held = s->redrawHeld;
  s->redrawHeld = 0;
  if ((held & 1) && s->treePane) {
    SendMessageA(s->treePane, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(s->treePane, nullptr, TRUE);
  }
  if ((held & 2) && s->itemPane) {
    SendMessageA(s->itemPane, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(s->itemPane, nullptr, TRUE);
  }
}

// --- Control operations ------------------------------------------------------

HWND TvCreate(HINSTANCE instance, HWND parent, HWND treeOwner, HWND itemOwner, int splitPercent,
              HBITMAP treeBitmap, HBITMAP treeMask, int treeRows, int treeImageWidth,
              int treeImageHeight, HBITMAP itemBitmap, HBITMAP itemMask, int itemColumns,
              int itemImageWidth, int itemImageHeight, LPARAM reserved1, LPARAM reserved2,
              DWORD options) {
  if (!TvRegister(instance)) return nullptr;
  TreeCreateParams p = {};
  p.options = options;
  p.parent = parent;
  p.instance = instance;
  p.splitPercent = splitPercent;
  p.treeOwner = treeOwner;
  p.itemOwner = itemOwner;
  p.treeBitmap = treeBitmap;
  p.itemBitmap = itemBitmap;
  p.treeMask = treeMask;
  p.itemMask = itemMask;
  p.treeRows = treeRows;
  p.itemColumns = itemColumns;
  p.treeImageWidth = treeImageWidth;
  p.treeImageHeight = treeImageHeight;
  p.itemImageWidth = itemImageWidth;
  p.itemImageHeight = itemImageHeight;
  p.reserved1 = reserved1;
  p.reserved2 = reserved2;
  return CreateWindowExA(0, TV_CLASS_NAME, TV_WINDOW_TITLE,
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                         instance, &p);
}

int TvMove(HWND control, RECT* rect) {
  if (!TreeStateOf(control) || !rect) return 0;
  MoveWindow(control, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
             TRUE);
  rect->left = rect->right;
  rect->top = rect->bottom;
  return 1;
}

int TvSplitPercent(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  if (!s) return 0;
  return BothPanes(s) ? s->splitPercent : 100;
}

int TvFocusTree(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->treePane) return 0;
  SetFocus(s->treePane);
  return 1;
}

int TvFocusItems(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->itemPane) return 0;
  SetFocus(s->itemPane);
  return 1;
}

int TvRedraw(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  if (!s) return 0;
  ResumeRedraw(s);
  for (HWND pane : {s->treePane, s->itemPane}) {
    if (!pane) continue;
    InvalidateRect(pane, nullptr, TRUE);
    UpdateWindow(pane);
  }
  return 1;
}

DWORD TvOptions(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  return s ? s->options : 0;
}

HWND TvTreePane(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  return s ? s->treePane : nullptr;
}

HWND TvItemPane(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  return s ? s->itemPane : nullptr;
}

// --- Checks ------------------------------------------------------------------

int TvCheckInvariant(HWND control, char* why, int whySize) {
  TreeControlState* s = TreeStateOf(control);
  if (!s) {
    if (why && whySize > 0) snprintf(why, static_cast<size_t>(whySize), "not a tree control");
    return 0;
  }
  return CheckState(s, why, whySize);
}

int TvCheckFailures(void) { return g_checkFailures; }

const char* TvFirstCheckFailure(void) { return g_firstFailure; }

void TvResetCheckFailures(void) {
  g_checkFailures = 0;
  g_firstFailure[0] = 0;
}

#if ZELM_TREE_CHECKS
void RunCheck(TreeControlState* s) {
  if (s->busy || s->magic != kStateMagic) return;
  char why[sizeof g_firstFailure];
  if (CheckState(s, why, sizeof why)) return;
  if (g_checkFailures++ == 0) memcpy(g_firstFailure, why, sizeof why);
  OutputDebugStringA("tree control: ");
  OutputDebugStringA(why);
  OutputDebugStringA("\n");
}
#endif
