// The pure rules of the shell's own commands: the log's text, finding in
// the list, quick-help texts, file names of dragged messages and the repair
// command's lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "repair_protocol.h"
#include "shell_texts.h"

namespace {

// --- Save log ---------------------------------------------------------------------

struct Row {
  int kind;
  int left, top, height;
  const char* text;
};

std::string Log(const std::vector<Row>& rows) {
  std::vector<DetailLine> lines;
  for (const Row& r : rows) {
    DetailLine l = {};
    l.kind = r.kind;
    l.text = const_cast<char*>(r.text);
    l.length = static_cast<int>(strlen(r.text));
    l.left = r.left;
    l.top = r.top;
    l.bottom = r.top + r.height;
    lines.push_back(l);
  }
  size_t length = 0;
  char* text = FormatDetailsLog(lines.data(), static_cast<int>(lines.size()), &length);
  EXPECT_NE(nullptr, text);
  std::string out = text ? std::string(text, length) : std::string();
  EXPECT_EQ(strlen(text ? text : ""), length);
  free(text);
  return out;
}

TEST(SaveLogTextTest, HeadingsIndentsTabsAndBlankRows) {
  const int H = 13;  // a row
  struct Case {
    const char* label;
    std::vector<Row> rows;
    std::string expected;
  } cases[] = {
      {"nothing", {}, ""},
      {"a heading is underlined", {{kLineHeading, 15, 10, H, "Mailbox information"}},
       "Mailbox information\r\n-------------------\r\n"},
      {"detail and flag indents",
       {{kLineHeading, 15, 10, H, "Message 1 details"},
        {kLineText, 45, 10 + H, H, "Message state"},
        {kLineText, 60, 10 + 2 * H, H, "* Read"}},
       "Message 1 details\r\n-----------------\r\n    Message state\r\n      * Read\r\n"},
      {"tabs go to every eighth column, indentation counted",
       {{kLineText, 45, 10, H, "Disk-space used:\t120 KB"},
        {kLineText, 45, 10 + H, H, "a\tb\tc"},
        {kLineText, 15, 10 + 2 * H, H, "\tx"}},
       "    Disk-space used:    120 KB\r\n    a   b       c\r\n        x\r\n"},
      {"a blank row stays one empty line",
       {{kLineText, 45, 10, H, "one"}, {kLineText, 45, 10 + H + 15, H, "two"}},
       "    one\r\n\r\n    two\r\n"},
      {"a heading after a blank gets no second one",
       {{kLineText, 45, 10, H, "one"}, {kLineHeading, 15, 10 + H + 15, H, "MIME structure of message:"}},
       "    one\r\n\r\nMIME structure of message:\r\n--------------------------\r\n"},
      {"a heading right after text gets one",
       {{kLineText, 45, 10, H, "one"}, {kLineHeading, 15, 10 + H, H, "Head"}},
       "    one\r\n\r\nHead\r\n----\r\n"},
      {"an empty text line (a blank body line) stays",
       {{kLineText, 45, 10, H, "a"}, {kLineText, 45, 10 + H, H, ""}, {kLineText, 45, 10 + 2 * H, H, "b"}},
       "    a\r\n    \r\n    b\r\n"},
      {"two texts on one row", {{kLineText, 15, 10, H, "left"}, {kLineText, 80, 10, H, "right"}},
       "left right\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Log(c.rows)) << c.label;
}

TEST(SaveLogTextTest, IndentSpacesFollowThePixels) {
  EXPECT_EQ(0, LogIndentSpaces(15));
  EXPECT_EQ(0, LogIndentSpaces(0));
  EXPECT_EQ(4, LogIndentSpaces(45));
  EXPECT_EQ(6, LogIndentSpaces(60));
}

// --- Find --------------------------------------------------------------------------

TEST(FindTextTest, CaseIsIgnoredAndTheSearchWrapsAround) {
  const char* texts[] = {"Quarterly_report", "Lunch", "Re:_Lunch", "Long_body", "\xC9t\xE9"};
  struct Case {
    const char* label;
    const char* needle;
    int after;
    int expected;
  } cases[] = {
      {"from the top", "lunch", -1, 1},
      {"the next after the selection", "LUNCH", 1, 2},
      {"around to the start", "lunch", 2, 1},
      {"only the selected one matches: found again", "quarterly", 0, 0},
      {"middle of a text", "G_BO", -1, 3},
      {"Latin-1 capitals", "\xE9T\xC9", -1, 4},
      {"none", "supper", 1, -1},
      {"empty text finds nothing", "", -1, -1},
      {"a selection out of range starts at the top", "re", 99, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FindNextMatch(texts, 5, c.after, c.needle)) << c.label;
  EXPECT_EQ(-1, FindNextMatch(texts, 0, -1, "x"));
  EXPECT_FALSE(ContainsIgnoringCase("abc", "abcd"));
  EXPECT_TRUE(ContainsIgnoringCase("aab", "ab"));
}

// --- Quick help --------------------------------------------------------------------

TEST(QuickHelpTextTest, WhatEachItemSays) {
  char out[kHelpTextSize];
  FormatServerHelp("127.0.0.5", 2, false, out);
  EXPECT_STREQ("127.0.0.5: 2 users", out);
  FormatServerHelp("store", 1, false, out);
  EXPECT_STREQ("store: 1 user", out);
  FormatServerHelp("store", 3, true, out);
  EXPECT_STREQ("store: connection closed", out);
  FormatUserHelp("alice", 4, out);
  EXPECT_STREQ("alice: 4 mailboxes", out);
  FormatUserHelp("alice", -1, out);
  EXPECT_STREQ("", out);
  FormatMailboxHelp("INBOX", -1, -1, out);
  EXPECT_STREQ("", out);
  FormatMailboxHelp("INBOX", 1, -1, out);
  EXPECT_STREQ("INBOX: 1 message", out);
  FormatMailboxHelp("INBOX", 3, 2996, out);
  EXPECT_STREQ("INBOX: 3 messages, 2 KB", out);
  FormatMessageHelp(12, "Lunch", out);
  EXPECT_STREQ("Message 12: Lunch", out);
  // Long names stay within the request's area.
  std::string host(300, 'h');
  FormatServerHelp(host.c_str(), 2, false, out);
  EXPECT_EQ(static_cast<size_t>(kHelpTextSize - 1), strlen(out));
}

// --- File names -----------------------------------------------------------------------

TEST(MessageFileNameTest, ListTextsBecomeNamesWindowsTakes) {
  static const std::string eighty(80, 'x');
  struct Case {
    const char* label;
    const char* text;
    std::string expected;
  } cases[] = {
      {"plain", "Quarterly_report", "Quarterly_report.eml"},
      {"refused characters", "Re:_a/b\\c*d?e\"f<g>h|i", "Re__a_b_c_d_e_f_g_h_i.eml"},
      {"control characters", "a\tb\x01", "a_b_.eml"},
      {"trailing dots and blanks go", "end. .", "end.eml"},
      {"no subject", "-", "message 7.eml"},
      {"empty", "", "message 7.eml"},
      {"only dots", "...", "message 7.eml"},
      {"device name", "CON", "_CON.eml"},
      {"device name in lower case with an extension", "nul.txt", "_nul.txt.eml"},
      {"COM1 and LPT9", "com1", "_com1.eml"},
      {"not a device: COM0", "COM0", "COM0.eml"},
      {"not a device: CONSOLE", "CONSOLE", "CONSOLE.eml"},
      {"80 characters stay", eighty.c_str(), eighty + ".eml"},
  };
  for (const Case& c : cases) {
    char out[kSafeNameChars + 16];
    SafeMessageFileName(c.text, 7, out);
    EXPECT_EQ(c.expected, out) << c.label;
  }
  std::string longer(81, 'y');
  char out[kSafeNameChars + 16];
  SafeMessageFileName(longer.c_str(), 1, out);
  EXPECT_EQ(std::string(80, 'y') + ".eml", out);
}

// --- Repair lines ---------------------------------------------------------------------

TEST(RepairLinesTest, CommandsFitTheCommandBufferOrAreRefused) {
  char out[kCommandSize];
  ASSERT_TRUE(FormatRepairCommand(kRepairMailbox, false, "INBOX", out));
  EXPECT_STREQ("REPAIR MBOX INBOX\r\n", out);
  ASSERT_TRUE(FormatRepairCommand(kRepairMailbox, true, "Sent Items", out));
  EXPECT_STREQ("REPAIR CHECK MBOX Sent Items\r\n", out);
  ASSERT_TRUE(FormatRepairCommand(kRepairSystem, false, nullptr, out));
  EXPECT_STREQ("REPAIR STORE\r\n", out);
  ASSERT_TRUE(FormatRepairCommand(kRepairSystem, true, nullptr, out));
  EXPECT_STREQ("REPAIR CHECK STORE\r\n", out);
  EXPECT_FALSE(FormatRepairCommand(kRepairCancelled, false, "x", out));
  // "REPAIR MBOX " and CR LF take 14 of the 1,023 characters.
  std::string fits(1023 - 14, 'm'), over(1024 - 14, 'm');
  EXPECT_TRUE(FormatRepairCommand(kRepairMailbox, false, fits.c_str(), out));
  EXPECT_EQ(1023u, strlen(out));
  EXPECT_FALSE(FormatRepairCommand(kRepairMailbox, false, over.c_str(), out));
}

TEST(RepairLinesTest, ProgressLines) {
  struct Case {
    const char* label;
    std::string text;
    bool ok;
    unsigned long errors;
    std::string user, mailbox, action;
  } cases[] = {
      {"whole", "3\talice\tINBOX\tchecking the index", true, 3, "alice", "INBOX", "checking the index"},
      {"names with blanks", "0\tmary ann\tSent Items\tdone", true, 0, "mary ann", "Sent Items", "done"},
      {"empty fields", "0\t\t\t", true, 0, "", "", ""},
      {"tabs in the action stay", "1\tu\tm\ta\tb", true, 1, "u", "m", "a\tb"},
      {"the largest count", "4294967295\tu\tm\ta", true, 4294967295UL, "u", "m", "a"},
      {"a count too large", "4294967296\tu\tm\ta", false, 0, "", "", ""},
      {"no count", "\tu\tm\ta", false, 0, "", "", ""},
      {"a word for a count", "x3\tu\tm\ta", false, 0, "", "", ""},
      {"a field short", "1\tu\tm", false, 0, "", "", ""},
  };
  for (const Case& c : cases) {
    RepairProgressLine p;
    EXPECT_EQ(c.ok, ParseRepairProgress(c.text.c_str(), &p)) << c.label;
    if (!c.ok) continue;
    EXPECT_EQ(c.errors, p.errors) << c.label;
    EXPECT_EQ(c.user, p.user) << c.label;
    EXPECT_EQ(c.mailbox, p.mailbox) << c.label;
    EXPECT_EQ(c.action, p.action) << c.label;
  }
  // A field as long as a reply text can be is cut to the record, not past it.
  std::string huge = "1\t" + std::string(1500, 'u') + "\tm\ta";
  RepairProgressLine p;
  ASSERT_TRUE(ParseRepairProgress(huge.c_str(), &p));
  EXPECT_EQ(static_cast<size_t>(kReplyCapacity - 1), strlen(p.user));
}

TEST(RepairLinesTest, ClosingLinesAndWhatTheDialogSays) {
  RepairResult r;
  ASSERT_TRUE(ParseRepairResult("done 12 3 3", &r));
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(12u, r.mailboxes);
  EXPECT_EQ(3u, r.errors);
  EXPECT_EQ(3u, r.repaired);
  ASSERT_TRUE(ParseRepairResult("stopped 1 0 0 after alice/INBOX", &r));
  EXPECT_TRUE(r.stopped);
  for (const char* bad : {"", "done", "done 1 2", "finished 1 2 3", "done 1 2 x", "done  1 2 3"})
    EXPECT_FALSE(ParseRepairResult(bad, &r)) << bad;

  char out[kRepairTextSize];
  RepairResult one = {false, 1, 1, 1};
  FormatRepairSummary(one, false, out, sizeof out);
  EXPECT_STREQ("Repair finished: 1 mailbox checked, 1 error found, 1 repaired.", out);
  RepairResult some = {true, 4, 2, 0};
  FormatRepairSummary(some, true, out, sizeof out);
  EXPECT_STREQ("Check stopped: 4 mailboxes checked, 2 errors found (read-only: nothing repaired).", out);
  FormatRepairRefusal(4000, "unknown command", out, sizeof out);
  EXPECT_STREQ("This server cannot repair its store: it does not know the repair command.", out);
  FormatRepairRefusal(4013, "no such mailbox", out, sizeof out);
  EXPECT_STREQ("The server refused the repair: no such mailbox", out);
}

}  // namespace
