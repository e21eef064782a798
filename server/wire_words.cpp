#include "wire_words.h"

#include <cstdint>

namespace {

// Windows-1252 bytes 0x80..0x9F and the code points they stand for (0 = unused).
const uint16_t kHighTable[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsBlank(uint32_t cp) {
  return cp <= 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0xA0) || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200B) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000 || cp == 0xFEFF;
}

char ToCodePage(uint32_t cp) {
  if (IsBlank(cp)) return '_';
  if (cp < 0x80 || (cp >= 0xA1 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHighTable[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

// Next code point of s at *i, or 0xFFFFFFFF for a malformed sequence (one byte
// is consumed then).
uint32_t NextCodePoint(std::string_view s, size_t* i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  ++*i;
  if (c < 0x80) return c;
  int extra;
  uint32_t cp;
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return 0xFFFFFFFF;
  }
  size_t j = *i;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) return 0xFFFFFFFF;
    cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
  }
  static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFFFFFF;
  *i = j;
  return cp;
}

}  // namespace

std::string WireWord(std::string_view utf8, size_t maxBytes) {
  std::string out;
  for (size_t i = 0; i < utf8.size() && out.size() < maxBytes;) {
    uint32_t cp = NextCodePoint(utf8, &i);
    out += cp == 0xFFFFFFFF ? '?' : ToCodePage(cp);
  }
  if (out.empty()) out = "-";
  return out;
}

std::string WireValueWord(std::string_view utf8, size_t maxBytes) {
  std::string w = WireWord(utf8, maxBytes);
  if (w == "-") return w;
  if (w[0] == '-') w[0] = '_';
  return w;
}

std::string WireToken(std::string_view ascii) {
  std::string w = WireWord(ascii, 100);
  for (char& ch : w)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return w;
}
