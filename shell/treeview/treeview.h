// The store shell's own composite control: a tree pane (a hierarchy of items
// with lines, expand buttons and images) and an item pane (a flat list of
// entries in several columns), split by a bar the user can drag.
//
// Both panes are owner-drawn list boxes whose rows hold pointers to the
// records below; the control keeps the hierarchy itself and inserts or removes
// rows as branches open and close. Everything runs on the thread that created
// the control. Owners hear about user actions through the notifications below,
// sent (not posted) with the listed values.
//
// Changes to many rows at once are cheap: a pane stops painting at the first
// change and repaints once when the control's turn comes in the message loop
// (TvRedraw paints at once).
//
// Ownership: the control owns every TreeItem, ListItem and their texts. The
// owner owns what `data` points to and frees it when told the item or entry
// is being deleted (kTvDeleteItem / kTvDeleteEntry). Bitmaps given at creation
// stay the caller's and must outlive the control.
#pragma once

#include <windows.h>
#include <shellapi.h>

#define TV_CLASS_NAME "VORDANTREEVIEWCLASS"
#define TV_QUICKHELP_CLASS_NAME "VORDANTVQHCLASS"
#define TV_WINDOW_TITLE "TreeView"
#define TV_ROOT_TEXT "Root"

// Creation options.
enum : DWORD {
  kTvTreePane = 0x002,
  kTvItemPane = 0x004,
  kTvSideBySide = 0x008,    // tree left of the list; the default
  kTvStacked = 0x010,       // tree above the list
  kTvOpenToggles = 0x100,   // double-click/Return on an item with children opens or closes it
  kTvNoTreeDrop = 0x200,
  kTvNoItemDrop = 0x400,
  kTvQuickHelp = 0x800,     // set by the control itself
  kTvOnlyToggle = 0x80000000u,  // double-click/Return only opens or closes, never notifies
};

// Placement bits of TvAddItem.
enum : DWORD {
  kTvAddAfter = 0x002,      // next sibling of the reference item
  kTvAddFirst = 0x008,      // first child instead of last
  kTvAddCollapsed = 0x020,  // the new item starts collapsed
  kTvAddLastChild = 0x014,  // what the store shell passes
};

// TvExpand actions.
enum { kTvExpand = 0, kTvCollapse = 1, kTvToggle = 2 };

// Notifications (message numbers). Tree pane ones go to the tree owner, item
// pane ones to the item owner. "info" is a SelectionInfo* valid only during
// the call.
enum : UINT {
  kTvSelected = 9984,        // item, data: a tree row became selected (user or TvSelectItem)
  kTvTreeOpen = 9985,        // item, info: double-click/Return not handled by opening
  kTvItemOpen = 9986,        // 0, info (selected entries)
  kTvDeleteItem = 9987,      // item, data: release the data
  kTvDeleteEntry = 9988,     // entry, data
  kTvTreeMenu = 9989,        // item, info (click point on the screen)
  kTvItemMenu = 9990,        // 0, info (selected entries, click point on the screen)
  kTvTreeInsert = 9995,      // item, info (row's top-left on the screen)
  kTvItemInsert = 9996,      // 0, info (selected entries, pane origin on the screen)
  kTvTreeDeleteKey = 9997,   // item, info (as kTvTreeInsert)
  kTvItemDeleteKey = 9998,   // 0, info (selected entries, first one's top-left); not sent with none selected
  kTvDragName = 10000,       // 0, DragNameRequest*
  kTvTreeQuickHelp = 10001,  // 0, QuickHelpRequest*
  kTvItemQuickHelp = 10002,  // 0, QuickHelpRequest*
  kTvUserSelected = 10003,   // item, data: the user changed the tree selection (after kTvSelected)
  kTvItemSelected = 10004,   // 0, info: the user changed the item pane selection
  kTvFirstNotification = kTvSelected,
  kTvLastNotification = kTvItemSelected,
};

// Private messages panes answer (for tree controls exchanging dropped files).
enum : UINT {
  kTvIsPane = 0x2F00,        // answered 1 by a pane
  kTvPaneDrop = 0x2F01,      // 12033: a file-drop block posted to a pane (wParam)
  kTvPaneQuery = 555,        // answered 1 by a pane
};

// What quick help and dragging exchange with the owners.
enum {
  kTvQuickHelpSize = 160,   // the request's text area; 159 characters show
  kTvDragNameSize = MAX_PATH,
};

struct TreeItem;
struct ListItem;

// Sent with kTvTreeQuickHelp (a tree row) or kTvItemQuickHelp (an entry) when
// the pointer comes to rest on a row. The owner writes the text to show;
// left empty, no pop-up shows for that row.
struct QuickHelpRequest {
  HWND control;
  TreeItem* item;          // the tree row's item, or null
  ListItem* entry;         // the entry, or null
  LPARAM data;             // the item's or entry's data
  char text[kTvQuickHelpSize];  // starts empty
};

// Sent with kTvDragName for each dragged entry, in selection order, once the
// entries are released over a window that takes them. The owner names the
// file that stands for the entry (a full path); left empty, the entry is
// passed over.
struct DragNameRequest {
  HWND control;
  int targetIsPane;        // 1 when the drop goes to a pane of a tree control
  ListItem* entry;
  LPARAM data;
  char name[kTvDragNameSize];        // starts empty
  char secondName[kTvDragNameSize];  // starts empty; passed on to tree control panes only
};

// Comes with a drop handed to an owner: the message is the one the pane
// received (WM_DROPFILES, or kTvPaneDrop from another tree control), wParam
// the drop handle and lParam this block. The owner owns the drop from then on
// (DragFinish releases it) and its result is the pane's.
struct DropNotice {
  HWND control;
  TreeItem* item;          // the row dropped on (tree pane), the selected item
                           // (item pane), or null in a control without a tree pane
  LPARAM data;             // that item's data, or 0
  HDROP drop;
};

// One node of the tree; the root is one too. Read-only for callers.
struct TreeItem {
  char* text;            // heap copy, never null
  char* tipText;         // heap copy or null; searched by TvFindTip
  int image;             // row of the image in the tree bitmap
  int sizeFactor;        // 1, 2 or 3: scales the image cell and the row height
  int indent;            // x of the expand button; parent's indent + parent's halfImageWidth + 3
  RECT imageCell;        // the item's cell in the tree bitmap
  POINT button;          // top-left of the expand button as last drawn or hit-tested
  LPARAM data;           // the owner's value
  TreeItem* firstChild;
  TreeItem* parent;      // null for the root
  TreeItem* nextSibling;
  int collapsed;         // 1 when its children are hidden
  int halfImageWidth;    // sizeFactor * image width / 2
};

// One entry of the item pane; entries form a list in display order.
struct ListItem {
  char* text;            // heap copy in the entry's own block, never null
  char* tipText;         // heap copy or null
  int image;
  RECT imageCell;        // column = image % item columns, row = image / item columns
  LPARAM data;
  ListItem* previous;
  ListItem* next;
};

// Handed to the control window as its creation parameter (TvCreate fills it).
struct TreeCreateParams {
  DWORD options;
  HWND parent;
  HINSTANCE instance;
  int splitPercent;
  HWND treeOwner;        // receives tree pane notifications
  HWND itemOwner;        // receives item pane notifications
  HBITMAP treeBitmap;    // 3 columns (expanded, collapsed, leaf) x treeRows rows,
                         // then the same grid at twice and three times the size
  HBITMAP itemBitmap;
  HBITMAP treeMask;      // black where the image shows, white where it does not
  HBITMAP itemMask;
  int treeRows;          // number of tree images
  int itemColumns;       // item images per row of the item bitmap
  int treeImageWidth, treeImageHeight;
  int itemImageWidth, itemImageHeight;
  LPARAM reserved1, reserved2;  // 0
};

// What most notifications carry. The arrays belong to the sender.
struct SelectionInfo {
  HWND sender;           // the control
  POINT point;           // screen point, or 0,0
  int count;
  void** items;          // TreeItem* or ListItem*, count of them
  LPARAM* data;          // their data values
};

// --- Classes -----------------------------------------------------------------
// Registers both window classes and creates the shared drawing objects. Once
// only; TvCreate calls it on demand. 1 on success.
int TvRegister(HINSTANCE instance);
// Releases what TvRegister made. Refused (0) while a control exists.
int TvUnregister(void);

// --- Control -----------------------------------------------------------------
// A visible child of parent, of zero size until moved; null on failure.
// A split percentage outside 1..99 becomes 50.
HWND TvCreate(HINSTANCE instance, HWND parent, HWND treeOwner, HWND itemOwner, int splitPercent,
              HBITMAP treeBitmap, HBITMAP treeMask, int treeRows, int treeImageWidth,
              int treeImageHeight, HBITMAP itemBitmap, HBITMAP itemMask, int itemColumns,
              int itemImageWidth, int itemImageHeight, LPARAM reserved1, LPARAM reserved2,
              DWORD options);
// Moves the control to *rect, then sets rect's left and top to its right and
// bottom, so consecutive calls tile controls. 1 on success.
int TvMove(HWND control, RECT* rect);
// The current split, or 100 when the control lacks either pane.
int TvSplitPercent(HWND control);
int TvFocusTree(HWND control);
int TvFocusItems(HWND control);
int TvRedraw(HWND control);
// The options in effect (kTvSideBySide and kTvQuickHelp filled in).
DWORD TvOptions(HWND control);
HWND TvTreePane(HWND control);
HWND TvItemPane(HWND control);

// --- Tree items --------------------------------------------------------------
// item null means the root. Text replaced when given; tip text only when the
// item already had one; image and sizeFactor unless -1; data unless 0.
int TvSetItem(HWND control, TreeItem* item, const char* text, const char* tipText, int image,
              int sizeFactor, LPARAM data);
// See the placement bits. Null without text or memory.
TreeItem* TvAddItem(HWND control, TreeItem* reference, DWORD placement, const char* text,
                    const char* tipText, int image, int sizeFactor, LPARAM data);
// Deletes the item and its subtree, children first, notifying kTvDeleteItem
// for each. Refused (0) for the root.
int TvDeleteItem(HWND control, TreeItem* item);
int TvDeleteAllItems(HWND control);
// kTvExpand, kTvCollapse or kTvToggle; the root never collapses. Keeps the
// first visible row. A collapse that hides the selected row selects the item
// (kTvSelected then kTvUserSelected, as a click would).
int TvExpand(HWND control, TreeItem* item, int action);
// Opens every collapsed ancestor, selects the row, sends kTvSelected (not
// kTvUserSelected). item null means the root.
int TvSelectItem(HWND control, TreeItem* item);
// Previous sibling of the selected item, else its parent; as TvSelectItem.
TreeItem* TvSelectPrevious(HWND control);
// First child, else next sibling, else the next sibling of the nearest
// ancestor that has one; as TvSelectItem.
TreeItem* TvSelectNext(HWND control);
TreeItem* TvSelectedItem(HWND control);
LPARAM TvSelectedData(HWND control);
LPARAM TvItemData(HWND control, TreeItem* item);
TreeItem* TvItemParent(HWND control, TreeItem* item);
int TvHasChildren(HWND control, TreeItem* item);
TreeItem* TvRootItem(HWND control);
// First item depth-first from the root whose text (tip text) equals text,
// ignoring case.
TreeItem* TvFindText(HWND control, const char* text);
TreeItem* TvFindTip(HWND control, const char* text);

// --- Item pane entries -------------------------------------------------------
// Inserted after reference, or at the end when it is null. `ignored` is kept
// for callers that pass a placement.
ListItem* TvAddEntry(HWND control, ListItem* reference, DWORD ignored, const char* text,
                     const char* tipText, int image, LPARAM data);
// Notifies kTvDeleteEntry, then removes and frees the entry.
int TvDeleteEntry(HWND control, ListItem* entry);
int TvDeleteAllEntries(HWND control);
ListItem* TvFirstEntry(HWND control);
// Exact (case-sensitive) text match.
ListItem* TvFindEntry(HWND control, const char* text);
// Makes the entry the only selected one and scrolls to it; 1 when done.
int TvSelectEntry(HWND control, ListItem* entry);
// The entry at the caret when it is selected, else the first selected; 0 when none.
LPARAM TvSelectedEntryData(HWND control);
// Fills *info with every selected entry (arrays freed by TvReleaseSelection)
// and returns TvSelectedEntryData's value. 0 and an empty info on failure.
LPARAM TvSelection(HWND control, SelectionInfo* info);
void TvReleaseSelection(SelectionInfo* info);

// --- Checks ------------------------------------------------------------------
// Verifies the links of the tree and the entry list, and that the tree pane's
// rows are exactly the items without a collapsed ancestor in depth-first
// order. 1 when sound; otherwise 0 with the first fault in why (may be null).
// Checked builds (debug, or ZELM_TREE_CHECKS) run it on every message the
// control receives and count faults in TvCheckFailures.
int TvCheckInvariant(HWND control, char* why, int whySize);
int TvCheckFailures(void);
const char* TvFirstCheckFailure(void);
void TvResetCheckFailures(void);
