// Texts that travel as one word of a reply line. Clients scan these lines with
// whitespace-separated fields and show them in an 8-bit Windows code page, so a
// word is Windows-1252 text without blanks or control characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum : size_t { kWordMax = 200 };  // keeps every reply line well inside 1,024 bytes

// UTF-8 text -> one word: characters of Windows-1252 as its bytes, blanks and
// control characters as '_', anything else (and malformed UTF-8) as '?'; cut
// to maxBytes; an empty result becomes "-".
std::string WireWord(std::string_view utf8, size_t maxBytes = kWordMax);

// A value word where a leading '-' means "none" or "not verified" to the
// client: a real value that would start with '-' starts with '_' instead.
std::string WireValueWord(std::string_view utf8, size_t maxBytes = kWordMax);

// ASCII token (type, charset, encoding) lowercased, as a word.
std::string WireToken(std::string_view ascii);
