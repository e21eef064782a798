// The details pane: window class "ZELMShellViewClass", the laid-out lines it
// paints and scrolls, and RenderDetails, which asks the store about the
// current selection and lays the answers out.
#pragma once

#include <windows.h>

#include "details_layout.h"
#include "protocol/connection.h"
#include "protocol/store_commands.h"

extern const char kDetailsPaneClass[];  // "ZELMShellViewClass"
extern const char kDetailsPaneTitle[];  // "Mailbox/Message details"

enum SelectionKind {
  kSelectNothing = 0,
  kSelectServer = 1,
  kSelectUser = 2,
  kSelectMailbox = 3,
  kSelectMessage = 4,
};

enum : unsigned long {
  kViewHeader = 1,
  kViewBody = 2,
  kViewDetails = 4,
};

// The statistics a mailbox rendering got from the store, for whoever wants
// to remember them.
struct MailboxStatReport {
  bool known;        // the last mailbox rendering got an answer
  MailboxStat stat;
};

// What a rendering depends on. The main window owns this record and keeps
// it current (browse state, preferences, system colours, drawing objects);
// the pane only reads it, and it must outlive the pane.
struct DetailsInputs {
  int selectionKind;            // SelectionKind
  StoreConnection* connection;  // borrowed: owned by its server item
  int messageNumber;            // 1-based, for kSelectMessage
  unsigned long viewFlags;      // kViewHeader | kViewBody | kViewDetails
  unsigned long maxBodySize;    // bytes; larger bodies are fetched in part
  COLORREF windowText, window, highlightText, highlight;
  HFONT interfaceFont;          // borrowed
  HFONT fixedFont;              // borrowed
  HPEN highlightPen;            // borrowed; 1 pixel, button-highlight colour
  HPEN shadowPen;               // borrowed; 1 pixel, button-shadow colour
  MailboxStatReport* statOut;   // borrowed, may be null: filled by a mailbox rendering
  // When set, the store cannot be asked about the selection (its name could
  // not be sent, say): the pane shows the selection's heading and this text,
  // and asks nothing. Borrowed.
  const char* unavailable;
};

// The pane's own record, one per pane window: allocated on creation, freed
// (with every line) when the window is destroyed.
struct DetailsPane {
  HWND window;
  const DetailsInputs* inputs;
  DetailLine* lines;      // heap array of `capacity` entries, `count` in use
  int count, capacity;
  int cursorX, cursorY;   // layout cursor
  int contentWidth, contentHeight;
  int clientWidth, clientHeight;
  int scrollX, scrollY;
};

// Registers the class (both redraw on resize, arrow cursor). 0 on failure.
ATOM RegisterDetailsPaneClass(HINSTANCE instance);
// A child pane with both scroll bars; inputs as above.
HWND CreateDetailsPane(HWND parent, const DetailsInputs* inputs, bool visible);
DetailsPane* GetDetailsPane(HWND pane);

// Adds one line with the given font and colours at the layout cursor and
// returns its index; -1 for a plain line break (kLineBreakOnly) or when
// memory ran out.
int AddDetailLine(DetailsPane* pane, HDC dc, HFONT font, COLORREF textColour,
                  COLORREF backColour, const char* text, int flags);
// Frees every line's text; the array stays for reuse.
void ClearDetailLines(DetailsPane* pane);

// Throws the content away, asks the store about the current selection, lays
// out the answers, sets both scroll bars and repaints.
void RenderDetails(HWND pane);
