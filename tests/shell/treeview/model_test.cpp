// The tree model: adding, deleting, opening, closing, selecting and finding
// items, checked against the rows the pane shows and the notifications the
// owner hears.
#include <string>
#include <vector>

#include "tree_fixture.h"
#include "tree_state.h"
#include "ui_driver.h"

using Strings = std::vector<std::string>;

namespace {

int CellColumnOf(const TreeItem* item, int width) {
  return item->imageCell.left / (item->sizeFactor * width);
}

TEST_F(TreeTest, CreationGivesRootRowOptionsAndPanes) {
  Make();
  EXPECT_EQ(Strings{"Root"}, Rows());
  EXPECT_EQ(0xB0Eu, TvOptions(control));  // side by side and quick help filled in
  EXPECT_EQ("TreeView", WindowText(control));
  EXPECT_EQ("TV:Tree", WindowText(TreePane()));
  EXPECT_EQ("TV:Item", WindowText(ItemPane()));
  EXPECT_EQ(40, TvSplitPercent(control));
  EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & WS_CLIPCHILDREN);
  EXPECT_EQ(1, SendMessageA(TreePane(), kTvIsPane, 0, 0));
  EXPECT_EQ(1, SendMessageA(ItemPane(), kTvPaneQuery, 0, 0));
  // The tree pane refuses drops (0x200), the item pane takes them.
  EXPECT_FALSE(GetWindowLongA(TreePane(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_TRUE(GetWindowLongA(ItemPane(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  HWND help = TreeStateOf(control)->quickHelp;
  ASSERT_TRUE(help);
  EXPECT_EQ("TVQuickHelp", WindowText(help));
  EXPECT_FALSE(IsWindowVisible(help));
  EXPECT_TRUE(Notes().empty());
}

TEST_F(TreeTest, PanesAndSplitFollowOptions) {
  struct Row {
    const char* label;
    DWORD options;
    int split;
    bool tree, item;
    int percent;
  } rows[] = {
      {"tree only", kTvTreePane, 40, true, false, 100},
      {"list only", kTvItemPane, 40, false, true, 100},
      {"stacked", kTvTreePane | kTvItemPane | kTvStacked, 70, true, true, 70},
      {"split 0 takes the default", kTvTreePane | kTvItemPane, 0, true, true, 50},
      {"split 120 takes the default", kTvTreePane | kTvItemPane, 120, true, true, 50},
  };
  for (const Row& r : rows) {
    Make(r.options, r.split);
    EXPECT_EQ(r.tree, TreePane() != nullptr) << r.label;
    EXPECT_EQ(r.item, ItemPane() != nullptr) << r.label;
    EXPECT_EQ(r.percent, TvSplitPercent(control)) << r.label;
    DestroyWindow(control);
    control = nullptr;
  }
  ClearNotes();
}

TEST_F(TreeTest, ItemsAreRowsInDepthFirstOrder) {
  Make();
  TreeItem* server = Add(nullptr, "mail.example", 1);
  TreeItem* bob = Add(server, "bob", 3);
  TreeItem* alice = Add(server, "alice", 2, kTvAddFirst);
  Add(alice, "INBOX");
  Add(bob, "Sent");
  Add(alice, "Drafts");
  TreeItem* carol = Add(alice, "carol", 4, kTvAddAfter);  // sibling after alice
  Add(TvRootItem(control), "second.example", 5, kTvAddAfter);  // the root has no siblings
  EXPECT_EQ((Strings{"Root [-]", "  mail.example [-]", "    alice [-]", "      INBOX",
                     "      Drafts", "    carol", "    bob [-]", "      Sent",
                     "  second.example"}),
            Rows());
  EXPECT_EQ(server, carol->parent);
  EXPECT_EQ(alice->indent + alice->halfImageWidth + 3, alice->firstChild->indent);
  EXPECT_EQ(nullptr, TvAddItem(control, server, kTvAddLastChild, nullptr, nullptr, 0, 1, 0));
  EXPECT_TRUE(Notes().empty());
}

// Appending goes straight to the end after the item added last; whatever
// happened in between (another parent, a deletion, a collapse) still puts a
// child last under its own parent.
TEST_F(TreeTest, AppendingAfterOtherChangesStillAddsLastUnderTheParent) {
  Make();
  TreeItem* a = Add(nullptr, "a");
  TreeItem* b = Add(nullptr, "b");
  Add(a, "a1");
  TreeItem* a2 = Add(a, "a2");
  Add(b, "b1");
  Add(a, "a3");  // after another parent's child
  TvDeleteItem(control, a2);
  TreeItem* a4 = Add(a, "a4");
  TvDeleteItem(control, a4);  // the item added last goes
  Add(a, "a5");
  TvExpand(control, b, kTvCollapse);
  Add(b, "b2");  // its parent shows no rows now
  TvExpand(control, b, kTvExpand);
  Add(b, "b3");
  EXPECT_EQ((Strings{"Root [-]", "  a [-]", "    a1", "    a3", "    a5", "  b [-]", "    b1",
                     "    b2", "    b3"}),
            Rows());
  const char* order[] = {"a1", "a3", "a5"};
  int i = 0;
  for (TreeItem* c = a->firstChild; c; c = c->nextSibling, ++i) EXPECT_STREQ(order[i], c->text);
  EXPECT_EQ(3, i);
}

TEST_F(TreeTest, ChildOfCollapsedItemWaitsForExpand) {
  Make();
  TreeItem* user = Add(nullptr, "alice", 0, kTvAddLastChild | kTvAddCollapsed);
  EXPECT_EQ(2, CellColumnOf(user, images.width));  // no children yet
  Add(user, "INBOX");
  EXPECT_EQ((Strings{"Root [-]", "  alice [+]"}), Rows());
  EXPECT_EQ(1, CellColumnOf(user, images.width));
  ASSERT_TRUE(TvExpand(control, user, kTvExpand));
  EXPECT_EQ((Strings{"Root [-]", "  alice [-]", "    INBOX"}), Rows());
  EXPECT_EQ(0, CellColumnOf(user, images.width));
}

TEST_F(TreeTest, ExpandedParentHiddenByItsAncestorKeepsItsMinus) {
  Make();
  TreeItem* server = Add(nullptr, "server");
  TreeItem* user = Add(server, "alice");
  TvExpand(control, server, kTvCollapse);
  Add(user, "INBOX");
  // alice is open; only its parent is closed.
  EXPECT_EQ(0, CellColumnOf(user, images.width));
  TvExpand(control, server, kTvExpand);
  EXPECT_EQ((Strings{"Root [-]", "  server [-]", "    alice [-]", "      INBOX"}), Rows());
}

TEST_F(TreeTest, DeletingSubtreeNotifiesChildrenFirstAndLastChildMakesLeaf) {
  Make();
  TreeItem* server = Add(nullptr, "server", 1);
  TreeItem* alice = Add(server, "alice", 2);
  TreeItem* inbox = Add(alice, "INBOX", 3);
  Add(inbox, "old", 4);
  Add(alice, "Sent", 5);
  TreeItem* bob = Add(server, "bob", 6);
  TvExpand(control, inbox, kTvCollapse);

  ASSERT_TRUE(TvDeleteItem(control, alice));
  EXPECT_EQ((Strings{"delete old 4", "delete INBOX 3", "delete Sent 5", "delete alice 2"}),
            Notes());
  EXPECT_EQ((Strings{"Root [-]", "  server [-]", "    bob"}), Rows());
  EXPECT_EQ(0, CellColumnOf(server, images.width));

  ASSERT_TRUE(TvDeleteItem(control, bob));
  EXPECT_EQ(Strings{"delete bob 6"}, Notes());
  EXPECT_EQ(2, CellColumnOf(server, images.width));
  EXPECT_EQ((Strings{"Root [-]", "  server"}), Rows());
}

TEST_F(TreeTest, DeletingCollapsedOrHiddenItemsTouchesOnlyTheirRows) {
  Make();
  TreeItem* a = Add(nullptr, "a");
  TreeItem* a1 = Add(a, "a1");
  Add(a1, "a1x");
  Add(nullptr, "b");
  TvExpand(control, a1, kTvCollapse);
  TvExpand(control, a, kTvCollapse);
  ASSERT_TRUE(TvDeleteItem(control, a1));  // hidden: no rows change
  EXPECT_EQ((Strings{"Root [-]", "  a", "  b"}), Rows());
  EXPECT_EQ((Strings{"delete a1x", "delete a1"}), Notes());
}

TEST_F(TreeTest, RootCannotBeDeletedOrCollapsed) {
  Make();
  TreeItem* root = TvRootItem(control);
  Add(nullptr, "server");
  EXPECT_EQ(0, TvDeleteItem(control, root));
  EXPECT_EQ(1, TvExpand(control, root, kTvCollapse));
  EXPECT_EQ(1, TvExpand(control, root, kTvToggle));
  EXPECT_EQ((Strings{"Root [-]", "  server"}), Rows());
  EXPECT_TRUE(Notes().empty());
  ASSERT_TRUE(TvDeleteAllItems(control));
  EXPECT_EQ(Strings{"delete server"}, Notes());
  EXPECT_EQ(Strings{"Root"}, Rows());
}

TEST_F(TreeTest, CollapseKeepsDescendantsStateAndHidesTheirRows) {
  Make();
  TreeItem* s = Add(nullptr, "s");
  TreeItem* u1 = Add(s, "u1");
  Add(u1, "m1");
  TreeItem* u2 = Add(s, "u2");
  Add(u2, "m2");
  Add(nullptr, "t");
  TvExpand(control, u2, kTvCollapse);
  TvExpand(control, s, kTvToggle);
  EXPECT_EQ((Strings{"Root [-]", "  s [+]", "  t"}), Rows());
  TvExpand(control, s, kTvToggle);
  EXPECT_EQ((Strings{"Root [-]", "  s [-]", "    u1 [-]", "      m1", "    u2 [+]", "  t"}),
            Rows());
  // A leaf takes the closed state without changing its picture.
  TreeItem* t = TvFindText(control, "t");
  TvExpand(control, t, kTvCollapse);
  EXPECT_EQ(1, t->collapsed);
  EXPECT_EQ(2, CellColumnOf(t, images.width));
  Add(t, "hidden");
  EXPECT_EQ("  t [+]", Rows().back());
  EXPECT_TRUE(Notes().empty());
}

TEST_F(TreeTest, CollapseHidingTheSelectionSelectsTheItem) {
  Make();
  TreeItem* user = Add(nullptr, "alice", 2);
  TreeItem* box = Add(user, "INBOX", 3);
  Add(nullptr, "bob", 4);
  ASSERT_TRUE(TvSelectItem(control, box));
  EXPECT_EQ(Strings{"select INBOX 3"}, Notes());
  TvExpand(control, user, kTvCollapse);
  EXPECT_EQ((Strings{"Root [-]", "  alice [+] *", "  bob"}), Rows());
  EXPECT_EQ((Strings{"select alice 2", "user-select alice 2"}), Notes());
  EXPECT_EQ(user, TvSelectedItem(control));

  // Closing an item while a row outside it is selected leaves it selected.
  TvExpand(control, user, kTvExpand);
  TvSelectItem(control, TvFindText(control, "bob"));
  Notes();
  TvExpand(control, user, kTvCollapse);
  EXPECT_EQ((Strings{"Root [-]", "  alice [+]", "  bob *"}), Rows());
  EXPECT_TRUE(Notes().empty());
}

TEST_F(TreeTest, SelectingHiddenItemOpensItsAncestors) {
  Make();
  TreeItem* s = Add(nullptr, "s", 0, kTvAddLastChild | kTvAddCollapsed);
  TreeItem* u = Add(s, "u", 0, kTvAddLastChild | kTvAddCollapsed);
  TreeItem* m = Add(u, "m", 9);
  EXPECT_EQ((Strings{"Root [-]", "  s [+]"}), Rows());
  ASSERT_TRUE(TvSelectItem(control, m));
  EXPECT_EQ((Strings{"Root [-]", "  s [-]", "    u [-]", "      m *"}), Rows());
  EXPECT_EQ(Strings{"select m 9"}, Notes());  // not the user's doing
  EXPECT_EQ(9, TvSelectedData(control));
  ASSERT_TRUE(TvSelectItem(control, nullptr));
  EXPECT_EQ(TvRootItem(control), TvSelectedItem(control));
  EXPECT_EQ(Strings{"select Root"}, Notes());
}

TEST_F(TreeTest, SelectPreviousAndNextWalkTheTree) {
  Make();
  TreeItem* s = Add(nullptr, "s");
  TreeItem* a = Add(s, "a");
  TreeItem* a1 = Add(a, "a1");
  TreeItem* b = Add(s, "b");
  TreeItem* t = Add(nullptr, "t");
  TvExpand(control, a, kTvCollapse);
  EXPECT_EQ(nullptr, TvSelectPrevious(control));  // nothing selected
  TvSelectItem(control, s);
  EXPECT_EQ(a, TvSelectNext(control));
  EXPECT_EQ(a1, TvSelectNext(control));  // first child, opened on the way
  EXPECT_EQ(b, TvSelectNext(control));   // next sibling of the parent
  EXPECT_EQ(t, TvSelectNext(control));
  EXPECT_EQ(nullptr, TvSelectNext(control));
  EXPECT_EQ(s, TvSelectPrevious(control));
  TvSelectItem(control, b);
  EXPECT_EQ(a, TvSelectPrevious(control));
  EXPECT_EQ(s, TvSelectPrevious(control));  // first child: the parent
  Notes();
  // The main window's delete: step back, then remove.
  TvSelectItem(control, a);
  TvSelectPrevious(control);
  TvDeleteItem(control, a);
  EXPECT_EQ((Strings{"select a", "select s", "delete a1", "delete a"}), Notes());
  EXPECT_EQ(s, TvSelectedItem(control));
}

TEST_F(TreeTest, FindingByTextIgnoresCaseAndGoesDepthFirst) {
  Make();
  TreeItem* s = Add(nullptr, "Server");
  TreeItem* deep = Add(s, "Alice");
  Add(nullptr, "alice");
  TreeItem* tipped = TvAddItem(control, s, kTvAddLastChild, "bob", "Bob Tip", 0, 1, 0);
  TreeItem* accented = Add(s, "\xC9lodie");
  EXPECT_EQ(TvRootItem(control), TvFindText(control, "ROOT"));
  EXPECT_EQ(deep, TvFindText(control, "ALICE"));  // before the later sibling of its parent
  EXPECT_EQ(accented, TvFindText(control, "\xE9LODIE"));
  EXPECT_EQ(nullptr, TvFindText(control, "alic"));
  EXPECT_EQ(nullptr, TvFindText(control, nullptr));
  EXPECT_EQ(tipped, TvFindTip(control, "bob tip"));
  EXPECT_EQ(nullptr, TvFindTip(control, "bob"));
}

TEST_F(TreeTest, SetItemChangesOnlyWhatItIsGiven) {
  Make();
  TreeItem* a = TvAddItem(control, nullptr, kTvAddLastChild, "a", nullptr, 1, 1, 7);
  TreeItem* b = TvAddItem(control, nullptr, kTvAddLastChild, "b", "tip", 2, 1, 8);
  Add(a, "child");
  ASSERT_TRUE(TvSetItem(control, nullptr, "Network", nullptr, 3, -1, 0));
  EXPECT_STREQ("Network", TvRootItem(control)->text);
  EXPECT_EQ(3, TvRootItem(control)->image);
  ASSERT_TRUE(TvSetItem(control, a, nullptr, "new tip", -1, -1, 0));
  EXPECT_EQ(nullptr, a->tipText);  // only an existing tip is replaced
  EXPECT_EQ(1, a->image);
  EXPECT_EQ(7, a->data);
  ASSERT_TRUE(TvSetItem(control, b, nullptr, "new tip", -1, -1, 99));
  EXPECT_STREQ("new tip", b->tipText);
  EXPECT_EQ(99, b->data);
  EXPECT_EQ(2, b->image);

  // A larger image moves the children's lines and makes the row taller.
  ASSERT_TRUE(TvSetItem(control, a, nullptr, nullptr, -1, 3, 0));
  EXPECT_EQ(3 * images.width / 2, a->halfImageWidth);
  EXPECT_EQ(a->indent + a->halfImageWidth + 3, a->firstChild->indent);
  EXPECT_EQ(3 * images.height, SendMessageA(TreePane(), LB_GETITEMHEIGHT, 1, 0));
  RECT cell = a->imageCell;
  EXPECT_EQ(images.rows * images.height * 3 + 3 * images.height, cell.top);
  EXPECT_EQ(3 * images.width, cell.right - cell.left);
  // Out-of-range factors are kept to 1..3.
  TvSetItem(control, b, nullptr, nullptr, -1, 7, 0);
  EXPECT_EQ(3, b->sizeFactor);
  EXPECT_EQ(Strings{}, Notes());
}

TEST_F(TreeTest, RowHeightsFollowImageAndFont) {
  Make();
  TEXTMETRICA tm = {};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  for (int sf = 1; sf <= 3; ++sf)
    TvAddItem(control, nullptr, kTvAddLastChild, "x", nullptr, 0, sf, 0);
  for (int sf = 1; sf <= 3; ++sf) {
    int expected = sf * images.height > tm.tmHeight ? sf * images.height : tm.tmHeight;
    EXPECT_EQ(expected, SendMessageA(TreePane(), LB_GETITEMHEIGHT, sf, 0)) << sf;
  }
  int entry = images.height < tm.tmHeight ? tm.tmHeight + 5 : images.height;
  EXPECT_EQ(entry, SendMessageA(ItemPane(), LB_GETITEMHEIGHT, 0, 0));
}

TEST_F(TreeTest, OpeningAndClosingKeepTheFirstVisibleRow) {
  Make();
  TreeItem* top = Add(nullptr, "top");
  for (int i = 0; i < 30; ++i) Add(top, ("t" + std::to_string(i)).c_str());
  TreeItem* below = Add(nullptr, "below");
  for (int i = 0; i < 30; ++i) Add(below, ("b" + std::to_string(i)).c_str());
  TreeItem* after = Add(nullptr, "after");
  for (int i = 0; i < 30; ++i) Add(after, ("a" + std::to_string(i)).c_str());
  HWND pane = TreePane();
  SendMessageA(pane, LB_SETTOPINDEX, 40, 0);  // b7 at the top
  ASSERT_EQ(40, SendMessageA(pane, LB_GETTOPINDEX, 0, 0));
  TvExpand(control, top, kTvCollapse);
  EXPECT_EQ(10, SendMessageA(pane, LB_GETTOPINDEX, 0, 0));
  EXPECT_STREQ("b7", reinterpret_cast<TreeItem*>(SendMessageA(pane, LB_GETITEMDATA, 10, 0))->text);
  TvExpand(control, top, kTvExpand);
  EXPECT_EQ(40, SendMessageA(pane, LB_GETTOPINDEX, 0, 0));
  // Closing the branch the top row is in puts its item at the top.
  TvExpand(control, below, kTvCollapse);
  EXPECT_EQ(32, SendMessageA(pane, LB_GETTOPINDEX, 0, 0));
}

TEST_F(TreeTest, DeepChainsAreDeletedWithoutRecursion) {
  Make();
  TreeItem* parent = nullptr;
  TreeItem* first = nullptr;
  const int kDepth = 3000;
  for (int i = 0; i < kDepth; ++i) {
    parent = Add(parent, "d", i + 1);
    if (!first) first = parent;
  }
  ASSERT_TRUE(parent);
  EXPECT_EQ(kDepth + 1, SendMessageA(TreePane(), LB_GETCOUNT, 0, 0));
  ASSERT_TRUE(TvDeleteItem(control, first));
  std::vector<Note> notes = RawNotes();
  ASSERT_EQ(static_cast<size_t>(kDepth), notes.size());
  EXPECT_EQ(kDepth, notes.front().data);  // deepest first
  EXPECT_EQ(1, notes.back().data);
  EXPECT_EQ(Strings{"Root"}, Rows());
  ClearNotes();
}

TEST_F(TreeTest, DestroyReleasesEveryItemAndEntry) {
  Make();
  TreeItem* s = Add(nullptr, "s", 1);
  Add(s, "u", 2);
  AddEntry("m1", 11);
  AddEntry("m2", 12);
  DestroyWindow(control);
  EXPECT_EQ((Strings{"delete u 2", "delete s 1", "delete Root", "delete-entry m1 11",
                     "delete-entry m2 12"}),
            Notes());
  // A dead control answers nothing and changes nothing.
  EXPECT_EQ(nullptr, TvAddItem(control, nullptr, kTvAddLastChild, "x", nullptr, 0, 1, 0));
  EXPECT_EQ(nullptr, TvRootItem(control));
  EXPECT_EQ(0, TvSplitPercent(control));
  EXPECT_EQ(0, TvSelectItem(control, nullptr));
  EXPECT_EQ(nullptr, TvAddEntry(control, nullptr, 0, "x", nullptr, 0, 0));
  control = nullptr;
  // Nor does a window of another class.
  EXPECT_EQ(nullptr, TvRootItem(owner));
  EXPECT_EQ(0, TvDeleteAllEntries(owner));
  EXPECT_EQ(0, TvCheckInvariant(owner, nullptr, 0));
}

}  // namespace
