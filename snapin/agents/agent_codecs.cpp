#include "agent_codecs.h"

#include <winsock.h>
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "names.h"

namespace {

bool IsBlank(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Numbers read digit by digit stop growing past what any check here needs.
int Saturated(int value) { return value > 1000 ? 1000 : value; }

const char* SkipBlanks(const char* p) {
  while (*p && IsBlank(*p)) ++p;
  return p;
}

// The "%d" conversion: blanks, an optional sign, at least one digit. Wraps
// as a 32-bit value. Null when no number starts at p.
const char* ScanNumber(const char* p, uint32_t* out) {
  p = SkipBlanks(p);
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!IsDigit(*p)) return nullptr;
  uint32_t value = 0;
  while (IsDigit(*p)) value = value * 10u + static_cast<uint32_t>(*p++ - '0');
  *out = negative ? 0u - value : value;
  return p;
}

// A literal of the pattern: each blank in it matches any run of blanks
// (none included), every other character itself.
const char* ScanLiteral(const char* p, const char* literal) {
  for (; *literal; ++literal) {
    if (*literal == ' ') {
      p = SkipBlanks(p);
      continue;
    }
    if (*p != *literal) return nullptr;
    ++p;
  }
  return p;
}

int Fits(int written, size_t capacity) {
  return written >= 0 && static_cast<size_t>(written) < capacity;
}

// The part of a host name before (which = 0) or after (1) its first dot,
// after one leading "." (a name written from the root).
int HostPart(const char* host, int which, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!host) return 1;
  if (*host == '.') ++host;
  const char* dot = strchr(host, '.');
  if (which == 1) return CopyText(out, capacity, dot ? dot + 1 : "");
  size_t n = dot ? static_cast<size_t>(dot - host) : strlen(host);
  if (n >= capacity) return 0;
  memcpy(out, host, n);
  out[n] = '\0';
  return 1;
}

// GetLocaleInfo into a field; left empty when the text does not fit.
void LocaleText(LCTYPE what, char* out, int capacity) {
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, out, capacity) <= 0) out[0] = '\0';
}

}  // namespace

int ParseRtsConfig(const char* text, RtsConfig* out) {
  RtsConfig config = {};
  int matched = 0;
  const char* p = text;
  uint32_t value = 0;
  if (p && (p = ScanLiteral(p, "Enabled:")) && (p = ScanNumber(p, &value))) {
    config.enabled = static_cast<int>(value);
    ++matched;
    if ((p = ScanLiteral(p, " Delay:")) && (p = ScanNumber(p, &value))) {
      config.delay = value;
      ++matched;
      if ((p = ScanLiteral(p, " Threshhold:")) && (p = ScanNumber(p, &value))) {
        config.threshold = value;
        ++matched;
      }
    }
  }
  if (out) *out = config;
  return matched;
}

int FormatRtsConfig(const RtsConfig& config, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  int n = snprintf(out, capacity, "Enabled:%d Delay:%d Threshhold:%d", config.enabled ? 1 : 0,
                   static_cast<int>(config.delay), static_cast<int>(config.threshold));
  return Fits(n, capacity);
}

uint32_t FieldNumber(const char* text) {
  if (!text) return 0;
  const char* p = SkipBlanks(text);
  if (!IsDigit(*p)) return 0;
  uint64_t value = 0;
  while (IsDigit(*p)) {
    value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    if (value > 0x7FFFFFFFu) return 0;
  }
  return *SkipBlanks(p) ? 0 : static_cast<uint32_t>(value);
}

HourFormat UserHourFormat() {
  HourFormat f = {};
  char flag[8];
  LocaleText(LOCALE_ITIME, flag, sizeof flag);
  f.twelveHour = strcmp(flag, "0") == 0;
  LocaleText(LOCALE_ITLZERO, flag, sizeof flag);
  f.leadingZero = strcmp(flag, "0") != 0;
  LocaleText(LOCALE_STIME, f.separator, sizeof f.separator);
  LocaleText(LOCALE_S1159, f.am, sizeof f.am);
  LocaleText(LOCALE_S2359, f.pm, sizeof f.pm);
  return f;
}

int FormatHourEntry(const HourFormat& format, int index, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (index < 0 || index >= kHoursPerDay) return 0;
  const char* separator = format.separator;
  int n;
  if (format.twelveHour) {
    int hour = index % 12 == 0 ? 12 : index % 12;
    const char* designator = index < 12 ? format.am : format.pm;
    n = snprintf(out, capacity, format.leadingZero ? "%02d%s00 %s" : "%2d%s00 %s", hour, separator,
                 designator);
  } else {
    n = snprintf(out, capacity, format.leadingZero ? "%02d%s00" : "%2d%s00", index, separator);
  }
  return Fits(n, capacity);
}

int StoredHourIndex(const char* text) {
  if (!text) return 0;
  const char* p = SkipBlanks(text);
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!IsDigit(*p)) return -1;
  int hour = 0;
  while (IsDigit(*p)) hour = Saturated(hour * 10 + (*p++ - '0'));
  if (*SkipBlanks(p)) return -1;
  if (negative) hour = -hour;
  return hour >= 0 && hour < kHoursPerDay ? hour : -1;
}

int IsDottedQuadAddress(const char* text) {
  if (!text) return 0;
  for (const char* p = text; *p; ++p)
    if (IsBlank(*p)) return 0;
  int parts = 0;
  for (const char* p = text;; ++p) {
    if (++parts > 4) return 0;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Reading stops at the first non-digit; a long run of digits must not
    // wrap back into range.
    int value = 0;
    while (IsDigit(*p)) value = Saturated(value * 10 + (*p++ - '0'));
    if (negative) value = -value;
    if (value > 255 || (parts == 1 && value == 0)) return 0;
    p = strchr(p, '.');
    if (!p) break;
  }
  return parts == 4;
}

int IsRangeAddress(const char* text) {
  if (!text || !*text) return 0;
  return inet_addr(text) != INADDR_NONE;
}

int FormatAddressRange(const char* from, const char* to, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!from) from = "";
  if (!to || !*to) to = from;
  int n = snprintf(out, capacity, "%s-%s", from, to);
  if (!Fits(n, capacity)) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int HostShortName(const char* host, char* out, size_t capacity) {
  return HostPart(host, 0, out, capacity);
}

int HostContainer(const char* host, char* out, size_t capacity) {
  return HostPart(host, 1, out, capacity);
}

int PathOnHost(const char* path, const char* shortName) {
  if (!path || !shortName || !*shortName) return 0;
  size_t n = strlen(shortName);
  if (strlen(path) < n || _strnicmp(path, shortName, n) != 0) return 0;
  char next = path[n];
  return next == '\0' || next == '/' || next == '\\' || next == ':';
}

int ToEditLineBreaks(const char* text, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  size_t n = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    bool addReturn = *p == '\n' && (p == text || p[-1] != '\r');
    size_t need = addReturn ? 2 : 1;
    if (n + need >= capacity) {
      out[n] = '\0';
      return 0;
    }
    if (addReturn) out[n++] = '\r';
    out[n++] = *p;
  }
  out[n] = '\0';
  return 1;
}

uint32_t ParseBits(const char* text) {
  if (!text) return 0;
  const char* p = SkipBlanks(text);
  if (!IsDigit(*p)) return 0;
  uint64_t value = 0;
  while (IsDigit(*p)) {
    value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<uint32_t>(value);
}

int FormatBits(uint32_t bits, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  return Fits(snprintf(out, capacity, "%lu", static_cast<unsigned long>(bits)), capacity);
}
