// The store shell's main window (class "ZELMShellClass", title "ZELM
// Management"): the tree control with the servers, users and mailboxes and
// the message list, the details pane to the right of a splitter, and a status
// bar with a progress bar. Also the program's life: start-up, message loop
// and shutdown.
#pragma once

#include <windows.h>

#include "details_pane.h"
#include "server_select.h"
#include "settings.h"
#include "shell_texts.h"
#include "treeview.h"

extern const char kMainWindowClass[];  // "ZELMShellClass"
extern const char kMainWindowTitle[];  // "ZELM Management"
extern const char kRootItemText[];     // "Network"

enum {
  kImageCell = 17,          // every picture of the tree and the list
  kTreeImageRows = 4,
  kItemImageColumns = 1,
  kImageServer = 0,
  kImageUser = 1,
  kImageMailbox = 2,
  kImageNetwork = 3,
  kImageMessage = 0,        // of the list images
};
// Tree and list side by side, double-click opens and closes, no files
// dropped on the tree.
constexpr DWORD kShellTreeOptions = kTvTreePane | kTvItemPane | kTvOpenToggles | kTvNoTreeDrop;

// What the program makes at start-up for all its windows; owned here and
// released by ShellShutdown (the two fonts are stock objects).
struct ShellResources {
  HINSTANCE instance;
  HBITMAP treeBitmap, treeMask, itemBitmap, itemMask;
  HMENU menu;                 // "MainMenu"; the main window takes it (then null here)
  HACCEL accelerators;        // "MainMenu"
  HPEN splitterPen;           // 4 pixels, black
  HPEN highlightPen, facePen, shadowPen, textPen;  // 1 pixel, button colours
  HFONT interfaceFont, fixedFont;
  COLORREF windowText, window, highlightText, highlight;
  WindowPosition mainPosition;  // "ZELM Shell Main Window" as loaded
  bool quitOnDestroy;         // the message loop ends with the window
  bool started;
};
extern ShellResources g_shell;

// Which user and mailbox the store has selected on one connection: the
// context-free commands (SPACE, STAT, AINFO, ...) answer for these.
struct StoreSelection {
  StoreConnection* connection;
  const UserNode* user;        // named by the last USER; null when none
  const MailboxNode* mailbox;  // selected and listed by the last MBOX and INFO
};

// What the window last learnt of a mailbox (from listing it and from its
// statistics), for its quick help; -1 where nothing is known.
struct MailboxFacts {
  const MailboxNode* mailbox;
  long long messages;
  long long bytes;
};

// Where dragged-out messages are written: a folder of this run below the
// user's temporary folder, one subfolder per drop.
struct MessageExport {
  char folder[MAX_PATH];      // "<temp>\zelmsh-<process>", empty until the first drop
  char dropFolder[MAX_PATH];  // the current drop's subfolder
  int drops;                  // drops so far (numbers the subfolders)
};

// One per main window: allocated on WM_CREATE, freed on WM_NCDESTROY.
struct MainWindow {
  HWND window;
  HWND statusBar, progressBar;
  HWND treeControl;
  HWND detailsPane;
  HMENU menu, fileMenu, toolsMenu;  // the menu belongs to the window
  ShellFrame frame;           // what connecting asks of the window
  DetailsInputs inputs;       // selection kind, current connection, message
                              // number, view flags, ... as the pane reads them
  UserNode* currentUser;      // borrowed from the tree items
  MailboxNode* currentMailbox;
  bool detailsShown;
  int splitterX;              // the tree control's width while details show
  // Splitter drag.
  bool dragging;
  HDC dragDC;                 // the screen's, released when the drag ends
  int dragX;                  // the inverted line's split position
  bool holdSelection;         // selection events ignored while a flow moves it
  bool destroying;
  // Heap array (freed with the record) of the connections' store selections.
  StoreSelection* selections;
  int selectionCount, selectionCapacity;
  // Heap array (freed with the record) of what is known of mailboxes.
  MailboxFacts* facts;
  int factCount, factCapacity;
  MailboxStatReport lastStat;  // the details pane's last STAT answer
  char findText[kFindTextSize];  // what Find looks for; F3 looks again
  MessageExport exported;        // removed with its files when the window goes
};

MainWindow* GetMainWindow(HWND window);

// Start-up: common controls, sockets, tree control classes, bitmaps, menu,
// drawing objects, window classes, stored position and preferences. 0 when
// something the window cannot do without is missing.
int ShellStartup(HINSTANCE instance);
// The main window at its stored place and state, plus the recent-server
// entry and autoconnect. Hidden unless visible (tests).
HWND CreateMainWindow(bool visible);
// Runs until the main window is gone; returns the quit code.
int RunMessageLoop(HWND main);
// After the loop: tree control classes, "DetailsSplit Percent", drawing
// objects, sockets.
void ShellShutdown();
// All of it, for WinMain; the exit code.
int RunStoreShell(HINSTANCE instance);

// Status part (clears nothing) and error part (clears the status part);
// both repaint the bar at once, so the text shows before a blocking exchange.
void ShowStatus(MainWindow* m, const char* text);
void ShowError(MainWindow* m, const char* text);
// Stores "View Flags" and shows or hides the details pane as they say.
void LayoutPanes(MainWindow* m);
// Places tree control, splitter and details pane in the area above the bar.
void PlacePanes(MainWindow* m);
// The height above the status bar.
int PanesHeight(MainWindow* m);

// A text picture of the window for tests and automation: the tree (two
// spaces per level, " *" on the selected item), the message list ("number
// text", " *" when selected), the details lines and the two status texts,
// each section under a "[name]" line. Heap text, freed by the caller; null
// when memory ran out.
char* BuildSnapshot(MainWindow* m);
// Asked with WM_COPYDATA (dwData kSnapshotRequest, wParam the asking window);
// answered by WM_COPYDATA to that window (dwData kSnapshotReply, the text
// with its NUL), from this program or another.
enum : ULONG_PTR { kSnapshotRequest = 0x5A534E31, kSnapshotReply = 0x5A534E32 };
