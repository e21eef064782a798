// The agents' value codecs at their boundaries: bounced-message control,
// hour entries, stored hours, trusted hosts and address ranges, host names
// and store paths, bit sets and multi-line texts.
#include <gtest/gtest.h>

#include <winsock.h>

#include <string>

#include "agent_codecs.h"

namespace {

struct RtsCase {
  const char* label;
  const char* text;
  int matched;
  int enabled;
  uint32_t delay, threshold;
};

TEST(RtsConfig, ReadsWhatThePatternMatches) {
  const RtsCase cases[] = {
      {"stored", "Enabled:1 Delay:30 Threshhold:5", 3, 1, 30, 5},
      {"off", "Enabled:0 Delay:30 Threshhold:5", 3, 0, 30, 5},
      {"blanks anywhere the pattern has one", "Enabled: 1   Delay:\t7 Threshhold: 9", 3, 1, 7, 9},
      {"no blank needed", "Enabled:1Delay:2Threshhold:3", 3, 1, 2, 3},
      {"cut after the delay", "Enabled:1 Delay:30", 2, 1, 30, 0},
      {"misspelt differently", "Enabled:1 Delay:30 Threshold:5", 2, 1, 30, 0},
      {"letter case counts", "enabled:1 Delay:30 Threshhold:5", 0, 0, 0, 0},
      {"a number missing", "Enabled: Delay:30 Threshhold:5", 0, 0, 0, 0},
      {"negative shows unsigned", "Enabled:1 Delay:-1 Threshhold:5", 3, 1, 4294967295u, 5},
      {"past 32 bits wraps", "Enabled:1 Delay:4294967297 Threshhold:5", 3, 1, 1, 5},
      {"empty", "", 0, 0, 0, 0},
  };
  for (const RtsCase& c : cases) {
    RtsConfig config = {9, 9, 9};
    EXPECT_EQ(ParseRtsConfig(c.text, &config), c.matched) << c.label;
    EXPECT_EQ(config.enabled, c.enabled) << c.label;
    EXPECT_EQ(config.delay, c.delay) << c.label;
    EXPECT_EQ(config.threshold, c.threshold) << c.label;
  }
  EXPECT_EQ(ParseRtsConfig(nullptr, nullptr), 0);
}

TEST(RtsConfig, WritesTheStoredFormAndRoundTrips) {
  char out[64];
  ASSERT_TRUE(FormatRtsConfig({1, 30, 5}, out, sizeof out));
  EXPECT_STREQ(out, "Enabled:1 Delay:30 Threshhold:5");
  ASSERT_TRUE(FormatRtsConfig({7, 0, 2147483647}, out, sizeof out));
  EXPECT_STREQ(out, "Enabled:1 Delay:0 Threshhold:2147483647");  // any non-zero is on
  RtsConfig back = {};
  EXPECT_EQ(ParseRtsConfig(out, &back), 3);
  EXPECT_EQ(back.threshold, 2147483647u);

  // Exactly the text and its NUL fit; one byte less does not.
  size_t need = std::string("Enabled:0 Delay:1 Threshhold:2").size() + 1;
  EXPECT_TRUE(FormatRtsConfig({0, 1, 2}, out, need));
  EXPECT_FALSE(FormatRtsConfig({0, 1, 2}, out, need - 1));
}

TEST(RtsConfig, FieldsReadAsNumbersTheStoredFormCanHold) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {{"30", 30},     {" 30 ", 30},    {"", 0},           {"abc", 0},
               {"3x", 0},      {"-3", 0},       {"2147483647", 2147483647u},
               {"2147483648", 0}, {"99999999999999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(FieldNumber(c.text), c.value) << c.text;
  EXPECT_EQ(FieldNumber(nullptr), 0u);
}

HourFormat TwelveHour() {
  HourFormat f = {};
  f.twelveHour = 1;
  f.leadingZero = 0;
  strcpy(f.separator, ":");
  strcpy(f.am, "AM");
  strcpy(f.pm, "PM");
  return f;
}

TEST(HourEntries, FollowTheLocalesClock) {
  char out[kHourEntryChars];
  HourFormat twelve = TwelveHour();
  const struct {
    int index;
    const char* text;
  } twelveHours[] = {{0, "12:00 AM"}, {1, " 1:00 AM"}, {11, "11:00 AM"},
                     {12, "12:00 PM"}, {13, " 1:00 PM"}, {23, "11:00 PM"}};
  for (const auto& c : twelveHours) {
    ASSERT_TRUE(FormatHourEntry(twelve, c.index, out, sizeof out));
    EXPECT_STREQ(out, c.text) << c.index;
  }
  HourFormat zeros = twelve;
  zeros.leadingZero = 1;
  FormatHourEntry(zeros, 13, out, sizeof out);
  EXPECT_STREQ(out, "01:00 PM");

  HourFormat day = {};
  day.leadingZero = 1;
  strcpy(day.separator, ".");
  FormatHourEntry(day, 0, out, sizeof out);
  EXPECT_STREQ(out, "00.00");
  FormatHourEntry(day, 23, out, sizeof out);
  EXPECT_STREQ(out, "23.00");
  day.leadingZero = 0;
  FormatHourEntry(day, 7, out, sizeof out);
  EXPECT_STREQ(out, " 7.00");

  EXPECT_FALSE(FormatHourEntry(day, 24, out, sizeof out));
  EXPECT_FALSE(FormatHourEntry(day, -1, out, sizeof out));
  // A designator as long as its field still fits an entry, cut at the end.
  strcpy(twelve.pm, "ABCDEFGHIJKLMNO");
  ASSERT_TRUE(FormatHourEntry(twelve, 13, out, sizeof out));
  EXPECT_STREQ(out, " 1:00 ABCDEFGHIJKLMNO");
  EXPECT_FALSE(FormatHourEntry(twelve, 13, out, 8));
  EXPECT_STREQ(out, " 1:00 A");
}

TEST(HourEntries, StoredHoursSelectOnlyHoursOfTheDay) {
  const struct {
    const char* text;
    int index;
  } cases[] = {{"0", 0},   {"13", 13}, {"23", 23}, {" 7 ", 7}, {"+5", 5},     {"007", 7},
               {"24", -1}, {"-1", -1}, {"", -1},   {"x", -1},  {"1x", -1},    {"4294967309", -1},
               {"-0", 0}};
  for (const auto& c : cases) EXPECT_EQ(StoredHourIndex(c.text), c.index) << c.text;
  EXPECT_EQ(StoredHourIndex(nullptr), 0);  // no value at all: the first hour
}

TEST(Addresses, TrustedHostsAreFourDottedParts) {
  const struct {
    const char* text;
    int ok;
  } cases[] = {
      {"10.0.0.1", 1},        {"255.255.255.255", 1}, {"1.x.2.3", 1},  {"1.2.3.0", 1},
      {"0.1.2.3", 0},         {"1.2.3", 0},           {"1.2.3.4.5", 0}, {"1.2.3.256", 0},
      {"192.168.1.1 ", 0},    {" 192.168.1.1", 0},    {"1.2\t.3.4", 0}, {"", 0},
      {"1.2.3.4294967297", 0}, {"1.2.3.99999999999999999999", 0},     {"-1.2.3.4", 1},
      {"x.1.2.3", 0},         {"1..2.3", 1},          {"1.2.3.", 1},    {"1.2.3.4.", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(IsDottedQuadAddress(c.text), c.ok) << c.text;
  EXPECT_FALSE(IsDottedQuadAddress(nullptr));
}

TEST(Addresses, RangesTakeWhatThePlatformParserTakes) {
  const char* valid[] = {"10.0.0.1", "192.168.1.254", "0.0.0.0", "255.255.255.254", "10.1"};
  const char* invalid[] = {"255.255.255.255", "1.2.3.256", "abc", "", "1.2.3.4.5"};
  for (const char* text : valid) {
    EXPECT_TRUE(IsRangeAddress(text)) << text;
    EXPECT_NE(inet_addr(text), INADDR_NONE) << text;
  }
  for (const char* text : invalid) EXPECT_FALSE(IsRangeAddress(text)) << text;
  EXPECT_FALSE(IsRangeAddress(nullptr));
}

TEST(Addresses, ARangeWithoutItsEndRepeatsItsStart) {
  char out[32];
  ASSERT_TRUE(FormatAddressRange("10.0.0.1", "10.0.0.9", out, sizeof out));
  EXPECT_STREQ(out, "10.0.0.1-10.0.0.9");
  ASSERT_TRUE(FormatAddressRange("10.0.0.1", "", out, sizeof out));
  EXPECT_STREQ(out, "10.0.0.1-10.0.0.1");
  ASSERT_TRUE(FormatAddressRange("10.0.0.1", nullptr, out, sizeof out));
  EXPECT_STREQ(out, "10.0.0.1-10.0.0.1");
  // 17 characters and the NUL: 18 bytes fit, 17 do not (and leave nothing).
  EXPECT_TRUE(FormatAddressRange("10.0.0.1", "", out, 18));
  EXPECT_FALSE(FormatAddressRange("10.0.0.1", "", out, 17));
  EXPECT_STREQ(out, "");
}

TEST(HostNames, ShortNameAndContainer) {
  char shortName[8], container[32];
  const struct {
    const char* host;
    const char* shortName;
    const char* container;
  } cases[] = {{"FS1.Acme", "FS1", "Acme"},
               {".FS1.Sales.Acme", "FS1", "Sales.Acme"},
               {"FS1", "FS1", ""},
               {"", "", ""}};
  for (const auto& c : cases) {
    ASSERT_TRUE(HostShortName(c.host, shortName, sizeof shortName)) << c.host;
    EXPECT_STREQ(shortName, c.shortName) << c.host;
    ASSERT_TRUE(HostContainer(c.host, container, sizeof container)) << c.host;
    EXPECT_STREQ(container, c.container) << c.host;
  }
  // Seven characters fit eight bytes; eight do not.
  EXPECT_TRUE(HostShortName("ABCDEFG.Acme", shortName, sizeof shortName));
  EXPECT_FALSE(HostShortName("ABCDEFGH.Acme", shortName, sizeof shortName));
  EXPECT_STREQ(shortName, "");
}

TEST(HostNames, PathsMustLieOnTheHost) {
  const struct {
    const char* path;
    const char* shortName;
    int ok;
  } cases[] = {
      {"FS1/SYS:mail", "FS1", 1},  {"fs1/sys:mail", "FS1", 1}, {"FS1\\SYS:mail", "FS1", 1},
      {"FS1:mail", "FS1", 1},      {"FS1", "FS1", 1},          {"DATA:MAIL", "FS1", 0},
      {"FS10/SYS:mail", "FS1", 0}, {"FS", "FS1", 0},           {"", "FS1", 0},
      {"FS1/SYS:mail", "", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(PathOnHost(c.path, c.shortName), c.ok) << c.path;
}

TEST(BitSets, ReadAsDecimalNumbers) {
  const struct {
    const char* text;
    uint32_t bits;
  } cases[] = {{"3", 3},   {" 2", 2},  {"63", 63},     {"12abc", 12}, {"abc", 0},
               {"", 0},    {"-1", 0},  {"4294967295", 4294967295u}, {"4294967296", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseBits(c.text), c.bits) << c.text;
  char out[11];
  ASSERT_TRUE(FormatBits(4294967295u, out, sizeof out));
  EXPECT_STREQ(out, "4294967295");
  EXPECT_FALSE(FormatBits(4294967295u, out, sizeof out - 1));
}

TEST(MultiLineTexts, LineFeedsGetTheirCarriageReturns) {
  char out[16];
  ASSERT_TRUE(ToEditLineBreaks("a\nb", out, sizeof out));
  EXPECT_STREQ(out, "a\r\nb");
  ASSERT_TRUE(ToEditLineBreaks("a\r\nb", out, sizeof out));
  EXPECT_STREQ(out, "a\r\nb");
  ASSERT_TRUE(ToEditLineBreaks("\n\n", out, sizeof out));
  EXPECT_STREQ(out, "\r\n\r\n");
  // "ab\n" grows to four characters: five bytes fit, four keep "ab" only.
  EXPECT_TRUE(ToEditLineBreaks("ab\n", out, 5));
  EXPECT_FALSE(ToEditLineBreaks("ab\n", out, 4));
  EXPECT_STREQ(out, "ab");
  ASSERT_TRUE(ToEditLineBreaks(nullptr, out, sizeof out));
  EXPECT_STREQ(out, "");
}

}  // namespace
