#include "syslog_facility.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "names.h"

const char* const kFacilityNames[kFacilityCount] = {
    "Default", "Mail",   "News",   "HDS",    "QMD",    "Auth",   "AuthPriv", "Cron",
    "Daemon",  "Kern",   "LPR",    "Syslog", "User",   "UUCP",   "Local0",   "Local1",
    "Local2",  "Local3", "Local4", "Local5", "Local6", "Local7"};

const char kOverrideOn[] = "Override=On";
const char kOverrideOff[] = "Override=Off";

namespace {

const unsigned kAllBoxes = (1u << kLevelCount) - 1;

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One decimal number as sscanf's %d takes it: blanks, a sign, digits.
bool ReadNumber(const char** at, int32_t* out) {
  const char* p = *at;
  while (IsBlank(*p)) ++p;
  char* end = nullptr;
  long n = strtol(p, &end, 10);
  if (end == p) return false;
  if (n > INT32_MAX) n = INT32_MAX;
  if (n < INT32_MIN) n = INT32_MIN;
  *out = static_cast<int32_t>(n);
  *at = end;
  return true;
}

void CopyCut(char* dst, size_t capacity, const char* src, size_t n) {
  if (n > capacity - 1) n = capacity - 1;
  memcpy(dst, src, n);
  dst[n] = '\0';
}

}  // namespace

int FormatFacilityValue(int index, const FacilityRecord* record, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!record) return 0;
  const char* host = record->host[0] ? record->host : "-";
  int n = snprintf(out, capacity, "%d %d %d %s %s", index, record->level, record->mode, host,
                   record->path);
  if (n < 0 || static_cast<size_t>(n) >= capacity) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int ParseFacilityValue(const char* value, int* index, FacilityRecord* record) {
  if (!value || !index || !record) return 0;
  FacilityRecord r;
  memset(&r, 0, sizeof r);
  int32_t facility = 0;
  const char* p = value;
  if (!ReadNumber(&p, &facility) || !ReadNumber(&p, &r.level) || !ReadNumber(&p, &r.mode))
    return 0;
  while (IsBlank(*p)) ++p;
  const char* host = p;
  while (*p && !IsBlank(*p)) ++p;
  size_t hostLength = static_cast<size_t>(p - host);
  if (!(hostLength == 1 && host[0] == '-')) CopyCut(r.host, sizeof r.host, host, hostLength);
  // The path is the rest: a path may hold spaces.
  while (IsBlank(*p)) ++p;
  size_t pathLength = strlen(p);
  while (pathLength > 0 && IsBlank(p[pathLength - 1])) --pathLength;
  CopyCut(r.path, sizeof r.path, p, pathLength);
  *index = facility;
  *record = r;
  return 1;
}

int IsOverrideValue(const char* value) { return value && (value[0] == 'O' || value[0] == 'o'); }

int OverrideIsOn(const char* value) { return SameText(value, kOverrideOn); }

unsigned BoxesForLevel(int level) {
  if (level < 0) level = 0;
  if (level >= kLevelCount) level = kLevelCount - 1;
  return (1u << (level + 1)) - 1;
}

int LevelOfBoxes(unsigned boxes) {
  for (int p = kLevelCount - 1; p > 0; --p)
    if (boxes & (1u << p)) return p;
  return 0;
}

unsigned BoxesAfterClick(unsigned boxes, int priority) {
  boxes &= kAllBoxes;
  if (priority <= 0 || priority >= kLevelCount) {
    // Ticking Emergency starts over with it alone; clearing it ticks it again.
    return (boxes & 1u) ? 1u : (boxes | 1u);
  }
  unsigned bit = 1u << priority;
  if (boxes & bit) return boxes | (bit | (bit - 1));  // and every more severe one
  return boxes & (bit - 1);                           // and every less severe one
}
