// The signup, proxy and address-book values as the pages read and write
// them: tagged configuration values, the pickup interval list and the
// shown port, table-driven at their boundaries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agents_more_values.h"

namespace {

struct Values {
  StrList list = {};
  explicit Values(std::initializer_list<const char*> texts) {
    for (const char* t : texts) StrListAdd(&list, t);
  }
  ~Values() { StrListFree(&list); }
};

struct ParseCase {
  const char* label;
  std::initializer_list<const char*> stored;
  SignupMode mode;
  int gui, statistics, welcome;
  const char* url;
};

TEST(SignupConfiguration, ReadsBehaviourAndUrlValues) {
  const ParseCase cases[] = {
      {"nothing stored", {}, kSignupServerMode, 0, 0, 0, ""},
      {"creation value", {"Behaviour:0"}, kSignupServerMode, 0, 0, 0, ""},
      {"busy redirect", {"Behaviour:1"}, kSignupBusyRedirectMode, 0, 0, 0, ""},
      {"both mode bits: redirect only wins", {"Behaviour:65"}, kSignupRedirectOnlyMode, 0, 0, 0,
       ""},
      {"every feature", {"Behaviour:86"}, kSignupRedirectOnlyMode, 1, 1, 1, ""},
      {"tag in other case", {"BEHAVIOUR:2"}, kSignupServerMode, 1, 0, 0, ""},
      {"blanks before the number", {"Behaviour:  4"}, kSignupServerMode, 0, 1, 0, ""},
      {"not a number", {"Behaviour:x16"}, kSignupServerMode, 0, 0, 0, ""},
      {"number past 32 bits", {"Behaviour:4294967297"}, kSignupServerMode, 0, 0, 0, ""},
      {"url", {"URL:http://busy.example/"}, kSignupServerMode, 0, 0, 0, "http://busy.example/"},
      {"url tag in other case", {"url:x"}, kSignupServerMode, 0, 0, 0, "x"},
      {"empty url", {"Behaviour:16", "URL:"}, kSignupServerMode, 0, 0, 1, ""},
      {"other kinds passed over", {"Name:Signup", "Behaviour", "URL", "Behaviour:4"},
       kSignupServerMode, 0, 1, 0, ""},
      {"later features win, mode stays", {"Behaviour:1", "Behaviour:2"},
       kSignupBusyRedirectMode, 1, 0, 0, ""},
      {"later url wins", {"URL:a", "URL:b"}, kSignupServerMode, 0, 0, 0, "b"},
  };
  for (const ParseCase& c : cases) {
    Values stored(c.stored);
    SignupConfig config;
    ParseSignupConfig(&stored.list, &config);
    EXPECT_EQ(config.mode, c.mode) << c.label;
    EXPECT_EQ(config.gui, c.gui) << c.label;
    EXPECT_EQ(config.statistics, c.statistics) << c.label;
    EXPECT_EQ(config.welcome, c.welcome) << c.label;
    EXPECT_STREQ(config.url, c.url) << c.label;
  }
}

TEST(SignupConfiguration, UrlIsCutToTheFieldAtItsSize) {
  for (size_t length : {size_t(kSignupUrlChars), size_t(kSignupUrlChars) + 1, size_t(5000)}) {
    std::string value = "URL:" + std::string(length, 'u');
    Values stored({value.c_str()});
    SignupConfig config;
    ParseSignupConfig(&stored.list, &config);
    EXPECT_EQ(std::string(config.url), std::string(kSignupUrlChars, 'u')) << length;
  }
}

TEST(SignupConfiguration, WritesTheModeBitAndFeatures) {
  struct Case {
    const char* label;
    SignupMode mode;
    int gui, statistics, welcome;
    const char* text;
  };
  const Case cases[] = {
      {"signup server", kSignupServerMode, 0, 0, 0, "Behaviour:0"},
      {"busy redirect", kSignupBusyRedirectMode, 0, 0, 0, "Behaviour:1"},
      {"redirect only", kSignupRedirectOnlyMode, 0, 0, 0, "Behaviour:64"},
      {"redirect only and every feature", kSignupRedirectOnlyMode, 1, 1, 1, "Behaviour:86"},
      {"gui", kSignupServerMode, 1, 0, 0, "Behaviour:2"},
      {"statistics", kSignupServerMode, 0, 1, 0, "Behaviour:4"},
      {"welcome", kSignupBusyRedirectMode, 0, 0, 1, "Behaviour:17"},
  };
  for (const Case& c : cases) {
    SignupConfig config = {};
    config.mode = c.mode;
    config.gui = c.gui;
    config.statistics = c.statistics;
    config.welcome = c.welcome;
    char out[32];
    ASSERT_EQ(FormatSignupBehaviour(config, out, sizeof out), 1) << c.label;
    EXPECT_STREQ(out, c.text) << c.label;
  }
  // A stored 65 read back and written unchanged becomes 64.
  Values stored({"Behaviour:65"});
  SignupConfig config;
  ParseSignupConfig(&stored.list, &config);
  char out[32];
  FormatSignupBehaviour(config, out, sizeof out);
  EXPECT_STREQ(out, "Behaviour:64");
}

TEST(SignupConfiguration, FormatsNeverPastTheirBuffers) {
  SignupConfig config = {};
  config.mode = kSignupRedirectOnlyMode;
  char out[16];
  EXPECT_EQ(FormatSignupBehaviour(config, out, 13), 1);  // "Behaviour:64" and the NUL
  EXPECT_STREQ(out, "Behaviour:64");
  EXPECT_EQ(FormatSignupBehaviour(config, out, 12), 0);
  EXPECT_STREQ(out, "");

  EXPECT_EQ(FormatSignupUrl(nullptr, out, sizeof out), 1);
  EXPECT_STREQ(out, "URL:");
  EXPECT_EQ(FormatSignupUrl("abc", out, 8), 1);
  EXPECT_STREQ(out, "URL:abc");
  EXPECT_EQ(FormatSignupUrl("abcd", out, 8), 0);
  EXPECT_STREQ(out, "");
  std::string longest(kSignupUrlChars, 'u');
  char value[kSignupUrlChars + 5];
  EXPECT_EQ(FormatSignupUrl(longest.c_str(), value, sizeof value), 1);
  EXPECT_EQ(std::string(value).size(), size_t(1027));  // the longest directory value
}

TEST(TaggedValues, TagIsAPrefixIgnoringCase) {
  EXPECT_STREQ(TaggedRest("URL:x", "URL:"), "x");
  EXPECT_STREQ(TaggedRest("Url:", "URL:"), "");
  EXPECT_EQ(TaggedRest("URL", "URL:"), nullptr);
  EXPECT_EQ(TaggedRest(" URL:x", "URL:"), nullptr);
  EXPECT_EQ(TaggedRest(nullptr, "URL:"), nullptr);
}

TEST(ProxyInterval, SelectsTheStoredTextOrNothing) {
  struct Case {
    const char* stored;
    int index;
  };
  const Case cases[] = {
      {nullptr, 2}, {"1", 0}, {"3", 2}, {"48", 9}, {"6", -1}, {"", -1},
      {"03", -1},   {" 3", -1}, {"3 ", -1}, {"49", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProxyIntervalIndex(c.stored), c.index) << (c.stored ? c.stored : "(none)");
  EXPECT_STREQ(kProxyIntervals[kProxyDefaultInterval], "3");
}

TEST(AddressBookPort, ShowsTheLeadingNumberOrZero) {
  struct Case {
    const char* stored;
    const char* shown;
  };
  const Case cases[] = {
      {"389", "389"},       {"", "0"},           {"ldap", "0"},        {"389x", "389"},
      {"  636", "636"},     {"-1", "0"},         {"4294967295", "4294967295"},
      {"4294967296", "0"},  {"0389", "389"},
  };
  for (const Case& c : cases) {
    char out[16];
    ASSERT_EQ(FormatShownPort(c.stored, out, sizeof out), 1) << c.stored;
    EXPECT_STREQ(out, c.shown) << c.stored;
  }
  char small[4];
  EXPECT_EQ(FormatShownPort("389", small, sizeof small), 1);
  EXPECT_EQ(FormatShownPort("3890", small, sizeof small), 0);
}

}  // namespace
