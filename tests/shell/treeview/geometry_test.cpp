// The control's window-free rules, walked through their boundaries in tables.
#include <gtest/gtest.h>

#include "tree_geometry.h"
#include "treeview.h"

namespace {

TEST(TreeGeometry, TreeImageCellsForEverySizeFactor) {
  // 4 image rows of 17x17 cells.
  struct Row {
    const char* label;
    int image, sf, column;
    RECT cell;
  } rows[] = {
      {"1x first", 0, 1, 0, {0, 0, 17, 17}},
      {"1x leaf column", 2, 1, 2, {34, 34, 51, 51}},
      {"1x last row", 3, 1, 1, {17, 51, 34, 68}},
      {"2x after the 1x grid", 0, 2, 0, {0, 68, 34, 102}},
      {"2x image 1 collapsed", 1, 2, 1, {34, 102, 68, 136}},
      {"3x after the 2x grid", 0, 3, 0, {0, 204, 51, 255}},
      {"3x image 3 leaf", 3, 3, 2, {102, 357, 153, 408}},
      {"factor 0 treated as 1", 1, 0, 0, {0, 17, 17, 34}},
      {"factor 9 treated as 3", 0, 9, 1, {51, 204, 102, 255}},
      {"negative image treated as 0", -4, 1, 0, {0, 0, 17, 17}},
  };
  for (const Row& r : rows) {
    RECT c = TreeImageCell(r.image, r.sf, r.column, 4, 17, 17);
    EXPECT_TRUE(EqualRect(&c, &r.cell)) << r.label << ": " << c.left << "," << c.top << ","
                                        << c.right << "," << c.bottom;
  }
}

TEST(TreeGeometry, ListImageCellsWrapAtTheColumnCount) {
  struct Row {
    int image, columns;
    RECT cell;
  } rows[] = {
      {0, 3, {0, 0, 16, 20}},  {2, 3, {32, 0, 48, 20}}, {3, 3, {0, 20, 16, 40}},
      {7, 3, {16, 40, 32, 60}}, {5, 0, {0, 100, 16, 120}},  // no columns given: one
  };
  for (const Row& r : rows) {
    RECT c = ListImageCell(r.image, r.columns, 16, 20);
    EXPECT_TRUE(EqualRect(&c, &r.cell)) << r.image << "/" << r.columns;
  }
}

TEST(TreeGeometry, RowHeights) {
  EXPECT_EQ(17, TreeRowHeight(1, 17, 13));
  EXPECT_EQ(51, TreeRowHeight(3, 17, 13));
  EXPECT_EQ(20, TreeRowHeight(1, 10, 20));  // the font wins
  EXPECT_EQ(17, ListRowHeight(17, 13));
  EXPECT_EQ(13, ListRowHeight(13, 13));     // as high as the font: the image
  EXPECT_EQ(18, ListRowHeight(12, 13));     // lower: font + 5
}

TEST(TreeGeometry, PaneLayouts) {
  const DWORD both = kTvTreePane | kTvItemPane;
  struct Row {
    const char* label;
    int w, h, p;
    DWORD options;
    RECT tree, item, band;
  } rows[] = {
      {"side by side", 400, 300, 40, both, {1, 1, 157, 299}, {163, 1, 399, 299}, {158, 1, 162, 299}},
      {"default is side by side", 400, 300, 50, both | kTvSideBySide,
       {1, 1, 197, 299}, {203, 1, 399, 299}, {198, 1, 202, 299}},
      {"stacked", 400, 300, 50, both | kTvStacked,
       {1, 1, 399, 147}, {1, 153, 399, 299}, {1, 148, 399, 152}},
      {"tree only", 400, 300, 40, kTvTreePane, {1, 1, 399, 299}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {"list only", 400, 300, 40, kTvItemPane, {0, 0, 0, 0}, {1, 1, 399, 299}, {0, 0, 0, 0}},
      {"zero size never goes negative", 0, 0, 40, both, {1, 1, 1, 1}, {3, 1, 3, 1}, {-2, 1, 2, 1}},
  };
  for (const Row& r : rows) {
    PaneLayout l = LayoutPanes(r.w, r.h, r.p, r.options);
    EXPECT_TRUE(EqualRect(&l.tree, &r.tree)) << r.label << " tree " << l.tree.left << ","
                                             << l.tree.top << "," << l.tree.right << ","
                                             << l.tree.bottom;
    EXPECT_TRUE(EqualRect(&l.item, &r.item)) << r.label << " item " << l.item.left << ","
                                             << l.item.top << "," << l.item.right << ","
                                             << l.item.bottom;
    EXPECT_TRUE(EqualRect(&l.band, &r.band)) << r.label << " band";
    EXPECT_GE(l.tree.right, l.tree.left) << r.label;
    EXPECT_GE(l.item.bottom, l.item.top) << r.label;
  }
}

TEST(TreeGeometry, SplitterClampsAndPercentages) {
  struct Row {
    const char* label;
    int pos, extent;
    bool stacked;
    int percent, drawnAt;
  } rows[] = {
      {"left edge", 0, 400, false, 10, 40},
      {"one before the tenth", 39, 400, false, 10, 40},
      {"one after the tenth", 41, 400, false, 10, 41},
      {"right edge", 400, 400, false, 90, 360},
      {"one past the right tenth", 361, 400, false, 90, 360},
      {"negative position", -30, 400, false, 10, 40},
      {"tiny width: floor of 5", 0, 9, false, 5, 0},
      {"stacked bottom", 300, 300, true, 90, 270},
      {"tiny height: ceiling of 95", 9, 9, true, 95, 9},
      {"stacked has no floor of its own", 0, 9, true, 0, 0},
      {"no extent", 10, 0, false, -1, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.percent, SplitFromPointer(r.pos, r.extent, r.stacked)) << r.label;
    if (r.extent > 0) {
      EXPECT_EQ(r.drawnAt, ClampSplitPointer(r.pos, r.extent)) << r.label;
    }
  }
  EXPECT_TRUE(NearSplit(98, 100));
  EXPECT_TRUE(NearSplit(102, 100));
  EXPECT_FALSE(NearSplit(97, 100));
  EXPECT_FALSE(NearSplit(103, 100));
  EXPECT_EQ(50, SaneSplitPercent(0));
  EXPECT_EQ(50, SaneSplitPercent(4));
  EXPECT_EQ(5, SaneSplitPercent(5));
  EXPECT_EQ(95, SaneSplitPercent(95));
  EXPECT_EQ(50, SaneSplitPercent(96));
}

TEST(TreeGeometry, TextComparisonIgnoresCase) {
  struct Row {
    const char *a, *b;
    bool same;
  } rows[] = {
      {"Root", "ROOT", true},
      {"root", "roo", false},
      {"", "", true},
      {"a", "", false},
      {"\xC0\xC9\xDE", "\xE0\xE9\xFE", true},  // Latin-1 capitals and small letters
      {"\xD7", "\xF7", false},                 // multiplication and division signs differ
      {"[", "{", false},                       // only letters fold
      {nullptr, "x", false},
  };
  for (const Row& r : rows) EXPECT_EQ(r.same, SameTextIgnoringCase(r.a, r.b)) << (r.a ? r.a : "null");
}

}  // namespace
