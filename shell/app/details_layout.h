// The details pane's pure rules: line styles, the texts built from store
// answers, which lines a repaint touches and where a scroll request leads.
// No window handles here, so every boundary can be tested from a table.
#pragma once

#include <windows.h>

#include <cstddef>

#include "protocol/store_commands.h"

// One laid-out line of the details pane.
struct DetailLine {
  int kind;             // kLineHeading or kLineText
  HFONT font;           // borrowed from the main window
  COLORREF textColour;
  COLORREF backColour;
  char* text;           // heap copy; freed by ClearDetailLines
  int length;
  int left, top;        // content coordinates, pixels
  int bottom;           // top + height of the font
  int right;            // left + width of the text, tabs expanded
};

enum { kLineHeading = 1, kLineText = 2 };

// Line flags of AddDetailLine.
enum {
  kLineBreakOnly = 1,  // cursor x back to the margin, y down kBlankHeight; nothing stored
  kIndent30 = 2,
  kIndent45 = 4,
  kLineIsHeading = 8,  // heading, with a line break after it
  kBreakAfter = 16,
};

enum {
  kMarginX = 15,       // cursor x at the start of every row
  kMarginY = 10,       // cursor y before the first row
  kBlankHeight = 15,
  kContentPadRight = 15,
  kContentPadBottom = 10,
  kScrollLine = 20,
  // The MIME indentation prefix holds 255 characters: 85 levels of three spaces.
  kMimePrefixSize = 256,
  kMimeIndent = 3,
  kMimeMaxLevel = (kMimePrefixSize - 1) / kMimeIndent,
  kDetailTextSize = 4096,  // one built line; every field is a reply word of < 1,025 bytes
};

enum DetailStyle {
  kStyleHeading,
  kStyleDetail,
  kStyleFlag,
  kStylePlain,
  kStyleText,       // fixed-pitch
  kStyleNotice,     // highlighted
  kStyleError,      // highlighted
  kStyleTextError,  // fixed-pitch, highlighted
  kStyleBlank,
};

struct DetailStyleRule {
  bool fixedFont;
  bool highlighted;  // highlight text on highlight instead of window text on window
  int lineFlags;
};
const DetailStyleRule& StyleRule(DetailStyle style);

// part * 100 / whole without overflow; 0 when whole is 0 (nothing to measure
// against: an empty mailbox that still reports new messages).
unsigned long long PercentOf(unsigned long part, unsigned long whole);

// The indentation prefix for a nesting level, capped at kMimeMaxLevel.
void MimePrefix(int level, char* out);  // out: kMimePrefixSize bytes
// One line of the MIME structure.
void FormatMimeLine(const MimePart& part, char* out, size_t capacity);

// The flag lines for AINFO's flag word, in display order; "No flags set"
// when none of the interpreted bits is on. Returns how many texts were put
// into out (at most kMaxFlagLines).
enum { kMaxFlagLines = 8 };
int FlagLineTexts(unsigned long flags, const char* out[kMaxFlagLines]);

// "name:value" becomes "name\tvalue" (first colon only).
void FormatConfigEntry(const char* entry, char* out, size_t capacity);

// Lines to paint for the content rows [top, bottom): from one before the
// first line reaching below top to one after the last starting above
// bottom, within the array. False when there is nothing to paint.
bool VisibleLineRange(const DetailLine* lines, int count, int top, int bottom, int* first,
                      int* last);

// Where a scroll bar request leads. request is SB_LINEUP..SB_ENDSCROLL;
// page is the client size and range the content size along that bar; track
// is the thumb position for SB_THUMBTRACK. Never below 0.
int ScrollTarget(int request, int position, int page, int range, int track);
