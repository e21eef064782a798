// Keys and mouse in both panes, and the splitter between them.
#include <string>
#include <vector>

#include "tree_fixture.h"
#include "tree_geometry.h"
#include "tree_state.h"
#include "ui_driver.h"

using Strings = std::vector<std::string>;

namespace {

POINT Screen(HWND w, int x, int y) {
  POINT pt = {x, y};
  ClientToScreen(w, &pt);
  return pt;
}

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// A server with two users, the first with two mailboxes.
class TreeInputTest : public TreeTest {
 protected:
  void Fill(DWORD options = kTvTreePane | kTvItemPane | kTvOpenToggles) {
    Make(options, 40, true);
    server = Add(nullptr, "server", 1);
    alice = Add(server, "alice", 2);
    inbox = Add(alice, "INBOX", 3);
    Add(alice, "Sent", 4);
    bob = Add(server, "bob", 5);
    ClearNotes();
  }
  int Row(const char* text) {
    std::vector<std::string> rows = Rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
  }
  // A point on the row's text, well right of the button and the image.
  POINT OnText(int row) {
    RECT r = RowRect(TreePane(), row);
    TreeItem* item = reinterpret_cast<TreeItem*>(SendMessageA(TreePane(), LB_GETITEMDATA, row, 0));
    POINT pt = {r.left + item->indent + 10 + images.width + 4, (r.top + r.bottom) / 2};
    return pt;
  }
  POINT OnButton(int row, int dx = 0) {
    RECT r = RowRect(TreePane(), row);
    TreeItem* item = reinterpret_cast<TreeItem*>(SendMessageA(TreePane(), LB_GETITEMDATA, row, 0));
    POINT pt = {r.left + item->indent + dx, (r.top + r.bottom) / 2};
    return pt;
  }
  TreeItem* server = nullptr;
  TreeItem* alice = nullptr;
  TreeItem* inbox = nullptr;
  TreeItem* bob = nullptr;
};

TEST_F(TreeInputTest, ReturnAndDoubleClickFollowTheOpenOptions) {
  struct Case {
    const char* label;
    DWORD options;
    const char* target;
    Strings notes;
    Strings rowsAfter;
  } cases[] = {
      {"toggle option closes an item with children", kTvTreePane | kTvOpenToggles, "alice",
       {}, {"Root [-]", "  server [-]", "    alice [+] *", "    bob"}},
      {"toggle option still opens a leaf", kTvTreePane | kTvOpenToggles, "bob",
       {"open bob [bob]"}, {}},
      {"without it the owner is asked", kTvTreePane, "alice", {"open alice [alice]"}, {}},
      {"only-toggle never asks", kTvTreePane | kTvOnlyToggle, "bob", {}, {}},
      {"only-toggle closes", kTvTreePane | kTvOnlyToggle, "alice", {},
       {"Root [-]", "  server [-]", "    alice [+] *", "    bob"}},
      {"the root is never closed", kTvTreePane | kTvOpenToggles, "Root", {"open Root [Root]"}, {}},
  };
  for (const Case& c : cases) {
    for (int how = 0; how < 2; ++how) {
      Fill(c.options);
      TvSelectItem(control, TvFindText(control, c.target));
      Strings rowsBefore = Rows();
      ClearNotes();
      if (how == 0) {
        Key(TreePane(), VK_RETURN);
      } else {
        POINT pt = OnText(Row(c.target));
        Click(TreePane(), WM_LBUTTONDBLCLK, pt.x, pt.y);
      }
      const char* way = how == 0 ? " (Return)" : " (double-click)";
      EXPECT_EQ(c.notes, Notes()) << c.label << way;
      EXPECT_EQ(c.rowsAfter.empty() ? rowsBefore : c.rowsAfter, Rows()) << c.label << way;
      if (!RawNotes().empty()) {
        EXPECT_EQ(control, RawNotes()[0].sender);
      }
      DestroyWindow(control);
      control = nullptr;
    }
  }
  ClearNotes();
}

TEST_F(TreeInputTest, OpenNotificationCarriesTheControlAndOneItem) {
  Fill(kTvTreePane);
  TvSelectItem(control, bob);
  ClearNotes();
  Key(TreePane(), VK_RETURN);
  ASSERT_EQ(1u, RawNotes().size());
  const Note& n = RawNotes()[0];
  EXPECT_EQ(kTvTreeOpen, n.msg);
  EXPECT_EQ(control, n.sender);
  EXPECT_TRUE(SamePoint(POINT{0, 0}, n.point));
  EXPECT_EQ(std::vector<LPARAM>{5}, n.infoData);
  ClearNotes();
}

TEST_F(TreeInputTest, InsertAndDeleteKeysNeedASelectedRow) {
  Fill();
  Key(TreePane(), VK_INSERT);
  Key(TreePane(), VK_DELETE);
  EXPECT_TRUE(Notes().empty());
  TvSelectItem(control, inbox);
  ClearNotes();
  Key(TreePane(), VK_INSERT);
  Key(TreePane(), VK_DELETE);
  EXPECT_EQ((Strings{"insert INBOX [INBOX]", "delete-key INBOX [INBOX]"}), Notes());
  // Insert and delete only notify; the item stays.
  EXPECT_EQ(inbox, TvFindText(control, "INBOX"));
}

TEST_F(TreeInputTest, KeyNotificationsCarryTheRowOnTheScreen) {
  Fill();
  TvSelectItem(control, inbox);
  ClearNotes();
  Key(TreePane(), VK_DELETE);
  ASSERT_EQ(1u, RawNotes().size());
  RECT r = RowRect(TreePane(), Row("INBOX"));
  EXPECT_TRUE(SamePoint(Screen(TreePane(), r.left, r.top), RawNotes()[0].point));
  ClearNotes();
}

TEST_F(TreeInputTest, KeypadPlusOnlyOpensAndMinusOnlyCloses) {
  Fill();
  TvSelectItem(control, alice);
  ClearNotes();
  Key(TreePane(), VK_ADD);  // already open
  EXPECT_EQ((Strings{"Root [-]", "  server [-]", "    alice [-] *", "      INBOX", "      Sent",
                     "    bob"}),
            Rows());
  Key(TreePane(), VK_SUBTRACT);
  EXPECT_EQ((Strings{"Root [-]", "  server [-]", "    alice [+] *", "    bob"}), Rows());
  Key(TreePane(), VK_SUBTRACT);  // already closed
  EXPECT_EQ("    alice [+] *", Rows()[2]);
  Key(TreePane(), VK_ADD);
  EXPECT_EQ("    alice [-] *", Rows()[2]);
  // A leaf and the root take neither.
  TvSelectItem(control, bob);
  Key(TreePane(), VK_ADD);
  Key(TreePane(), VK_SUBTRACT);
  TvSelectItem(control, nullptr);
  Key(TreePane(), VK_SUBTRACT);
  EXPECT_EQ((Strings{"select bob 5", "select Root"}), Notes());
  EXPECT_EQ("Root [-] *", Rows()[0]);
}

TEST_F(TreeInputTest, TabMovesFocusBetweenPanesAndCharactersReachTheOwner) {
  Fill();
  SetActiveWindow(owner);
  ASSERT_TRUE(TvFocusTree(control));
  ASSERT_EQ(TreePane(), GetFocus());
  Key(TreePane(), VK_TAB);
  EXPECT_EQ(ItemPane(), GetFocus());
  Key(ItemPane(), VK_TAB);
  EXPECT_EQ(TreePane(), GetFocus());
  // Focus given to the control goes to the pane that had it last.
  TvFocusItems(control);
  SetFocus(owner);
  SetFocus(control);
  EXPECT_EQ(ItemPane(), GetFocus());

  SendMessageA(TreePane(), WM_CHAR, 'q', 1);
  SendMessageA(ItemPane(), WM_CHAR, 'Z', 1);
  EXPECT_EQ((Strings{"char q", "char Z"}), Notes());
}

TEST_F(TreeInputTest, TabWithoutSecondPaneGoesToTheOwner) {
  Fill(kTvTreePane);
  SetActiveWindow(owner);
  TvFocusTree(control);
  Key(TreePane(), VK_TAB);
  EXPECT_EQ(owner, GetFocus());
}

TEST_F(TreeInputTest, ExpandButtonTogglesWithoutSelecting) {
  Fill();
  TvSelectItem(control, bob);
  ClearNotes();
  int row = Row("alice");
  POINT left = OnButton(row, -5), right = OnButton(row, 5);
  Click(TreePane(), WM_LBUTTONDOWN, left.x, left.y);
  EXPECT_EQ((Strings{"Root [-]", "  server [-]", "    alice [+]", "    bob *"}), Rows());
  Click(TreePane(), WM_LBUTTONDOWN, right.x, right.y);
  EXPECT_EQ((Strings{"Root [-]", "  server [-]", "    alice [-]", "      INBOX", "      Sent",
                     "    bob *"}),
            Rows());
  // Both presses of a double-click on the button toggle.
  Click(TreePane(), WM_LBUTTONDOWN, right.x, right.y);
  Click(TreePane(), WM_LBUTTONDBLCLK, right.x, right.y);
  EXPECT_EQ("    alice [-]", Rows()[2]);
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(bob, TvSelectedItem(control));
  // Just right of the button is the row: that selects.
  POINT past = OnButton(row, 6);
  Click(TreePane(), WM_LBUTTONDOWN, past.x, past.y);
  EXPECT_EQ((Strings{"select alice 2", "user-select alice 2"}), Notes());
  // Leaves have no button.
  int leaf = Row("INBOX");
  POINT onLeaf = OnButton(leaf);
  Click(TreePane(), WM_LBUTTONDOWN, onLeaf.x, onLeaf.y);
  EXPECT_EQ((Strings{"select INBOX 3", "user-select INBOX 3"}), Notes());
}

TEST_F(TreeInputTest, ButtonClickThatHidesTheSelectionSelectsTheItem) {
  Fill();
  TvSelectItem(control, inbox);
  ClearNotes();
  POINT pt = OnButton(Row("alice"));
  Click(TreePane(), WM_LBUTTONDOWN, pt.x, pt.y);
  EXPECT_EQ((Strings{"select alice 2", "user-select alice 2"}), Notes());
  EXPECT_EQ("    alice [+] *", Rows()[2]);
}

TEST_F(TreeInputTest, ClicksAndArrowsReportUserSelection) {
  Fill();
  POINT pt = OnText(Row("bob"));
  Click(TreePane(), WM_LBUTTONDOWN, pt.x, pt.y);
  EXPECT_EQ((Strings{"select bob 5", "user-select bob 5"}), Notes());
  Key(TreePane(), VK_UP);
  EXPECT_EQ((Strings{"select Sent 4", "user-select Sent 4"}), Notes());
  // A double-click below the last row opens nothing.
  RECT last = RowRect(TreePane(), Row("bob"));
  Click(TreePane(), WM_LBUTTONDBLCLK, pt.x, last.bottom + 40);
  EXPECT_TRUE(Notes().empty());
}

TEST_F(TreeInputTest, RightButtonSelectsThenAsksForTheMenu) {
  Fill();
  TvSelectItem(control, bob);
  ClearNotes();
  POINT pt = OnText(Row("INBOX"));
  Click(TreePane(), WM_RBUTTONDOWN, pt.x, pt.y);
  EXPECT_EQ((Strings{"select INBOX 3", "user-select INBOX 3", "menu INBOX [INBOX]"}), Notes());
  // Again on the selected row: only the menu.
  Click(TreePane(), WM_RBUTTONDOWN, pt.x, pt.y);
  ASSERT_EQ(1u, RawNotes().size());
  EXPECT_TRUE(SamePoint(Screen(TreePane(), pt.x, pt.y), RawNotes()[0].point));
  EXPECT_EQ(Strings{"menu INBOX [INBOX]"}, Notes());
  // Below every row: the selection goes, nobody is asked.
  RECT last = RowRect(TreePane(), Row("bob"));
  Click(TreePane(), WM_RBUTTONDOWN, pt.x, last.bottom + 30);
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(nullptr, TvSelectedItem(control));
}

TEST_F(TreeInputTest, ItemPaneKeysAndMouse) {
  Fill();
  for (int i = 0; i < 4; ++i) AddEntry(("msg " + std::to_string(i)).c_str(), i + 1);
  HWND pane = ItemPane();
  Key(pane, VK_DELETE);  // nothing selected
  Key(pane, VK_INSERT);
  ASSERT_EQ(1u, RawNotes().size());
  EXPECT_TRUE(SamePoint(Screen(pane, 0, 0), RawNotes()[0].point));
  EXPECT_EQ(Strings{"insert-entries []"}, Notes());

  RECT r1 = RowRect(pane, 1), r3 = RowRect(pane, 3);
  Click(pane, WM_LBUTTONDOWN, r1.left + 30, (r1.top + r1.bottom) / 2);
  EXPECT_EQ(Strings{"entries-selected [msg 1]"}, Notes());
  Click(pane, WM_LBUTTONDOWN, r3.left + 30, (r3.top + r3.bottom) / 2, MK_SHIFT);
  EXPECT_EQ(Strings{"entries-selected [msg 1,msg 2,msg 3]"}, Notes());
  Key(pane, VK_RETURN);
  Key(pane, VK_DELETE);
  ASSERT_EQ(2u, RawNotes().size());
  EXPECT_TRUE(SamePoint(Screen(pane, r1.left, r1.top), RawNotes()[1].point));
  EXPECT_EQ((Strings{"open-entries [msg 1,msg 2,msg 3]", "delete-entries [msg 1,msg 2,msg 3]"}),
            Notes());
  // A double-click: the first press selects, the second opens.
  Click(pane, WM_LBUTTONDOWN, r3.left + 30, (r3.top + r3.bottom) / 2);
  Click(pane, WM_LBUTTONDBLCLK, r3.left + 30, (r3.top + r3.bottom) / 2);
  EXPECT_EQ((Strings{"entries-selected [msg 3]", "open-entries [msg 3]"}), Notes());
  // Keys the control does not take stay the list box's.
  Key(pane, VK_HOME);
  EXPECT_EQ(Strings{"entries-selected [msg 0]"}, Notes());
  EXPECT_EQ((Strings{"msg 0 *", "msg 1", "msg 2", "msg 3"}), Entries());
}

TEST_F(TreeInputTest, ItemPaneRightButtonSelectsOneRowThenAsks) {
  Fill();
  for (int i = 0; i < 4; ++i) AddEntry(("msg " + std::to_string(i)).c_str(), i + 1);
  HWND pane = ItemPane();
  for (int i = 0; i < 3; ++i) SendMessageA(pane, LB_SETSEL, TRUE, i);
  RECT r2 = RowRect(pane, 2);
  POINT at = {r2.left + 20, (r2.top + r2.bottom) / 2};
  Click(pane, WM_RBUTTONDOWN, at.x, at.y);
  EXPECT_EQ((Strings{"entries-selected [msg 2]", "entry-menu [msg 2]"}), Notes());
  Click(pane, WM_RBUTTONDOWN, at.x, at.y);  // already alone: only the menu
  ASSERT_EQ(1u, RawNotes().size());
  EXPECT_TRUE(SamePoint(Screen(pane, at.x, at.y), RawNotes()[0].point));
  EXPECT_EQ(Strings{"entry-menu [msg 2]"}, Notes());
  // Outside all rows: everything deselected, the owner still asked.
  RECT client;
  GetClientRect(pane, &client);
  Click(pane, WM_RBUTTONDOWN, client.right - 2, client.bottom - 2);
  EXPECT_EQ((Strings{"entries-selected []", "entry-menu []"}), Notes());
}

TEST_F(TreeInputTest, ScrollBarsCatchUpAfterABatchOfRows) {
  Fill();
  for (int i = 0; i < 100; ++i) Add(bob, "m");
  for (int i = 0; i < 300; ++i) AddEntry("entry");
  PumpMessages();
  SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE};
  ASSERT_TRUE(GetScrollInfo(TreePane(), SB_VERT, &si));
  EXPECT_EQ(105, si.nMax);  // 106 rows
  EXPECT_GT(si.nPage, 0u);
  si.fMask = SIF_RANGE;
  ASSERT_TRUE(GetScrollInfo(ItemPane(), SB_HORZ, &si));
  EXPECT_GT(si.nMax, 0);
  // The rows are painted once the control's turn came.
  EXPECT_EQ(0, TreeStateOf(control)->redrawHeld);
  // The pane's bar comes and goes with its rows, the pane staying shown.
  auto style = [&] { return GetWindowLongA(ItemPane(), GWL_STYLE) & (WS_HSCROLL | WS_VISIBLE); };
  for (int i = 0; i < 3000; ++i) AddEntry("entry");
  PumpMessages();
  EXPECT_EQ(WS_HSCROLL | WS_VISIBLE, style());
  TvDeleteAllEntries(control);
  PumpMessages();
  EXPECT_EQ(WS_VISIBLE, style());
  for (int i = 0; i < 3000; ++i) AddEntry("entry");
  PumpMessages();
  EXPECT_EQ(WS_HSCROLL | WS_VISIBLE, style());
}

// --- Splitter ---

class SplitterTest : public TreeTest {
 protected:
  int Split() { return LayoutPanes(width, height, TvSplitPercent(control), TvOptions(control)).split; }
  void Drag(int from, int to, bool stacked) {
    auto at = [&](int pos) { return stacked ? MAKELPARAM(width / 2, pos) : MAKELPARAM(pos, height / 2); };
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at(from));
    SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, at((from + to) / 2));
    SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, at(to));
    SendMessageA(control, WM_LBUTTONUP, 0, at(to));
    PumpMessages();
  }
  RECT PaneRect(HWND pane) {
    RECT r;
    GetWindowRect(pane, &r);
    MapWindowPoints(nullptr, control, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  int width = 400, height = 300;
};

TEST_F(SplitterTest, DragsStayATenthFromEitherEdge) {
  struct Case {
    const char* label;
    DWORD options;
    int width, height, to;
    int percent;
  } cases[] = {
      {"far left", kTvTreePane | kTvItemPane, 400, 300, -50, 10},
      {"at the tenth", kTvTreePane | kTvItemPane, 400, 300, 40, 10},
      {"middle", kTvTreePane | kTvItemPane, 400, 300, 251, 62},
      {"far right", kTvTreePane | kTvItemPane, 400, 300, 900, 90},
      {"narrow control keeps 5 percent", kTvTreePane | kTvItemPane, 9, 300, 0, 5},
      {"stacked top", kTvTreePane | kTvItemPane | kTvStacked, 400, 300, -10, 10},
      {"stacked bottom", kTvTreePane | kTvItemPane | kTvStacked, 400, 300, 400, 90},
      {"short stacked control keeps 95 percent", kTvTreePane | kTvItemPane | kTvStacked, 400, 9, 9, 95},
  };
  for (const Case& c : cases) {
    width = c.width;
    height = c.height;
    Make(c.options, 50, false, width, height);
    bool stacked = (c.options & kTvStacked) != 0;
    Drag(Split(), c.to, stacked);
    EXPECT_EQ(c.percent, TvSplitPercent(control)) << c.label;
    EXPECT_EQ(nullptr, GetCapture()) << c.label;
    EXPECT_FALSE(TreeStateOf(control)->dragging) << c.label;
    DestroyWindow(control);
    control = nullptr;
  }
  ClearNotes();
}

TEST_F(SplitterTest, PanesFollowTheSplit) {
  Make(kTvTreePane | kTvItemPane, 50, true);
  Drag(Split(), 120, false);
  ASSERT_EQ(30, TvSplitPercent(control));
  RECT tree = PaneRect(TreePane()), item = PaneRect(ItemPane());
  EXPECT_EQ(1, tree.left);
  EXPECT_EQ(120 - 3, tree.right);
  EXPECT_EQ(1, tree.top);
  EXPECT_EQ(height - 1, tree.bottom);
  EXPECT_EQ(120 + 3, item.left);
  EXPECT_EQ(width - 1, item.right);
  // Resizing keeps the percentage.
  RECT r = {0, 0, 200, 100};
  TvMove(control, &r);
  EXPECT_EQ(200, r.left);  // tiles: left and top take right and bottom
  EXPECT_EQ(100, r.top);
  EXPECT_EQ(60 - 3, PaneRect(TreePane()).right);
}

TEST_F(SplitterTest, PressAwayFromTheSplitDoesNothing) {
  Make(kTvTreePane | kTvItemPane, 50);
  int s = Split();
  Drag(s + 3, 50, false);  // three pixels off: not the splitter
  EXPECT_EQ(50, TvSplitPercent(control));
  Drag(s - 2, 300, false);  // two pixels off still grabs it
  EXPECT_EQ(75, TvSplitPercent(control));
}

TEST_F(SplitterTest, PointerShapeNearTheSplit) {
  Make(kTvTreePane | kTvItemPane, 50, true);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR we = LoadCursorA(nullptr, IDC_SIZEWE);
  int s = Split();
  SetCursor(arrow);
  SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(s + 2, 50));
  EXPECT_EQ(we, GetCursor());
  SetCursor(arrow);
  SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(s + 3, 50));
  EXPECT_EQ(arrow, GetCursor());
}

TEST_F(SplitterTest, SinglePaneHasNoSplitter) {
  Make(kTvTreePane, 50, true);
  Drag(200, 100, false);
  EXPECT_EQ(100, TvSplitPercent(control));
  RECT tree = PaneRect(TreePane());
  EXPECT_EQ(1, tree.left);
  EXPECT_EQ(width - 1, tree.right);
}

TEST_F(SplitterTest, LosingTheCaptureCancelsTheDrag) {
  Make(kTvTreePane | kTvItemPane, 50, true);
  int s = Split();
  SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(s, 50));
  ASSERT_TRUE(TreeStateOf(control)->dragging);
  SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 50));
  SetCapture(owner);
  EXPECT_FALSE(TreeStateOf(control)->dragging);
  EXPECT_EQ(nullptr, TreeStateOf(control)->dragDC);
  ReleaseCapture();
  SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(80, 50));
  EXPECT_EQ(50, TvSplitPercent(control));
}

}  // namespace
