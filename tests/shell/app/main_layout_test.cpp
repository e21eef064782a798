// The main window's pure rules, table by table: status bar parts, pane
// rectangles, the splitter's clamps, the body-size field and the question.
#include <gtest/gtest.h>

#include <string>

#include "browse.h"
#include "main_layout.h"
#include "preferences_dialog.h"

namespace {

TEST(MainLayoutTest, StatusPartsEndAt100HalfPlus100AndTheRightEnd) {
  struct Row {
    int width, middle;
  } rows[] = {{0, 100}, {1, 100}, {199, 199}, {640, 420}, {641, 420}, {-5, 100}};
  for (const Row& r : rows) {
    int edges[kStatusParts];
    StatusPartEdges(r.width, edges);
    EXPECT_EQ(100, edges[0]) << r.width;
    EXPECT_EQ(r.middle, edges[1]) << r.width;
    EXPECT_EQ(-1, edges[2]) << r.width;
  }
}

TEST(MainLayoutTest, PanesShareTheWidthAroundAFourPixelSplitter) {
  struct Row {
    const char* label;
    int width, height, percent;
    bool shown;
    RECT tree, details;
  } rows[] = {
      {"hidden", 700, 300, 50, false, {0, 0, 700, 300}, {0, 0, 0, 0}},
      {"half", 700, 300, 50, true, {0, 0, 350, 300}, {354, 0, 700, 300}},
      {"rounded down", 705, 300, 33, true, {0, 0, 232, 300}, {236, 0, 705, 300}},
      {"below ten becomes ten", 700, 300, 3, true, {0, 0, 70, 300}, {74, 0, 700, 300}},
      {"whole width", 700, 300, 100, true, {0, 0, 700, 300}, {700, 0, 700, 300}},
      {"nothing to share", 0, 0, 50, true, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Row& r : rows) {
    MainPaneRects p = LayoutMainPanes(r.width, r.height, r.percent, r.shown);
    EXPECT_TRUE(EqualRect(&r.tree, &p.tree)) << r.label;
    EXPECT_TRUE(EqualRect(&r.details, &p.details)) << r.label;
    EXPECT_EQ(r.tree.right, p.splitterX) << r.label;
  }
}

TEST(MainLayoutTest, TheSplitterKeepsATenthOnEachSideAndAtLeastTenPercent) {
  struct Row {
    int x, width, clamped, percent;
  } rows[] = {
      {0, 700, 70, 10},     {69, 700, 70, 10},    {70, 700, 70, 10},   {71, 700, 71, 10},
      {350, 700, 350, 50},  {630, 700, 630, 90},  {631, 700, 630, 90}, {9999, 700, 630, 90},
      {-40, 700, 70, 10},   {0, 705, 70, 10},     {0, 109, 10, 10},    {634, 705, 634, 89},
      {5, 0, 0, 10},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.clamped, ClampSplitterX(r.x, r.width)) << r.x << " of " << r.width;
    EXPECT_EQ(r.percent, DetailsPercentAt(r.x, r.width)) << r.x << " of " << r.width;
  }
  EXPECT_TRUE(OnSplitterBand(350, 350));
  EXPECT_TRUE(OnSplitterBand(353, 350));
  EXPECT_FALSE(OnSplitterBand(354, 350));
  EXPECT_FALSE(OnSplitterBand(349, 350));
}

TEST(MainLayoutTest, TheBodySizeFieldTakesOnlyAByteCount) {
  struct Row {
    const char* text;
    bool ok;
    unsigned long bytes;
  } rows[] = {
      {"0", true, 0},           {"4096", true, 4096},          {"  12\t", true, 12},
      {"0000000000000000000001", true, 1}, {"4294967295", true, 4294967295UL},
      {"4294967296", false, 0}, {"99999999999999999999", false, 0},
      {"", false, 0},           {"   ", false, 0},             {"12abc", false, 0},
      {"1 2", false, 0},        {"-1", false, 0},              {"+5", false, 0},
  };
  for (const Row& r : rows) {
    unsigned long bytes = 7;
    EXPECT_EQ(r.ok, ParseBodySizeText(r.text, &bytes)) << "'" << r.text << "'";
    if (r.ok) EXPECT_EQ(r.bytes, bytes) << r.text;
    else EXPECT_EQ(7u, bytes) << r.text;
  }
}

TEST(MainLayoutTest, TheQuestionHoldsTheLongestNamesAReplyCanCarry) {
  std::string mailbox(1024, 'm'), user(1024, 'u');
  char out[kQuestionSize];
  FormatDeleteQuestion(mailbox.c_str(), user.c_str(), out);
  EXPECT_EQ("Are you sure you want to delete the mailbox '" + mailbox + "' of user " + user + "?",
            std::string(out));
  FormatDeleteQuestion("INBOX", "alice", out);
  EXPECT_STREQ("Are you sure you want to delete the mailbox 'INBOX' of user alice?", out);
}

}  // namespace
