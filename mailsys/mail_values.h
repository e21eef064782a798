// The directory's texts as the mail daemons must see them: each check says
// whether a value can reach a daemon's configuration at all, and each
// conversion gives the daemon's own form. No directory or file access here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::mail {

// ASCII lower case.
std::string Lower(std::string_view text);
// Blanks (space, tab) cut from both ends.
std::string Trim(std::string_view text);

// A domain or host name: labels of letters, digits and '-' (not first or
// last), 1 to 63 bytes each, joined by single dots, 253 bytes at most.
bool IsDomain(std::string_view text);
// A local part without quoting: atoms of letters, digits and
// !#$%&'*+-/=?^_`{|}~ joined by single dots, 1 to 64 bytes.
bool IsLocalPart(std::string_view text);
// local@domain with both parts as above, 254 bytes at most.
bool IsAddress(std::string_view text);
// Dotted IPv4 "a.b.c.d" (decimal, each 0 to 255) in host byte order.
bool ParseIpv4(std::string_view text, uint32_t* address);

// A decimal number, blanks around it allowed, no sign, at most max.
bool ParseCount(std::string_view text, uint64_t max, uint64_t* out);
// "Quorvel:Message Limit": megabytes as the identification page writes them.
// "<none>", "0" and an empty text are no limit (0 bytes); 1 to 2047 give
// that many MiB. False for anything else.
bool ParseMessageLimit(std::string_view text, uint64_t* bytes);
// A relay host: a host name or IPv4 address, optionally in brackets, with an
// optional ":port". *postfix gets the form that skips MX lookups,
// "[host]:port".
bool ParseRelayHost(std::string_view text, std::string* postfix);
// An address range of the unsolicited-mail page, "from-to" (or one address),
// as the CIDR blocks that cover exactly that range ("10.0.0.0/30", ...).
// False when a side is no address or the range runs backwards.
bool RangeToCidrs(std::string_view text, std::vector<std::string>* blocks);

// An alias "name=target[,target...]". The name is a local part (applied at
// every domain of the server) or a whole address; each target is an address
// or a local part naming a user. Lower-cased.
bool ParseAlias(std::string_view text, std::string* name, std::vector<std::string>* targets);
// A blocked sender of the anti-spam agent: "user@domain", "domain",
// "@domain" or "*.domain", as the key of a sender access table
// ("user@domain", "domain", ".domain").
bool BlockedSenderKey(std::string_view text, std::string* key);

// Text as the system stores it (8-bit, Windows code page 1252) as UTF-8,
// with CR LF and lone CR turned into LF and other control characters but
// tab dropped.
std::string TextToUtf8(std::string_view text);
// The same text as one line of printable ASCII (line breaks become blanks,
// other bytes '?'), for protocol replies.
std::string OneAsciiLine(std::string_view text);

// Text cut to at most max bytes (max >= 3), ending in "..." when cut.
std::string CutText(std::string_view text, size_t max);

// Alias names made from a user's names, by the bits of "Quorvel:Alias
// Options" (0x08 First_Last, 0x10 FLastnam, 0x20 First.Last, 0x40
// Full.M.Name, 0x80 Full_M_Name); only with 0x04 set. Characters that may
// not stand in a local part are left out; forms that end up empty or
// invalid are skipped.
std::vector<std::string> NameForms(uint32_t options, std::string_view given,
                                   std::string_view surname, std::string_view fullName);
enum : uint32_t {
  kAliasAutomatic = 0x04,
  kAliasFirstUnderLast = 0x08,
  kAliasInitialLast = 0x10,
  kAliasFirstDotLast = 0x20,
  kAliasFullDots = 0x40,
  kAliasFullUnderscores = 0x80,
};

}  // namespace zelm::mail
