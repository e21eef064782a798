// Entries of the item pane: a doubly linked list in display order, one row each.
#include <cstdlib>
#include <cstring>

#include "tree_geometry.h"
#include "tree_state.h"

namespace {

char* CopyText(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy) memcpy(copy, text, n);
  return copy;
}

// The text is kept just after its entry, in the same block, and goes with it.
char* InlineText(ListItem* e) { return reinterpret_cast<char*>(e + 1); }

}  // namespace

// A run of entries carved one after another; the block goes (or is kept
// for reuse) when the last of them does.
struct EntryBlock {
  EntryBlock* nextSpare;
  size_t size;  // bytes, this header included
  size_t used;  // bytes carved, this header included
  int live;     // entries carved here and not yet freed
};

namespace {

enum : size_t {
  kEntryBlockSize = 64 * 1024,
  kSpareEntryBytes = 16 * 1024 * 1024,
  kEntryAlign = alignof(ListItem),
};
constexpr size_t kBlockHeader = (sizeof(EntryBlock) + kEntryAlign - 1) & ~(kEntryAlign - 1);

// The block holding entry e: the last block that starts at or before it.
int BlockIndexOf(const TreeControlState* s, const void* e) {
  int lo = 0, hi = s->entryBlockCount - 1, found = -1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    if (reinterpret_cast<const char*>(s->entryBlocks[mid]) <= static_cast<const char*>(e)) {
      found = mid;
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return found;
}

// A block of at least `size` bytes, listed; null when memory ran out.
EntryBlock* NewBlock(TreeControlState* s, size_t size) {
  if (size == kEntryBlockSize && s->spareBlocks) {
    EntryBlock* b = s->spareBlocks;
    s->spareBlocks = b->nextSpare;
    s->spareBlockBytes -= b->size;
    b->nextSpare = nullptr;
    return b;
  }
  if (s->entryBlockCount == s->entryBlockCapacity) {
    int capacity = s->entryBlockCapacity ? 2 * s->entryBlockCapacity : 16;
    void* grown = realloc(s->entryBlocks, sizeof(EntryBlock*) * static_cast<size_t>(capacity));
    if (!grown) return nullptr;
    s->entryBlocks = static_cast<EntryBlock**>(grown);
    s->entryBlockCapacity = capacity;
  }
  auto* b = static_cast<EntryBlock*>(malloc(size));
  if (!b) return nullptr;
  b->nextSpare = nullptr;
  b->size = size;
  b->used = kBlockHeader;
  b->live = 0;
  int at = BlockIndexOf(s, b) + 1;
  memmove(s->entryBlocks + at + 1, s->entryBlocks + at,
          sizeof(EntryBlock*) * static_cast<size_t>(s->entryBlockCount - at));
  s->entryBlocks[at] = b;
  ++s->entryBlockCount;
  return b;
}

// Room for an entry and its text; null when memory ran out.
ListItem* CarveEntry(TreeControlState* s, size_t textBytes) {
  size_t bytes = (sizeof(ListItem) + textBytes + kEntryAlign - 1) & ~(kEntryAlign - 1);
  EntryBlock* b = s->carvingBlock;
  if (!b || b->size - b->used < bytes) {
    // An entry too long for a block of the usual size has one of its own.
    bool own = kBlockHeader + bytes > kEntryBlockSize;
    b = NewBlock(s, own ? kBlockHeader + bytes : kEntryBlockSize);
    if (!b) return nullptr;
    if (!own) s->carvingBlock = b;
  }
  auto* e = reinterpret_cast<ListItem*>(reinterpret_cast<char*>(b) + b->used);
  b->used += bytes;
  ++b->live;
  return e;
}

void FreeEntry(TreeControlState* s, ListItem* e) {
  free(e->tipText);
  int i = BlockIndexOf(s, e);
  if (i < 0) return;
  EntryBlock* b = s->entryBlocks[i];
  if (--b->live > 0) return;
  b->used = kBlockHeader;
  if (b == s->carvingBlock) return;  // carved from the start again
  if (b->size == kEntryBlockSize && s->spareBlockBytes + b->size <= kSpareEntryBytes) {
    b->nextSpare = s->spareBlocks;
    s->spareBlocks = b;
    s->spareBlockBytes += b->size;
    return;
  }
  memmove(s->entryBlocks + i, s->entryBlocks + i + 1,
          sizeof(EntryBlock*) * static_cast<size_t>(s->entryBlockCount - i - 1));
  --s->entryBlockCount;
  free(b);
}

void Unlink(TreeControlState* s, ListItem* e) {
  if (e->previous) e->previous->next = e->next;
  else s->firstEntry = e->next;
  if (e->next) e->next->previous = e->previous;
  else s->lastEntry = e->previous;
  e->previous = e->next = nullptr;
}

TreeControlState* EntryState(HWND control) {
  TreeControlState* s = TreeStateOf(control);
  return s && s->itemPane ? s : nullptr;
}

// Room for one more row; false when memory ran out.
bool ReserveEntryRow(TreeControlState* s) {
  if (s->entryRowCount < s->entryRowCapacity) return true;
  int capacity = s->entryRowCapacity ? 2 * s->entryRowCapacity : 64;
  void* rows = realloc(s->entryRows, sizeof(ListItem*) * static_cast<size_t>(capacity));
  if (!rows) return false;
  s->entryRows = static_cast<ListItem**>(rows);
  s->entryRowCapacity = capacity;
  return true;
}

// The slot of fittingTexts a text of `length` characters goes to.
char** FitSlot(TreeControlState* s, const char* text, size_t length) {
  unsigned last = length ? static_cast<unsigned char>(text[length - 1]) : 0;
  unsigned slot = (static_cast<unsigned>(length) * 31u + static_cast<unsigned char>(text[0]) * 7u +
                   last) %
                  (sizeof s->fittingTexts / sizeof s->fittingTexts[0]);
  return &s->fittingTexts[slot];
}

}  // namespace

ListItem* EntryAtRow(TreeControlState* s, int row) {
  return row >= 0 && row < s->entryRowCount ? s->entryRows[row] : nullptr;
}

int RowOfEntry(TreeControlState* s, const ListItem* entry) {
  if (!entry) return -1;
  // From the end: what is looked for is most often what was appended last.
  for (int row = s->entryRowCount - 1; row >= 0; --row)
    if (s->entryRows[row] == entry) return row;
  return -1;
}

void SyncEntryRows(TreeControlState* s) {
  s->entryRowsAwaited = false;
  if (!s->itemPane || s->shownEntryRows == s->entryRowCount) return;
  s->shownEntryRows = s->entryRowCount;
  s->entryRowsShownAt = GetTickCount();
  // When the count shows or hides the scroll bar, the list box redraws the
  // bar at once, twice (the new frame, then the new page size), which under
  // Wine's visual styles costs milliseconds each. Hidden meanwhile, the pane
  // draws its frame and rows once, at the next paint. Only the visibility is
  // put back: the bar's coming or going is a style bit too.
  HWND pane = s->itemPane;
  bool shown = (GetWindowLongA(pane, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown) SetWindowLongA(pane, GWL_STYLE, GetWindowLongA(pane, GWL_STYLE) & ~WS_VISIBLE);
  SendMessageA(pane, LB_SETCOUNT, static_cast<WPARAM>(s->entryRowCount), 0);
  if (shown) {
    SetWindowLongA(pane, GWL_STYLE, GetWindowLongA(pane, GWL_STYLE) | WS_VISIBLE);
    RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
}

void FreeEntryRows(TreeControlState* s) {
  free(s->entryRows);
  s->entryRows = nullptr;
  s->entryRowCount = s->entryRowCapacity = s->shownEntryRows = 0;
  for (int i = 0; i < s->entryBlockCount; ++i) free(s->entryBlocks[i]);
  free(s->entryBlocks);
  s->entryBlocks = nullptr;
  s->entryBlockCount = s->entryBlockCapacity = 0;
  s->carvingBlock = s->spareBlocks = nullptr;
  s->spareBlockBytes = 0;
  for (char*& text : s->fittingTexts) {
    free(text);
    text = nullptr;
  }
}

// While a long listing fills, the pane hears of its new rows this often, so
// its scroll bar and what it shows keep up with the listing.
enum { kShowRowsMs = 50 };

ListItem* TvAddEntry(HWND control, ListItem* reference, DWORD, const char* text,
                     const char* tipText, int image, LPARAM data) {
  TreeControlState* s = EntryState(control);
  if (!s || !text) return nullptr;
  int row = s->entryRowCount;  // appended
  if (reference && reference != s->lastEntry) {
    row = RowOfEntry(s, reference);
    if (row < 0) return nullptr;
    ++row;
  }
  if (!ReserveEntryRow(s)) return nullptr;
  size_t n = strlen(text) + 1;
  ListItem* e = CarveEntry(s, n);
  if (!e) return nullptr;
  memset(e, 0, sizeof *e);
  e->text = static_cast<char*>(memcpy(InlineText(e), text, n));
  e->tipText = tipText ? CopyText(tipText) : nullptr;
  if (tipText && !e->tipText) {
    FreeEntry(s, e);
    return nullptr;
  }
  e->image = image < 0 ? 0 : image;
  // Entries mostly share their image: one with the same image has the cell
  // worked out already.
  const ListItem* alike = s->lastEntry;
  if (alike && alike->image == e->image)
    e->imageCell = alike->imageCell;
  else
    e->imageCell = ListImageCell(e->image, s->itemColumns, s->itemImageWidth, s->itemImageHeight);
  e->data = data;

  BusyScope busy(s);
  if (row < s->entryRowCount) {
    // A row in the middle moves the rows after it: the pane must know the
    // rows before it first.
    SyncEntryRows(s);
    if (SendMessageA(s->itemPane, LB_INSERTSTRING, row, 0) < 0) {
      FreeEntry(s, e);
      return nullptr;
    }
    memmove(s->entryRows + row + 1, s->entryRows + row,
            sizeof(ListItem*) * static_cast<size_t>(s->entryRowCount - row));
    s->entryRows[row] = e;
    s->shownEntryRows = ++s->entryRowCount;
  } else {
    s->entryRows[s->entryRowCount++] = e;
    DWORD now = GetTickCount();
    if (!s->entryRowsAwaited) {
      // The pane hears of new rows at its next message, which a repaint
      // asked now makes sure of (with nothing else coming its way, rows
      // would wait for one); a long batch tells it every kShowRowsMs too.
      s->entryRowsAwaited = true;
      s->entryRowsShownAt = now;
      InvalidateRect(s->itemPane, nullptr, FALSE);
    } else if (now - s->entryRowsShownAt >= kShowRowsMs) {
      SyncEntryRows(s);
    }
  }
  ListItem* after = row == s->entryRowCount - 1 ? s->lastEntry : reference;
  e->previous = after;
  e->next = after ? after->next : s->firstEntry;
  if (e->next) e->next->previous = e;
  else s->lastEntry = e;
  if (after) after->next = e;
  else s->firstEntry = e;

  // The quick check first: it is cheaper than finding the text among those
  // measured before.
  if (!TextOfLengthSurelyWithin(e->text, n - 1, s->columnWidth - s->itemImageWidth)) {
    char** known = FitSlot(s, e->text, n - 1);
    if (!(*known && strcmp(*known, e->text) == 0)) {
      int width = s->itemImageWidth + TextWidth(e->text);
      if (width > s->columnWidth) {
        s->columnWidth = width;
        SendMessageA(s->itemPane, LB_SETCOLUMNWIDTH, width, 0);
      }
      free(*known);
      *known = CopyText(e->text);
    }
  }
  return e;
}

int TvDeleteEntry(HWND control, ListItem* entry) {
  TreeControlState* s = EntryState(control);
  if (!s || !entry) return 0;
  NotifyOwner(s->itemOwner, kTvDeleteEntry, reinterpret_cast<WPARAM>(entry), entry->data);
  BusyScope busy(s);
  int row = RowOfEntry(s, entry);
  if (row >= 0) {
    SyncEntryRows(s);
    HoldRedraw(s, s->itemPane);
    SendMessageA(s->itemPane, LB_DELETESTRING, row, 0);
    memmove(s->entryRows + row, s->entryRows + row + 1,
            sizeof(ListItem*) * static_cast<size_t>(s->entryRowCount - row - 1));
    s->shownEntryRows = --s->entryRowCount;
  }
  Unlink(s, entry);
  FreeEntry(s, entry);
  return 1;
}

void DeleteEveryEntry(TreeControlState* s) {
  if (!s->itemPane) return;
  // Owners hear of each entry while the list is still whole, as with one
  // deletion; then all rows go at once (one by one would be quadratic).
  for (ListItem* e = s->firstEntry; e; e = e->next)
    NotifyOwner(s->itemOwner, kTvDeleteEntry, reinterpret_cast<WPARAM>(e), e->data);
  ListItem* e;
  {
    BusyScope busy(s);
    e = s->firstEntry;
    s->firstEntry = s->lastEntry = nullptr;
    s->entryRowCount = s->shownEntryRows = 0;
    SendMessageA(s->itemPane, LB_RESETCONTENT, 0, 0);
  }
  while (e) {
    ListItem* next = e->next;
    FreeEntry(s, e);
    e = next;
  }
}

int TvDeleteAllEntries(HWND control) {
  TreeControlState* s = EntryState(control);
  if (!s) return 0;
  DeleteEveryEntry(s);
  return 1;
}

ListItem* TvFirstEntry(HWND control) {
  TreeControlState* s = EntryState(control);
  return s ? s->firstEntry : nullptr;
}

ListItem* TvFindEntry(HWND control, const char* text) {
  TreeControlState* s = EntryState(control);
  if (!s || !text) return nullptr;
  for (ListItem* e = s->firstEntry; e; e = e->next)
    if (strcmp(e->text, text) == 0) return e;
  return nullptr;
}

int TvSelectEntry(HWND control, ListItem* entry) {
  TreeControlState* s = EntryState(control);
  if (!s || !entry) return 0;
  int row = RowOfEntry(s, entry);
  if (row < 0) return 0;
  SendMessageA(s->itemPane, LB_SETSEL, FALSE, -1);
  if (SendMessageA(s->itemPane, LB_SETSEL, TRUE, row) == LB_ERR) return 0;
  SendMessageA(s->itemPane, LB_SETCARETINDEX, row, FALSE);
  return 1;
}

LPARAM TvSelectedEntryData(HWND control) {
  TreeControlState* s = EntryState(control);
  if (!s) return 0;
  int caret = static_cast<int>(SendMessageA(s->itemPane, LB_GETCARETINDEX, 0, 0));
  if (caret >= 0 && SendMessageA(s->itemPane, LB_GETSEL, caret, 0) > 0) {
    ListItem* e = EntryAtRow(s, caret);
    return e ? e->data : 0;
  }
  int first = -1;
  if (SendMessageA(s->itemPane, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&first)) != 1)
    return 0;
  ListItem* e = EntryAtRow(s, first);
  return e ? e->data : 0;
}

bool CollectSelectedEntries(TreeControlState* s, SelectionInfo* info) {
  info->count = 0;
  info->items = nullptr;
  info->data = nullptr;
  if (!s->itemPane) return true;
  int n = static_cast<int>(SendMessageA(s->itemPane, LB_GETSELCOUNT, 0, 0));
  if (n <= 0) return true;
  // Freed here on failure, else by TvReleaseSelection.
  int* rows = static_cast<int*>(malloc(sizeof(int) * n));
  void** items = static_cast<void**>(malloc(sizeof(void*) * n));
  LPARAM* data = static_cast<LPARAM*>(malloc(sizeof(LPARAM) * n));
  if (!rows || !items || !data) {
    free(rows);
    free(items);
    free(data);
    return false;
  }
  n = static_cast<int>(SendMessageA(s->itemPane, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(rows)));
  int count = 0;
  for (int i = 0; i < n; ++i) {
    ListItem* e = EntryAtRow(s, rows[i]);
    if (!e) continue;
    items[count] = e;
    data[count] = e->data;
    ++count;
  }
  free(rows);
  info->count = count;
  info->items = items;
  info->data = data;
  return true;
}

LPARAM TvSelection(HWND control, SelectionInfo* info) {
  if (!info) return 0;
  memset(info, 0, sizeof *info);
  TreeControlState* s = EntryState(control);
  if (!s) return 0;
  info->sender = control;
  if (!CollectSelectedEntries(s, info)) return 0;
  return TvSelectedEntryData(control);
}

void TvReleaseSelection(SelectionInfo* info) {
  if (!info) return;
  free(info->items);
  free(info->data);
  info->items = nullptr;
  info->data = nullptr;
  info->count = 0;
}
