// The agents' stored values as text, without windows: the bounced-message
// control of the store agent, the hour lists of its remote-queue limits,
// trusted host addresses, the host server's name and the store path on it,
// the SMTP agent's unsolicited-mail bits and address ranges. Every function
// writes into buffers of a given capacity and never past them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// ---- "TARQ:RTS Antispam Config" -------------------------------------------------

// "Enabled:%d Delay:%d Threshhold:%d" (the spelling is the stored one).
struct RtsConfig {
  int enabled;
  uint32_t delay;      // interval
  uint32_t threshold;  // number of entries
};

// Reads the fields in order as the pattern has them (blanks in the pattern
// match any run of blanks, each number may have blanks and a sign before it);
// answers how many matched, 0 to 3. Fields after the last match are 0; a
// negative number reads as its unsigned value, as the page shows it.
int ParseRtsConfig(const char* text, RtsConfig* out);
// The stored form; 1 when it fitted out.
int FormatRtsConfig(const RtsConfig& config, char* out, size_t capacity);

// A field's text as an unsigned number: leading and trailing blanks allowed,
// anything else, and a value past 2,147,483,647 (which the stored "%d"
// cannot hold), reads as 0.
uint32_t FieldNumber(const char* text);

// ---- hour lists ----------------------------------------------------------------

enum { kHoursPerDay = 24, kHourEntryChars = 48 };

// How the user's locale writes an hour.
struct HourFormat {
  int twelveHour;      // LOCALE_ITIME "0"
  int leadingZero;     // LOCALE_ITLZERO not "0"
  char separator[8];   // LOCALE_STIME
  char am[16];         // LOCALE_S1159
  char pm[16];         // LOCALE_S2359
};

// The user default locale's format (GetLocaleInfo); texts that do not fit
// their fields are left empty.
HourFormat UserHourFormat();

// Entry `index` (the hour of day, 0 to 23) of a combo: "%2d%s00 %s" or
// "%02d%s00 %s" with hours 12, 1 ... 11 and the designators in a 12-hour
// locale, "%2d%s00" or "%02d%s00" with 0 ... 23 otherwise. 1 when it fitted.
int FormatHourEntry(const HourFormat& format, int index, char* out, size_t capacity);

// A stored hour as the index to select: the decimal number (a sign and
// surrounding blanks allowed) when it is 0 to 23, -1 (no selection) for any
// other text, and 0 when there is no value at all (null).
int StoredHourIndex(const char* text);

// ---- addresses -------------------------------------------------------------------

// A trusted host: no white space; exactly four parts between dots; each
// part read as a decimal number (a sign allowed, reading stops at the first
// non-digit, no digits read as 0) not above 255; the first part not 0.
int IsDottedQuadAddress(const char* text);

// An IPv4 address in any notation the platform's inet_addr takes, except
// the all-ones address, which inet_addr cannot tell from its error value.
int IsRangeAddress(const char* text);

// An address range entry: from, "-", and to (from again when to is empty).
// 1 when it fitted out.
int FormatAddressRange(const char* from, const char* to, char* out, size_t capacity);

// ---- the host server and paths on it -------------------------------------------

// A "Quorvel:Host" value (an "HVX Server" name, possibly written from the
// root with a leading "."): its short name, the part before the first dot,
// and its container, the part after. 1 when it fitted out ("" for no part).
int HostShortName(const char* host, char* out, size_t capacity);
int HostContainer(const char* host, char* out, size_t capacity);

// Whether path lies on the server named shortName: it begins with that name
// (letter case ignored) followed by a separator ("/", "\" or ":") or
// nothing. An empty short name names no server, so it takes no path.
int PathOnHost(const char* path, const char* shortName);

// ---- SMTP unsolicited-mail bits ("TARQ:UBE Configuration") -----------------------

enum {
  kUbeRequireAllowed = 0x01,
  kUbeDenyBlocked = 0x02,
  kUbeDenyNoDns = 0x04,
  kUbeAuthenticatedOnly = 0x08,
  kUbeCheckRbl = 0x10,
  kUbeSmtpAfterPop = 0x20,
};

// ---- multi-line texts --------------------------------------------------------------

// A stored text for a multi-line edit control, which breaks lines only at
// CR LF: every line feed not already after a carriage return gets one. 1
// when it fitted out (else out holds what fitted, whole line breaks only).
int ToEditLineBreaks(const char* text, char* out, size_t capacity);

// ---- decimal bit sets ----------------------------------------------------------

// "TARQ:UBE Configuration", "Quorvel:Use Quota", "Quorvel:Action": the
// decimal number after leading blanks, reading up to the first non-digit; 0
// when no digit comes first or the number does not fit 32 bits.
uint32_t ParseBits(const char* text);
// "%lu". 1 when it fitted out.
int FormatBits(uint32_t bits, char* out, size_t capacity);
