// Stored values of the signup, mail proxy and address-book agents as the
// pages show them, without windows: the signup agent's tagged
// "Quorvel:Configuration" values ("Behaviour:%lu", "URL:..."), the proxy's
// pickup intervals and the address book's option bits and port. Every
// function writes into buffers of a given capacity and never past them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "strlist.h"

// ---- signup agent: "Quorvel:Configuration" -----------------------------------------

// Bits of the "Behaviour:" number.
enum {
  kSignupBusyRedirect = 0x01,
  kSignupProvideGui = 0x02,
  kSignupStatistics = 0x04,
  kSignupWelcome = 0x10,
  kSignupRedirectOnly = 0x40,
};

enum SignupMode { kSignupServerMode, kSignupBusyRedirectMode, kSignupRedirectOnlyMode };

// The redirect address as the page's field holds it: "URL:" and the text
// must fit one directory value (1,027 characters).
enum { kSignupUrlChars = 1023 };

struct SignupConfig {
  SignupMode mode;
  int gui, statistics, welcome;  // 1 or 0
  char url[kSignupUrlChars + 1];
};

// The text after tag when value begins with it (letter case ignored), else null.
const char* TaggedRest(const char* value, const char* tag);

// Reads every value in order: a "Behaviour:" value sets the features from
// its bits and the mode when 0x1 or 0x40 is set (0x40 read last, so it
// wins); a "URL:" value sets the address (cut to the field's size). Values
// of any other kind are passed over. Starts from "Signup Server", no
// features, no address.
void ParseSignupConfig(const StrList* values, SignupConfig* out);
// The "Behaviour:" number the page writes for a mode and its features.
uint32_t SignupBehaviour(const SignupConfig& config);
// "Behaviour:%lu" and "URL:%s". 1 when it fitted out.
int FormatSignupBehaviour(const SignupConfig& config, char* out, size_t capacity);
int FormatSignupUrl(const char* url, char* out, size_t capacity);

// ---- mail proxy agent: "Quorvel:Time Interval" ------------------------------------------

enum { kProxyIntervalCount = 10, kProxyDefaultInterval = 2 };
// "1", "2", "3", "4", "5", "8", "12", "24", "36", "48" hours.
extern const char* const kProxyIntervals[kProxyIntervalCount];
// The entry to select for a stored interval: the one with the same text, -1
// when none has it; the default ("3") when nothing is stored (null).
int ProxyIntervalIndex(const char* stored);

// ---- address-book agent --------------------------------------------------------------

enum { kLdapLookupServer = 0x1, kLdapLdifExport = 0x2 };

// "Quorvel:Port" as the page shows it: the unsigned decimal number at the
// start (after blanks); a value not starting with digits, or too large for
// 32 bits, shows as "0". 1 when it fitted out.
int FormatShownPort(const char* stored, char* out, size_t capacity);
