#include "line_breaks.h"

#include <stdlib.h>
#include <string.h>

LineBreakForm LineBreaksOf(const char* text, LineBreakForm fallback) {
  const char* lf = text ? strchr(text, '\n') : nullptr;
  if (!lf) return fallback;
  return lf > text && lf[-1] == '\r' ? kBreakCrLf : kBreakLineFeed;
}

char* ToEditText(const char* stored) {
  if (!stored) stored = "";
  size_t n = 0;
  for (const char* p = stored; *p; ++p) n += (*p == '\n' && (p == stored || p[-1] != '\r')) ? 2 : 1;
  char* out = static_cast<char*>(malloc(n + 1));
  if (!out) return nullptr;
  char* o = out;
  for (const char* p = stored; *p; ++p) {
    if (*p == '\n' && (p == stored || p[-1] != '\r')) *o++ = '\r';
    *o++ = *p;
  }
  *o = '\0';
  return out;
}

char* ToStoredText(const char* edited, const char* stored, LineBreakForm fallback) {
  if (!edited) edited = "";
  if (stored) {
    char* shown = ToEditText(stored);
    bool same = shown && strcmp(shown, edited) == 0;
    free(shown);
    if (same) return strdup(stored);
  }
  bool bare = LineBreaksOf(stored, fallback) == kBreakLineFeed;
  char* out = static_cast<char*>(malloc(strlen(edited) + 1));
  if (!out) return nullptr;
  char* o = out;
  for (const char* p = edited; *p; ++p) {
    if (bare && p[0] == '\r' && p[1] == '\n') continue;  // the line feed follows
    *o++ = *p;
  }
  *o = '\0';
  return out;
}
