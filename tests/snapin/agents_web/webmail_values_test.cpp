// The web-mail agent's value codecs at their boundaries: tagged
// configuration values, messages per page, frame addresses, advertising
// and address-book values, and the colour values with their byte order.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "webmail_values.h"

namespace {

TEST(WebMailValues, BehaviourNumbers) {
  struct Row {
    const char* label;
    const char* value;
    int ok;
    uint32_t bits;
  } rows[] = {
      {"creation value", "Behaviour:32621", 1, 32621},
      {"tag in any case", "BEHAVIOUR:5", 1, 5},
      {"blanks before the number", "Behaviour:  7", 1, 7},
      {"trailing text ignored", "Behaviour:12abc", 1, 12},
      {"zero", "Behaviour:0", 1, 0},
      {"largest", "Behaviour:4294967295", 1, 4294967295u},
      {"past 32 bits", "Behaviour:4294967296", 0, 99},
      {"no number", "Behaviour:", 0, 99},
      {"words for a number", "Behaviour:abc", 0, 99},
      {"sign", "Behaviour:-1", 0, 99},
      {"another tag", "MsgPerPage:10", 0, 99},
      {"tag cut short", "Behav", 0, 99},
  };
  for (const Row& row : rows) {
    uint32_t bits = 99;
    EXPECT_EQ(ParseBehaviour(row.value, &bits), row.ok) << row.label;
    EXPECT_EQ(bits, row.bits) << row.label;
  }
  EXPECT_EQ(ParseBehaviour(nullptr, nullptr), 0);

  char out[32];
  ASSERT_EQ(FormatBehaviour(4294967295u, out, sizeof out), 1);
  EXPECT_STREQ(out, "Behaviour:4294967295");
  // "Behaviour:32621" is 15 characters: 16 bytes fit, 15 do not.
  EXPECT_EQ(FormatBehaviour(32621, out, 16), 1);
  EXPECT_EQ(FormatBehaviour(32621, out, 15), 0);
}

TEST(WebMailValues, MessagesPerPageMustBeOneToHundred) {
  struct Row {
    const char* text;
    int number;
  } rows[] = {{"1", 1},   {"100", 100}, {"10", 10}, {" 42 ", 42}, {"0", 0},   {"101", 0},
              {"abc", 0}, {"", 0},      {"10abc", 0}, {"-5", 0},  {"+5", 0}, {"99999999999", 0},
              {"1 0", 0}};
  for (const Row& row : rows) EXPECT_EQ(MessagesPerPage(row.text), row.number) << '"' << row.text << '"';
  EXPECT_EQ(MessagesPerPage(nullptr), 0);
}

TEST(WebMailValues, AbsoluteFrameAddresses) {
  EXPECT_TRUE(LooksAbsoluteUrl("http://host.domain/"));
  EXPECT_TRUE(LooksAbsoluteUrl("//host/ad"));
  EXPECT_FALSE(LooksAbsoluteUrl("host.domain/ads/top.html"));
  EXPECT_FALSE(LooksAbsoluteUrl("host.domain"));
  EXPECT_FALSE(LooksAbsoluteUrl("http:/host/"));
  EXPECT_FALSE(LooksAbsoluteUrl(""));
  EXPECT_FALSE(LooksAbsoluteUrl(nullptr));
}

TEST(WebMailValues, AdvertisingLocations) {
  EXPECT_EQ(ParseAdLocation("Location:0"), kAdNone);
  EXPECT_EQ(ParseAdLocation("location:1"), kAdFrameTop);
  EXPECT_EQ(ParseAdLocation("Location:2"), kAdFrameBottom);
  EXPECT_EQ(ParseAdLocation("Location:3"), kAdEmbedded);
  EXPECT_EQ(ParseAdLocation("Location:4"), kAdUnknown);
  EXPECT_EQ(ParseAdLocation("Location:"), kAdUnknown);
  EXPECT_EQ(ParseAdLocation("URL:3"), kAdUnknown);
}

TEST(WebMailValues, AddressBookConfig) {
  AddressBookConfig c = {7, 7};
  EXPECT_EQ(ParseAddressBookConfig("Entries:50 Flags:3", &c), 2);
  EXPECT_EQ(c.entries, 50u);
  EXPECT_EQ(c.flags, 3u);
  EXPECT_EQ(ParseAddressBookConfig("Entries:30   Flags:1", &c), 2);
  EXPECT_EQ(c.flags, 1u);
  EXPECT_EQ(ParseAddressBookConfig("Entries:30", &c), 1);
  EXPECT_EQ(c.entries, 30u);
  EXPECT_EQ(c.flags, 0u);
  EXPECT_EQ(ParseAddressBookConfig("Flags:3", &c), 0);
  EXPECT_EQ(c.entries, 0u);
  EXPECT_EQ(ParseAddressBookConfig("", &c), 0);

  char out[40];
  ASSERT_EQ(FormatAddressBookConfig({0, 1}, out, sizeof out), 1);
  EXPECT_STREQ(out, "Entries:0 Flags:1");
  EXPECT_EQ(FormatAddressBookConfig({0, 1}, out, strlen("Entries:0 Flags:1")), 0);
}

TEST(WebMailValues, RedAndBlueTradePlaces) {
  EXPECT_EQ(SwapRedBlue(0xff0000), 0x0000ffu);
  EXPECT_EQ(SwapRedBlue(0x00ff00), 0x00ff00u);
  EXPECT_EQ(SwapRedBlue(0x123456), 0x563412u);
  EXPECT_EQ(SwapRedBlue(0xAB123456), 0x563412u);  // only 24 bits kept
  EXPECT_EQ(SwapRedBlue(SwapRedBlue(0x0a0b0c)), 0x0a0b0cu);
}

TEST(WebMailValues, DefaultLooksAndTheirStoredForm) {
  const char* expected[kColorElements] = {
      "Page: 000000 ffffff Arial", "Border: ffffff 000000 Arial", "Section: 000000 aaaaaa Arial",
      "Fieldname: 000000 cccccc Arial", "Fieldbody: 000000 eeeeee Arial"};
  for (int e = 0; e < kColorElements; ++e) {
    char out[64];
    ASSERT_EQ(FormatColorValue(e, DefaultLook(e), out, sizeof out), 1);
    EXPECT_STREQ(out, expected[e]);
    // The face begins where the stored form always put it.
    EXPECT_EQ(strlen(ColorPrefix(e)) + 14, std::string(out).find("Arial"));
  }
  EXPECT_EQ(DefaultLook(kColorPage).background, 0xffffffu);
  EXPECT_EQ(DefaultLook(kColorSection).background, 0xaaaaaau);
}

TEST(WebMailValues, ColourValuesRoundTrip) {
  struct Row {
    const char* value;
    int element;
    uint32_t text, background;  // platform order
    const char* face;
  } rows[] = {
      {"Section: ff0000 00ff00 Arial", kColorSection, 0x0000ff, 0x00ff00, "Arial"},
      {"page: 123456 ABCDEF Times New Roman", kColorPage, 0x563412, 0xefcdab, "Times New Roman"},
      {"Fieldbody: 000000 eeeeee ", kColorFieldbody, 0, 0xeeeeee, ""},
      {"Fieldname: 1 2 Courier", kColorFieldname, 0x010000, 0x020000, "Courier"},
  };
  for (const Row& row : rows) {
    int element = -1;
    ElementLook look = {};
    ASSERT_EQ(ParseColorValue(row.value, &element, &look), 1) << row.value;
    EXPECT_EQ(element, row.element);
    EXPECT_EQ(look.text, row.text) << row.value;
    EXPECT_EQ(look.background, row.background) << row.value;
    EXPECT_STREQ(look.face, row.face);
  }
  // Formatting what was read gives the stored form back.
  int element;
  ElementLook look;
  char out[64];
  ASSERT_EQ(ParseColorValue("Section: ff0000 00ff00 Arial", &element, &look), 1);
  ASSERT_EQ(FormatColorValue(element, look, out, sizeof out), 1);
  EXPECT_STREQ(out, "Section: ff0000 00ff00 Arial");
}

TEST(WebMailValues, ColourValuesThatDoNotFit) {
  std::string face31(31, 'F'), face32(32, 'F');
  int element = -1;
  ElementLook look = {};
  ASSERT_EQ(ParseColorValue(("Border: 000000 ffffff " + face31).c_str(), &element, &look), 1);
  EXPECT_EQ(std::string(look.face), face31);

  const char* refused[] = {
      "Page: zz0000 ffffff Arial",      // bad hex
      "Page: 000000 fffffff Arial",     // seven digits
      "Page: 000000",                   // one colour
      "Page: ",                         // nothing
      "Page: 0x0000 ffffff Arial",      // a C prefix is not hex here
  };
  for (const char* value : refused) {
    EXPECT_EQ(ParseColorValue(value, &element, &look), 0) << value;
    EXPECT_EQ(element, kColorPage) << value;
    EXPECT_STREQ(look.face, "Arial") << value;  // the default look
    EXPECT_EQ(look.background, 0xffffffu) << value;
  }
  EXPECT_EQ(ParseColorValue(("Border: 000000 ffffff " + face32).c_str(), &element, &look), 0);
  EXPECT_EQ(element, kColorBorder);
  EXPECT_STREQ(look.face, "Arial");
  EXPECT_EQ(ParseColorValue("Background: 000000 ffffff Arial", &element, &look), 0);
  EXPECT_EQ(element, -1);
  // "Page:" without its blank is not the Page element.
  EXPECT_EQ(ColorElementOf("Page:000000"), -1);
}

}  // namespace
