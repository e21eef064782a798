#include "tree_fixture.h"

#include <cstdio>

#include "tree_state.h"
#include "ui_driver.h"

TreeTest* TreeTest::current_ = nullptr;

namespace {

const char kOwnerClass[] = "TreeTestOwner";

HBITMAP Dib(int width, int height) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
}

void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
  HBRUSH brush = CreateSolidBrush(c);
  RECT rc = {l, t, r, b};
  FillRect(dc, &rc, brush);
  DeleteObject(brush);
}

}  // namespace

COLORREF TreeCellColour(int column, int image, int sf) {
  return RGB(40 + column * 60, 20 + image * 30, 60 * sf);
}

COLORREF ItemCellColour(int image) { return RGB(200, 30 + image * 25, 90); }

TestImages::~TestImages() {
  for (HBITMAP b : {tree, treeMask, item, itemMask})
    if (b) DeleteObject(b);
}

void TestImages::Make() {
  // Tree: 1x grid, then 2x, then 3x.
  int treeW = 3 * 3 * width, treeH = rows * height * 6;
  tree = Dib(treeW, treeH);
  treeMask = Dib(treeW, treeH);
  HDC dc = CreateCompatibleDC(nullptr);
  for (int sf = 1; sf <= 3; ++sf) {
    int top0 = sf == 1 ? 0 : sf == 2 ? rows * height : rows * height * 3;
    for (int image = 0; image < rows; ++image) {
      for (int col = 0; col < 3; ++col) {
        int l = col * sf * width, t = top0 + image * sf * height;
        int r = l + sf * width, b = t + sf * height;
        HGDIOBJ old = SelectObject(dc, tree);
        Fill(dc, l, t, r, b, TreeCellColour(col, image, sf));
        SelectObject(dc, treeMask);
        Fill(dc, l, t, r, b, RGB(255, 255, 255));
        Fill(dc, l + 4 * sf, t + 4 * sf, r - 4 * sf, b - 4 * sf, RGB(0, 0, 0));
        SelectObject(dc, old);
      }
    }
  }
  int itemW = columns * width, itemH = 3 * height;
  item = Dib(itemW, itemH);
  itemMask = Dib(itemW, itemH);
  for (int image = 0; image < columns * 3; ++image) {
    int l = (image % columns) * width, t = (image / columns) * height;
    HGDIOBJ old = SelectObject(dc, item);
    Fill(dc, l, t, l + width, t + height, ItemCellColour(image));
    SelectObject(dc, itemMask);
    Fill(dc, l, t, l + width, t + height, RGB(255, 255, 255));
    Fill(dc, l + 4, t + 4, l + width - 4, t + height - 4, RGB(0, 0, 0));
    SelectObject(dc, old);
  }
  DeleteDC(dc);
}

LRESULT CALLBACK TreeTest::OwnerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  TreeTest* t = current_;
  if (t && msg == WM_CHAR) {
    t->chars_.push_back(std::string(1, static_cast<char>(wp)));
    return 0;
  }
  bool drop = msg == WM_DROPFILES || msg == kTvPaneDrop;
  if (!t || (!drop && (msg < kTvFirstNotification || msg > kTvLastNotification)))
    return DefWindowProcA(w, msg, wp, lp);
  Note n;
  n.msg = msg;
  switch (msg) {
    case WM_DROPFILES:
    case kTvPaneDrop: {
      auto* notice = reinterpret_cast<const DropNotice*>(lp);
      HDROP h = reinterpret_cast<HDROP>(wp);
      EXPECT_EQ(h, notice->drop);
      EXPECT_EQ(t->control, notice->control);
      if (notice->item) n.text = notice->item->text;
      n.data = notice->data;
      UINT count = DragQueryFileA(h, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        char name[MAX_PATH] = {};
        DragQueryFileA(h, i, name, sizeof name);
        n.files.push_back(name);
      }
      DragQueryPoint(h, &n.dropPoint);
      DragFinish(h);
      t->notes_.push_back(n);
      return 0;
    }
    case kTvTreeQuickHelp:
    case kTvItemQuickHelp: {
      auto* req = reinterpret_cast<QuickHelpRequest*>(lp);
      EXPECT_EQ(0, wp);
      EXPECT_EQ(t->control, req->control);
      EXPECT_EQ('\0', req->text[0]);
      n.text = msg == kTvTreeQuickHelp ? req->item->text : req->entry->text;
      n.data = req->data;
      if (t->answerQuickHelp) t->answerQuickHelp(req);
      if (t->noteQuickHelp) t->notes_.push_back(n);
      return 0;
    }
    case kTvDragName: {
      auto* req = reinterpret_cast<DragNameRequest*>(lp);
      EXPECT_EQ(t->control, req->control);
      EXPECT_EQ('\0', req->name[0]);
      EXPECT_EQ('\0', req->secondName[0]);
      n.text = req->entry->text;
      n.data = req->data;
      n.hasInfo = true;
      n.texts.push_back(req->targetIsPane ? "pane" : "window");
      if (t->answerName) t->answerName(req);
      t->notes_.push_back(n);
      return 0;
    }
    case kTvSelected:
    case kTvUserSelected:
    case kTvDeleteItem:
      n.text = reinterpret_cast<TreeItem*>(wp)->text;
      n.data = lp;
      break;
    case kTvDeleteEntry:
      n.text = reinterpret_cast<ListItem*>(wp)->text;
      n.data = lp;
      break;
    default: {
      bool tree = msg == kTvTreeOpen || msg == kTvTreeMenu || msg == kTvTreeInsert ||
                  msg == kTvTreeDeleteKey;
      if (tree && wp) n.text = reinterpret_cast<TreeItem*>(wp)->text;
      const SelectionInfo* info = reinterpret_cast<const SelectionInfo*>(lp);
      if (!info) break;
      n.hasInfo = true;
      n.sender = info->sender;
      n.point = info->point;
      for (int i = 0; i < info->count; ++i) {
        n.texts.push_back(tree ? static_cast<TreeItem*>(info->items[i])->text
                               : static_cast<ListItem*>(info->items[i])->text);
        n.infoData.push_back(info->data[i]);
      }
    }
  }
  t->notes_.push_back(n);
  return 0;
}

std::string NoteLine(const Note& n) {
  const char* name = "?";
  switch (n.msg) {
    case kTvSelected: name = "select"; break;
    case kTvTreeOpen: name = "open"; break;
    case kTvItemOpen: name = "open-entries"; break;
    case kTvDeleteItem: name = "delete"; break;
    case kTvDeleteEntry: name = "delete-entry"; break;
    case kTvTreeMenu: name = "menu"; break;
    case kTvItemMenu: name = "entry-menu"; break;
    case kTvTreeInsert: name = "insert"; break;
    case kTvItemInsert: name = "insert-entries"; break;
    case kTvTreeDeleteKey: name = "delete-key"; break;
    case kTvItemDeleteKey: name = "delete-entries"; break;
    case kTvUserSelected: name = "user-select"; break;
    case kTvItemSelected: name = "entries-selected"; break;
    case kTvTreeQuickHelp: name = "quick-help"; break;
    case kTvItemQuickHelp: name = "entry-quick-help"; break;
    case kTvDragName: name = "name"; break;
    case WM_DROPFILES: name = "drop"; break;
    case kTvPaneDrop: name = "pane-drop"; break;
  }
  std::string line = name;
  if (!n.text.empty()) line += " " + n.text;
  if (n.data) line += " " + std::to_string(n.data);
  if (n.hasInfo) {
    line += " [";
    for (size_t i = 0; i < n.texts.size(); ++i) line += (i ? "," : "") + n.texts[i];
    line += "]";
  }
  if (n.msg == WM_DROPFILES || n.msg == kTvPaneDrop) {
    line += " {";
    for (size_t i = 0; i < n.files.size(); ++i) line += (i ? "|" : "") + n.files[i];
    line += "}";
  }
  return line;
}

void TreeTest::SetUp() {
  current_ = this;
  TvResetCheckFailures();
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = inst;
  wc.lpszClassName = kOwnerClass;
  RegisterClassA(&wc);  // fails harmlessly when an earlier test registered it
  owner = CreateWindowExA(0, kOwnerClass, "tree test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                          440, 360, nullptr, nullptr, inst, nullptr);
  ASSERT_TRUE(owner);
  images.Make();
}

void TreeTest::TearDown() {
  if (control) {
    char why[256];
    EXPECT_TRUE(TvCheckInvariant(control, why, sizeof why)) << why;
  }
  if (owner) DestroyWindow(owner);
  PumpMessages();
  EXPECT_EQ(0, TvCheckFailures()) << TvFirstCheckFailure();
  current_ = nullptr;
}

void TreeTest::Make(DWORD options, int split, bool shown, int width, int height) {
  control = TvCreate(GetModuleHandleA(nullptr), owner, owner, owner, split, images.tree,
                     images.treeMask, images.rows, images.width, images.height, images.item,
                     images.itemMask, images.columns, images.width, images.height, 0, 0, options);
  ASSERT_TRUE(control);
  RECT r = {0, 0, width, height};
  TvMove(control, &r);
  if (shown) {
    ShowWindow(owner, SW_SHOWNA);
    UpdateWindow(owner);
  }
  PumpMessages();
  notes_.clear();
}

TreeItem* TreeTest::Add(TreeItem* parent, const char* text, LPARAM data, DWORD placement) {
  return TvAddItem(control, parent, placement, text, nullptr, 0, 1, data);
}

ListItem* TreeTest::AddEntry(const char* text, LPARAM data) {
  return TvAddEntry(control, nullptr, 0, text, nullptr, 0, data);
}

int TreeTest::Depth(const TreeItem* item) {
  int d = 0;
  for (const TreeItem* p = item->parent; p; p = p->parent) ++d;
  return d;
}

std::vector<std::string> TreeTest::Rows() {
  std::vector<std::string> rows;
  HWND pane = TreePane();
  int n = static_cast<int>(SendMessageA(pane, LB_GETCOUNT, 0, 0));
  int sel = static_cast<int>(SendMessageA(pane, LB_GETCURSEL, 0, 0));
  for (int i = 0; i < n; ++i) {
    TreeItem* item = reinterpret_cast<TreeItem*>(SendMessageA(pane, LB_GETITEMDATA, i, 0));
    std::string row(static_cast<size_t>(2 * Depth(item)), ' ');
    row += item->text;
    if (item->firstChild) row += item->collapsed ? " [+]" : " [-]";
    if (i == sel) row += " *";
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> TreeTest::Entries() {
  std::vector<std::string> rows;
  HWND pane = ItemPane();
  int n = static_cast<int>(SendMessageA(pane, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    // The pane keeps no data: the control knows each row's entry.
    ListItem* e = EntryAtRow(TreeStateOf(control), i);
    if (!e) {
      rows.push_back("<row without an entry>");
      continue;
    }
    std::string row = e->text;
    if (SendMessageA(pane, LB_GETSEL, i, 0) > 0) row += " *";
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> TreeTest::Notes() {
  std::vector<std::string> lines;
  for (const Note& n : notes_) lines.push_back(NoteLine(n));
  for (const std::string& c : chars_) lines.push_back("char " + c);
  notes_.clear();
  chars_.clear();
  return lines;
}

RECT TreeTest::RowRect(HWND pane, int row) {
  RECT r = {};
  SendMessageA(pane, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  return r;
}

void TreeTest::Key(HWND pane, int vk) {
  UINT scan = MapVirtualKeyA(vk, 0);
  SendMessageA(pane, WM_KEYDOWN, vk, 1 | (scan << 16));
  SendMessageA(pane, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void TreeTest::Click(HWND pane, UINT down, int x, int y, WPARAM keys) {
  LPARAM at = MAKELPARAM(x, y);
  switch (down) {
    case WM_LBUTTONDOWN:
      SendMessageA(pane, WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
      SendMessageA(pane, WM_LBUTTONUP, keys, at);
      break;
    case WM_LBUTTONDBLCLK:
      SendMessageA(pane, WM_LBUTTONDBLCLK, keys | MK_LBUTTON, at);
      SendMessageA(pane, WM_LBUTTONUP, keys, at);
      break;
    case WM_RBUTTONDOWN:
      SendMessageA(pane, WM_RBUTTONDOWN, keys | MK_RBUTTON, at);
      SendMessageA(pane, WM_RBUTTONUP, keys, at);
      break;
  }
  PumpMessages();
}
