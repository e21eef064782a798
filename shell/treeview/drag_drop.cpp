// Files dropped on the panes, and the item pane's entries dragged out to
// other windows as files their owner names.
#include <windowsx.h>

#include <cstring>

#include "drop_block.h"
#include "ole_drop.h"
#include "tree_state.h"

namespace {

enum { kDragPollMs = 10, kPaneQueryMs = 2000 };

enum DragOutcome { kNotMoved, kCancelled, kReleased };

HCURSOR DragCursor(int entries) {
  HCURSOR c = entries == 0 ? g_tree.dropNone : entries == 1 ? g_tree.dropSingle : g_tree.dropMultiple;
  if (c) return c;
  // A program without the drag cursors still shows where a drop would go.
  return LoadCursorA(nullptr, entries == 0 ? IDC_NO : IDC_ARROW);
}

bool Same(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// Polls the pointer until the button is released; nothing else runs
// meanwhile. Escape, or losing the capture, cancels.
DragOutcome TrackDrag(TreeControlState* s, POINT start, int entries, POINT* end) {
  HWND pane = s->itemPane;
  // The physical button: with swapped buttons the left one reads as right.
  int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  SetCapture(pane);
  HCURSOR before = GetCursor();
  bool moved = false, held = false;
  DragOutcome outcome = kReleased;
  POINT pt = start;
  // A press whose button is already up by now (a quick click) drags nothing.
  while (GetAsyncKeyState(button) & 0x8000) {
    held = true;
    if ((GetAsyncKeyState(VK_ESCAPE) & 0x8000) || GetCapture() != pane) {
      outcome = kCancelled;
      break;
    }
    GetCursorPos(&pt);
    if (!Same(pt, start)) moved = true;
    if (moved) SetCursor(DragCursor(FindDropTarget(s, pt).window ? entries : 0));
    Sleep(kDragPollMs);
  }
  if (outcome == kReleased && held) {
    GetCursorPos(&pt);
    if (!Same(pt, start)) moved = true;
  }
  if (GetCapture() == pane) ReleaseCapture();
  SetCursor(before);
  *end = pt;
  if (outcome == kCancelled) return kCancelled;
  return moved ? kReleased : kNotMoved;
}

// The press and the release, as the list box's own click.
void ListBoxClick(TreeControlState* s, WPARAM keys, LPARAM lp) {
  CallWindowProcA(s->itemProc, s->itemPane, WM_LBUTTONDOWN, keys, lp);
  CallWindowProcA(s->itemProc, s->itemPane, WM_LBUTTONUP, keys & ~static_cast<WPARAM>(MK_LBUTTON),
                  lp);
}

bool InThisProcess(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid == GetCurrentProcessId();
}

}  // namespace

// --- Receiving ---------------------------------------------------------------

LRESULT OnPaneDrop(TreeControlState* s, HWND pane, UINT msg, HDROP drop) {
  if (!drop) return 0;
  bool tree = pane == s->treePane;
  HWND owner = tree ? s->treeOwner : s->itemOwner;
  DropNotice notice = {s->self, nullptr, 0, drop};
  bool take = !(s->options & (tree ? kTvNoTreeDrop : kTvNoItemDrop)) && owner && IsWindow(owner);
  if (take && tree) {
    POINT pt = {0, 0};
    DragQueryPoint(drop, &pt);
    notice.item = ItemAtRow(s, RowAtPoint(pane, pt.x, pt.y));
    take = notice.item != nullptr;
  } else if (take && s->treePane) {
    // The list shows the selected item's content: the drop is meant for it.
    notice.item = TvSelectedItem(s->self);
    take = notice.item != nullptr;
  }
  if (!take) {
    DragFinish(drop);
    return 0;
  }
  if (notice.item) notice.data = notice.item->data;
  return SendMessageA(owner, msg, reinterpret_cast<WPARAM>(drop), reinterpret_cast<LPARAM>(&notice));
}

// --- Dragging out ------------------------------------------------------------

DropTarget FindDropTarget(TreeControlState* s, POINT screen) {
  DropTarget none = {nullptr, false};
  HWND under = WindowFromPoint(screen);
  if (!under || under == s->itemPane) return none;
  HWND desktop = GetDesktopWindow();
  for (HWND w = under; w && w != desktop; w = GetAncestor(w, GA_PARENT)) {
    // A drop handle is memory of this process: the system's drop message can
    // only go to windows of this program.
    if ((GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) && InThisProcess(w)) return {w, false};
    if (HasOleDropTarget(w)) return {w, true};
  }
  return none;
}

bool DropSelectedEntries(TreeControlState* s, DropTarget target, POINT screen) {
  if (!target.window || !IsWindow(target.window)) return false;
  POINT client = screen;
  ScreenToClient(target.window, &client);
  RECT rc;
  GetClientRect(target.window, &rc);
  bool outside = !PtInRect(&rc, client);
  bool isPane = false;
  if (!target.ole) {
    DWORD_PTR answer = 0;
    isPane = SendMessageTimeoutA(target.window, kTvIsPane, 0, 0, SMTO_ABORTIFHUNG, kPaneQueryMs,
                                 &answer) &&
             answer == 1;
  }
  SelectionInfo info;
  memset(&info, 0, sizeof info);
  DropBlock block;
  if (!CollectSelectedEntries(s, &info)) return false;
  if (!DropBlockStart(&block, client, outside)) {
    TvReleaseSelection(&info);
    return false;
  }
  for (int i = 0; i < info.count; ++i) {
    DragNameRequest req;
    memset(&req, 0, sizeof req);
    req.control = s->self;
    req.targetIsPane = isPane ? 1 : 0;
    req.entry = static_cast<ListItem*>(info.items[i]);
    req.data = info.data[i];
    NotifyOwner(s->itemOwner, kTvDragName, 0, reinterpret_cast<LPARAM>(&req));
    req.name[sizeof req.name - 1] = '\0';
    req.secondName[sizeof req.secondName - 1] = '\0';
    // Out of memory: the names so far still go.
    if (!DropBlockAppend(&block, req.name, req.secondName, isPane)) break;
  }
  TvReleaseSelection(&info);
  // A drop that names no file would read as one empty name to some targets:
  // with nothing named, nothing is dropped.
  HGLOBAL h = block.names > 0 ? DropBlockToGlobal(&block) : nullptr;
  DropBlockFree(&block);
  if (!h) return false;
  if (target.ole) {
    bool taken = DropThroughOle(h);
    GlobalFree(h);
    return taken;
  }
  UINT msg = isPane ? static_cast<UINT>(kTvPaneDrop) : static_cast<UINT>(WM_DROPFILES);
  // Naming may have taken a while: the target may be gone by now.
  if (!IsWindow(target.window) ||
      !PostMessageA(target.window, msg, reinterpret_cast<WPARAM>(h), 0)) {
    GlobalFree(h);
    return false;
  }
  return true;  // the target owns the block now
}

LRESULT ItemPanePress(TreeControlState* s, UINT msg, WPARAM keys, LPARAM lp) {
  HWND pane = s->itemPane;
  int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  int row = RowAtPoint(pane, x, y);
  bool onSelected = row >= 0 && SendMessageA(pane, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0;
  // Shift and Ctrl clicks shape the selection as in any list; they drag nothing.
  bool shaping = (keys & (MK_SHIFT | MK_CONTROL)) != 0;
  if (!onSelected || shaping) {
    ListBoxClick(s, keys, lp);
    if (shaping) return 0;
  } else {
    // The press on a selected entry keeps the selection for the drag.
    SetFocus(pane);
  }
  int entries = static_cast<int>(SendMessageA(pane, LB_GETSELCOUNT, 0, 0));
  if (entries <= 0) return 0;
  POINT start = {x, y};
  ClientToScreen(pane, &start);
  POINT end;
  DragOutcome outcome = TrackDrag(s, start, entries, &end);
  if (outcome == kNotMoved && onSelected) {
    // A plain click on one of several selected entries makes it the only one.
    ListBoxClick(s, keys, lp);
  } else if (outcome == kReleased) {
    DropTarget target = FindDropTarget(s, end);
    if (target.window) DropSelectedEntries(s, target, end);
  }
  (void)msg;
  return 0;
}
