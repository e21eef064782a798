// logpage's own build of the frame: its plain error texts, and its copy of
// the read and write operations against a real directory.
#include <gtest/gtest.h>

#include <string>

#include "dir_fixture.h"
#include "frame.h"
#include "test_directory.h"

namespace {

TEST(LogpageFrameTest, ErrorTextsAreItsOwnPlainWords) {
  struct Row {
    int code;
    const char* text;
  } rows[] = {
      {-601, "No such entry"},
      {-602, "No such value"},
      {-603, "No such attribute"},
      {-604, "No such class"},
      {-606, "Entry already exists"},
      {-608, "Illegal attribute"},
      {-613, "Syntax violation"},
      {-614, "Duplicate value"},
      {-623, "Syntax invalid in name"},
      {-632, "System failure"},
      {-641, "Invalid request"},
      {-645, "Class already exists"},
      {-649, "Insufficient buffer"},
      {-657, "Schema synchronization in progress"},
      {-663, "Directory services locked"},
      {-672, "No access"},
      {-306, "Bad syntax"},
      {-999, "Generic error"},
      {0, "Generic error"},
  };
  for (const Row& row : rows) EXPECT_STREQ(DSErrorText(row.code), row.text) << row.code;
}

TEST(LogpageFrameTest, ReadsAndReplacesWithItsOwnCopy) {
  zelm::dir::testing::TempFolder folder;
  zelm::testdir::TestDirectory directory(folder.File("logpage.zdb"), zelm::dir::testing::kSmallTree);
  ASSERT_EQ(directory.error(), "");

  StrList old = {};
  StrList wanted = {};
  StrListAdd(&wanted, "0 3 1 - ");
  StrListAdd(&wanted, "1 7 3 - C:\\log\\mail.log");
  ASSERT_TRUE(DSCanWrite("Acme.", "FS1", "Quorvel:Syslog Config"));
  ASSERT_EQ(DSReplaceValues(&old, &wanted, "Acme.", "FS1", "Quorvel:Syslog Config", kSyntaxCIString), 0);
  EXPECT_EQ(DSReadValues(&old, "Acme.", "FS1", "Quorvel:Syslog Config"), 2);
  EXPECT_STREQ(old.items[1], "1 7 3 - C:\\log\\mail.log");
  StrListFree(&wanted);
  StrListAdd(&wanted, "1 7 3 - C:\\log\\mail.log");
  ASSERT_EQ(DSReplaceValues(&old, &wanted, "Acme.", "FS1", "Quorvel:Syslog Config", kSyntaxCIString), 0);
  EXPECT_EQ(directory.Values("FS1.Acme", "Quorvel:Syslog Config"),
            std::vector<std::string>{"1 7 3 - C:\\log\\mail.log"});
  StrListFree(&old);
  StrListFree(&wanted);

  directory.As("Joe.Sales.Acme");
  EXPECT_FALSE(DSCanWrite("Acme.", "FS1", "Quorvel:Syslog Config"));
}

}  // namespace
