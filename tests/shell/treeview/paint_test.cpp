// Painting: rows drawn into a memory DC are checked pixel by pixel, the DC
// is handed back as it came, and the shared drawing objects live exactly as
// long as the classes are registered.
#include <cstring>
#include <string>
#include <vector>

#include "tree_fixture.h"
#include "tree_state.h"
#include "ui_driver.h"

namespace {

// A 32-bit memory surface rows are painted into.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, width, height};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // How many pixels of the box have colour c.
  int Count(const RECT& box, COLORREF c) const {
    int n = 0;
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x)
        if (At(x, y) == c) ++n;
    return n;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  void* bits_ = nullptr;
};

class PaintTest : public TreeTest {
 protected:
  // Paints the tree row of item (entry when isEntry) at the canvas's top-left.
  void DrawRow(const Canvas& canvas, void* record, int row, int height, UINT state, UINT action,
               bool isEntry = false) {
    DRAWITEMSTRUCT d = {};
    d.CtlType = ODT_LISTBOX;
    d.CtlID = isEntry ? kItemPaneId : kTreePaneId;
    d.itemID = static_cast<UINT>(row);
    d.itemAction = action;
    d.itemState = state;
    d.hwndItem = isEntry ? ItemPane() : TreePane();
    d.hDC = canvas.dc();
    SetRect(&d.rcItem, 0, 0, 300, height);
    d.itemData = reinterpret_cast<ULONG_PTR>(record);
    SendMessageA(control, WM_DRAWITEM, d.CtlID, reinterpret_cast<LPARAM>(&d));
  }
  int FontHeight() {
    TEXTMETRICA tm = {};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return tm.tmHeight;
  }
  int TextWidthOf(const char* text) {
    SIZE size = {};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cx;
  }
  // Server "s" with "alice" (children, sibling below) and "bob" (last leaf),
  // and a second server so the first's line continues.
  void Fill() {
    Make();
    s = Add(nullptr, "s");
    alice = TvAddItem(control, s, kTvAddLastChild, "alice", nullptr, 2, 1, 0);
    Add(alice, "INBOX");
    bob = Add(s, "bob");
    Add(nullptr, "t");
  }
  TreeItem* s = nullptr;
  TreeItem* alice = nullptr;
  TreeItem* bob = nullptr;
  COLORREF line = GetSysColor(COLOR_BTNSHADOW);
  COLORREF window = GetSysColor(COLOR_WINDOW);
};

TEST_F(PaintTest, TreeRowLinesButtonImageAndSelection) {
  Fill();
  const int h = 17;
  Canvas canvas(300, h);
  ASSERT_EQ(22, alice->indent);
  DrawRow(canvas, alice, 2, h, ODS_SELECTED, ODA_DRAWENTIRE);
  const int cx = 22, cy = h - h / 2;
  // The parent's line continues (its next sibling is below), the root's does not.
  EXPECT_EQ(line, canvas.At(11, 0));
  EXPECT_EQ(line, canvas.At(11, h - 1));
  EXPECT_EQ(window, canvas.At(0, 5));
  // Connector: up from the button, on down to the sibling below, and right to the image.
  EXPECT_EQ(line, canvas.At(cx, 0));
  EXPECT_EQ(line, canvas.At(cx, h - 1));
  EXPECT_EQ(line, canvas.At(cx + 8, cy));
  // Expanded: a minus, no vertical stroke.
  EXPECT_EQ(line, canvas.At(cx - 2, cy));
  EXPECT_EQ(line, canvas.At(cx + 2, cy));
  EXPECT_EQ(window, canvas.At(cx, cy - 2));
  EXPECT_EQ(line, canvas.At(cx - 5, cy));  // button frame
  // Image through its mask: the cell's colour inside, the window around it.
  int imageLeft = cx + 10;
  EXPECT_EQ(TreeCellColour(0, 2, 1), canvas.At(imageLeft + 8, h - 9));
  EXPECT_EQ(window, canvas.At(imageLeft + 1, h - 16));
  // Text on the highlight.
  int textX = imageLeft + images.width;
  RECT box = {textX, h - FontHeight(), textX + TextWidthOf("alice"), h};
  int area = (box.right - box.left) * (box.bottom - box.top);
  EXPECT_GT(canvas.Count(box, GetSysColor(COLOR_HIGHLIGHT)), area / 3);

  // Collapsed: a plus and the collapsed image column.
  TvExpand(control, alice, kTvCollapse);
  DrawRow(canvas, alice, 2, h, 0, ODA_DRAWENTIRE);
  EXPECT_EQ(line, canvas.At(cx, cy - 2));
  EXPECT_EQ(line, canvas.At(cx, cy + 2));
  EXPECT_EQ(TreeCellColour(1, 2, 1), canvas.At(imageLeft + 8, h - 9));
  EXPECT_EQ(0, canvas.Count(box, GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_GT(canvas.Count(box, window), area / 3);

  // Without children: no button at all and the leaf column.
  TvDeleteItem(control, alice->firstChild);
  DrawRow(canvas, alice, 2, h, 0, ODA_DRAWENTIRE);
  EXPECT_EQ(window, canvas.At(cx - 5, cy));
  EXPECT_EQ(line, canvas.At(cx + 1, cy));
  EXPECT_EQ(TreeCellColour(2, 2, 1), canvas.At(imageLeft + 8, h - 9));
}

TEST_F(PaintTest, LastChildConnectorStopsAtTheMiddle) {
  Fill();
  const int h = 17;
  Canvas canvas(300, h);
  DrawRow(canvas, bob, 4, h, 0, ODA_DRAWENTIRE);
  int cx = bob->indent, cy = h - h / 2;
  EXPECT_EQ(line, canvas.At(cx, 0));
  EXPECT_EQ(line, canvas.At(cx, cy));
  EXPECT_EQ(window, canvas.At(cx, cy + 2));
  EXPECT_EQ(window, canvas.At(cx, h - 1));
  EXPECT_EQ(line, canvas.At(11, h - 1));  // the parent's line still passes
}

TEST_F(PaintTest, SelectionAndFocusChangesRepaintOnlyTheText) {
  Fill();
  const int h = 17;
  Canvas canvas(300, h);
  DrawRow(canvas, bob, 4, h, 0, ODA_DRAWENTIRE);
  int textX = bob->indent + 10 + images.width;
  RECT box = {textX, h - FontHeight(), textX + TextWidthOf("bob"), h};
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  DrawRow(canvas, bob, 4, h, ODS_SELECTED, ODA_SELECT);
  EXPECT_GT(canvas.Count(box, highlight), 0);
  EXPECT_EQ(line, canvas.At(bob->indent, 0));  // lines untouched
  DrawRow(canvas, bob, 4, h, 0, ODA_SELECT);
  EXPECT_EQ(0, canvas.Count(box, highlight));
  // Focus draws and, drawn again, takes away the dotted box.
  std::vector<COLORREF> edge;
  for (int x = box.left; x < box.right; ++x) edge.push_back(canvas.At(x, box.top));
  DrawRow(canvas, bob, 4, h, ODS_FOCUS, ODA_FOCUS);
  int changed = 0;
  for (int x = box.left; x < box.right; ++x) changed += canvas.At(x, box.top) != edge[x - box.left];
  EXPECT_GT(changed, 0);
  DrawRow(canvas, bob, 4, h, 0, ODA_FOCUS);
  for (int x = box.left; x < box.right; ++x) EXPECT_EQ(edge[x - box.left], canvas.At(x, box.top));
}

TEST_F(PaintTest, EntryRowImageAndSelection) {
  Make();
  ListItem* e = TvAddEntry(control, nullptr, 0, "message", nullptr, 3, 0);
  const int h = 17;
  Canvas canvas(300, h);
  DrawRow(canvas, e, 0, h, ODS_SELECTED, ODA_DRAWENTIRE, true);
  EXPECT_EQ(ItemCellColour(3), canvas.At(8, 8));
  EXPECT_EQ(window, canvas.At(1, 1));
  RECT box = {images.width, h - FontHeight(), images.width + TextWidthOf("message"), h};
  EXPECT_GT(canvas.Count(box, GetSysColor(COLOR_HIGHLIGHT)), 0);
}

TEST_F(PaintTest, DrawingHandsTheDcBackAsItCame) {
  Fill();
  ListItem* e = AddEntry("entry");
  Canvas canvas(300, 17);
  HDC dc = canvas.dc();
  SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  SelectObject(dc, GetStockObject(WHITE_PEN));
  SelectObject(dc, GetStockObject(GRAY_BRUSH));
  SetTextColor(dc, RGB(1, 2, 3));
  SetBkColor(dc, RGB(4, 5, 6));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_TOP | TA_RIGHT);
  HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
  for (UINT action : {ODA_DRAWENTIRE, ODA_SELECT, ODA_FOCUS}) {
    DrawRow(canvas, alice, 2, 17, ODS_SELECTED | ODS_FOCUS, action);
    DrawRow(canvas, e, 0, 17, ODS_SELECTED | ODS_FOCUS, action, true);
    EXPECT_EQ(GetStockObject(ANSI_FIXED_FONT), GetCurrentObject(dc, OBJ_FONT)) << action;
    EXPECT_EQ(GetStockObject(WHITE_PEN), GetCurrentObject(dc, OBJ_PEN)) << action;
    EXPECT_EQ(GetStockObject(GRAY_BRUSH), GetCurrentObject(dc, OBJ_BRUSH)) << action;
    EXPECT_EQ(bitmap, GetCurrentObject(dc, OBJ_BITMAP)) << action;
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc)) << action;
    EXPECT_EQ(RGB(4, 5, 6), GetBkColor(dc)) << action;
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc)) << action;
    EXPECT_EQ(static_cast<UINT>(TA_TOP | TA_RIGHT), GetTextAlign(dc)) << action;
  }
  // The image bitmaps are free again: another DC can take them.
  HDC other = CreateCompatibleDC(nullptr);
  for (HBITMAP b : {images.tree, images.treeMask, images.item, images.itemMask}) {
    HGDIOBJ old = SelectObject(other, b);
    EXPECT_TRUE(old != nullptr);
    SelectObject(other, old);
  }
  DeleteDC(other);
}

TEST_F(PaintTest, MaskedDrawingCentresOnRequest) {
  Make();
  Canvas canvas(60, 60);
  RECT white = {0, 0, 60, 60};
  FillRect(canvas.dc(), &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT cell = {17, 0, 34, 17};  // item image 1
  RECT target = {0, 0, 60, 60};
  DrawMasked(canvas.dc(), images.item, images.itemMask, cell, target, kMaskCentreX | kMaskCentreY);
  int o = (60 - 17) / 2;
  EXPECT_EQ(ItemCellColour(1), canvas.At(o + 8, o + 8));
  EXPECT_EQ(RGB(255, 255, 255), canvas.At(o + 1, o + 1));  // mask white: background stays
  EXPECT_EQ(RGB(255, 255, 255), canvas.At(5, 30));          // outside the centred cell
}

TEST_F(PaintTest, ShownPanePaintsThroughTheListBox) {
  Make(kTvTreePane | kTvItemPane | kTvOpenToggles, 50, true);
  TreeItem* server = Add(nullptr, "server");
  Add(server, "alice");
  TvSelectItem(control, server);
  PumpMessages();
  RECT client;
  GetClientRect(TreePane(), &client);
  Canvas canvas(client.right, client.bottom);
  SendMessageA(TreePane(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  RECT row = RowRect(TreePane(), 1);
  int textX = row.left + server->indent + 10 + images.width;
  RECT box = {textX, row.bottom - FontHeight(), textX + TextWidthOf("server"), row.bottom};
  EXPECT_GT(canvas.Count(box, GetSysColor(COLOR_HIGHLIGHT)), 0);
  EXPECT_EQ(line, canvas.At(row.left + server->indent, row.top));
  EXPECT_EQ(TreeCellColour(0, 0, 1), canvas.At(row.left + server->indent + 18, row.bottom - 9));
}

TEST_F(PaintTest, QuickHelpHoldsAtMost159Characters) {
  Make();
  HWND help = TreeStateOf(control)->quickHelp;
  ASSERT_TRUE(help);
  struct Row {
    size_t given, kept;
  } rows[] = {{0, 0}, {158, 158}, {159, 159}, {160, 159}, {200, 159}};
  for (const Row& r : rows) {
    std::string text(r.given, 'q');
    SetWindowTextA(help, text.c_str());
    EXPECT_EQ(r.kept, WindowText(help).size()) << r.given;
  }
  // It sizes itself to the text with a 12-pixel margin.
  SetWindowTextA(help, "Mailbox");
  RECT rc;
  GetWindowRect(help, &rc);
  HDC dc = GetDC(help);
  HGDIOBJ old = SelectObject(dc, g_tree.quickHelpFont);
  SIZE size;
  GetTextExtentPoint32A(dc, "Mailbox", 7, &size);
  SelectObject(dc, old);
  ReleaseDC(help, dc);
  EXPECT_EQ(size.cx + 12, rc.right - rc.left);
  EXPECT_EQ(size.cy + 12, rc.bottom - rc.top);
  EXPECT_FALSE(IsWindowVisible(help));
}

TEST_F(PaintTest, SharedObjectsLiveFromRegistrationToUnregistration) {
  Make();
  EXPECT_EQ(0, TvUnregister());  // refused while a control lives
  EXPECT_EQ(OBJ_PEN, GetObjectType(g_tree.linePen));
  DestroyWindow(control);
  control = nullptr;
  ClearNotes();
  HPEN pens[] = {g_tree.splitterPen, g_tree.highlightPen, g_tree.facePen, g_tree.shadowPen,
                 g_tree.textPen, g_tree.linePen};
  HBRUSH band = g_tree.bandBrush;
  HFONT help = g_tree.quickHelpFont;
  HDC measure = g_tree.measureDC;
  ASSERT_EQ(1, TvUnregister());
  for (HPEN p : pens) EXPECT_EQ(0u, GetObjectType(p));
  EXPECT_EQ(0u, GetObjectType(band));
  EXPECT_EQ(0u, GetObjectType(help));
  EXPECT_EQ(0u, GetObjectType(measure));
  EXPECT_EQ(OBJ_FONT, GetObjectType(GetStockObject(DEFAULT_GUI_FONT)));  // stock: kept
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), TV_CLASS_NAME, &wc));
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), TV_QUICKHELP_CLASS_NAME, &wc));
  // Creating registers again.
  Make();
  EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), TV_CLASS_NAME, &wc));
  EXPECT_EQ(OBJ_PEN, GetObjectType(g_tree.linePen));
}

// The colours in use stand for older system colours (planted, as a real
// change of the system's colours would reach every window of the desktop):
// the change notice must bring back the system's own, in what is drawn too,
// and delete what it replaced.
TEST_F(PaintTest, SystemColourChangeRemakesThePensAndColoursFromTheSystem) {
  Fill();
  const COLORREF stale = RGB(250, 0, 5);
  ASSERT_NE(stale, GetSysColor(COLOR_BTNSHADOW));
  ASSERT_NE(stale, GetSysColor(COLOR_HIGHLIGHT));
  HPEN stalePen = CreatePen(PS_SOLID, 1, stale);
  HBRUSH staleBrush = CreateSolidBrush(stale);
  DeleteObject(g_tree.linePen);
  DeleteObject(g_tree.bandBrush);
  g_tree.linePen = stalePen;
  g_tree.bandBrush = staleBrush;
  g_tree.highlight = stale;
  g_tree.window = stale;
  const int h = 17;
  Canvas canvas(300, h);
  DrawRow(canvas, bob, 4, h, ODS_SELECTED, ODA_DRAWENTIRE);
  ASSERT_EQ(stale, canvas.At(bob->indent, 0));  // the planted colours are the ones drawn

  SendMessageA(control, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(0u, GetObjectType(stalePen));  // replaced ones are deleted, not leaked
  EXPECT_EQ(0u, GetObjectType(staleBrush));
  EXPECT_EQ(OBJ_PEN, GetObjectType(g_tree.linePen));
  EXPECT_EQ(OBJ_BRUSH, GetObjectType(g_tree.bandBrush));
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), g_tree.highlight);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), g_tree.window);
  DrawRow(canvas, bob, 4, h, ODS_SELECTED, ODA_DRAWENTIRE);
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), canvas.At(bob->indent, 0));
  EXPECT_EQ(window, canvas.At(0, 5));
  int textX = bob->indent + 10 + images.width;
  RECT box = {textX, h - FontHeight(), textX + TextWidthOf("bob"), h};
  EXPECT_GT(canvas.Count(box, GetSysColor(COLOR_HIGHLIGHT)), 0);
  EXPECT_EQ(0, canvas.Count(box, stale));
}

}  // namespace
