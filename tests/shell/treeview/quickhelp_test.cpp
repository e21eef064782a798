// Quick help: who is asked when, what the pop-up shows and where, when it
// goes away, and how it paints.
#include <cstring>
#include <string>
#include <vector>

#include "tree_fixture.h"
#include "tree_state.h"
#include "ui_driver.h"

using Strings = std::vector<std::string>;

namespace {

class QuickHelpTest : public TreeTest {
 protected:
  void Fill() {
    noteQuickHelp = true;
    Make(kTvTreePane | kTvItemPane | kTvOpenToggles, 40, true);
    server = Add(nullptr, "server", 1);
    alice = Add(server, "alice", 2);
    Add(server, "bob", 3);
    AddEntry("first", 11);
    AddEntry("second", 12);
    PumpMessages();
    ClearNotes();
  }
  // The pointer rests on (x, y) of a pane: placed there and the pane told.
  void MoveTo(HWND pane, int x, int y) {
    POINT pt = {x, y};
    ClientToScreen(pane, &pt);
    SetCursorPos(pt.x, pt.y);
    SendMessageA(pane, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  }
  void OnRow(HWND pane, int row, int dx = 0) {
    RECT r = RowRect(pane, row);
    MoveTo(pane, r.left + 30 + dx, (r.top + r.bottom) / 2);
  }
  void TimerRunsOut(HWND pane) { SendMessageA(pane, WM_TIMER, kQuickHelpTimer, 0); }
  HWND Popup() { return TreeStateOf(control)->quickHelp; }
  bool Showing() { return IsWindowVisible(Popup()) != FALSE; }
  std::string PopupText() { return WindowText(Popup()); }
  // The quick-help requests among the notes since the last call.
  Strings Asked() {
    Strings asked;
    for (const std::string& n : Notes())
      if (n.find("quick-help") != std::string::npos) asked.push_back(n);
    return asked;
  }

  TreeItem* server = nullptr;
  TreeItem* alice = nullptr;
};

TEST_F(QuickHelpTest, TheOwnerIsAskedOncePerRowAndAnEmptyAnswerShowsNothing) {
  Fill();
  OnRow(TreePane(), 1);
  OnRow(TreePane(), 1, 5);  // still the same row: not asked again
  EXPECT_EQ(Strings{"quick-help server 1"}, Notes());
  TimerRunsOut(TreePane());
  EXPECT_FALSE(Showing());
  OnRow(TreePane(), 1, 9);
  EXPECT_TRUE(Notes().empty());

  answerQuickHelp = [](QuickHelpRequest* r) { strcpy(r->text, "two users"); };
  OnRow(TreePane(), 2);
  EXPECT_EQ(Strings{"quick-help alice 2"}, Notes());
  EXPECT_FALSE(Showing());  // not before the timer
  TimerRunsOut(TreePane());
  EXPECT_TRUE(Showing());
  EXPECT_EQ("two users", PopupText());
  OnRow(TreePane(), 2, 4);
  EXPECT_TRUE(Showing());
  EXPECT_TRUE(Notes().empty());

  // Entries ask the item owner with their own message.
  OnRow(ItemPane(), 1);
  EXPECT_FALSE(Showing());
  EXPECT_EQ(Strings{"entry-quick-help second 12"}, Notes());
}

TEST_F(QuickHelpTest, ThePopupShowsBelowThePointerWithoutTakingTheFocus) {
  Fill();
  answerQuickHelp = [](QuickHelpRequest* r) { strcpy(r->text, "INBOX: 3 messages"); };
  SetFocus(TreePane());
  OnRow(TreePane(), 2);
  // The real timer, waited for with a bound.
  for (int i = 0; i < 300 && !Showing(); ++i) {
    PumpMessages();
    Sleep(10);
  }
  ASSERT_TRUE(Showing());
  POINT cursor;
  GetCursorPos(&cursor);
  RECT w;
  GetWindowRect(Popup(), &w);
  EXPECT_EQ(cursor.x, w.left);
  EXPECT_EQ(cursor.y + 15, w.top);
  EXPECT_EQ(TreePane(), GetFocus());
  EXPECT_NE(Popup(), GetForegroundWindow());
  char cls[64] = {};
  GetClassNameA(Popup(), cls, sizeof cls);
  EXPECT_STREQ("VORDANTVQHCLASS", cls);
  EXPECT_TRUE(GetWindowLongA(Popup(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  // Given the focus, it hands it straight back.
  SetFocus(Popup());
  EXPECT_EQ(TreePane(), GetFocus());
}

TEST_F(QuickHelpTest, TextsAreCutAt159CharactersAndTheWindowFitsThem) {
  Fill();
  struct Case {
    const char* label;
    size_t written;   // characters the owner writes
    bool terminated;  // whether it leaves a NUL
    size_t shown;
  } cases[] = {
      {"one character", 1, true, 1},
      {"exactly 159", 159, true, 159},
      {"the whole area, no NUL", 160, false, 159},
  };
  int row = 0;
  for (const Case& c : cases) {
    answerQuickHelp = [&](QuickHelpRequest* r) {
      memset(r->text, 'w', c.written);
      if (c.terminated) r->text[c.written] = '\0';
    };
    OnRow(TreePane(), row++ % 3);
    TimerRunsOut(TreePane());
    EXPECT_EQ(std::string(c.shown, 'w'), PopupText()) << c.label;
  }
  // Text set on the window directly is cut as well.
  SetWindowTextA(Popup(), std::string(200, 'x').c_str());
  EXPECT_EQ(std::string(159, 'x'), PopupText());
  SetWindowTextA(Popup(), "Abc");
  HDC dc = GetDC(Popup());
  HGDIOBJ old = SelectObject(dc, g_tree.quickHelpFont);
  SIZE size;
  GetTextExtentPoint32A(dc, "Abc", 3, &size);
  SelectObject(dc, old);
  ReleaseDC(Popup(), dc);
  RECT w;
  GetWindowRect(Popup(), &w);
  EXPECT_EQ(size.cx + 12, w.right - w.left);
  EXPECT_EQ(size.cy + 12, w.bottom - w.top);
}

TEST_F(QuickHelpTest, ClicksAnotherRowAndLeavingThePaneHideIt) {
  Fill();
  answerQuickHelp = [](QuickHelpRequest* r) {
    snprintf(r->text, sizeof r->text, "about %s", r->item ? r->item->text : r->entry->text);
  };
  struct Case {
    const char* label;
    std::function<void()> act;
    Strings notes;  // asked again by the act
  } cases[] = {
      {"left button down", [&] { Click(TreePane(), WM_LBUTTONDOWN, 200, 2); }, {}},
      {"right button up", [&] { Click(TreePane(), WM_RBUTTONDOWN, 200, 200); }, {}},
      {"another row", [&] { OnRow(TreePane(), 3); }, {"quick-help bob 3"}},
      {"below the rows", [&] {
         RECT c;
         GetClientRect(TreePane(), &c);
         MoveTo(TreePane(), 20, c.bottom - 3);
       }, {}},
      {"out of the pane", [&] {
         POINT pt = {-50, -50};
         SetCursorPos(pt.x, pt.y);
         TimerRunsOut(TreePane());
       }, {}},
  };
  for (const Case& c : cases) {
    OnRow(TreePane(), 2);
    TimerRunsOut(TreePane());
    ASSERT_TRUE(Showing()) << c.label;
    EXPECT_EQ("about alice", PopupText()) << c.label;
    Notes();
    c.act();
    EXPECT_FALSE(Showing()) << c.label;
    EXPECT_EQ(c.notes, Asked()) << c.label;
    // Whatever hid it, a later timer does not bring the old text back
    // somewhere else.
    MoveTo(TreePane(), 1, 1);
    Notes();
  }
}

TEST_F(QuickHelpTest, ThePopupPaintsARaisedFrameAndTheTextInInfoColours) {
  Fill();
  int w = 80, h = 30;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT), pen = GetCurrentObject(dc, OBJ_PEN);
  COLORREF text = GetTextColor(dc);
  RECT r = {0, 0, w, h};
  PaintQuickHelp(dc, r, "W", 1);
  EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), GetPixel(dc, 0, h / 2));
  EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), GetPixel(dc, w / 2, 0));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(dc, 1, h / 2));
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), GetPixel(dc, w - 1, h / 2));
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), GetPixel(dc, w / 2, h - 1));
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), GetPixel(dc, w - 2, h / 2));
  EXPECT_EQ(GetSysColor(COLOR_INFOBK), GetPixel(dc, w - 10, h / 2));
  int inked = 0;
  for (int y = 4; y < h - 4; ++y)
    for (int x = 4; x < 20; ++x)
      if (GetPixel(dc, x, y) == GetSysColor(COLOR_INFOTEXT)) ++inked;
  EXPECT_GT(inked, 5);
  // The DC comes back as it went in.
  EXPECT_EQ(font, GetCurrentObject(dc, OBJ_FONT));
  EXPECT_EQ(pen, GetCurrentObject(dc, OBJ_PEN));
  EXPECT_EQ(text, GetTextColor(dc));
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
}

}  // namespace
