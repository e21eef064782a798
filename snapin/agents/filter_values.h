// Values of the anti-spam and alias agents, apart from any window: the
// lines of an imported list file, the action bits of a blocked message, the
// alias options and alias entries.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "strlist.h"

// ---- imported list files ----------------------------------------------------------

enum {
  kImportLineBytes = 260,  // one line of an imported file, NUL included
  kListEntryChars = 1023,  // the longest entry a list page adds
};

// Splits a file's bytes into lines as they arrive, in chunks of any size.
// A line longer than the line buffer is dropped whole rather than cut into
// pieces that would each become an entry; so is one holding a NUL byte,
// which no value can carry.
struct ImportLines {
  char line[kImportLineBytes];
  size_t length;
  int overlong;   // the current line did not fit
  int binary;     // the current line holds a NUL byte
  int skipped;    // lines dropped so far (too long or binary)
};

// Feeds bytes; each completed line that yields an entry is appended to out
// (aliasesOnly: only lines holding "="). The number of entries appended.
int FeedImportBytes(ImportLines* lines, const char* bytes, size_t count, int aliasesOnly,
                    StrList* out);
// The last line when the file does not end with a line feed.
int FinishImport(ImportLines* lines, int aliasesOnly, StrList* out);

// The entry a line yields, cut in place at its first line feed and at its
// last carriage return; null when nothing remains or (aliasesOnly) when it
// holds no "=".
const char* ImportEntry(char* line, int aliasesOnly);

// ---- the anti-spam agent's action ------------------------------------------------

enum {
  kActionSendBack = 1,    // blocked message sent back to the sender
  kActionCcPostmaster = 2,  // copied to the postmaster
};
// "0" to "3" from the two choices (out: at least 2 bytes). 1 when it fitted.
int FormatAction(int sendBack, int ccPostmaster, char* out, size_t capacity);

// ---- the alias agent ----------------------------------------------------------------

enum : uint32_t {
  kAliasAutomatic = 0x04,
  kAliasFirstUnderscoreLast = 0x08,
  kAliasInitialLast = 0x10,
  kAliasFirstDotLast = 0x20,
  kAliasFullDots = 0x40,
  kAliasFullUnderscores = 0x80,
  kAliasPageBits = 0xFC,  // the bits the configuration page shows
};

// The options to store: the page's bits from shown, every other bit as it
// was stored, so bits the page does not show survive an apply.
uint32_t MergeAliasOptions(uint32_t stored, uint32_t shown);

// Whether text is a decimal number (blanks around it allowed) that fits 32
// bits: anything else is kept as stored unless the user changes the options.
int IsDecimalNumber(const char* text);

// "name=target" into out (capacity bytes); 0 and out empty when either part
// is empty or the entry would be longer than kListEntryChars.
int FormatAlias(const char* name, const char* target, char* out, size_t capacity);
// Whether a typed alias name holds a blank, a tab or a line break.
int HasWhiteSpace(const char* text);

// The values to write from a list page's entries: each entry once (letter
// case ignored, as the directory compares values), in the entries' order.
void DistinctValues(const StrList* entries, StrList* out);
