#include "webmail_values.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

namespace {

int IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// Decimal digits at p into *value; the end of the digits, or null when
// there are none or the number passes 32 bits.
const char* ReadDecimal(const char* p, uint32_t* value) {
  if (!isdigit(static_cast<unsigned char>(*p))) return nullptr;
  uint64_t n = 0;
  while (isdigit(static_cast<unsigned char>(*p))) {
    n = n * 10 + static_cast<uint64_t>(*p - '0');
    if (n > 0xFFFFFFFFull) return nullptr;
    ++p;
  }
  *value = static_cast<uint32_t>(n);
  return p;
}

int Fits(int written, size_t capacity) {
  return written >= 0 && static_cast<size_t>(written) < capacity;
}

struct ElementRow {
  const char* prefix;
  uint32_t text, background;  // RRGGBB, as stored
};
const ElementRow kElements[kColorElements] = {
    {"Page: ", 0x000000, 0xffffff},      {"Border: ", 0xffffff, 0x000000},
    {"Section: ", 0x000000, 0xaaaaaa},   {"Fieldname: ", 0x000000, 0xcccccc},
    {"Fieldbody: ", 0x000000, 0xeeeeee},
};
const char kDefaultFace[] = "Arial";

// A colour word: one to six hexadecimal digits, nothing else.
int ReadHexWord(const char* word, size_t length, uint32_t* value) {
  if (length == 0 || length > 6) return 0;
  uint32_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    char c = word[i];
    if (!isxdigit(static_cast<unsigned char>(c))) return 0;
    n = n * 16 + static_cast<uint32_t>(isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                               : tolower(c) - 'a' + 10);
  }
  *value = n;
  return 1;
}

}  // namespace

const char* AfterTag(const char* value, const char* tag) {
  if (!value || !tag) return nullptr;
  size_t n = strlen(tag);
  for (size_t i = 0; i < n; ++i)
    if (tolower(static_cast<unsigned char>(value[i])) != tolower(static_cast<unsigned char>(tag[i])))
      return nullptr;  // also stops at value's end
  return value + n;
}

int ParseBehaviour(const char* value, uint32_t* bits) {
  const char* p = AfterTag(value, "Behaviour:");
  if (!p || !bits) return 0;
  uint32_t n = 0;
  if (!ReadDecimal(SkipBlanks(p), &n)) return 0;
  *bits = n;
  return 1;
}

int FormatBehaviour(uint32_t bits, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  return Fits(snprintf(out, capacity, "Behaviour:%lu", static_cast<unsigned long>(bits)), capacity);
}

int MessagesPerPage(const char* text) {
  if (!text) return 0;
  uint32_t n = 0;
  const char* end = ReadDecimal(SkipBlanks(text), &n);
  if (!end || *SkipBlanks(end) != '\0') return 0;
  return n >= kMinMessagesPerPage && n <= kMaxMessagesPerPage ? static_cast<int>(n) : 0;
}

int JoinTagged(const char* tag, const char* text, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  return Fits(snprintf(out, capacity, "%s%s", tag ? tag : "", text ? text : ""), capacity);
}

int LooksAbsoluteUrl(const char* text) {
  const char* slash = text ? strchr(text, '/') : nullptr;
  return slash && slash[1] == '/';
}

int ParseAdLocation(const char* value) {
  const char* p = AfterTag(value, "Location:");
  uint32_t n = 0;
  if (!p || !ReadDecimal(SkipBlanks(p), &n) || n > kAdEmbedded) return kAdUnknown;
  return static_cast<int>(n);
}

int ParseAddressBookConfig(const char* text, AddressBookConfig* out) {
  if (!out) return 0;
  out->entries = out->flags = 0;
  if (!text) return 0;
  const char* p = SkipBlanks(text);
  if (strncmp(p, "Entries:", 8) != 0) return 0;
  p = ReadDecimal(SkipBlanks(p + 8), &out->entries);
  if (!p) return 0;
  p = SkipBlanks(p);
  if (strncmp(p, "Flags:", 6) != 0) return 1;
  if (!ReadDecimal(SkipBlanks(p + 6), &out->flags)) return 1;
  return 2;
}

int FormatAddressBookConfig(const AddressBookConfig& config, char* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  return Fits(snprintf(out, capacity, "Entries:%lu Flags:%lu",
                       static_cast<unsigned long>(config.entries),
                       static_cast<unsigned long>(config.flags)),
              capacity);
}

const char* ColorPrefix(int element) {
  return element >= 0 && element < kColorElements ? kElements[element].prefix : "";
}

ElementLook DefaultLook(int element) {
  ElementLook look = {};
  if (element < 0 || element >= kColorElements) return look;
  look.text = SwapRedBlue(kElements[element].text);
  look.background = SwapRedBlue(kElements[element].background);
  memcpy(look.face, kDefaultFace, sizeof kDefaultFace);
  return look;
}

uint32_t SwapRedBlue(uint32_t color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

int ColorElementOf(const char* value) {
  for (int i = 0; i < kColorElements; ++i)
    if (AfterTag(value, kElements[i].prefix)) return i;
  return -1;
}

int ParseColorValue(const char* value, int* element, ElementLook* look) {
  int which = ColorElementOf(value);
  if (element) *element = which;
  if (which < 0 || !look) return 0;
  *look = DefaultLook(which);
  // "Page: %s %s": two words after the prefix; the face follows the one
  // blank after the second (where the stored form puts it).
  const char* p = SkipBlanks(AfterTag(value, kElements[which].prefix));
  const char* first = p;
  while (*p && !IsBlank(*p)) ++p;
  size_t firstLength = static_cast<size_t>(p - first);
  p = SkipBlanks(p);
  const char* second = p;
  while (*p && !IsBlank(*p)) ++p;
  size_t secondLength = static_cast<size_t>(p - second);
  if (*p) ++p;
  ElementLook read = {};
  if (!ReadHexWord(first, firstLength, &read.text) ||
      !ReadHexWord(second, secondLength, &read.background) || strlen(p) > kFaceChars)
    return 0;
  read.text = SwapRedBlue(read.text);
  read.background = SwapRedBlue(read.background);
  strcpy(read.face, p);  // length checked above
  *look = read;
  return 1;
}

int FormatColorValue(int element, const ElementLook& look, char* out, size_t capacity) {
  if (!out || capacity == 0 || element < 0 || element >= kColorElements) return 0;
  return Fits(snprintf(out, capacity, "%s%06lx %06lx %s", kElements[element].prefix,
                       static_cast<unsigned long>(SwapRedBlue(look.text)),
                       static_cast<unsigned long>(SwapRedBlue(look.background)), look.face),
              capacity);
}
