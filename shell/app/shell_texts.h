// The text rules of the shell's own commands, apart from any window so that
// tables can test them: the details saved as a log, finding a message by its
// list text, the quick-help texts and the file names of messages dragged out.
#pragma once

#include <cstddef>

#include "details_layout.h"

// --- Heap text ---------------------------------------------------------------------
// A text that grows on the heap (malloc); its owner frees data. `failed`
// sticks once memory ran out, and nothing is appended after that.
struct GrowingText {
  char* data;
  size_t length, capacity;
  bool failed;
};
void AppendText(GrowingText* t, const char* s, size_t n);

// --- Save log ---------------------------------------------------------------------
// The details pane's lines as plain text with CR LF line ends: headings
// underlined with dashes (a blank line before each but the first),
// indentation as spaces (four for the detail indent, six for the flag one),
// tabs expanded to every eighth column, blank rows kept. Heap text (malloc)
// freed by the caller, *length without its NUL; null when memory ran out.
char* FormatDetailsLog(const DetailLine* lines, int count, size_t* length);
// Spaces standing for a line's indentation in pixels from the left margin.
int LogIndentSpaces(int left);

// --- Find --------------------------------------------------------------------------
enum { kFindTextSize = 256 };  // what the find dialog takes: 255 characters
// Whether text contains needle, letter case aside (ASCII and Latin-1).
bool ContainsIgnoringCase(const char* text, const char* needle);
// The first of texts[after + 1 ..], then from the start around to `after`,
// that contains needle; -1 when none does (or needle is empty). after -1
// starts at the top.
int FindNextMatch(const char* const* texts, int count, int after, const char* needle);

// --- Quick help ----------------------------------------------------------------------
enum { kHelpTextSize = 160 };  // the tree control's request area
void FormatServerHelp(const char* host, int users, bool closed, char* out);
void FormatUserHelp(const char* user, int mailboxes, char* out);
// messages < 0: never listed; bytes < 0: size unknown. Empty when nothing is known.
void FormatMailboxHelp(const char* mailbox, long long messages, long long bytes, char* out);
void FormatMessageHelp(int number, const char* listText, char* out);

// --- Messages as files ----------------------------------------------------------------
enum { kSafeNameChars = 80 };  // longest file name taken from a list text, before ".eml"
// A file name (without folder) for a message: its list text with what
// Windows refuses in names replaced by '_', cut to kSafeNameChars, device
// names and empty texts avoided; then ".eml". out holds kSafeNameChars + 16.
void SafeMessageFileName(const char* listText, int number, char* out);
