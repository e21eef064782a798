// The syslog page's value rules without any window: the facility value
// written and read back at every field's size, the override value, and the
// level boxes kept cumulative.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "syslog_facility.h"

namespace {

FacilityRecord Record(int level, int mode, const std::string& host, const std::string& path) {
  FacilityRecord r;
  memset(&r, 0, sizeof r);
  r.level = level;
  r.mode = mode;
  strncpy(r.host, host.c_str(), sizeof r.host - 1);
  strncpy(r.path, path.c_str(), sizeof r.path - 1);
  return r;
}

std::string Format(int index, const FacilityRecord& r) {
  char out[kFacilityValueChars + 1];
  EXPECT_EQ(FormatFacilityValue(index, &r, out, sizeof out), 1);
  return out;
}

TEST(FacilityValue, IsWrittenWithADashForNoHostAndNothingForNoPath) {
  EXPECT_EQ(Format(1, Record(6, kModeFile, "", "DATA:/LOG/MAIL.LOG")), "1 6 3 - DATA:/LOG/MAIL.LOG");
  EXPECT_EQ(Format(0, Record(0, kModeNone, "", "")), "0 0 0 - ");
  EXPECT_EQ(Format(21, Record(7, kModeRemote, "10.0.0.7", "")), "21 7 4 10.0.0.7 ");
  // The longest record fits the value buffer.
  FacilityRecord big = Record(-2147483647 - 1, -2147483647 - 1, std::string(kFacilityHostChars, 'h'),
                              std::string(kFacilityPathChars, 'p'));
  std::string longest = Format(-2147483647 - 1, big);
  EXPECT_EQ(longest.size(), 3 * 11 + 4 + kFacilityHostChars + kFacilityPathChars);
  EXPECT_LE(longest.size(), static_cast<size_t>(kFacilityValueChars));
  // Too small a buffer gives nothing rather than a cut value.
  char small[8];
  FacilityRecord r = Record(6, kModeFile, "", "DATA:/LOG/MAIL.LOG");
  EXPECT_EQ(FormatFacilityValue(1, &r, small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST(FacilityValue, NeedsThreeNumbersAndCutsHostAndPathToTheRecord) {
  const std::string host15(15, 'h'), path259(259, 'p');
  const struct {
    const char* label;
    std::string value;
    bool ok;
    int index, level, mode;
    std::string host, path;
  } rows[] = {
      {"stored file setting", "1 6 3 - DATA:/LOG/MAIL.LOG", true, 1, 6, 3, "", "DATA:/LOG/MAIL.LOG"},
      {"remote host, no path", "2 3 4 10.0.0.7 ", true, 2, 3, 4, "10.0.0.7", ""},
      {"three numbers only", "5 1 2", true, 5, 1, 2, "", ""},
      {"path with spaces", "  4  2  3  -  C:/My Logs/mail.log  ", true, 4, 2, 3, "",
       "C:/My Logs/mail.log"},
      {"host at its size", "3 1 4 " + host15 + " x", true, 3, 1, 4, host15, "x"},
      {"host one past", "3 1 4 " + host15 + "H x", true, 3, 1, 4, host15, "x"},
      {"path at its size", "3 1 3 - " + path259, true, 3, 1, 3, "", path259},
      {"path one past", "3 1 3 - " + path259 + "P", true, 3, 1, 3, "", path259},
      {"index out of range still reads", "-1 2 3 - x", true, -1, 2, 3, "", "x"},
      {"huge numbers stop at the ends", "99999999999 1 1", true, 2147483647, 1, 1, "", ""},
      {"two numbers", "1 6", false},
      {"words", "a b c", false},
      {"override value", "Override=On", false},
      {"empty", "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    int index = 99;
    FacilityRecord r = Record(9, 9, "old", "old");
    ASSERT_EQ(ParseFacilityValue(row.value.c_str(), &index, &r), row.ok ? 1 : 0);
    if (!row.ok) {
      EXPECT_EQ(index, 99);
      continue;
    }
    EXPECT_EQ(index, row.index);
    EXPECT_EQ(r.level, row.level);
    EXPECT_EQ(r.mode, row.mode);
    EXPECT_EQ(std::string(r.host), row.host);
    EXPECT_EQ(std::string(r.path), row.path);
  }
}

TEST(FacilityValue, EveryRecordReadsBackAsItWasWritten) {
  for (int i = 0; i < kFacilityCount; ++i) {
    FacilityRecord r = Record(i % kLevelCount, i % 5, i % 2 ? "192.168.100.200" : "",
                              i % 3 ? "SYS:/LOG/" + std::string(kFacilityNames[i]) + ".LOG" : "");
    int index = -1;
    FacilityRecord back;
    ASSERT_EQ(ParseFacilityValue(Format(i, r).c_str(), &index, &back), 1);
    EXPECT_EQ(index, i);
    EXPECT_EQ(memcmp(&back, &r, sizeof r), 0) << kFacilityNames[i];
  }
}

TEST(OverrideValue, BeginsWithOAndIsOnOnlyAsOverrideOnInAnyCase) {
  const struct {
    const char* value;
    bool kind, on;
  } rows[] = {{"Override=On", true, true},   {"override=on", true, true},
              {"OVERRIDE=ON", true, true},   {"Override=Off", true, false},
              {"Override=On ", true, false}, {"Other", true, false},
              {"1 6 3 - x", false, false},   {"", false, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(IsOverrideValue(row.value) != 0, row.kind);
    EXPECT_EQ(OverrideIsOn(row.value) != 0, row.on);
  }
  EXPECT_FALSE(IsOverrideValue(nullptr));
}

TEST(LevelBoxes, ShowEveryPriorityUpToTheLevelAndReadBackTheLeastSevere) {
  EXPECT_EQ(BoxesForLevel(0), 0x01u);
  EXPECT_EQ(BoxesForLevel(1), 0x03u);
  EXPECT_EQ(BoxesForLevel(6), 0x7Fu);
  EXPECT_EQ(BoxesForLevel(7), 0xFFu);
  EXPECT_EQ(BoxesForLevel(-3), 0x01u);
  EXPECT_EQ(BoxesForLevel(12), 0xFFu);
  for (int level = 0; level < kLevelCount; ++level)
    EXPECT_EQ(LevelOfBoxes(BoxesForLevel(level)), level);
  EXPECT_EQ(LevelOfBoxes(0x00u), 0);
  EXPECT_EQ(LevelOfBoxes(0x09u), 3);  // the least severe ticked box decides
}

TEST(LevelBoxes, ClicksKeepTheTicksCumulative) {
  const unsigned kWarning = 1u << 4, kError = 1u << 3;
  const struct {
    const char* label;
    unsigned before;
    int priority;
    unsigned after;
  } rows[] = {
      {"ticking Warning at level 1 ticks Critical and Error", 0x03u, 4, 0x1Fu},
      {"clearing Error then clears Warning", 0x1Fu, 3, 0x07u},
      {"ticking Debug ticks everything", 0x01u, 7, 0xFFu},
      {"clearing Alert leaves Emergency", 0xFFu, 1, 0x01u},
      {"ticking Emergency clears the others", 0x06u, 0, 0x01u},
      {"clearing Emergency ticks it again", 0x1Fu, 0, 0x1Fu},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    unsigned clicked = row.before ^ (1u << row.priority);  // the box toggles itself first
    EXPECT_EQ(BoxesAfterClick(clicked, row.priority), row.after);
  }
  EXPECT_EQ(BoxesAfterClick(BoxesAfterClick(0x03u | kWarning, 4) & ~kError, 3), 0x07u);
}

}  // namespace
