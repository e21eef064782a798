// The multi-valued edit control on a real dialog: filled through the
// callback, edited with keys and mouse, read back with the count and value
// functions, and every change reported to the page.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "host_fixture.h"
#include "host_test_ids.h"
#include "hostext32.h"
#include "hostext_ids.h"
#include "modal_driver.h"
#include "ui_driver.h"

namespace {

// What the page saw: the notifications the control owns.
struct PageLog {
  int changed = 0;     // 0x520 with the page and 0x10000
  int commands = 0;    // WM_COMMAND with QZX_MVN_CHANGED from the list
};
PageLog g_page;

INT_PTR CALLBACK PageProc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case QZX_PAGE_CHANGED:
      if (lp == QZX_PAGE_CHANGED_LPARAM) ++g_page.changed;
      return TRUE;
    case WM_COMMAND:
      // The code is EN_CHANGE's own number: the list's id tells them apart.
      if (HIWORD(wp) == QZX_MVN_CHANGED && (LOWORD(wp) == IDC_T_LIST || LOWORD(wp) == IDC_T_PICK_LIST))
        ++g_page.commands;
      return TRUE;
  }
  return FALSE;
}

// The callback's side: a tagged list as a snap-in keeps one.
struct Values {
  int32_t tag = 7;
  std::vector<std::string> items;
  std::vector<std::string> filters;
  std::vector<uint32_t> asked;
};

int32_t QZXAPI Callback(void* list, uint32_t msg, intptr_t p3, intptr_t p4) {
  Values* v = static_cast<Values*>(list);
  v->asked.push_back(msg);
  switch (msg) {
    case QZX_MVED_READ: *reinterpret_cast<int32_t*>(p3) = static_cast<int32_t>(v->items.size()); break;
    case QZX_MVED_VALUE: strcpy(reinterpret_cast<char*>(p4), v->items[p3].c_str()); break;
    case QZX_BROWSE_FILTER_COUNT: *reinterpret_cast<int32_t*>(p3) = static_cast<int32_t>(v->filters.size()); break;
    case QZX_BROWSE_FILTER: strcpy(reinterpret_cast<char*>(p4), v->filters[p3].c_str()); break;
  }
  return 0;
}

class HostMved : public ::testing::Test {
 protected:
  void SetUp() override {
    g_page = PageLog();
    page_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MVED_TEST), nullptr,
                               PageProc, 0);
    ASSERT_NE(page_, nullptr);
    ShowWindow(page_, SW_SHOWNA);
  }
  void TearDown() override {
    if (page_) DestroyWindow(page_);
    PumpMessages();
  }
  void Join(Values* v, int mode = QZX_MVED_TYPED, int maxLength = 256) {
    ASSERT_EQ(QZXCreateMved(page_, v, IDC_T_EDIT, IDC_T_SPIN, IDC_T_LIST, mode, maxLength, "Addresses",
                            nullptr, 0, Callback),
              0);
  }
  HWND Inner() const { return GetWindow(GetDlgItem(page_, IDC_T_LIST), GW_CHILD); }
  HWND Edit() const { return GetDlgItem(page_, IDC_T_EDIT); }
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    int n = static_cast<int>(SendMessageA(Inner(), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char text[1100] = {};
      SendMessageA(Inner(), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.push_back(text);
    }
    return out;
  }
  // What a page reads back on apply.
  std::vector<std::string> Read(int editId = IDC_T_EDIT) const {
    uint16_t n = 0;
    EXPECT_EQ(QZXGetMvedCount(page_, editId, &n), 0);
    std::vector<std::string> out;
    for (uint16_t i = 0; i < n; ++i) {
      char value[1026] = {};
      EXPECT_EQ(QZXGetMvedValue(page_, editId, i, sizeof value, value), 0);
      out.push_back(value);
    }
    return out;
  }
  int Selected() const { return static_cast<int>(SendMessageA(Inner(), LB_GETCURSEL, 0, 0)); }
  void Select(int row) { SendMessageA(Inner(), LB_SETCURSEL, static_cast<WPARAM>(row), 0); }
  void Key(HWND w, WPARAM key) { SendMessageA(w, WM_KEYDOWN, key, 1); }
  void Type(const std::string& text) {
    SetWindowTextA(Edit(), text.c_str());
    Key(Edit(), VK_RETURN);
  }
  // A click on the upper (-1) or lower (+1) arrow.
  void Arrow(int which) {
    HWND spin = GetDlgItem(page_, IDC_T_SPIN);
    RECT rc;
    GetClientRect(spin, &rc);
    LPARAM at = MAKELPARAM(rc.right / 2, which < 0 ? 1 : rc.bottom - 2);
    SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(spin, WM_LBUTTONUP, 0, at);
  }
  int Changes() const { return g_page.changed; }
  // Whether the edit takes a key from the dialog manager.
  bool WantsKey(WPARAM key) const {
    MSG m = {};
    m.hwnd = Edit();
    m.message = WM_KEYDOWN;
    m.wParam = key;
    return (SendMessageA(Edit(), WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&m)) & DLGC_WANTMESSAGE) != 0;
  }

  HWND page_ = nullptr;
};

TEST_F(HostMved, FillsFromTheCallbackWithoutReportingChanges) {
  Values v;
  v.items = {"a@x", "", "b@x", "c@x"};
  Join(&v);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a@x", "b@x", "c@x"}));
  EXPECT_EQ(v.asked, (std::vector<uint32_t>{QZX_MVED_READ, QZX_MVED_VALUE, QZX_MVED_VALUE, QZX_MVED_VALUE,
                                            QZX_MVED_VALUE}));
  EXPECT_EQ(Read(), (std::vector<std::string>{"a@x", "b@x", "c@x"}));
  EXPECT_EQ(Changes(), 0);
  EXPECT_EQ(g_page.commands, 0);
}

TEST_F(HostMved, EnterAddsTheTypedValueAndTellsThePage) {
  Values v;
  v.items = {"a@x"};
  Join(&v);
  Type("b@x");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a@x", "b@x"}));
  EXPECT_EQ(ItemText(page_, IDC_T_EDIT), "");
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(Changes(), 1);
  EXPECT_EQ(g_page.commands, 1);
  // Enter in an empty field adds nothing and is left to the dialog (the
  // sheet's OK); with text in it, it is the field's.
  EXPECT_FALSE(WantsKey(VK_RETURN));
  SetWindowTextA(Edit(), "c@x");
  EXPECT_TRUE(WantsKey(VK_RETURN));
  EXPECT_FALSE(WantsKey(VK_ESCAPE));
  SetWindowTextA(Edit(), "");
  Key(Edit(), VK_RETURN);
  EXPECT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Changes(), 1);
}

TEST_F(HostMved, ValuesAreAtMostTheMaximumLength) {
  MessageBoxInterceptor boxes;
  Values v;
  Join(&v, QZX_MVED_TYPED, 256);
  Type(std::string(256, 'a'));
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_TRUE(boxes.Boxes().empty());
  // Typing stops at the limit...
  SetFocus(Edit());
  for (int i = 0; i < 257; ++i) SendMessageA(Edit(), WM_CHAR, 'b', 1);
  EXPECT_EQ(ItemText(page_, IDC_T_EDIT), std::string(256, 'b'));
  SetWindowTextA(Edit(), "");
  // ...and text put there otherwise is refused, with the field kept.
  Type(std::string(257, 'c'));
  EXPECT_EQ(Shown().size(), 1u);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "A value can hold at most 256 characters.");
  EXPECT_EQ(boxes.Boxes()[0].caption, "Addresses");
  EXPECT_EQ(ItemText(page_, IDC_T_EDIT).size(), 257u);
}

TEST_F(HostMved, ADuplicateIsRefusedAndTheOriginalSelected) {
  MessageBoxInterceptor boxes;
  Values v;
  v.items = {"a@x", "b@x"};
  Join(&v);
  Type("A@X");
  EXPECT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Selected(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "\"A@X\" is in the list already.");
  EXPECT_EQ(Changes(), 0);
}

TEST_F(HostMved, DeleteRemovesTheSelectedValueAndSelectsTheNext) {
  Values v;
  v.items = {"a", "b", "c"};
  Join(&v);
  Select(1);
  Key(Inner(), VK_DELETE);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(Selected(), 1);
  Key(Inner(), VK_DELETE);
  EXPECT_EQ(Selected(), 0);
  Key(Inner(), VK_DELETE);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(Changes(), 3);
  Key(Inner(), VK_DELETE);  // nothing left: nothing happens
  EXPECT_EQ(Changes(), 3);
  EXPECT_TRUE(Read().empty());
}

TEST_F(HostMved, ArrowsAndCtrlArrowsMoveTheSelectedValue) {
  Values v;
  v.items = {"a", "b", "c"};
  Join(&v);
  Select(0);
  Arrow(+1);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(Selected(), 1);
  Arrow(+1);
  Arrow(+1);  // already last
  EXPECT_EQ(Shown(), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(Changes(), 2);

  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  Key(Inner(), VK_UP);
  keys[VK_CONTROL] = saved;
  SetKeyboardState(keys);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"b", "a", "c"}));
  Arrow(-1);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a", "b", "c"}));
  Arrow(-1);  // already first
  EXPECT_EQ(Changes(), 4);
  EXPECT_EQ(Read(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(HostMved, F2LoadsAValueToBeChangedInPlace) {
  Values v;
  v.items = {"a", "b", "c"};
  Join(&v);
  Select(1);
  Key(Inner(), VK_F2);
  EXPECT_EQ(ItemText(page_, IDC_T_EDIT), "b");
  Type("B2");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a", "B2", "c"}));
  EXPECT_EQ(Changes(), 1);

  // Esc abandons the change; the value stays as it was.
  Select(0);
  Key(Inner(), VK_F2);
  SetWindowTextA(Edit(), "zzz");
  EXPECT_TRUE(WantsKey(VK_ESCAPE));
  Key(Edit(), VK_ESCAPE);
  EXPECT_EQ(ItemText(page_, IDC_T_EDIT), "");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a", "B2", "c"}));

  // Changing a value into one that is there already is refused.
  MessageBoxInterceptor boxes;
  Select(2);
  Key(Inner(), VK_F2);
  Type("a");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a", "B2", "c"}));
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(HostMved, TextTypedButNotEnteredIsKeptOnApply) {
  Values v;
  v.items = {"a"};
  Join(&v);
  SetWindowTextA(Edit(), "typed");
  EXPECT_EQ(Read(), (std::vector<std::string>{"a", "typed"}));
  // Typed again and already there: nothing doubled, nothing asked.
  MessageBoxInterceptor boxes;
  SetWindowTextA(Edit(), "TYPED");
  EXPECT_EQ(Read(), (std::vector<std::string>{"a", "typed"}));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(ItemText(page_, IDC_T_EDIT), "");
}

TEST_F(HostMved, ValuesAreCopiedIntoBuffersOfAnySize) {
  Values v;
  v.items = {"abcdef"};
  Join(&v);
  char buf[16];
  memset(buf, 'x', sizeof buf);
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 0, 7, buf), 0);  // exactly fits
  EXPECT_STREQ(buf, "abcdef");
  memset(buf, 'x', sizeof buf);
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 0, 6, buf), -2);  // one short: cut
  EXPECT_STREQ(buf, "abcde");
  EXPECT_EQ(buf[6], 'x');
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 1, sizeof buf, buf), -1);
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 0, 0, buf), -1);
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 0, sizeof buf, nullptr), -1);
  uint16_t n = 0;
  EXPECT_EQ(QZXGetMvedCount(page_, IDC_T_PICK_EDIT, &n), -1);  // never joined
  EXPECT_EQ(QZXGetMvedCount(page_, 999, &n), -1);
  EXPECT_EQ(QZXGetMvedCount(page_, IDC_T_EDIT, nullptr), -1);
}

TEST_F(HostMved, LongValuesFromTheDirectoryAreKeptWhole) {
  Values v;
  v.items = {std::string(QZX_VALUE_BYTES - 1, 'v')};
  Join(&v, QZX_MVED_TYPED, 256);
  uint16_t n = 0;
  ASSERT_EQ(QZXGetMvedCount(page_, IDC_T_EDIT, &n), 0);
  ASSERT_EQ(n, 1);
  // A page's 1,026-byte buffer takes 1,025 characters of it, and is told so.
  char part[1026];
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 0, sizeof part, part), -2);
  EXPECT_EQ(strlen(part), 1025u);
  std::vector<char> whole(QZX_VALUE_BYTES);
  EXPECT_EQ(QZXGetMvedValue(page_, IDC_T_EDIT, 0, QZX_VALUE_BYTES, whole.data()), 0);
  EXPECT_EQ(strlen(whole.data()), static_cast<size_t>(QZX_VALUE_BYTES - 1));
}

TEST_F(HostMved, ADisabledControlCannotBeChanged) {
  Values v;
  v.items = {"a", "b"};
  Join(&v);
  EnableWindow(GetDlgItem(page_, IDC_T_LIST), FALSE);
  EXPECT_FALSE(IsWindowEnabled(Inner()));
  Select(0);
  Key(Inner(), VK_DELETE);
  Arrow(+1);
  Type("c");
  SendMessageA(GetDlgItem(page_, IDC_T_LIST), WM_COMMAND, IDM_MVED_REMOVE, 0);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Changes(), 0);
}

TEST_F(HostMved, MenuCommandsDoWhatTheKeysDo) {
  Values v;
  v.items = {"a", "b"};
  Join(&v);
  HWND list = GetDlgItem(page_, IDC_T_LIST);
  Select(0);
  SendMessageA(list, WM_COMMAND, IDM_MVED_DOWN, 0);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"b", "a"}));
  SendMessageA(list, WM_COMMAND, IDM_MVED_REMOVE, 0);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"b"}));
  SetWindowTextA(Edit(), "c");
  SendMessageA(list, WM_COMMAND, IDM_MVED_ADD, 0);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"b", "c"}));
}

TEST_F(HostMved, OnlyAnMvebbcontrolCanBeJoined) {
  Values v;
  EXPECT_EQ(QZXCreateMved(page_, &v, IDC_T_EDIT, IDC_T_SPIN, IDC_T_PLAIN, QZX_MVED_TYPED, 256, "", nullptr,
                          0, Callback),
            -1);
  EXPECT_EQ(QZXCreateMved(page_, &v, 999, IDC_T_SPIN, IDC_T_LIST, QZX_MVED_TYPED, 256, "", nullptr, 0,
                          Callback),
            -1);
  EXPECT_EQ(QZXCreateMved(page_, &v, IDC_T_EDIT, IDC_T_SPIN, IDC_T_LIST, 1, 256, "", nullptr, 0, Callback),
            -1);
  EXPECT_EQ(QZXCreateMved(nullptr, &v, IDC_T_EDIT, IDC_T_SPIN, IDC_T_LIST, 0, 256, "", nullptr, 0,
                          Callback),
            -1);
  EXPECT_TRUE(v.asked.empty());
}

int g_scrolled = -1;
INT_PTR CALLBACK ScrollSeen(HWND, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_VSCROLL) g_scrolled = LOWORD(wp);
  return FALSE;
}

TEST_F(HostMved, ArrowsWithoutAListScrollTheirParent) {
  // The second pair of arrows is joined to nothing: it acts as an up-down.
  g_scrolled = -1;
  SetWindowLongPtrA(page_, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&ScrollSeen));
  HWND spin = GetDlgItem(page_, IDC_T_PICK_SPIN);
  RECT rc;
  GetClientRect(spin, &rc);
  SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, rc.bottom - 2));
  SendMessageA(spin, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(g_scrolled, SB_LINEDOWN);
}

class HostMvedBrowse : public HostMved {
 protected:
  hosttest::HostDirectory directory_;
};

TEST_F(HostMvedBrowse, InsertPicksADirectoryObjectOfTheCallbacksClasses) {
  Values v;
  v.tag = 1;
  v.items = {"Support.Acme"};
  v.filters = {"Organization", "Organizational Unit"};
  ASSERT_EQ(QZXCreateMved(page_, &v, IDC_T_PICK_EDIT, IDC_T_PICK_SPIN, IDC_T_PICK_LIST, QZX_MVED_BROWSED,
                          256, "Select context(s)", "[Root]", 0, Callback),
            0);
  HWND edit = GetDlgItem(page_, IDC_T_PICK_EDIT);
  EXPECT_TRUE(GetWindowLongPtrA(edit, GWL_STYLE) & ES_READONLY);
  HWND inner = GetWindow(GetDlgItem(page_, IDC_T_PICK_LIST), GW_CHILD);

  std::vector<std::string> rows;
  {
    ModalDriver driver;
    driver.Then([&](HWND browser) {
      rows = ListViewLabels(GetDlgItem(browser, IDC_BR_LIST));
      ASSERT_TRUE(PickRow(browser, IDC_BR_LIST, "Acme"));
      ClickItem(browser, IDOK);  // a pickable container: picked, not opened
    });
    SendMessageA(inner, WM_KEYDOWN, VK_INSERT, 1);
    EXPECT_EQ(driver.Pending(), 0u);
    EXPECT_TRUE(driver.Unexpected().empty());
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0], "Select context(s)");
  }
  // At the root: the organization and the services container (which can be
  // opened, but not picked).
  EXPECT_EQ(rows, (std::vector<std::string>{"Acme", "Internet Services"}));
  uint16_t n = 0;
  ASSERT_EQ(QZXGetMvedCount(page_, IDC_T_PICK_EDIT, &n), 0);
  ASSERT_EQ(n, 2);
  char value[300];
  QZXGetMvedValue(page_, IDC_T_PICK_EDIT, 1, sizeof value, value);
  EXPECT_STREQ(value, "Acme");
  EXPECT_EQ(ItemText(page_, IDC_T_PICK_EDIT), "Acme");  // the selected value is shown
  EXPECT_EQ(Changes(), 1);

  // Cancelled: nothing changes.
  {
    ModalDriver driver;
    driver.Then([](HWND browser) { ClickItem(browser, IDCANCEL); });
    SendMessageA(inner, WM_KEYDOWN, VK_INSERT, 1);
  }
  QZXGetMvedCount(page_, IDC_T_PICK_EDIT, &n);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(Changes(), 1);
}

}  // namespace
