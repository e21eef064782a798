// Files dropped on the panes and entries dragged out of the item pane: the
// drop block's layout, who hears of a drop, and real drags played with the
// system's mouse input onto real windows that take files.
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "drop_block.h"
#include "ole_drop.h"
#include "tree_fixture.h"
#include "tree_state.h"
#include "ui_driver.h"

using Strings = std::vector<std::string>;

namespace {

// --- The block ----------------------------------------------------------------

Strings FilesOf(HDROP drop) {
  Strings files;
  UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    char name[MAX_PATH * 2] = {};
    DragQueryFileA(drop, i, name, sizeof name);
    files.push_back(name);
  }
  return files;
}

TEST(DropBlockTest, HeaderNamesAndTheClosingNul) {
  struct Name {
    const char* name;
    const char* second;
  };
  struct Case {
    const char* label;
    bool toPane;
    std::vector<Name> names;
    Strings expected;
  } cases[] = {
      {"none", false, {}, {}},
      {"in order", false, {{"C:\\a.eml", ""}, {"C:\\b.eml", ""}}, {"C:\\a.eml", "C:\\b.eml"}},
      {"empty names are passed over", false, {{"", ""}, {"x", ""}, {"", "y"}}, {"x"}},
      {"second names only for panes", false, {{"a", "b"}}, {"a"}},
      {"pane with second name", true, {{"a", "b"}, {"c", ""}}, {"a\1b", "c"}},
  };
  for (const Case& c : cases) {
    DropBlock block;
    ASSERT_TRUE(DropBlockStart(&block, POINT{7, -3}, c.toPane)) << c.label;
    for (const Name& n : c.names)
      ASSERT_TRUE(DropBlockAppend(&block, n.name, n.second, c.toPane)) << c.label;
    EXPECT_EQ(static_cast<int>(c.expected.size()), block.names) << c.label;
    uint32_t words[5];
    memcpy(words, block.bytes, sizeof words);
    EXPECT_EQ(20u, words[0]) << c.label;
    EXPECT_EQ(7, static_cast<int32_t>(words[1])) << c.label;
    EXPECT_EQ(-3, static_cast<int32_t>(words[2])) << c.label;
    EXPECT_EQ(c.toPane ? 1u : 0u, words[3]) << c.label;
    EXPECT_EQ(0u, words[4]) << c.label;  // narrow characters
    // Names, each with its NUL, then one more NUL, and nothing after it.
    std::string tail(block.bytes + 20, block.size - 20);
    std::string want;
    for (const std::string& e : c.expected) want += e + '\0';
    want += '\0';
    EXPECT_EQ(want, tail) << c.label;

    if (c.expected.empty()) {  // never handed to anyone
      DropBlockFree(&block);
      continue;
    }
    HGLOBAL h = DropBlockToGlobal(&block);
    ASSERT_TRUE(h) << c.label;
    EXPECT_EQ(c.expected, FilesOf(static_cast<HDROP>(h))) << c.label;
    POINT pt;
    EXPECT_EQ(c.toPane ? FALSE : TRUE, DragQueryPoint(static_cast<HDROP>(h), &pt)) << c.label;
    EXPECT_EQ(7, pt.x) << c.label;
    GlobalFree(h);
    DropBlockFree(&block);
  }
}

TEST(DropBlockTest, LongNamesGrowTheBlockAndStayWhole) {
  DropBlock block;
  ASSERT_TRUE(DropBlockStart(&block, POINT{0, 0}, false));
  Strings names;
  for (int i = 0; i < 40; ++i) {
    names.push_back(std::string(static_cast<size_t>(200 + i), static_cast<char>('a' + i % 26)));
    ASSERT_TRUE(DropBlockAppend(&block, names.back().c_str(), nullptr, false));
  }
  HGLOBAL h = DropBlockToGlobal(&block);
  ASSERT_TRUE(h);
  EXPECT_EQ(names, FilesOf(static_cast<HDROP>(h)));
  GlobalFree(h);
  DropBlockFree(&block);
}

// --- Windows that take files -------------------------------------------------

struct Received {
  HWND window;
  UINT msg;
  Strings files;
  POINT point;
  BOOL inClient;
};
std::vector<Received> g_received;

LRESULT CALLBACK TargetProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DROPFILES || msg == kTvPaneDrop) {
    HDROP h = reinterpret_cast<HDROP>(wp);
    Received r = {w, msg, FilesOf(h), {0, 0}, FALSE};
    r.inClient = DragQueryPoint(h, &r.point);
    g_received.push_back(r);
    DragFinish(h);
    return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

HWND MakeTarget(int x, int y, DWORD exStyle, HWND parent = nullptr) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TargetProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "DropTestTarget";
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE | WS_CAPTION;
  return CreateWindowExA(exStyle, "DropTestTarget", "target", style, x, y, 200, 150, parent,
                         nullptr, wc.hInstance, nullptr);
}

// An OLE drop target that reads the file list as a program would.
class FileTarget : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* e) override {
    *e = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* e) override {
    *e = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* e) override {
    FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m = {};
    if (data->GetData(&f, &m) == S_OK) {
      files = FilesOf(static_cast<HDROP>(m.hGlobal));
      ReleaseStgMedium(&m);
    }
    *e = DROPEFFECT_COPY;
    ++drops;
    return S_OK;
  }
  LONG refs = 1;
  int drops = 0;
  Strings files;
};

// --- Real mouse input ---------------------------------------------------------

void Mouse(DWORD flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

void KeyInput(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

// Plays a press at `from`, waits until the pane holds the mouse (the drag
// loop runs), moves to `to` and releases (or presses Escape first), on a
// thread of its own while this thread runs the control.
struct DragPlay {
  POINT from, to;
  bool escape;
  HWND pane;
  DWORD uiThread;
  bool sawCapture;
};

bool WaitCapture(const DragPlay* p, bool held) {
  for (int i = 0; i < 1000; ++i) {
    GUITHREADINFO gi = {sizeof gi};
    GetGUIThreadInfo(p->uiThread, &gi);
    if ((gi.hwndCapture == p->pane) == held) return true;
    Sleep(5);
  }
  return false;
}

DWORD WINAPI PlayDrag(void* arg) {
  auto* p = static_cast<DragPlay*>(arg);
  // Wine keeps a button's state read by GetAsyncKeyState for 50 ms: a press
  // right after the last drag's release would still read as up there.
  Sleep(60);
  SetCursorPos(p->from.x, p->from.y);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  p->sawCapture = WaitCapture(p, true);
  if (p->from.x != p->to.x || p->from.y != p->to.y) {
    // On the way, then there: the loop sees the pointer move.
    SetCursorPos((p->from.x + p->to.x) / 2, (p->from.y + p->to.y) / 2);
    Sleep(30);
    SetCursorPos(p->to.x, p->to.y);
    Sleep(30);
  }
  if (p->escape) {
    KeyInput(VK_ESCAPE, false);
    WaitCapture(p, false);
    KeyInput(VK_ESCAPE, true);
  }
  Mouse(MOUSEEVENTF_LEFTUP);
  return 0;
}

class DragTest : public TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    g_received.clear();
    SetWindowPos(owner, HWND_TOP, 0, 0, 440, 360, SWP_NOACTIVATE);
  }
  void TearDown() override {
    for (HWND w : made)
      if (IsWindow(w)) DestroyWindow(w);
    TreeTest::TearDown();
  }
  void Fill(DWORD options = kTvTreePane | kTvItemPane | kTvOpenToggles | kTvNoTreeDrop) {
    Make(options, 40, true);
    server = Add(nullptr, "server", 1);
    alice = Add(server, "alice", 2);
    one = AddEntry("one", 1);
    AddEntry("two", 2);
    AddEntry("three", 3);
    answerName = [](DragNameRequest* r) {
      snprintf(r->name, sizeof r->name, "C:\\out\\%s.eml", r->entry->text);
      snprintf(r->secondName, sizeof r->secondName, "second %s", r->entry->text);
    };
    PumpMessages();
    ClearNotes();
  }
  void SelectEntries(std::vector<int> rows) {
    SendMessageA(ItemPane(), LB_SETSEL, FALSE, -1);
    for (int r : rows) SendMessageA(ItemPane(), LB_SETSEL, TRUE, r);
  }
  POINT EntryOnScreen(int row) {
    RECT r = RowRect(ItemPane(), row);
    POINT pt = {r.left + 25, (r.top + r.bottom) / 2};
    ClientToScreen(ItemPane(), &pt);
    return pt;
  }
  POINT Inside(HWND w, int x, int y) {
    POINT pt = {x, y};
    ClientToScreen(w, &pt);
    return pt;
  }
  // Plays the drag and runs this thread's messages until it ended.
  bool Drag(POINT from, POINT to, bool escape = false) {
    DragPlay play = {from, to, escape, ItemPane(), GetCurrentThreadId(), false};
    HANDLE t = CreateThread(nullptr, 0, PlayDrag, &play, 0, nullptr);
    if (!t) return false;
    while (MsgWaitForMultipleObjects(1, &t, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
      PumpMessages();
    CloseHandle(t);
    PumpMessages();
    return play.sawCapture;
  }
  HWND Keep(HWND w) {
    made.push_back(w);
    return w;
  }
  // Name requests only.
  Strings Named() {
    Strings named;
    for (const std::string& n : Notes())
      if (n.rfind("name ", 0) == 0) named.push_back(n);
    return named;
  }

  std::vector<HWND> made;
  TreeItem* server = nullptr;
  TreeItem* alice = nullptr;
  ListItem* one = nullptr;
};

TEST_F(DragTest, DraggingTwoEntriesOntoAWindowThatTakesFilesPostsOneBlockWithBothNamesInOrder) {
  Fill();
  HWND target = Keep(MakeTarget(520, 40, WS_EX_ACCEPTFILES));
  SelectEntries({0, 2});
  ASSERT_TRUE(Drag(EntryOnScreen(2), Inside(target, 30, 40)));
  EXPECT_EQ((Strings{"name one 1 [window]", "name three 3 [window]"}), Named());
  ASSERT_EQ(1u, g_received.size());
  const Received& r = g_received[0];
  EXPECT_EQ(target, r.window);
  EXPECT_EQ(static_cast<UINT>(WM_DROPFILES), r.msg);
  EXPECT_EQ((Strings{"C:\\out\\one.eml", "C:\\out\\three.eml"}), r.files);
  EXPECT_TRUE(r.inClient);
  EXPECT_EQ(30, r.point.x);
  EXPECT_EQ(40, r.point.y);
  // The press on a selected entry kept the selection for the drag.
  EXPECT_EQ((Strings{"one *", "two", "three *"}), Entries());
  EXPECT_NE(ItemPane(), GetCapture());
}

TEST_F(DragTest, PressesThatEndWithoutADropSendNothing) {
  struct Case {
    const char* label;
    std::vector<int> selected;
    int pressRow;
    int to;  // 0 where pressed, 1 the target with Escape, 2 the tree pane, 3 the item pane
    Strings entriesAfter;
  } cases[] = {
      {"not moved: the entry alone becomes selected", {0, 2}, 2, 0, {"one", "two", "three *"}},
      {"escape", {0, 1}, 0, 1, {"one *", "two *", "three"}},
      {"a pane that takes no files", {1}, 1, 2, {"one", "two *", "three"}},
      {"back onto the item pane", {0, 1}, 1, 3, {"one *", "two *", "three"}},
  };
  for (const Case& c : cases) {
    Fill();
    HWND target = Keep(MakeTarget(520, 40, WS_EX_ACCEPTFILES));
    SelectEntries(c.selected);
    POINT from = EntryOnScreen(c.pressRow);
    POINT to = c.to == 0 ? from
               : c.to == 1 ? Inside(target, 20, 20)
               : c.to == 2 ? Inside(TreePane(), 40, 5)
                           : EntryOnScreen(0);
    ASSERT_TRUE(Drag(from, to, c.to == 1)) << c.label;
    EXPECT_TRUE(Named().empty()) << c.label;
    EXPECT_TRUE(g_received.empty()) << c.label;
    EXPECT_EQ(c.entriesAfter, Entries()) << c.label;
    DestroyWindow(control);
    control = nullptr;
  }
}

TEST_F(DragTest, APaneOfAnotherTreeControlGetsItsOwnMessageAndSecondNames) {
  Fill();
  // A second control in a window of its own, accepting files on its tree pane.
  HWND other = Keep(MakeTarget(520, 40, 0));
  HWND second = TvCreate(GetModuleHandleA(nullptr), other, other, other, 50, images.tree,
                         images.treeMask, images.rows, images.width, images.height, images.item,
                         images.itemMask, images.columns, images.width, images.height, 0, 0,
                         kTvTreePane | kTvItemPane);
  ASSERT_TRUE(second);
  RECT r = {0, 0, 200, 150};
  TvMove(second, &r);
  HWND pane = TvTreePane(second);
  SelectEntries({1, 2});
  answerName = [](DragNameRequest* q) {
    if (strcmp(q->entry->text, "two") == 0) return;  // no file for this one
    strcpy(q->name, "C:\\x");
    strcpy(q->secondName, "y");
  };
  POINT at = Inside(pane, 10, 5);
  DropTarget target = FindDropTarget(TreeStateOf(control), at);
  EXPECT_EQ(pane, target.window);
  EXPECT_FALSE(target.ole);
  ASSERT_TRUE(DropSelectedEntries(TreeStateOf(control), target, at));
  EXPECT_EQ((Strings{"name two 2 [pane]", "name three 3 [pane]"}), Named());
  // The pane hands it to its owner, which is our target window's procedure.
  PumpMessages();
  ASSERT_EQ(1u, g_received.size());
  EXPECT_EQ(other, g_received[0].window);
  EXPECT_EQ(static_cast<UINT>(kTvPaneDrop), g_received[0].msg);
  EXPECT_EQ(Strings{"C:\\x\1y"}, g_received[0].files);

  // An owner that names nothing: nothing is dropped at all.
  answerName = nullptr;
  EXPECT_FALSE(DropSelectedEntries(TreeStateOf(control), target, at));
  PumpMessages();
  EXPECT_EQ(2u, Named().size());
  EXPECT_EQ(1u, g_received.size());
}

TEST_F(DragTest, TargetsAreWindowsThatTakeFilesOrTheirAncestors) {
  Fill();
  HWND parent = Keep(MakeTarget(520, 40, WS_EX_ACCEPTFILES));
  HWND child = MakeTarget(10, 10, 0, parent);
  HWND plain = Keep(MakeTarget(520, 300, 0));
  TreeControlState* s = TreeStateOf(control);
  EXPECT_EQ(parent, FindDropTarget(s, Inside(child, 5, 5)).window);
  EXPECT_EQ(nullptr, FindDropTarget(s, Inside(plain, 5, 5)).window);
  EXPECT_EQ(nullptr, FindDropTarget(s, EntryOnScreen(0)).window);
  // Outside the client area: the point still comes in client coordinates,
  // flagged as outside.
  SelectEntries({0});
  POINT caption = Inside(parent, 20, -5);
  ASSERT_TRUE(DropSelectedEntries(s, DropTarget{parent, false}, caption));
  PumpMessages();
  ASSERT_EQ(1u, g_received.size());
  EXPECT_FALSE(g_received[0].inClient);
  EXPECT_EQ(-5, g_received[0].point.y);

  ASSERT_EQ(S_OK, OleInitialize(nullptr));
  FileTarget ole;
  ASSERT_EQ(S_OK, RegisterDragDrop(plain, &ole));
  DropTarget t = FindDropTarget(s, Inside(plain, 5, 5));
  EXPECT_EQ(plain, t.window);
  EXPECT_TRUE(t.ole);
  RevokeDragDrop(plain);
  OleUninitialize();
}

TEST_F(DragTest, WindowsWithAnOleDropTargetGetTheFileListThroughOle) {
  Fill();
  ASSERT_EQ(S_OK, OleInitialize(nullptr));
  HWND w = Keep(MakeTarget(520, 40, 0));
  FileTarget ole;
  ASSERT_EQ(S_OK, RegisterDragDrop(w, &ole));
  SelectEntries({0, 1, 2});
  ASSERT_TRUE(Drag(EntryOnScreen(1), Inside(w, 50, 50)));
  EXPECT_EQ(1, ole.drops);
  EXPECT_EQ((Strings{"C:\\out\\one.eml", "C:\\out\\two.eml", "C:\\out\\three.eml"}), ole.files);
  EXPECT_TRUE(g_received.empty());
  RevokeDragDrop(w);
  OleUninitialize();
}

// --- Receiving ----------------------------------------------------------------

class ReceiveTest : public DragTest {
 protected:
  // Posts a drop of "C:\\in.txt" at (x, y) of the pane, as the system would.
  void DropOn(HWND pane, int x, int y, UINT msg = WM_DROPFILES) {
    DropBlock block;
    ASSERT_TRUE(DropBlockStart(&block, POINT{x, y}, false));
    DropBlockAppend(&block, "C:\\in.txt", nullptr, false);
    HGLOBAL h = DropBlockToGlobal(&block);
    DropBlockFree(&block);
    PostMessageA(pane, msg, reinterpret_cast<WPARAM>(h), 0);
    PumpMessages();
  }
  int RowY(HWND pane, int row) {
    RECT r = RowRect(pane, row);
    return (r.top + r.bottom) / 2;
  }
};

TEST_F(ReceiveTest, DropsOnTreeRowsGoToTheTreeOwnerWithTheRowsItem) {
  Fill(kTvTreePane | kTvItemPane);
  EXPECT_TRUE(GetWindowLongA(TreePane(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  DropOn(TreePane(), 30, RowY(TreePane(), 2));
  EXPECT_EQ(Strings{"drop alice 2 {C:\\in.txt}"}, Notes());
  DropOn(TreePane(), 30, RowY(TreePane(), 1), kTvPaneDrop);
  EXPECT_EQ(Strings{"pane-drop server 1 {C:\\in.txt}"}, Notes());
  RECT c;
  GetClientRect(TreePane(), &c);
  DropOn(TreePane(), 30, c.bottom - 2);  // below the last row
  EXPECT_TRUE(Notes().empty());
}

TEST_F(ReceiveTest, DropsOnTheItemPaneBelongToTheSelectedTreeItem) {
  Fill(kTvTreePane | kTvItemPane);
  DropOn(ItemPane(), 5, 5);
  EXPECT_TRUE(Notes().empty());  // no tree row selected
  TvSelectItem(control, alice);
  ClearNotes();
  DropOn(ItemPane(), 5, 5);
  EXPECT_EQ(Strings{"drop alice 2 {C:\\in.txt}"}, Notes());
}

TEST_F(ReceiveTest, OptionsForbidDropsPerPaneAndAListAloneHasNoItem) {
  Fill(kTvTreePane | kTvItemPane | kTvNoTreeDrop | kTvNoItemDrop);
  EXPECT_FALSE(GetWindowLongA(TreePane(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_FALSE(GetWindowLongA(ItemPane(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  TvSelectItem(control, alice);
  ClearNotes();
  DropOn(TreePane(), 30, RowY(TreePane(), 2));
  DropOn(ItemPane(), 5, 5);
  EXPECT_TRUE(Notes().empty());
  DestroyWindow(control);
  ClearNotes();

  control = TvCreate(GetModuleHandleA(nullptr), owner, owner, owner, 40, images.tree,
                     images.treeMask, images.rows, images.width, images.height, images.item,
                     images.itemMask, images.columns, images.width, images.height, 0, 0,
                     kTvItemPane);
  ASSERT_TRUE(control);
  DropOn(ItemPane(), 5, 5);
  EXPECT_EQ(Strings{"drop {C:\\in.txt}"}, Notes());
}

}  // namespace
