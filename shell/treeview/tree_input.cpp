// The panes' keys and mouse, and the notifications they lead to. Each pane
// is a list box whose procedure is replaced by PaneProc; what PaneProc does
// not take goes on to the list box.
#include "tree_state.h"

#include <shellapi.h>
#include <windowsx.h>

#include "tree_geometry.h"

// --- Pane hit-testing --------------------------------------------------------

// Walks the rows on screen with the list box's own rectangles
// (LB_ITEMFROMPOINT only has 16 bits).
int RowAtPoint(HWND pane, int x, int y) {
  int count = static_cast<int>(SendMessageA(pane, LB_GETCOUNT, 0, 0));
  int top = static_cast<int>(SendMessageA(pane, LB_GETTOPINDEX, 0, 0));
  RECT client;
  GetClientRect(pane, &client);
  POINT pt = {x, y};
  if (!PtInRect(&client, pt)) return -1;
  bool columns = (GetWindowLongA(pane, GWL_STYLE) & LBS_MULTICOLUMN) != 0;
  for (int i = top < 0 ? 0 : top; i < count; ++i) {
    RECT r;
    if (SendMessageA(pane, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)) == LB_ERR) break;
    if (PtInRect(&r, pt)) return i;
    if (r.left >= client.right) break;
    if (!columns && r.top >= client.bottom) break;
  }
  return -1;
}

namespace {

POINT RowTopLeftOnScreen(HWND pane, int row) {
  RECT r = {};
  SendMessageA(pane, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  POINT pt = {r.left, r.top};
  ClientToScreen(pane, &pt);
  return pt;
}

POINT OnScreen(HWND pane, int x, int y) {
  POINT pt = {x, y};
  ClientToScreen(pane, &pt);
  return pt;
}

TreeItem* SelectedTreeItem(TreeControlState* s, int* rowOut) {
  int row = static_cast<int>(SendMessageA(s->treePane, LB_GETCURSEL, 0, 0));
  if (rowOut) *rowOut = row;
  return ItemAtRow(s, row);
}

void OnTreeSelChange(TreeControlState* s) {
  TreeItem* item = SelectedTreeItem(s, nullptr);
  if (!item) return;
  NotifyOwner(s->treeOwner, kTvSelected, reinterpret_cast<WPARAM>(item), item->data);
  NotifyOwner(s->treeOwner, kTvUserSelected, reinterpret_cast<WPARAM>(item), item->data);
}

}  // namespace

void OnPaneCommand(TreeControlState* s, int code, HWND from) {
  if (!from) return;
  if (from == s->treePane) {
    if (code == LBN_SELCHANGE) OnTreeSelChange(s);
    else if (code == LBN_DBLCLK) OpenTreeItem(s, SelectedTreeItem(s, nullptr));
  } else if (from == s->itemPane) {
    if (code == LBN_SELCHANGE) NotifyWithEntries(s, kTvItemSelected, POINT{0, 0});
    else if (code == LBN_DBLCLK) NotifyWithEntries(s, kTvItemOpen, POINT{0, 0});
  }
}

// --- Keys --------------------------------------------------------------------

namespace {

LRESULT TreeKey(TreeControlState* s, int key) {
  int row;
  TreeItem* item = SelectedTreeItem(s, &row);
  switch (key) {
    case VK_TAB:
      SetFocus(s->itemPane ? s->itemPane : s->treeOwner);
      return -2;
    case VK_RETURN:
      OpenTreeItem(s, item);
      return -2;
    case VK_INSERT:
    case VK_DELETE:
      if (item)
        NotifyWithItem(s, key == VK_INSERT ? kTvTreeInsert : kTvTreeDeleteKey, item,
                       RowTopLeftOnScreen(s->treePane, row));
      return -2;
    case VK_ADD:
    case VK_SUBTRACT:
      // Plus only opens and minus only closes; the root neither.
      if (item && item != s->root && item->firstChild &&
          (item->collapsed != 0) == (key == VK_ADD))
        OpenTreeItem(s, item);
      return -2;
  }
  return -1;
}

LRESULT ItemKey(TreeControlState* s, int key) {
  switch (key) {
    case VK_TAB:
      SetFocus(s->treePane ? s->treePane : s->itemOwner);
      return -2;
    case VK_RETURN:
      NotifyWithEntries(s, kTvItemOpen, POINT{0, 0});
      return -2;
    case VK_INSERT:
      NotifyWithEntries(s, kTvItemInsert, OnScreen(s->itemPane, 0, 0));
      return -2;
    case VK_DELETE: {
      int first = -1;
      if (SendMessageA(s->itemPane, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&first)) == 1)
        NotifyWithEntries(s, kTvItemDeleteKey, RowTopLeftOnScreen(s->itemPane, first));
      return -2;
    }
  }
  return -1;
}

}  // namespace

LRESULT OnPaneKey(TreeControlState* s, int key, HWND pane) {
  return pane == s->treePane ? TreeKey(s, key) : ItemKey(s, key);
}

// --- Pane mouse --------------------------------------------------------------

namespace {


// A press on an expand button opens or closes the item without selecting it.
bool PressOnButton(TreeControlState* s, int x, int y) {
  int row = RowAtPoint(s->treePane, x, y);
  TreeItem* item = ItemAtRow(s, row);
  if (!item || item == s->root || !item->firstChild) return false;
  RECT r;
  SendMessageA(s->treePane, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  item->button.x = r.left + item->indent - 5;
  item->button.y = r.bottom - (r.bottom - r.top) / 2 - 5;
  if (x < item->button.x || x >= item->button.x + kButtonWidth) return false;
  TvExpand(s->self, item, kTvToggle);
  return true;
}

void TreeRightUp(TreeControlState* s, int x, int y) {
  int row = RowAtPoint(s->treePane, x, y);
  if (row < 0) {
    SendMessageA(s->treePane, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    return;
  }
  if (SendMessageA(s->treePane, LB_GETCURSEL, 0, 0) != row) SelectRowAsUser(s, row);
  TreeItem* item = SelectedTreeItem(s, nullptr);
  if (item) NotifyWithItem(s, kTvTreeMenu, item, OnScreen(s->treePane, x, y));
}

LRESULT ItemRightUp(TreeControlState* s, UINT msg, WPARAM wp, LPARAM lp) {
  HWND pane = s->itemPane;
  int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  int row = RowAtPoint(pane, x, y);
  int count = static_cast<int>(SendMessageA(pane, LB_GETSELCOUNT, 0, 0));
  bool alreadyAlone = row >= 0 && count == 1 && SendMessageA(pane, LB_GETSEL, row, 0) > 0;
  bool changed = false;
  if (row >= 0 && !alreadyAlone) {
    // As a plain left click: that row alone.
    SendMessageA(pane, LB_SETSEL, FALSE, -1);
    SendMessageA(pane, LB_SETSEL, TRUE, row);
    SendMessageA(pane, LB_SETCARETINDEX, row, FALSE);
    changed = true;
  } else if (row < 0 && count > 0) {
    SendMessageA(pane, LB_SETSEL, FALSE, -1);
    changed = true;
  }
  if (changed) NotifyWithEntries(s, kTvItemSelected, POINT{0, 0});
  LRESULT result = CallWindowProcA(s->itemProc, pane, msg, wp, lp);
  NotifyWithEntries(s, kTvItemMenu, OnScreen(pane, x, y));
  return result;
}

}  // namespace

LRESULT CALLBACK PaneProc(HWND pane, UINT msg, WPARAM wp, LPARAM lp) {
  TreeControlState* s = reinterpret_cast<TreeControlState*>(GetWindowLongPtrA(pane, GWLP_USERDATA));
  if (!s) return DefWindowProcA(pane, msg, wp, lp);
  bool tree = pane == s->treePane;
  WNDPROC base = tree ? s->treeProc : s->itemProc;
  if (!tree && msg != LB_SETCOUNT) SyncEntryRows(s);
  int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  switch (msg) {
    case kTvIsPane:
    case kTvPaneQuery:
      return 1;
    case WM_CHAR:
      NotifyOwner(tree ? s->treeOwner : s->itemOwner, WM_CHAR, wp, lp);
      return 0;
    case WM_SETFOCUS:
      s->focusPane = pane;
      break;
    case WM_MOUSEMOVE:
      QuickHelpMouseMove(s, pane, x, y);
      break;
    case WM_TIMER:
      if (wp != kQuickHelpTimer) break;
      QuickHelpTimer(s, pane);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      HideQuickHelp(s, false);
      if (tree && PressOnButton(s, x, y)) return 0;
      // A double-click below the last row opens nothing.
      if (msg == WM_LBUTTONDBLCLK && RowAtPoint(pane, x, y) < 0) return 0;
      if (!tree && msg == WM_LBUTTONDOWN) return ItemPanePress(s, msg, wp, lp);
      break;
    case WM_RBUTTONUP:
      HideQuickHelp(s, false);
      if (!tree) return ItemRightUp(s, msg, wp, lp);
      TreeRightUp(s, x, y);
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PaneImagesScope images;
      return CallWindowProcA(base, pane, msg, wp, lp);
    }
    case WM_DROPFILES:
    case kTvPaneDrop:
      return OnPaneDrop(s, pane, msg, reinterpret_cast<HDROP>(wp));
    case WM_NCDESTROY:
      SetWindowLongPtrA(pane, GWLP_USERDATA, 0);
      SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(base));
      break;
  }
  return CallWindowProcA(base, pane, msg, wp, lp);
}

// --- Notifications -----------------------------------------------------------

LRESULT NotifyOwner(HWND owner, UINT msg, WPARAM wp, LPARAM lp) {
  return owner && IsWindow(owner) ? SendMessageA(owner, msg, wp, lp) : 0;
}

void NotifyWithItem(TreeControlState* s, UINT msg, TreeItem* item, POINT at) {
  void* items[1] = {item};
  LPARAM data[1] = {item->data};
  SelectionInfo info = {s->self, at, 1, items, data};
  NotifyOwner(s->treeOwner, msg, reinterpret_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info));
}

void NotifyWithEntries(TreeControlState* s, UINT msg, POINT at) {
  SelectionInfo info = {};
  info.sender = s->self;
  info.point = at;
  if (!CollectSelectedEntries(s, &info)) return;
  NotifyOwner(s->itemOwner, msg, 0, reinterpret_cast<LPARAM>(&info));
  TvReleaseSelection(&info);
}

