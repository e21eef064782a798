// Inside the tree control: the per-window record, the drawing objects all
// controls share, and the helpers its source files call on each other.
#pragma once

#include <windows.h>

#include "treeview.h"

#if !defined(ZELM_TREE_CHECKS) && !defined(NDEBUG)
#define ZELM_TREE_CHECKS 1
#endif

enum {
  kTreePaneId = 1,
  kItemPaneId = 2,
  kQuickHelpChars = 159,      // longest quick-help text shown
  kStateMagic = 0x54524545,   // "TREE"
  kResumeRedraw = WM_USER + 0x100,  // posted to the control by HoldRedraw
};

struct EntryBlock;  // item_list.cpp

// One per control window: allocated (calloc) in WM_NCCREATE, freed in
// WM_NCDESTROY, pointed to by the window's extra bytes and the panes' user data.
struct TreeControlState {
  // Splitter drag.
  HDC dragDC;                 // the screen's DC while dragging, released on button up
  RECT dragRect;              // the inverted line, screen coordinates
  int dragging;
  int width, height;          // client size
  DWORD options;
  HWND treePane, itemPane;
  HWND focusPane;             // the pane that last had the focus
  HWND treeOwner, itemOwner;
  HWND quickHelp;
  int quickHelpShowing;
  int quickHelpRow;           // -1 none
  WNDPROC treeProc, itemProc; // the panes' list-box procedures
  HINSTANCE instance;
  int splitPercent;
  HBITMAP treeBitmap, itemBitmap, treeMask, itemMask;  // the caller's
  int treeRows, itemColumns;
  TreeItem* root;
  ListItem* firstEntry;
  int treeExtent;             // tree pane's horizontal extent
  int columnWidth;            // item pane's column width
  int treeImageWidth, treeImageHeight;
  int itemImageWidth, itemImageHeight;
  // Private to this implementation.
  DWORD magic;                // kStateMagic while the record is live
  ListItem* lastEntry;        // appends stay O(1)
  // The item added last and its row (-1: not shown), so that a long run of
  // items appended to one parent does not search for its end each time.
  // Cleared whenever an item goes.
  TreeItem* lastAdded;
  int lastAddedRow;
  int busy;                   // > 0 while rows and links are being changed
  int redrawHeld;             // 1 tree pane, 2 item pane: painting held until resumed
  HWND self;
  HWND quickHelpPane;         // the pane quickHelpRow is a row of
  HWND quickHelpTimerPane;    // the pane whose quick-help timer runs, or null
  // The item pane keeps no data of its own (a no-data list box): entryRows
  // holds each row's entry. Entries appended in a long run are counted into
  // the pane in batches (SyncEntryRows), not one list-box message each.
  ListItem** entryRows;       // malloc'd; entryRowCount used of entryRowCapacity
  int entryRowCount, entryRowCapacity;
  int shownEntryRows;         // rows the pane has been told of
  DWORD entryRowsShownAt;     // when they were last told, or the first untold row came
  bool entryRowsAwaited;      // rows not told yet, with a repaint asked that tells them
  // Entries are carved from blocks: a heap allocation per entry, and fresh
  // pages for every listing, cost more than the rest of a long listing.
  // Emptied blocks are kept (up to kSpareEntryBytes) for the next listing.
  EntryBlock** entryBlocks;   // malloc'd; sorted by address
  int entryBlockCount, entryBlockCapacity;
  EntryBlock* carvingBlock;   // where the next entry is carved, or null
  EntryBlock* spareBlocks;    // emptied blocks kept for reuse
  size_t spareBlockBytes;
  // Texts lately measured into the item pane's column (which only widens):
  // a listing's many alike texts are measured once, not each time.
  char* fittingTexts[16];     // malloc'd or null
};

// Drawing objects shared by every control, created by TvRegister and deleted
// by TvUnregister (the interface font is a stock object and is not deleted).
struct TreeShared {
  int registered;
  int liveControls;
  HINSTANCE instance;
  ATOM controlAtom, quickHelpAtom;
  HFONT font;                 // interface font
  int fontHeight;             // its character height, H
  HFONT quickHelpFont;        // 8-point "MS Sans Serif"
  HPEN splitterPen;           // 4 pixels, black
  HPEN highlightPen, facePen, shadowPen, textPen;  // 1 pixel, button colours
  HPEN linePen;               // tree lines, button-shadow colour
  HBRUSH bandBrush;           // splitter band, active-border colour
  COLORREF infoText, infoBack;
  COLORREF window, windowText, highlight, highlightText;
  HCURSOR dropNone, dropSingle, dropMultiple;  // from the program's resources, may be null
  HDC measureDC;              // memory DC with `font` selected, for text widths
  HGDIOBJ measureOldFont;     // put back before measureDC is deleted
  int charWidths[128];        // advance of each ASCII character in `font`
  int haveCharWidths;         // charWidths could be read
  int widestChar;             // the largest of charWidths
};
extern TreeShared g_tree;

// The live record of a control window, or null.
TreeControlState* TreeStateOf(HWND control);
// Width of text in the interface font.
int TextWidth(const char* text);
// True when text is surely no wider than `width` in the interface font, told
// from its characters' advances without measuring it (one measurement per
// entry of a long listing costs more than the rest of adding it). False
// means: measure.
bool TextSurelyWithin(const char* text, int width);
// The same for a text of known length, mostly without a look at each character.
bool TextOfLengthSurelyWithin(const char* text, size_t length, int width);
// (Re)creates the pens and reads the colours; deletes the old pens first.
void MakeSharedPens(void);

// Rows change in batches (an owner adds many in one go without returning to
// the message loop); each change would otherwise repaint the pane's scroll
// bars. HoldRedraw stops the pane's painting until the control's next turn in
// the message loop, when ResumeRedraw repaints each held pane once.
void HoldRedraw(TreeControlState* s, HWND pane);
void ResumeRedraw(TreeControlState* s);

// --- Rows (tree_model.cpp) ---
int RowOfItem(TreeControlState* s, const TreeItem* item);  // -1 when it has no row
TreeItem* ItemAtRow(TreeControlState* s, int row);
bool IsShown(const TreeItem* item);    // no collapsed ancestor
int CellColumn(const TreeItem* item);  // from children and collapsed
void UpdateImageCell(TreeControlState* s, TreeItem* item);
// Creates the root and its row.
TreeItem* MakeRoot(TreeControlState* s);
// Deletes the root and everything below it (at destruction).
void DeleteWholeTree(TreeControlState* s);
// The selected row's item toggled or opened as a double-click would.
void OpenTreeItem(TreeControlState* s, TreeItem* item);
// Selects a row and tells the owner as a user click would (kTvSelected, kTvUserSelected).
void SelectRowAsUser(TreeControlState* s, int row);

// --- Entries (item_list.cpp) ---
ListItem* EntryAtRow(TreeControlState* s, int row);
int RowOfEntry(TreeControlState* s, const ListItem* entry);
void DeleteEveryEntry(TreeControlState* s);
// Tells the item pane of rows appended since it was last told. Every message
// the pane receives does this first, so what it reports is always whole.
void SyncEntryRows(TreeControlState* s);
// Frees the row array and the entry blocks (at destruction, after the
// entries went).
void FreeEntryRows(TreeControlState* s);
// Selected entries into info (malloc'd arrays); false when memory ran out.
bool CollectSelectedEntries(TreeControlState* s, SelectionInfo* info);

// --- Painting (tree_paint.cpp) ---
void DrawTreeRow(TreeControlState* s, const DRAWITEMSTRUCT* d);
void DrawEntryRow(TreeControlState* s, const DRAWITEMSTRUCT* d);
void PaintSplitBand(TreeControlState* s, HDC dc);
// Image through mask: XOR, AND, XOR. Options: 2 whole bitmap as source,
// 8 centre horizontally, 16 centre vertically.
enum { kMaskWhole = 2, kMaskCentreX = 8, kMaskCentreY = 16 };
void DrawMasked(HDC dc, HBITMAP image, HBITMAP mask, RECT cell, RECT target, int options);
// While one lives (a pane's WM_PAINT), DrawMasked keeps the image and mask
// it drew selected into memory DCs of their own for the next row, instead
// of selecting them anew for each: under Wine a selection costs more than
// the drawing. They are put back and the DCs deleted when the last scope
// ends.
struct PaneImagesScope {
  PaneImagesScope();
  ~PaneImagesScope();
  PaneImagesScope(const PaneImagesScope&) = delete;
  PaneImagesScope& operator=(const PaneImagesScope&) = delete;
};

// --- Quick help (quick_help.cpp) ---
enum {
  kQuickHelpTimer = 0x5148,   // on the pane the pointer rests on
  kQuickHelpDelay = 950,      // ms before the pop-up shows
  kQuickHelpBelow = 15,       // pixels below the pointer
};
LRESULT CALLBACK QuickHelpProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
// The pop-up's face: frame, then the text at (4, 4) in the quick-help font.
// Leaves the DC as it came.
void PaintQuickHelp(HDC dc, const RECT& client, const char* text, int length);
// The pointer moved to (x, y) in a pane: asks the owner when it came to
// another row and starts the timer for a non-empty text.
void QuickHelpMouseMove(TreeControlState* s, HWND pane, int x, int y);
// The pane's quick-help timer ran out.
void QuickHelpTimer(TreeControlState* s, HWND pane);
// Stops the timer and hides the pop-up; with forget, the row is forgotten
// too, so the owner is asked again even on the same row.
void HideQuickHelp(TreeControlState* s, bool forget);

// --- Dropped and dragged files (drag_drop.cpp) ---
// A drop (WM_DROPFILES, or kTvPaneDrop from another tree control) arrived at
// a pane: handed to the owner with a DropNotice, or released.
LRESULT OnPaneDrop(TreeControlState* s, HWND pane, UINT msg, HDROP drop);
// Left button down in the item pane: selection as a click makes it, then
// dragging the selected entries out.
LRESULT ItemPanePress(TreeControlState* s, UINT msg, WPARAM keys, LPARAM lp);
// Where dragged entries would be dropped at a screen point: a window of this
// program that accepts dropped files, or any window with an OLE drop target;
// never the item pane itself.
struct DropTarget {
  HWND window;
  bool ole;
};
DropTarget FindDropTarget(TreeControlState* s, POINT screen);
// Asks the item owner to name each selected entry and hands the names to
// the target as a file-drop block. True when a block went.
bool DropSelectedEntries(TreeControlState* s, DropTarget target, POINT screen);

// --- Panes' input (tree_input.cpp) ---
// The row under a point in pane client coordinates, or -1.
int RowAtPoint(HWND pane, int x, int y);
LRESULT CALLBACK PaneProc(HWND pane, UINT msg, WPARAM wp, LPARAM lp);
// LBN_ notifications from a pane.
void OnPaneCommand(TreeControlState* s, int code, HWND from);
// WM_VKEYTOITEM: -2 when the key was taken, -1 for the list box's handling.
LRESULT OnPaneKey(TreeControlState* s, int key, HWND pane);

// --- Notifications (tree_input.cpp) ---
LRESULT NotifyOwner(HWND owner, UINT msg, WPARAM wp, LPARAM lp);
// Sends msg with a one-item SelectionInfo; nothing when memory runs out.
void NotifyWithItem(TreeControlState* s, UINT msg, TreeItem* item, POINT at);
// Sends msg (wParam 0) with the selected entries; nothing when memory runs out.
void NotifyWithEntries(TreeControlState* s, UINT msg, POINT at);

// --- Checks ---
int CheckState(TreeControlState* s, char* why, int whySize);
#if ZELM_TREE_CHECKS
void RunCheck(TreeControlState* s);
#define TREE_CHECK(s) RunCheck(s)
#else
#define TREE_CHECK(s) ((void)0)
#endif

// Marks rows and links as changing for the checker while it lives.
struct BusyScope {
  explicit BusyScope(TreeControlState* s) : s_(s) { ++s_->busy; }
  ~BusyScope() { --s_->busy; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  TreeControlState* s_;
};
