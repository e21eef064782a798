// The user pages' value rules without any window: the proxy-list entry
// codec, the timeout rule, flags and the forwarding mode, the three-state
// merge of the multi-user page and the proxy agent's name.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "proxy_entry.h"
#include "user_values.h"

namespace {

using namespace users;

std::string Take(char* heap) {
  std::string s = heap ? heap : "<null>";
  free(heap);
  return s;
}

StrList ListOf(const std::vector<std::string>& values) {
  StrList list = {};
  for (const std::string& v : values) StrListAdd(&list, v.c_str());
  return list;
}

struct ParseRow {
  const char* label;
  std::string value;
  bool ok;
  const char* host;
  const char* user;
  const char* password;
  const char* state;
  int imap, leave;
};

TEST(ProxyEntry, ParsesAtTheFirstFiveSeparatorsAndNeedsTheSeventhField) {
  const ParseRow rows[] = {
      {"full", "Entry 1\rpop.example\rjoe\rsecret\rUID 17\r0\r1", true, "pop.example", "joe",
       "secret", "UID 17", 0, 1},
      {"imap, mail not left", "Entry 2\rimap.example\rann\rpw\r\r1\r0", true, "imap.example", "ann",
       "pw", "", 1, 0},
      {"empty entry", "Entry 3\r\r\r\r\r0\r0", true, "", "", "", "", 0, 0},
      {"any label", "x\rh\ru\rp\rs\r1\r1", true, "h", "u", "p", "s", 1, 1},
      {"leave character missing", "Entry 1\rh\ru\rp\rs\r0\r", true, "h", "u", "p", "s", 0, 0},
      {"protocol other than 1 is POP3", "Entry 1\rh\ru\rp\rs\r7\r1", true, "h", "u", "p", "s", 0, 1},
      {"a state cannot hold a separator", "Entry 1\rh\ru\rp\rs1\rs2\r0\r1", false},
      {"protocol not followed by a separator", "Entry 1\rh\ru\rp\rs\r01", false},
      {"no protocol", "Entry 1\rh\ru\rp\rs\r", false},
      {"six fields", "Entry 1\rh\ru\rp\rs\r0", false},
      {"five fields", "Entry 1\rh\ru\rp\rs", false},
      {"one field", "Entry 1", false},
      {"empty", "", false},
  };
  for (const ParseRow& row : rows) {
    SCOPED_TRACE(row.label);
    ProxyEntry e;
    ASSERT_EQ(ParseProxyEntry(row.value.c_str(), &e), row.ok ? 1 : 0);
    if (!row.ok) {
      EXPECT_EQ(e.text, nullptr);
      continue;
    }
    EXPECT_STREQ(e.host, row.host);
    EXPECT_STREQ(e.user, row.user);
    EXPECT_STREQ(e.password, row.password);
    EXPECT_STREQ(e.state, row.state);
    EXPECT_EQ(e.imap, row.imap);
    EXPECT_EQ(e.leave, row.leave);
    FreeProxyEntry(&e);
    EXPECT_EQ(e.text, nullptr);
  }
  ProxyEntry none;
  EXPECT_EQ(ParseProxyEntry(nullptr, &none), 0);
}

TEST(ProxyEntry, FormatsWhatItParsesWithTheLabelOfItsPosition) {
  EXPECT_EQ(Take(FormatProxyEntry(2, "pop.example", "joe", "secret", "UID 17", 1, 0)),
            "Entry 2\rpop.example\rjoe\rsecret\rUID 17\r1\r0");
  EXPECT_EQ(Take(EmptyProxyEntry(3)), "Entry 3\r\r\r\r\r0\r0");
  EXPECT_EQ(Take(FormatProxyEntry(1, nullptr, nullptr, nullptr, nullptr, 0, 1)),
            "Entry 1\r\r\r\r\r0\r1");
  // Round trip at the field length the page reads, and a state of any length.
  std::string host(kProxyFieldChars, 'h'), state(3000, 's');
  std::string text = Take(FormatProxyEntry(1, host.c_str(), "u", "p", state.c_str(), 1, 1));
  ProxyEntry e;
  ASSERT_EQ(ParseProxyEntry(text.c_str(), &e), 1);
  EXPECT_EQ(std::string(e.host), host);
  EXPECT_EQ(std::string(e.state), state);
  EXPECT_EQ(e.imap, 1);
  EXPECT_EQ(e.leave, 1);
  FreeProxyEntry(&e);
}

TEST(ProxyEntry, AnEntryIsEmptyOnlyWhenEverythingAfterItsLabelIsDefault) {
  EXPECT_TRUE(IsEmptyProxyEntry("Entry 1\r\r\r\r\r0\r0"));
  EXPECT_TRUE(IsEmptyProxyEntry("Entry 9\r\r\r\r\r0\r0"));
  EXPECT_TRUE(IsEmptyProxyEntry(nullptr));
  EXPECT_FALSE(IsEmptyProxyEntry("Entry 1\r\r\r\r\r1\r0"));     // IMAP4 chosen
  EXPECT_FALSE(IsEmptyProxyEntry("Entry 1\r\r\r\r\r0\r1"));     // leave mail
  EXPECT_FALSE(IsEmptyProxyEntry("Entry 1\r\r\r\rstate\r0\r0"));  // the agent's state
  EXPECT_FALSE(IsEmptyProxyEntry("Entry 1\r\r\r\r\r0\r0\r"));
  EXPECT_FALSE(IsEmptyProxyEntry("Entry 1"));
}

TEST(ProxyEntry, TheStateStaysWhileHostAndUserAreTheSameIgnoringCase) {
  ProxyEntry stored;
  ASSERT_EQ(ParseProxyEntry("Entry 1\rpop.example\rjoe\rold\rUID 17\r0\r0", &stored), 1);
  EXPECT_STREQ(KeptProxyState(&stored, "pop.example", "joe"), "UID 17");
  EXPECT_STREQ(KeptProxyState(&stored, "POP.Example", "JOE"), "UID 17");
  EXPECT_STREQ(KeptProxyState(&stored, "pop2.example", "joe"), "");
  EXPECT_STREQ(KeptProxyState(&stored, "pop.example", "joe2"), "");
  EXPECT_STREQ(KeptProxyState(&stored, "", ""), "");
  FreeProxyEntry(&stored);
  EXPECT_STREQ(KeptProxyState(&stored, "", ""), "");  // nothing parsed
}

TEST(ProxyAgentName, FollowsTheServersNameWithOrWithoutALeadingDot) {
  char out[64];
  ASSERT_EQ(ProxyAgentOf(".MS1.Internet Services", out, sizeof out), 1);
  EXPECT_STREQ(out, ".Proxy Agent.MS1.Internet Services");
  ASSERT_EQ(ProxyAgentOf("MS1.Internet Services", out, sizeof out), 1);
  EXPECT_STREQ(out, ".Proxy Agent.MS1.Internet Services");
  // ".Proxy Agent.X" is 14 characters: fits 15 bytes, not 14.
  EXPECT_EQ(ProxyAgentOf(".X", out, 15), 1);
  EXPECT_STREQ(out, ".Proxy Agent.X");
  EXPECT_EQ(ProxyAgentOf(".X", out, 14), 0);
  EXPECT_STREQ(out, "");
}

TEST(UserValues, TheTimeoutIsWrittenAsTypedUnlessItReadsAsZero) {
  const struct {
    const char* typed;
    const char* written;
  } rows[] = {{"0", "6"},     {"abc", "6"},   {"", "6"},       {"  0", "6"},   {"-0", "6"},
              {"+0x5", "6"},  {"15", "15"},   {" 7", " 7"},    {"15abc", "15abc"},
              {"-3", "-3"},   {"00012", "00012"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.typed);
    EXPECT_STREQ(TimeoutToWrite(row.typed), row.written);
  }
}

TEST(UserValues, NumbersReadLikeTheCLibraryWithoutOverflowing) {
  const struct {
    const char* text;
    int n;
  } rows[] = {{"42", 42},          {"  -17x", -17},           {"+8", 8},
              {"", 0},             {"x9", 0},                 {"\t\n12", 12},
              {"2147483647", 2147483647}, {"99999999999999999999", 2147483647},
              {"-2147483648", -2147483647 - 1}, {"-99999999999999999999", -2147483647 - 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(NumberOf(row.text), row.n);
  }
  EXPECT_EQ(NumberOf(nullptr), 0);
}

TEST(UserValues, FlagsPrivacyAndForwardingLookAtTheFirstCharacterOfTheFirstValue) {
  const struct {
    std::vector<std::string> values;
    int flag, privacy, forwarding;
  } rows[] = {
      {{}, 0, 0, 0},          {{"1"}, 1, 1, 1},        {{"2"}, 0, 2, 2},
      {{"0"}, 0, 0, 0},       {{"10"}, 1, 1, 1},       {{"yes"}, 0, 0, 0},
      {{"0", "1"}, 0, 0, 0},  {{" 1"}, 0, 0, 0},       {{"21"}, 0, 2, 2},
  };
  for (const auto& row : rows) {
    StrList list = ListOf(row.values);
    SCOPED_TRACE(row.values.empty() ? "<none>" : row.values[0]);
    EXPECT_EQ(FlagOf(&list), row.flag);
    EXPECT_EQ(PrivacyIndexOf(&list), row.privacy);
    EXPECT_EQ(ForwardingModeOf(&list), row.forwarding);
    StrListFree(&list);
  }
  EXPECT_STREQ(ForwardingValue(1, 1), "2");
  EXPECT_STREQ(ForwardingValue(1, 0), "1");
  EXPECT_STREQ(ForwardingValue(0, 1), "0");  // "Keep local copy" alone
  EXPECT_STREQ(ForwardingValue(0, 0), "0");
}

TEST(UserValues, ThreeStatesTurnMixedOnADifferentFlagAndIgnoreAMissingOne) {
  StrList set = ListOf({"1"}), clear = ListOf({"0"}), other = ListOf({"x"}), none = {};
  EXPECT_EQ(MergeFlagState(kStateClear, &set), kStateMixed);
  EXPECT_EQ(MergeFlagState(kStateClear, &clear), kStateClear);
  EXPECT_EQ(MergeFlagState(kStateClear, &other), kStateClear);
  EXPECT_EQ(MergeFlagState(kStateSet, &set), kStateSet);
  EXPECT_EQ(MergeFlagState(kStateSet, &clear), kStateMixed);
  EXPECT_EQ(MergeFlagState(kStateSet, &none), kStateSet);
  EXPECT_EQ(MergeFlagState(kStateClear, &none), kStateClear);
  EXPECT_EQ(MergeFlagState(kStateMixed, &set), kStateMixed);
  EXPECT_EQ(MergeFlagState(kStateMixed, &clear), kStateMixed);
  StrListFree(&set);
  StrListFree(&clear);
  StrListFree(&other);
}

}  // namespace
