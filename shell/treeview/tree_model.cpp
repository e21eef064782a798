// Tree items and the tree pane's rows. The rows are always exactly the items
// without a collapsed ancestor, in depth-first order (an item before its
// children, children before later siblings); every change below keeps that.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tree_geometry.h"
#include "tree_state.h"

namespace {

// Heap copy (malloc) of text; the item it is stored in frees it.
char* CopyText(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy) memcpy(copy, text, n);
  return copy;
}

void FreeItem(TreeItem* item) {
  free(item->text);
  free(item->tipText);
  free(item);
}

// Depth-first successor of n within the subtree of top (null at its end).
// With shownOnly, the children of collapsed items are skipped.
TreeItem* NextInSubtree(TreeItem* n, const TreeItem* top, bool shownOnly) {
  if (n->firstChild && !(shownOnly && n->collapsed)) return n->firstChild;
  for (; n && n != top; n = n->parent)
    if (n->nextSibling) return n->nextSibling;
  return nullptr;
}

// The last row of the subtree of item (item itself when it shows nothing below).
TreeItem* LastShownDescendant(TreeItem* item) {
  while (!item->collapsed && item->firstChild) {
    TreeItem* c = item->firstChild;
    while (c->nextSibling) c = c->nextSibling;
    item = c;
  }
  return item;
}

// Rows the subtree of item would occupy below the item were it expanded.
int ShownDescendants(TreeItem* item) {
  int n = 0;
  for (TreeItem* c = item->firstChild; c; c = NextInSubtree(c, item, true)) ++n;
  return n;
}

void Redraw(TreeControlState* s) {
  if (s->treePane) InvalidateRect(s->treePane, nullptr, TRUE);
}

void WidenExtent(TreeControlState* s, const TreeItem* item) {
  int right = item->indent + item->sizeFactor * s->treeImageWidth + TextWidth(item->text) +
              kExtentSlack;
  if (right > s->treeExtent) {
    s->treeExtent = right;
    SendMessageA(s->treePane, LB_SETHORIZONTALEXTENT, right, 0);
  }
}

void SetRowHeight(TreeControlState* s, TreeItem* item) {
  int row = RowOfItem(s, item);
  if (row >= 0)
    SendMessageA(s->treePane, LB_SETITEMHEIGHT, row,
                 TreeRowHeight(item->sizeFactor, s->treeImageHeight, g_tree.fontHeight));
}

// Indents below item follow from their parents'; after item's image width
// changed, every descendant moves.
void ReindentSubtree(TreeItem* item) {
  for (TreeItem* c = item->firstChild; c; c = NextInSubtree(c, item, false))
    c->indent = c->parent->indent + c->parent->halfImageWidth + 3;
}

void SendSelected(TreeControlState* s, TreeItem* item, bool byUser) {
  NotifyOwner(s->treeOwner, kTvSelected, reinterpret_cast<WPARAM>(item), item->data);
  if (byUser)
    NotifyOwner(s->treeOwner, kTvUserSelected, reinterpret_cast<WPARAM>(item), item->data);
}

// Opens or closes the rows of item (its state already changed). Rows are
// replaced with the pane's redrawing off and the first visible row kept.
// Returns the item's row when the selected row went with the collapse, else -1.
int ChangeRows(TreeControlState* s, TreeItem* item, bool collapse) {
  int row = RowOfItem(s, item);
  if (row < 0) return -1;
  HWND pane = s->treePane;
  int top = static_cast<int>(SendMessageA(pane, LB_GETTOPINDEX, 0, 0));
  int selected = static_cast<int>(SendMessageA(pane, LB_GETCURSEL, 0, 0));
  bool selectionHidden = false;
  HoldRedraw(s, pane);
  {
    BusyScope busy(s);
    if (collapse) {
      int k = ShownDescendants(item);
      for (int r = row + k; r > row; --r) SendMessageA(pane, LB_DELETESTRING, r, 0);
      if (top > row) top = top <= row + k ? row : top - k;
      selectionHidden = selected > row && selected <= row + k;
    } else {
      int r = row + 1, k = 0;
      for (TreeItem* c = item->firstChild; c; c = NextInSubtree(c, item, true), ++r, ++k) {
        LRESULT at = SendMessageA(pane, LB_INSERTSTRING, r, reinterpret_cast<LPARAM>(c));
        if (at == LB_ERR || at == LB_ERRSPACE) {
          // Out of memory: take the rows back out so the pane still matches.
          while (--r > row) SendMessageA(pane, LB_DELETESTRING, r, 0);
          item->collapsed = 1;
          UpdateImageCell(s, item);
          k = 0;
          break;
        }
      }
      if (top > row) top += k;
    }
    SendMessageA(pane, LB_SETTOPINDEX, top, 0);
  }
  return selectionHidden ? row : -1;
}

// The closest collapsed ancestor to the root, or null when item shows.
TreeItem* TopCollapsedAncestor(TreeItem* item) {
  TreeItem* found = nullptr;
  for (TreeItem* p = item->parent; p; p = p->parent)
    if (p->collapsed) found = p;
  return found;
}

TreeItem* FindDepthFirst(TreeControlState* s, const char* text, bool tip) {
  if (!s || !s->root || !text) return nullptr;
  for (TreeItem* n = s->root; n; n = NextInSubtree(n, s->root, false)) {
    const char* t = tip ? n->tipText : n->text;
    if (t && SameTextIgnoringCase(t, text)) return n;
  }
  return nullptr;
}

void Describe(char* why, int size, const char* format, const void* p, long a, long b) {
  if (why && size > 0) snprintf(why, static_cast<size_t>(size), format, p, a, b);
}

}  // namespace

bool IsShown(const TreeItem* item) {
  for (const TreeItem* p = item->parent; p; p = p->parent)
    if (p->collapsed) return false;
  return true;
}

int CellColumn(const TreeItem* item) {
  if (!item->firstChild) return kCellLeaf;
  return item->collapsed ? kCellCollapsed : kCellExpanded;
}

void UpdateImageCell(TreeControlState* s, TreeItem* item) {
  item->imageCell = TreeImageCell(item->image, item->sizeFactor, CellColumn(item), s->treeRows,
                                  s->treeImageWidth, s->treeImageHeight);
}

// The last child of parent, found at once when it is the item added last.
TreeItem* LastChildOf(TreeControlState* s, TreeItem* parent) {
  TreeItem* last = s->lastAdded;
  if (last && last->parent == parent && !last->nextSibling) return last;
  last = nullptr;
  for (TreeItem* c = parent->firstChild; c; c = c->nextSibling) last = c;
  return last;
}

// RowOfItem, found at once for the item added last while its row holds.
int RowNear(TreeControlState* s, const TreeItem* item) {
  if (item && item == s->lastAdded && s->lastAddedRow >= 0 && s->treePane &&
      SendMessageA(s->treePane, LB_GETITEMDATA, s->lastAddedRow, 0) ==
          reinterpret_cast<LRESULT>(item))
    return s->lastAddedRow;
  return RowOfItem(s, item);
}

int RowOfItem(TreeControlState* s, const TreeItem* item) {
  if (!s->treePane || !item || !IsShown(item)) return -1;
  // Rows hold the item pointers; the list box finds a row by that value.
  LRESULT row = SendMessageA(s->treePane, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(item));
  return row == LB_ERR ? -1 : static_cast<int>(row);
}

TreeItem* ItemAtRow(TreeControlState* s, int row) {
  if (!s->treePane || row < 0) return nullptr;
  LRESULT data = SendMessageA(s->treePane, LB_GETITEMDATA, row, 0);
  return data == LB_ERR ? nullptr : reinterpret_cast<TreeItem*>(data);
}

TreeItem* MakeRoot(TreeControlState* s) {
  TreeItem* root = static_cast<TreeItem*>(calloc(1, sizeof(TreeItem)));
  if (!root) return nullptr;
  root->text = CopyText(TV_ROOT_TEXT);
  if (!root->text) {
    free(root);
    return nullptr;
  }
  root->sizeFactor = 1;
  root->halfImageWidth = s->treeImageWidth / 2;
  UpdateImageCell(s, root);
  LRESULT row = SendMessageA(s->treePane, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root));
  if (row == LB_ERR || row == LB_ERRSPACE) {
    FreeItem(root);
    return nullptr;
  }
  s->root = root;
  WidenExtent(s, root);
  return root;
}

void SelectRowAsUser(TreeControlState* s, int row) {
  SendMessageA(s->treePane, LB_SETCURSEL, row, 0);
  TreeItem* item = ItemAtRow(s, row);
  if (item) SendSelected(s, item, true);
}

void OpenTreeItem(TreeControlState* s, TreeItem* item) {
  if (!item) return;
  bool canToggle = item->firstChild && item != s->root;
  if (s->options & kTvOnlyToggle) {
    if (canToggle) TvExpand(s->self, item, kTvToggle);
    return;
  }
  if ((s->options & kTvOpenToggles) && canToggle) {
    TvExpand(s->self, item, kTvToggle);
    return;
  }
  NotifyWithItem(s, kTvTreeOpen, item, POINT{0, 0});
}

TreeItem* TvAddItem(HWND control, TreeItem* reference, DWORD placement, const char* text,
                    const char* tipText, int image, int sizeFactor, LPARAM data) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->root || !text) return nullptr;
  TreeItem* parent;
  TreeItem* previous = nullptr;
  // The root has no siblings: "after the root" means under it.
  if ((placement & kTvAddAfter) && reference && reference != s->root) {
    parent = reference->parent;
    previous = reference;
  } else {
    parent = reference ? reference : s->root;
    if (!(placement & kTvAddFirst)) previous = LastChildOf(s, parent);
  }

  TreeItem* item = static_cast<TreeItem*>(calloc(1, sizeof(TreeItem)));
  if (!item) return nullptr;
  item->text = CopyText(text);
  item->tipText = tipText ? CopyText(tipText) : nullptr;
  if (!item->text || (tipText && !item->tipText)) {
    FreeItem(item);
    return nullptr;
  }
  item->image = image < 0 ? 0 : image;
  item->sizeFactor = ClampSizeFactor(sizeFactor);
  item->halfImageWidth = item->sizeFactor * s->treeImageWidth / 2;
  item->data = data;
  item->collapsed = (placement & kTvAddCollapsed) ? 1 : 0;
  item->indent = parent->indent + parent->halfImageWidth + 3;
  UpdateImageCell(s, item);

  BusyScope busy(s);
  item->parent = parent;
  if (previous) {
    item->nextSibling = previous->nextSibling;
    previous->nextSibling = item;
  } else {
    item->nextSibling = parent->firstChild;
    parent->firstChild = item;
  }
  // The parent shows a plus or a minus by its own state now that it has a child.
  UpdateImageCell(s, parent);
  HoldRedraw(s, s->treePane);
  int row = -1;
  if (IsShown(item)) {
    TreeItem* before = previous ? LastShownDescendant(previous) : parent;
    row = RowNear(s, before) + 1;
    LRESULT at = SendMessageA(s->treePane, LB_INSERTSTRING, row, reinterpret_cast<LPARAM>(item));
    if (at == LB_ERR || at == LB_ERRSPACE) {
      if (previous) previous->nextSibling = item->nextSibling;
      else parent->firstChild = item->nextSibling;
      UpdateImageCell(s, parent);
      FreeItem(item);
      return nullptr;
    }
  }
  WidenExtent(s, item);
  s->lastAdded = item;
  s->lastAddedRow = row;
  return item;
}

int TvSetItem(HWND control, TreeItem* item, const char* text, const char* tipText, int image,
              int sizeFactor, LPARAM data) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->root) return 0;
  if (!item) item = s->root;
  BusyScope busy(s);
  if (text) {
    char* copy = CopyText(text);
    if (!copy) return 0;
    free(item->text);
    item->text = copy;
  }
  if (tipText && item->tipText) {
    char* copy = CopyText(tipText);
    if (!copy) return 0;
    free(item->tipText);
    item->tipText = copy;
  }
  if (image != -1) item->image = image < 0 ? 0 : image;
  if (sizeFactor != -1) {
    int sf = ClampSizeFactor(sizeFactor);
    if (sf != item->sizeFactor) {
      item->sizeFactor = sf;
      item->halfImageWidth = sf * s->treeImageWidth / 2;
      ReindentSubtree(item);
      SetRowHeight(s, item);
    }
  }
  if (data) item->data = data;
  UpdateImageCell(s, item);
  WidenExtent(s, item);
  Redraw(s);
  return 1;
}

int TvDeleteItem(HWND control, TreeItem* item) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !item || item == s->root || !item->parent) return 0;
  TreeItem* parent = item->parent;
  s->lastAdded = nullptr;
  {
    BusyScope busy(s);
    int row = RowOfItem(s, item);
    int rows = row < 0 ? 0 : 1 + (item->collapsed ? 0 : ShownDescendants(item));
    if (parent->firstChild == item) {
      parent->firstChild = item->nextSibling;
    } else {
      TreeItem* p = parent->firstChild;
      while (p && p->nextSibling != item) p = p->nextSibling;
      if (!p) return 0;  // not linked where it claims to be
      p->nextSibling = item->nextSibling;
    }
    item->nextSibling = nullptr;
    UpdateImageCell(s, parent);
    if (rows) HoldRedraw(s, s->treePane);
    // The subtree's rows are consecutive; taking them from the end moves least.
    for (int r = row + rows - 1; r >= row && row >= 0; --r)
      SendMessageA(s->treePane, LB_DELETESTRING, r, 0);
  }
  // Children before their parent, earlier siblings first; each is already
  // out of the pane when its owner hears of it.
  TreeItem* n = item;
  for (;;) {
    if (n->firstChild) {
      n = n->firstChild;
      continue;
    }
    TreeItem* up = n->parent;
    NotifyOwner(s->treeOwner, kTvDeleteItem, reinterpret_cast<WPARAM>(n), n->data);
    if (n == item) {
      FreeItem(n);
      break;
    }
    up->firstChild = n->nextSibling;
    FreeItem(n);
    n = up;
  }
  return 1;
}

int TvDeleteAllItems(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->root) return 0;
  while (s->root->firstChild)
    if (!TvDeleteItem(control, s->root->firstChild)) return 0;
  return 1;
}

void DeleteWholeTree(TreeControlState* s) {
  if (!s->root) return;
  s->lastAdded = nullptr;
  while (s->root->firstChild)
    if (!TvDeleteItem(s->self, s->root->firstChild)) break;
  TreeItem* root = s->root;
  {
    BusyScope busy(s);
    int row = RowOfItem(s, root);
    if (row >= 0) SendMessageA(s->treePane, LB_DELETESTRING, row, 0);
    s->root = nullptr;
  }
  NotifyOwner(s->treeOwner, kTvDeleteItem, reinterpret_cast<WPARAM>(root), root->data);
  FreeItem(root);
}

int TvExpand(HWND control, TreeItem* item, int action) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !item) return 0;
  int collapse;
  switch (action) {
    case kTvExpand: collapse = 0; break;
    case kTvCollapse: collapse = 1; break;
    case kTvToggle: collapse = !item->collapsed; break;
    default: return 0;
  }
  if (item == s->root) collapse = 0;
  if (item->collapsed == collapse) return 1;
  int hiddenSelection = -1;
  {
    BusyScope busy(s);
    item->collapsed = collapse;
    UpdateImageCell(s, item);
    if (item->firstChild && IsShown(item)) hiddenSelection = ChangeRows(s, item, collapse != 0);
    else Redraw(s);
  }
  // As if the user clicked the item: the owner follows the selection.
  if (hiddenSelection >= 0) SelectRowAsUser(s, hiddenSelection);
  return 1;
}

int TvSelectItem(HWND control, TreeItem* item) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->root) return 0;
  if (!item) item = s->root;
  while (TreeItem* hidden = TopCollapsedAncestor(item))
    if (!TvExpand(control, hidden, kTvExpand)) return 0;
  int row = RowOfItem(s, item);
  if (row < 0) return 0;
  SendMessageA(s->treePane, LB_SETCURSEL, row, 0);
  SendSelected(s, item, false);
  return 1;
}

TreeItem* TvSelectPrevious(HWND control) {
  TreeItem* item = TvSelectedItem(control);
  if (!item || !item->parent) return nullptr;
  TreeItem* target = item->parent;
  for (TreeItem* c = item->parent->firstChild; c && c != item; c = c->nextSibling) target = c;
  return TvSelectItem(control, target) ? target : nullptr;
}

TreeItem* TvSelectNext(HWND control) {
  TreeItem* item = TvSelectedItem(control);
  if (!item) return nullptr;
  TreeItem* target = item->firstChild;
  for (TreeItem* n = item; !target && n; n = n->parent) target = n->nextSibling;
  if (!target) return nullptr;
  return TvSelectItem(control, target) ? target : nullptr;
}

TreeItem* TvSelectedItem(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  if (!s || !s->treePane) return nullptr;
  return ItemAtRow(s, static_cast<int>(SendMessageA(s->treePane, LB_GETCURSEL, 0, 0)));
}

LPARAM TvSelectedData(HWND control) {
  TreeItem* item = TvSelectedItem(control);
  return item ? item->data : 0;
}

LPARAM TvItemData(HWND control, TreeItem* item) {
  return TreeStateOf(control) && item ? item->data : 0;
}

TreeItem* TvItemParent(HWND control, TreeItem* item) {
  return TreeStateOf(control) && item ? item->parent : nullptr;
}

int TvHasChildren(HWND control, TreeItem* item) {
  return TreeStateOf(control) && item && item->firstChild ? 1 : 0;
}

TreeItem* TvRootItem(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  return s ? s->root : nullptr;
}

TreeItem* TvFindText(HWND control, const char* text) {
  return FindDepthFirst(TreeStateOf(control), text, false);
}

TreeItem* TvFindTip(HWND control, const char* text) {
  return FindDepthFirst(TreeStateOf(control), text, true);
}

int CheckState(TreeControlState* s, char* why, int whySize) {
  if (s->root) {
    TreeItem* root = s->root;
    if (root->parent || root->nextSibling) {
      Describe(why, whySize, "root %p has a parent or a sibling", root, 0, 0);
      return 0;
    }
    if (root->collapsed) {
      Describe(why, whySize, "root %p is collapsed", root, 0, 0);
      return 0;
    }
    // Links, cells and indents, with a bound so a cycle cannot hang the check.
    long seen = 0;
    for (TreeItem* n = root; n; n = NextInSubtree(n, root, false)) {
      if (++seen > 50000000L) {
        Describe(why, whySize, "tree links loop (at %p)", n, 0, 0);
        return 0;
      }
      for (TreeItem* c = n->firstChild; c; c = c->nextSibling) {
        if (c->parent != n) {
          Describe(why, whySize, "child %p does not point back to its parent", c, 0, 0);
          return 0;
        }
        if (c->indent != n->indent + n->halfImageWidth + 3) {
          Describe(why, whySize, "item %p has indent %ld, expected %ld", c, c->indent,
                   n->indent + n->halfImageWidth + 3);
          return 0;
        }
      }
      RECT cell = TreeImageCell(n->image, n->sizeFactor, CellColumn(n), s->treeRows,
                                s->treeImageWidth, s->treeImageHeight);
      if (!EqualRect(&cell, &n->imageCell)) {
        Describe(why, whySize, "item %p shows image column %ld, expected %ld", n,
                 s->treeImageWidth ? n->imageCell.left / (n->sizeFactor * s->treeImageWidth) : -1,
                 CellColumn(n));
        return 0;
      }
    }
    // Rows: exactly the shown items, depth-first.
    long rows = static_cast<long>(SendMessageA(s->treePane, LB_GETCOUNT, 0, 0));
    long r = 0;
    for (TreeItem* n = root; n; n = NextInSubtree(n, root, true), ++r) {
      if (r >= rows) {
        Describe(why, whySize, "item %p has no row (%ld rows)", n, rows, 0);
        return 0;
      }
      if (ItemAtRow(s, static_cast<int>(r)) != n) {
        Describe(why, whySize, "item %p is not at row %ld (of %ld rows)", n, r, rows);
        return 0;
      }
    }
    if (r != rows) {
      Describe(why, whySize, "tree %p: %ld rows for %ld shown items", root, rows, r);
      return 0;
    }
  }
  if (s->itemPane) {
    long rows = static_cast<long>(SendMessageA(s->itemPane, LB_GETCOUNT, 0, 0));
    long r = 0;
    ListItem* previous = nullptr;
    for (ListItem* e = s->firstEntry; e; previous = e, e = e->next, ++r) {
      if (e->previous != previous) {
        Describe(why, whySize, "entry %p links back wrongly", e, 0, 0);
        return 0;
      }
      if (r >= rows || EntryAtRow(s, static_cast<int>(r)) != e) {
        Describe(why, whySize, "entry %p is not at row %ld (of %ld)", e, r, rows);
        return 0;
      }
    }
    if (previous != s->lastEntry) {
      Describe(why, whySize, "last entry %p is not the list's end", s->lastEntry, 0, 0);
      return 0;
    }
    if (r != rows) {
      Describe(why, whySize, "entries from %p: %ld rows for %ld entries", s->firstEntry, rows, r);
      return 0;
    }
  }
  if (why && whySize > 0) why[0] = 0;
  return 1;
}
