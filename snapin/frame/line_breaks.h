// Multi-line texts between the directory and a multi-line edit control. The
// control breaks lines only at CR LF; values are stored with bare line feeds
// by some tools and with CR LF by others. A page shows a value with CR LF
// and writes an edited one back in the form the stored value has, so a text
// keeps its line breaks whichever tool wrote it. Pure; no window.
#pragma once

enum LineBreakForm {
  kBreakLineFeed = 1,  // "\n"
  kBreakCrLf = 2,      // "\r\n"
};

// The form of the first line break of text; fallback when it has none.
LineBreakForm LineBreaksOf(const char* text, LineBreakForm fallback);

// A stored value as the edit control shows it: every line feed not after a
// carriage return gets one. A new heap string (the caller frees it), null
// when out of memory.
char* ToEditText(const char* stored);

// What to store for the edit control's text: the stored value itself when
// the text is what ToEditText showed of it (so a text nobody changed is
// written back byte for byte), else the text with its CR LF breaks in the
// stored value's form (fallback when it has none or no value is stored). A
// new heap string, null when out of memory.
char* ToStoredText(const char* edited, const char* stored, LineBreakForm fallback);
