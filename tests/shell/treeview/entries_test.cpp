// Entries of the item pane: order, deletion with notifications, finding,
// selecting and the selection record.
#include <cstring>
#include <string>
#include <vector>

#include "tree_fixture.h"
#include "tree_state.h"

using Strings = std::vector<std::string>;

namespace {

TEST_F(TreeTest, EntriesKeepInsertionOrderAndWidenColumns) {
  Make();
  ListItem* a = AddEntry("1 short", 1);
  ListItem* c = AddEntry("3 short", 3);
  ListItem* b = TvAddEntry(control, a, 0x14, "2 short", nullptr, 0, 2);
  TvAddEntry(control, c, 0, "4 after the last", nullptr, 0, 4);
  EXPECT_EQ((Strings{"1 short", "2 short", "3 short", "4 after the last"}), Entries());
  EXPECT_EQ(a, TvFirstEntry(control));
  EXPECT_EQ(b, a->next);
  EXPECT_EQ(a, b->previous);
  int before = TreeStateOf(control)->columnWidth;
  AddEntry("a much longer entry text than the others");
  EXPECT_GT(TreeStateOf(control)->columnWidth, before);
  EXPECT_EQ(nullptr, TvAddEntry(control, nullptr, 0, nullptr, nullptr, 0, 0));
  EXPECT_TRUE(Notes().empty());
}

// The column's quick width check for a text of known length: the same
// answer as the check character by character, ASCII or not, at any width.
TEST_F(TreeTest, QuickWidthCheckAgreesWithTheCharacterByCharacterOne) {
  Make();
  const char* texts[] = {"",           "a",
                         "WWWW",       "\xe9t\xe9",
                         "abcdefgh\xe9", "abcdefg\xe9ijklmnop",
                         "abcdefghijklmnop\xe9q", "abcdefghijklmnopqrstuvw"};
  for (const char* t : texts)
    for (int width : {-1, 0, 10, 60, 200, 1000})
      EXPECT_EQ(TextSurelyWithin(t, width), TextOfLengthSurelyWithin(t, strlen(t), width))
          << t << " in " << width;
}

TEST_F(TreeTest, EntryImageCellsWrapByColumns) {
  Make();
  struct Row {
    int image, left, top;
  } rows[] = {{0, 0, 0}, {1, 17, 0}, {2, 0, 17}, {5, 17, 34}, {-3, 0, 0}};
  for (const Row& r : rows) {
    ListItem* e = TvAddEntry(control, nullptr, 0, "e", nullptr, r.image, 0);
    EXPECT_EQ(r.left, e->imageCell.left) << r.image;
    EXPECT_EQ(r.top, e->imageCell.top) << r.image;
    EXPECT_EQ(17, e->imageCell.right - e->imageCell.left) << r.image;
  }
}

TEST_F(TreeTest, DeletingEntriesNotifiesEachBeforeRemoval) {
  Make();
  ListItem* first = AddEntry("first", 1);
  ListItem* mid = AddEntry("mid", 2);
  ListItem* last = AddEntry("last", 3);
  ASSERT_TRUE(TvDeleteEntry(control, mid));
  EXPECT_EQ(Strings{"delete-entry mid 2"}, Notes());
  EXPECT_EQ((Strings{"first", "last"}), Entries());
  ASSERT_TRUE(TvDeleteEntry(control, last));
  ASSERT_TRUE(TvDeleteEntry(control, first));
  EXPECT_EQ((Strings{"delete-entry last 3", "delete-entry first 1"}), Notes());
  EXPECT_EQ(nullptr, TvFirstEntry(control));
  // The list still appends after losing its ends.
  AddEntry("again", 4);
  AddEntry("more", 5);
  ASSERT_TRUE(TvDeleteAllEntries(control));
  EXPECT_EQ((Strings{"delete-entry again 4", "delete-entry more 5"}), Notes());
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(0, TvDeleteEntry(control, nullptr));
}

// Entries are carved from shared blocks: texts at either side of what a
// block holds, and longer, keep every byte through deletions in the middle
// and at the ends, an emptied list, and refilling; emptied blocks kept for
// the next listing stay bounded.
TEST_F(TreeTest, EntryTextsSurviveDeletionAndReuseOfTheirBlocks) {
  Make();
  std::vector<std::string> texts;
  for (size_t n : {0, 1, 63, 4439, 65300, 65400, 65450, 65536, 200000}) texts.push_back(std::string(n, 'x'));
  for (int k = 0; k < 3000; ++k) texts.push_back(std::to_string(k) + std::string(k % 97, 'a' + k % 26));
  for (int round = 0; round < 2; ++round) {
    Strings kept;
    std::vector<ListItem*> added;
    for (size_t k = 0; k < texts.size(); ++k) {
      // The long ones in between the short ones.
      const std::string& t = texts[(k * 7) % texts.size()];
      added.push_back(AddEntry(t.c_str(), static_cast<LPARAM>(k)));
      ASSERT_NE(nullptr, added.back());
    }
    for (size_t k = 0; k < added.size(); ++k) {
      if (k % 3 == 1) ASSERT_TRUE(TvDeleteEntry(control, added[k]));
      else kept.push_back(texts[(k * 7) % texts.size()]);
    }
    EXPECT_EQ(kept, Entries()) << round;
    ASSERT_TRUE(TvDeleteAllEntries(control));
    EXPECT_TRUE(Entries().empty());
  }
  // 6,000 entries of 3,000 characters fill more blocks than are kept.
  std::string wide(3000, 'w');
  for (int k = 0; k < 6000; ++k) ASSERT_NE(nullptr, AddEntry(wide.c_str(), k));
  ASSERT_TRUE(TvDeleteAllEntries(control));
  TreeControlState* s = TreeStateOf(control);
  EXPECT_LE(s->spareBlockBytes, 16u << 20);
  EXPECT_LE(s->entryBlockCount, (16 << 20) / (64 << 10) + 1);
}

TEST_F(TreeTest, FindingEntriesIsCaseSensitive) {
  Make();
  AddEntry("Message");
  ListItem* lower = AddEntry("message");
  EXPECT_EQ(lower, TvFindEntry(control, "message"));
  EXPECT_EQ(nullptr, TvFindEntry(control, "MESSAGE"));
  EXPECT_EQ(nullptr, TvFindEntry(control, nullptr));
}

TEST_F(TreeTest, SelectingEntriesAndReadingTheSelection) {
  Make();
  ListItem* e[5];
  for (int i = 0; i < 5; ++i) e[i] = AddEntry(("m" + std::to_string(i)).c_str(), 100 + i);
  SelectionInfo info;
  EXPECT_EQ(0, TvSelection(control, &info));
  EXPECT_EQ(0, info.count);
  EXPECT_EQ(control, info.sender);
  TvReleaseSelection(&info);
  EXPECT_EQ(0, TvSelectedEntryData(control));

  ASSERT_TRUE(TvSelectEntry(control, e[3]));
  EXPECT_EQ((Strings{"m0", "m1", "m2", "m3 *", "m4"}), Entries());
  EXPECT_EQ(103, TvSelectedEntryData(control));
  ASSERT_TRUE(TvSelectEntry(control, e[1]));  // replaces, not adds
  EXPECT_EQ((Strings{"m0", "m1 *", "m2", "m3", "m4"}), Entries());

  // Several selected, the caret on an unselected row: the first selected counts.
  HWND pane = ItemPane();
  SendMessageA(pane, LB_SETSEL, TRUE, 4);
  SendMessageA(pane, LB_SETCARETINDEX, 2, FALSE);
  EXPECT_EQ(101, TvSelection(control, &info));
  ASSERT_EQ(2, info.count);
  EXPECT_EQ(e[1], info.items[0]);
  EXPECT_EQ(e[4], info.items[1]);
  EXPECT_EQ(101, info.data[0]);
  EXPECT_EQ(104, info.data[1]);
  TvReleaseSelection(&info);
  EXPECT_EQ(nullptr, info.items);
  SendMessageA(pane, LB_SETCARETINDEX, 4, FALSE);
  EXPECT_EQ(104, TvSelectedEntryData(control));
  EXPECT_TRUE(Notes().empty());  // none of this was the user's doing
}

TEST_F(TreeTest, ListOnlyControlHasNoTree) {
  Make(kTvItemPane);
  EXPECT_EQ(nullptr, TvRootItem(control));
  EXPECT_EQ(nullptr, TvAddItem(control, nullptr, kTvAddLastChild, "x", nullptr, 0, 1, 0));
  EXPECT_EQ(0, TvDeleteAllItems(control));
  EXPECT_EQ(nullptr, TvSelectedItem(control));
  ASSERT_TRUE(AddEntry("only"));
  EXPECT_EQ(Strings{"only"}, Entries());
}

}  // namespace
