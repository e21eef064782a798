// Names clients send, the folders they map to, and words on reply lines.
#include <gtest/gtest.h>

#include "config.h"
#include "store_names.h"
#include "wire_words.h"

namespace {

TEST(UserNames, RefusesAnythingThatIsNotOnePlainComponent) {
  struct Row {
    const char* label;
    std::string name;
    bool ok;
  } rows[] = {
      {"plain", "alice", true},
      {"with space", "alice smith", true},
      {"8-bit", "m\xfcller", true},
      {"empty", "", false},
      {"dot", ".", false},
      {"dotdot", "..", false},
      {"hidden", ".alice", false},
      {"slash", "a/b", false},
      {"escape", "../etc", false},
      {"nul", std::string("a\0b", 3), false},
      {"tab", "a\tb", false},
      {"del", "a\x7f", false},
      {"at limit", std::string(255, 'u'), true},
      {"past limit", std::string(256, 'u'), false},
  };
  for (const Row& r : rows) EXPECT_EQ(r.ok, ValidUserName(r.name)) << r.label;
}

TEST(MailboxNames, MapToMaildirPlusPlusFoldersAndBack) {
  struct Row {
    const char* wire;
    const char* folder;  // nullptr: refused
  } rows[] = {
      {"INBOX", ""},
      {"inbox", ""},
      {"Sent", ".Sent"},
      {"Archive/2024", ".Archive.2024"},
      {"a/b/c", ".a.b.c"},
      {"", nullptr},
      {"/Sent", nullptr},
      {"Sent/", nullptr},
      {"a//b", nullptr},
      {"..", nullptr},
      {"../x", nullptr},
      {"a.b", nullptr},
      {"a\\b", nullptr},
      {"a\x01", nullptr},
      {"INBOX/Sub", nullptr},
  };
  for (const auto& r : rows) {
    std::string folder;
    bool ok = MailboxFolder(r.wire, &folder);
    EXPECT_EQ(r.folder != nullptr, ok) << r.wire;
    if (!r.folder || !ok) continue;
    EXPECT_EQ(r.folder, folder) << r.wire;
    if (folder.empty()) continue;
    std::string back;
    ASSERT_TRUE(WireMailboxName(folder, &back)) << folder;
    EXPECT_EQ(std::string(r.wire), back);
  }
}

TEST(MailboxNames, FolderNameLengthLimit) {
  std::string folder;
  EXPECT_TRUE(MailboxFolder(std::string(254, 'm'), &folder));  // ".mmm" = 255
  EXPECT_FALSE(MailboxFolder(std::string(255, 'm'), &folder));
}

TEST(MailboxNames, ForeignFoldersAreNotMailboxNames) {
  std::string wire;
  for (const char* f : {".", "..", "...", ".a..b", ".a.", "cur", ".INBOX", ".inbox.x", ".a\x02"})
    EXPECT_FALSE(WireMailboxName(f, &wire)) << f;
}

TEST(MailboxNames, ListingPutsInboxFirstAndNodesBeforeChildren) {
  std::vector<std::string> got =
      MailboxListing({"Work/2024/Q1", "Sent", "INBOX", "Archive", "Archive/Old", "Work-x"});
  std::vector<std::string> want = {"INBOX",        "Archive",        "Archive/Old", "Sent",
                                   "Work/",        "Work/2024/",     "Work/2024/Q1",
                                   "Work-x"};
  EXPECT_EQ(want, got);
  // Without an INBOX folder there is no INBOX line.
  EXPECT_EQ(std::vector<std::string>({"Sent"}), MailboxListing({"Sent"}));
}

TEST(WireWords, NeverCarryBlanksOrControlsAndFitTheCodePage) {
  struct Row {
    const char* label;
    std::string in;
    std::string out;
  } rows[] = {
      {"empty", "", "-"},
      {"spaces", "Quarterly report  Q1", "Quarterly_report__Q1"},
      {"controls", "a\tb\r\nc", "a_b__c"},
      {"latin-1", "M\xc3\xbcller", "M\xfcller"},
      {"cp1252 extra", "\xe2\x82\xac 5", "\x80_5"},
      {"nbsp is blank", "a\xc2\xa0" "b", "a_b"},
      {"no-break ideographic space", "a\xe3\x80\x80" "b", "a_b"},
      {"outside code page", "\xe6\x97\xa5", "?"},
      {"malformed utf-8", "a\xff" "b", "a?b"},
      {"truncated sequence", "a\xc3", "a?"},
      {"overlong encoding", "\xc0\xaf", "??"},
      {"surrogate", "\xed\xa0\x80", "???"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.out, WireWord(r.in)) << r.label;
}

TEST(WireWords, CutAtTheLimitOnACharacterBoundary) {
  EXPECT_EQ(std::string(kWordMax, 'x'), WireWord(std::string(kWordMax + 50, 'x')));
  EXPECT_EQ(std::string(kWordMax, 'x'), WireWord(std::string(kWordMax, 'x')));
  // Each two-byte character becomes one byte: 300 of them still give kWordMax.
  std::string umlauts;
  for (int i = 0; i < 300; ++i) umlauts += "\xc3\xa4";
  EXPECT_EQ(std::string(kWordMax, '\xe4'), WireWord(umlauts));
}

TEST(WireWords, ValueWordsNeverLookLikeNone) {
  EXPECT_EQ("-", WireValueWord(""));
  EXPECT_EQ("_report.pdf", WireValueWord("-report.pdf"));
  EXPECT_EQ("a-b", WireValueWord("a-b"));
  EXPECT_EQ("utf-8", WireToken("UTF-8"));
  EXPECT_EQ("quoted-printable", WireToken("Quoted-Printable"));
}

TEST(Configuration, TrustedNetworksAndSettings) {
  StoreConfig c;
  EXPECT_TRUE(IsTrustedAddress(c, 0x7F000001));   // loopback by default
  EXPECT_TRUE(IsTrustedAddress(c, 0x7F0A0B0C));
  EXPECT_FALSE(IsTrustedAddress(c, 0x0A000001));
  std::string error;
  ASSERT_TRUE(ApplySetting(&c, "trusted", "10.1.0.0/16, 192.168.7.9", &error)) << error;
  EXPECT_TRUE(IsTrustedAddress(c, 0x0A01FFFF));
  EXPECT_FALSE(IsTrustedAddress(c, 0x0A02FFFF));
  EXPECT_TRUE(IsTrustedAddress(c, 0xC0A80709));
  EXPECT_FALSE(IsTrustedAddress(c, 0x7F000001));  // a list replaces the default
  EXPECT_EQ("10.1.0.0/16,192.168.7.9/32", FormatTrustedList(c.trusted));
  struct Bad {
    const char* key;
    const char* value;
  } bad[] = {{"trusted", "10.0.0.0/33"}, {"trusted", "host.example"}, {"trusted", ""},
             {"port", "0"},              {"port", "65536"},            {"port", "9x"},
             {"quota-kb", "4294967296"}, {"listen", "::1"},            {"nonsense", "1"},
             {"disabled", "yes"}};
  for (const Bad& b : bad) EXPECT_FALSE(ApplySetting(&c, b.key, b.value, &error)) << b.key << "=" << b.value;
  EXPECT_TRUE(ApplySetting(&c, "quota-kb", "4294967295", &error));
}

}  // namespace
