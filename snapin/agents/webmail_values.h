// The web-mail agent's stored values as text, without windows: the tagged
// values of "Quorvel:Configuration" ("Behaviour:", "MsgPerPage:",
// "BusyURL:", "Name:"), the advertising and address-book values, and the
// five colour values of its appearance. Every function writes into buffers
// of a given capacity and never past them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// ---- tagged values ------------------------------------------------------------------

// The text after tag when value begins with it (letter case ignored), else null.
const char* AfterTag(const char* value, const char* tag);

// Bits of the "Behaviour:" number.
enum : uint32_t {
  kWebChangePassword = 0x1,
  kWebSslRequired = 0x2,
  kWebCreationBit = 0x4,  // set at creation, no control edits it
  kWebPreferences = 0x8,
  kWebPreferencesOnly = 0x10,
  kWebHttpPort = 0x20,
  kWebSslPort = 0x40,
  kWebRedirectBusy = 0x80,
  kWebGeneral = 0x100,
  kWebAppearance = 0x200,
  kWebColors = 0x400,
  kWebForwarding = 0x800,
  kWebAutoReply = 0x1000,
  kWebFinger = 0x2000,
  kWebProxy = 0x4000,
  kWebReplyToFrom = 0x8000,
  kWebPortBits = kWebHttpPort | kWebSslPort,
};

// A "Behaviour:" value's number: decimal digits after the tag (blanks before
// them allowed, anything after them ignored, as the server reads it). 1 with
// *bits set; 0 for another tag, no digits, or a number past 32 bits, and
// *bits is left alone.
int ParseBehaviour(const char* value, uint32_t* bits);
// "Behaviour:%lu"; 1 when it fitted.
int FormatBehaviour(uint32_t bits, char* out, size_t capacity);

// Messages listed per page, as typed: a decimal number from 1 to 100 with
// blanks around it allowed. The number, or 0 when the text is anything else.
int MessagesPerPage(const char* text);
enum { kMinMessagesPerPage = 1, kMaxMessagesPerPage = 100 };

// tag and text joined ("MsgPerPage:" "10"); 1 when it fitted.
int JoinTagged(const char* tag, const char* text, char* out, size_t capacity);

// A frame address the agent can put in a frame: its first '/' is followed by
// another ("http://host/", "//host/"). A bare host with a path is not.
int LooksAbsoluteUrl(const char* text);

// ---- "Quorvel:Advertising Config" ---------------------------------------------------

enum AdLocation {
  kAdNone = 0,
  kAdFrameTop = 1,
  kAdFrameBottom = 2,
  kAdEmbedded = 3,
  kAdUnknown = -1,  // a number the page does not offer
};
// A "Location:" value's kind; kAdUnknown for other numbers or text, and for
// values of another tag.
int ParseAdLocation(const char* value);

// ---- "Quorvel:Addressbook Config" ---------------------------------------------------

enum : uint32_t {
  kBookEnabled = 0x1,
  kBookPersonal = 0x2,
  kBookSystem = 0x4,
  kBookPublic = 0x8,
};
struct AddressBookConfig {
  uint32_t entries;  // size limit of a personal address book
  uint32_t flags;
};
// "Entries:%lu Flags:%lu" (blanks in the pattern match any run of blanks,
// tags exact in case as the server writes them). The number of fields read,
// 0 to 2; fields not read are 0.
int ParseAddressBookConfig(const char* text, AddressBookConfig* out);
int FormatAddressBookConfig(const AddressBookConfig& config, char* out, size_t capacity);

// ---- "Quorvel:Color" -------------------------------------------------------------------

enum ColorElement {
  kColorPage,
  kColorBorder,
  kColorSection,
  kColorFieldname,
  kColorFieldbody,
  kColorElements
};
enum { kFaceChars = 31 };  // a font face name, as the platform holds it

struct ElementLook {
  uint32_t text;        // platform colour values: red in the lowest byte
  uint32_t background;
  char face[kFaceChars + 1];
};

// The element's prefix ("Page: ") and its default look.
const char* ColorPrefix(int element);
ElementLook DefaultLook(int element);

// RRGGBB as stored <-> the platform's colour value: the lowest and third
// bytes trade places; only 24 bits are kept.
uint32_t SwapRedBlue(uint32_t color);

// The element a value is for (its prefix, letter case ignored), or -1.
int ColorElementOf(const char* value);

// Reads a colour value: both colour words must be hexadecimal (at most six
// digits) and the face must fit. 1 with *look filled; 0 when the value is
// not of the element's form (then *look is the element's default).
int ParseColorValue(const char* value, int* element, ElementLook* look);
// "Page: %06x %06x %s"; 1 when it fitted.
int FormatColorValue(int element, const ElementLook& look, char* out, size_t capacity);
