// The checks that keep values a daemon would reject out of its
// configuration, and the conversions into the daemons' forms, at their
// boundaries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail_values.h"

namespace zelm::mail {
namespace {

struct Judged {
  const char* label;
  std::string text;
  bool ok;
};

TEST(MailValues, DomainsLocalPartsAndAddresses) {
  const std::string label63(63, 'a'), local64(64, 'b');
  // 253 bytes: four labels of 63 with dots, minus one letter.
  const std::string domain253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'c');
  const Judged domains[] = {
      {"plain", "acme.example", true},
      {"one label", "localhost", true},
      {"hyphen inside", "mail-1.acme.example", true},
      {"label of 63", label63 + ".example", true},
      {"label of 64", label63 + "a.example", false},
      {"253 bytes", domain253, true},
      {"254 bytes", domain253 + "c", false},
      {"leading hyphen", "-acme.example", false},
      {"trailing hyphen", "acme-.example", false},
      {"empty label", "acme..example", false},
      {"trailing dot", "acme.example.", false},
      {"blank", "acme example", false},
      {"underscore", "ac_me.example", false},
      {"empty", "", false},
  };
  for (const Judged& c : domains) EXPECT_EQ(IsDomain(c.text), c.ok) << c.label;
  const Judged addresses[] = {
      {"plain", "joe@acme.example", true},
      {"dots and plus", "joe.miller+news@acme.example", true},
      {"local part of 64", local64 + "@acme.example", true},
      {"local part of 65", local64 + "b@acme.example", false},
      {"no at", "joe.acme.example", false},
      {"no domain", "joe@", false},
      {"no local part", "@acme.example", false},
      {"two dots", "joe..m@acme.example", false},
      {"leading dot", ".joe@acme.example", false},
      {"blank", "joe miller@acme.example", false},
      {"quoted", "\"joe\"@acme.example", false},
      {"words", "not an address", false},
      {"line break", "joe@acme.example\nbcc@x.example", false},
  };
  for (const Judged& c : addresses) EXPECT_EQ(IsAddress(c.text), c.ok) << c.label;
}

TEST(MailValues, NumbersLimitsAndRelayHosts) {
  struct Limit {
    const char* text;
    bool ok;
    uint64_t bytes;
  } limits[] = {
      {"<none>", true, 0},       {"0", true, 0},          {"", true, 0},
      {"1", true, 1u << 20},     {" 40 ", true, 40u << 20}, {"2047", true, 2047ull << 20},
      {"2048", false, 0},        {"abc", false, 0},       {"-1", false, 0},
      {"5MB", false, 0},         {"1e3", false, 0},       {"99999999999999999999", false, 0},
  };
  for (const Limit& l : limits) {
    uint64_t bytes = 12345;
    EXPECT_EQ(ParseMessageLimit(l.text, &bytes), l.ok) << l.text;
    if (l.ok) {
      EXPECT_EQ(bytes, l.bytes) << l.text;
    }
  }
  struct Relay {
    const char* text;
    const char* postfix;  // nullptr: refused
  } relays[] = {
      {"relay.acme.example", "[relay.acme.example]"},
      {"Relay.Acme.Example:2525", "[relay.acme.example]:2525"},
      {"[10.0.0.1]:25", "[10.0.0.1]:25"},
      {"10.0.0.1", "[10.0.0.1]"},
      {"relay:0", nullptr},
      {"relay:65536", nullptr},
      {"relay: 25", nullptr},
      {"bad host!", nullptr},
      {"[10.0.0.1", nullptr},
      {"", nullptr},
  };
  for (const Relay& r : relays) {
    std::string out;
    EXPECT_EQ(ParseRelayHost(r.text, &out), r.postfix != nullptr) << r.text;
    if (r.postfix) {
      EXPECT_EQ(out, r.postfix) << r.text;
    }
  }
}

TEST(MailValues, AddressRangesBecomeExactCidrBlocks) {
  struct Range {
    const char* text;
    std::vector<std::string> blocks;  // empty: refused
  } ranges[] = {
      {"10.0.0.0-10.0.0.3", {"10.0.0.0/30"}},
      {"10.0.0.1-10.0.0.4", {"10.0.0.1/32", "10.0.0.2/31", "10.0.0.4/32"}},
      {"192.168.1.7", {"192.168.1.7/32"}},
      {" 10.1.0.0 - 10.1.255.255 ", {"10.1.0.0/16"}},
      {"0.0.0.0-255.255.255.255", {"0.0.0.0/0"}},
      {"255.255.255.254-255.255.255.255", {"255.255.255.254/31"}},
      {"10.0.0.5-10.0.0.1", {}},
      {"1.2.3", {}},
      {"1.2.3.256", {}},
      {"1.2.3.4-", {}},
  };
  for (const Range& r : ranges) {
    std::vector<std::string> blocks;
    EXPECT_EQ(RangeToCidrs(r.text, &blocks), !r.blocks.empty()) << r.text;
    if (!r.blocks.empty()) {
      EXPECT_EQ(blocks, r.blocks) << r.text;
    }
  }
}

TEST(MailValues, AliasesAndBlockedSenders) {
  struct Alias {
    const char* text;
    const char* name;  // nullptr: refused
    std::vector<std::string> targets;
  } aliases[] = {
      {"sales=joe", "sales", {"joe"}},
      {"Sales = Joe@Acme.Example, ann", "sales", {"joe@acme.example", "ann"}},
      {"help@hosted.example=ann", "help@hosted.example", {"ann"}},
      {"sales", nullptr, {}},
      {"sales=", nullptr, {}},
      {"=joe", nullptr, {}},
      {"sales=joe,,ann", nullptr, {}},
      {"sa les=joe", nullptr, {}},
      {"sales=not an address", nullptr, {}},
  };
  for (const Alias& a : aliases) {
    std::string name;
    std::vector<std::string> targets;
    EXPECT_EQ(ParseAlias(a.text, &name, &targets), a.name != nullptr) << a.text;
    if (a.name) {
      EXPECT_EQ(name, a.name) << a.text;
      EXPECT_EQ(targets, a.targets) << a.text;
    }
  }
  struct Sender {
    const char* text;
    const char* key;  // nullptr: refused
  } senders[] = {
      {"spam.example", "spam.example"},       {"@Spam.Example", "spam.example"},
      {"*.spam.example", ".spam.example"},    {"Bad@Spam.Example", "bad@spam.example"},
      {"bad@", nullptr},                      {"*.", nullptr},
      {"spam example", nullptr},              {"", nullptr},
  };
  for (const Sender& s : senders) {
    std::string key;
    EXPECT_EQ(BlockedSenderKey(s.text, &key), s.key != nullptr) << s.text;
    if (s.key) {
      EXPECT_EQ(key, s.key) << s.text;
    }
  }
}

TEST(MailValues, SystemTextBecomesUtf8AndOneAsciiLine) {
  struct Text {
    std::string in, utf8, line;
  } texts[] = {
      {"caf\xe9", "caf\xc3\xa9", "caf?"},
      {"\x80 5", "\xe2\x82\xac 5", "? 5"},
      {"a\x81" "b", "ab", "a?b"},
      {"one\r\ntwo\rthree\nfour", "one\ntwo\nthree\nfour", "one two three four"},
      {std::string("n\0ul", 4), "nul", "n?ul"},
      {"tab\there", "tab\there", "tab here"},
  };
  for (const Text& t : texts) {
    EXPECT_EQ(TextToUtf8(t.in), t.utf8) << t.in;
    EXPECT_EQ(OneAsciiLine(t.in), t.line) << t.in;
  }
}

TEST(MailValues, StateTextFitsItsField) {
  // The state reply holds 135 bytes of text and its NUL.
  const std::string fits(135, 's'), over(136, 's');
  EXPECT_EQ(CutText(fits, 135), fits);
  EXPECT_EQ(CutText(over, 135), std::string(132, 's') + "...");
  EXPECT_EQ(CutText(over, 135).size(), 135u);
}

TEST(MailValues, AliasNamesFromUsersNames) {
  const uint32_t all = kAliasAutomatic | kAliasFirstUnderLast | kAliasInitialLast |
                       kAliasFirstDotLast | kAliasFullDots | kAliasFullUnderscores;
  struct Forms {
    uint32_t bits;
    const char *given, *surname, *full;
    std::vector<std::string> forms;
  } cases[] = {
      {all, "Joe", "Miller", "Joe M. Miller",
       {"joe_miller", "jmiller", "joe.miller", "joe.m.miller", "joe_m_miller"}},
      {all & ~kAliasAutomatic, "Joe", "Miller", "Joe Miller", {}},
      {kAliasAutomatic | kAliasInitialLast, "Maria", "Lopez-Hernandez", "", {"mlopezhe"}},
      {kAliasAutomatic | kAliasFirstDotLast, "", "Miller", "", {}},
      {kAliasAutomatic | kAliasFullDots, "", "", "Kim", {}},
      {kAliasAutomatic | kAliasFirstDotLast, "Zo\xeb", "O'Neil", "", {"zo.oneil"}},
  };
  for (const Forms& c : cases)
    EXPECT_EQ(NameForms(c.bits, c.given, c.surname, c.full), c.forms) << c.given << " " << c.surname;
}

}  // namespace
}  // namespace zelm::mail
