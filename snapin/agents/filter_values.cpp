#include "filter_values.h"

#include <stdio.h>
#include <string.h>


namespace {

int TakeLine(ImportLines* lines, int aliasesOnly, StrList* out) {
  int added = 0;
  if (lines->overlong || lines->binary) {
    ++lines->skipped;
  } else {
    lines->line[lines->length] = '\0';
    const char* entry = ImportEntry(lines->line, aliasesOnly);
    if (entry) added = StrListAdd(out, entry);
  }
  lines->length = 0;
  lines->overlong = lines->binary = 0;
  return added;
}

int LowerAscii(int c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

int SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(static_cast<unsigned char>(*a)) != LowerAscii(static_cast<unsigned char>(*b)))
      return 0;
  return *a == *b;
}

}  // namespace

int FeedImportBytes(ImportLines* lines, const char* bytes, size_t count, int aliasesOnly,
                    StrList* out) {
  int added = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = bytes[i];
    if (c == '\n') {
      added += TakeLine(lines, aliasesOnly, out);
    } else if (c == '\0') {
      lines->binary = 1;
    } else if (lines->length + 1 < sizeof lines->line) {
      lines->line[lines->length++] = c;
    } else if (!(c == '\r' && lines->length + 1 == sizeof lines->line)) {
      // A line end's carriage return may stand past a full line; anything
      // else there makes the line too long.
      lines->overlong = 1;
    }
  }
  return added;
}

int FinishImport(ImportLines* lines, int aliasesOnly, StrList* out) {
  if (lines->length == 0 && !lines->overlong && !lines->binary) return 0;
  return TakeLine(lines, aliasesOnly, out);
}

const char* ImportEntry(char* line, int aliasesOnly) {
  if (!line) return nullptr;
  if (char* lf = strchr(line, '\n')) *lf = '\0';
  if (char* cr = strrchr(line, '\r')) *cr = '\0';
  if (!line[0]) return nullptr;
  if (aliasesOnly && !strchr(line, '=')) return nullptr;
  return line;
}

int FormatAction(int sendBack, int ccPostmaster, char* out, size_t capacity) {
  int action = (sendBack ? kActionSendBack : 0) | (ccPostmaster ? kActionCcPostmaster : 0);
  if (!out || capacity == 0) return 0;
  int n = snprintf(out, capacity, "%d", action);
  return n > 0 && static_cast<size_t>(n) < capacity;
}

uint32_t MergeAliasOptions(uint32_t stored, uint32_t shown) {
  return (stored & ~static_cast<uint32_t>(kAliasPageBits)) | (shown & kAliasPageBits);
}

int IsDecimalNumber(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return 0;
  uint64_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return *p == '\0';
}

int FormatAlias(const char* name, const char* target, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!name || !*name || !target || !*target) return 0;
  size_t length = strlen(name) + 1 + strlen(target);
  if (length > kListEntryChars || length >= capacity) return 0;
  snprintf(out, capacity, "%s=%s", name, target);
  return 1;
}

int HasWhiteSpace(const char* text) {
  for (const char* p = text; p && *p; ++p)
    if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f') return 1;
  return 0;
}

void DistinctValues(const StrList* entries, StrList* out) {
  StrListFree(out);
  for (int32_t i = 0; entries && i < entries->count; ++i) {
    const char* entry = entries->items[i];
    if (!entry || !*entry) continue;
    int seen = 0;
    for (int32_t j = 0; j < out->count && !seen; ++j) seen = SameIgnoringCase(out->items[j], entry);
    if (!seen) StrListAdd(out, entry);
  }
}
