#include "shell_texts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void AppendText(GrowingText* t, const char* s, size_t n) {
  if (t->failed) return;
  if (t->length + n + 1 > t->capacity) {
    size_t capacity = t->capacity ? t->capacity : 1024;
    while (t->length + n + 1 > capacity) capacity *= 2;
    char* grown = static_cast<char*>(realloc(t->data, capacity));
    if (!grown) {
      t->failed = true;
      return;
    }
    t->data = grown;
    t->capacity = capacity;
  }
  memcpy(t->data + t->length, s, n);
  t->length += n;
  t->data[t->length] = '\0';
}

namespace {

enum { kTabColumns = 8 };

using Text = GrowingText;

void Append(Text* t, const char* s, size_t n) { AppendText(t, s, n); }

void Spaces(Text* t, int n) {
  static const char kBlanks[] = "                                ";
  while (n > 0) {
    int k = n < 32 ? n : 32;
    Append(t, kBlanks, static_cast<size_t>(k));
    n -= k;
  }
}

void LineEnd(Text* t) { Append(t, "\r\n", 2); }

// Appends the text with its tabs expanded; column is where it starts and
// comes back where it ends.
int PutExpanded(Text* t, const char* s, int length, int column) {
  int start = 0;
  for (int i = 0; i < length; ++i) {
    if (s[i] != '\t') continue;
    Append(t, s + start, static_cast<size_t>(i - start));
    column += i - start;
    int next = (column / kTabColumns + 1) * kTabColumns;
    Spaces(t, next - column);
    column = next;
    start = i + 1;
  }
  Append(t, s + start, static_cast<size_t>(length - start));
  return column + (length - start);
}

unsigned char Fold(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

bool Reserved(const char* name, size_t n) {
  // The names Windows keeps for devices, with or without an extension.
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  size_t base = strcspn(name, ".");
  if (base > n) base = n;
  char upper[8] = {};
  if (base >= sizeof upper) return false;
  for (size_t i = 0; i < base; ++i) upper[i] = (name[i] >= 'a' && name[i] <= 'z') ? static_cast<char>(name[i] - 32) : name[i];
  for (const char* d : kDevices)
    if (strcmp(upper, d) == 0) return true;
  if (base == 4 && (strncmp(upper, "COM", 3) == 0 || strncmp(upper, "LPT", 3) == 0) &&
      upper[3] >= '1' && upper[3] <= '9')
    return true;
  return false;
}

}  // namespace

// --- Save log ---------------------------------------------------------------------

int LogIndentSpaces(int left) {
  int pixels = left - kMarginX;
  return pixels > 0 ? pixels * 2 / 15 : 0;  // 30 pixels: 4 spaces, 45: 6
}

char* FormatDetailsLog(const DetailLine* lines, int count, size_t* length) {
  Text t = {nullptr, 0, 0, false};
  Append(&t, "", 0);
  int rowBottom = kMarginY, rowTop = -1;
  int column = 0;
  bool any = false;
  for (int i = 0; i < count; ++i) {
    const DetailLine& l = lines[i];
    const char* text = l.text ? l.text : "";
    int n = l.text ? l.length : 0;
    if (any && l.top == rowTop) {
      // Further text on the same row.
      Spaces(&t, 1);
      column = PutExpanded(&t, text, n, column + 1);
      continue;
    }
    if (any) LineEnd(&t);
    // Blank rows (each kBlankHeight pixels) between this row and the last.
    int gap = l.top - rowBottom;
    int blanks = gap > 0 ? (gap + kBlankHeight / 2) / kBlankHeight : 0;
    if (l.kind == kLineHeading && any && blanks == 0) blanks = 1;
    for (int b = 0; b < blanks && any; ++b) LineEnd(&t);
    int indent = LogIndentSpaces(l.left);
    Spaces(&t, indent);
    column = PutExpanded(&t, text, n, indent);
    if (l.kind == kLineHeading) {
      LineEnd(&t);
      Spaces(&t, indent);
      int dashes = column - indent;
      for (int d = 0; d < (dashes > 0 ? dashes : 1); ++d) Append(&t, "-", 1);
    }
    rowTop = l.top;
    rowBottom = l.bottom;
    any = true;
  }
  if (any) LineEnd(&t);
  if (t.failed) {
    free(t.data);
    return nullptr;
  }
  if (length) *length = t.length;
  return t.data;
}

// --- Find --------------------------------------------------------------------------

bool ContainsIgnoringCase(const char* text, const char* needle) {
  if (!text || !needle || !*needle) return false;
  size_t n = strlen(needle);
  for (const char* p = text; *p; ++p) {
    size_t i = 0;
    while (i < n && p[i] &&
           Fold(static_cast<unsigned char>(p[i])) == Fold(static_cast<unsigned char>(needle[i])))
      ++i;
    if (i == n) return true;
  }
  return false;
}

int FindNextMatch(const char* const* texts, int count, int after, const char* needle) {
  if (!needle || !*needle || count <= 0) return -1;
  if (after < -1 || after >= count) after = -1;
  for (int k = 1; k <= count; ++k) {
    int i = (after + k) % count;
    if (ContainsIgnoringCase(texts[i], needle)) return i;
  }
  return -1;
}

// --- Quick help ----------------------------------------------------------------------

void FormatServerHelp(const char* host, int users, bool closed, char* out) {
  if (closed)
    snprintf(out, kHelpTextSize, "%s: connection closed", host);
  else
    snprintf(out, kHelpTextSize, "%s: %d %s", host, users, users == 1 ? "user" : "users");
}

void FormatUserHelp(const char* user, int mailboxes, char* out) {
  if (mailboxes < 0) {
    out[0] = '\0';
    return;
  }
  snprintf(out, kHelpTextSize, "%s: %d %s", user, mailboxes, mailboxes == 1 ? "mailbox" : "mailboxes");
}

void FormatMailboxHelp(const char* mailbox, long long messages, long long bytes, char* out) {
  if (messages < 0) {
    out[0] = '\0';
    return;
  }
  const char* unit = messages == 1 ? "message" : "messages";
  if (bytes < 0)
    snprintf(out, kHelpTextSize, "%s: %lld %s", mailbox, messages, unit);
  else
    snprintf(out, kHelpTextSize, "%s: %lld %s, %lld KB", mailbox, messages, unit, bytes / 1024);
}

void FormatMessageHelp(int number, const char* listText, char* out) {
  snprintf(out, kHelpTextSize, "Message %d: %s", number, listText);
}

// --- Messages as files ----------------------------------------------------------------

void SafeMessageFileName(const char* listText, int number, char* out) {
  char name[kSafeNameChars + 1];
  size_t n = 0;
  for (const char* p = listText ? listText : ""; *p && n < kSafeNameChars; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    bool refused = c < 32 || c == 127 || strchr("\\/:*?\"<>|", c) != nullptr;
    name[n++] = refused ? '_' : static_cast<char>(c);
  }
  // Windows drops trailing dots and blanks from names.
  while (n > 0 && (name[n - 1] == '.' || name[n - 1] == ' ')) --n;
  name[n] = '\0';
  if (n == 0 || strcmp(name, "-") == 0)
    snprintf(out, kSafeNameChars + 16, "message %d.eml", number);
  else if (Reserved(name, n))
    snprintf(out, kSafeNameChars + 16, "_%s.eml", name);
  else
    snprintf(out, kSafeNameChars + 16, "%s.eml", name);
}
