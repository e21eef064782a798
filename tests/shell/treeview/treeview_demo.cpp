// Shows the tree control filled as the store shell fills it (servers, users,
// mailboxes, a message list), for looking at and for pictures.
//   treeview_demo [normal|selection|collapsed|split] [seconds]
// The window is titled "Tree control demo" and closes after `seconds` (default 30).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "treeview.h"

namespace {

const int kCell = 17;
const int kTreeImages = 4;  // 0 server, 1 user, 2 mailbox, 3 network

HWND g_control;

struct Painter {
  HDC dc;
  void Box(int l, int t, int r, int b, COLORREF fill, COLORREF edge) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, edge);
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    Rectangle(dc, l, t, r, b);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
  }
  void Ellipse(int l, int t, int r, int b, COLORREF fill, COLORREF edge) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, edge);
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    ::Ellipse(dc, l, t, r, b);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
  }
  void Line(int x0, int y0, int x1, int y1, COLORREF c) {
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ op = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, op);
    DeleteObject(pen);
  }
};

// One 17x17 picture at (x, y); column 0 open, 1 closed, 2 leaf.
void DrawIcon(Painter& p, int image, int column, int x, int y, bool mask) {
  // Pictures stay inside their own cell.
  int saved = SaveDC(p.dc);
  IntersectClipRect(p.dc, x, y, x + kCell, y + kCell);
  COLORREF ink = RGB(0, 0, 0);
  auto c = [&](COLORREF colour) { return mask ? ink : colour; };
  switch (image) {
    case 0:  // server: a tower with two lights
      p.Box(x + 4, y + 1, x + 13, y + 16, c(RGB(200, 200, 208)), c(RGB(60, 60, 70)));
      p.Line(x + 6, y + 4, x + 11, y + 4, c(RGB(60, 60, 70)));
      p.Line(x + 6, y + 6, x + 11, y + 6, c(RGB(60, 60, 70)));
      p.Box(x + 6, y + 11, x + 8, y + 13, c(column == 1 ? RGB(200, 160, 0) : RGB(0, 180, 0)),
            c(RGB(0, 90, 0)));
      break;
    case 1:  // user: head and shoulders
      p.Ellipse(x + 5, y + 1, x + 12, y + 8, c(RGB(240, 200, 160)), c(RGB(120, 80, 40)));
      p.Ellipse(x + 2, y + 8, x + 15, y + 20, c(RGB(40, 90, 180)), c(RGB(20, 40, 100)));
      break;
    case 2:  // mailbox: a folder, open when expanded
      p.Box(x + 1, y + 4, x + 8, y + 7, c(RGB(230, 190, 60)), c(RGB(140, 100, 0)));
      p.Box(x + 1, y + 6, x + 16, y + 15, c(RGB(250, 215, 90)), c(RGB(140, 100, 0)));
      if (column == 0) p.Box(x + 4, y + 9, x + 16, y + 15, c(RGB(255, 235, 140)), c(RGB(140, 100, 0)));
      break;
    default:  // network: a globe
      p.Ellipse(x + 1, y + 1, x + 16, y + 16, c(RGB(90, 160, 230)), c(RGB(20, 60, 120)));
      p.Line(x + 1, y + 8, x + 16, y + 8, c(RGB(20, 60, 120)));
      p.Ellipse(x + 5, y + 1, x + 12, y + 16, c(RGB(90, 160, 230)), c(RGB(20, 60, 120)));
      break;
  }
  RestoreDC(p.dc, saved);
}

// Image and mask of the given size, white mask and black image outside the pictures.
void MakeBitmaps(int width, int height, HBITMAP* image, HBITMAP* mask) {
  HDC screen = GetDC(nullptr);
  *image = CreateCompatibleBitmap(screen, width, height);
  *mask = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  HDC dc = CreateCompatibleDC(nullptr);
  RECT all = {0, 0, width, height};
  HGDIOBJ old = SelectObject(dc, *image);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SelectObject(dc, *mask);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, old);
  DeleteDC(dc);
}

void MakeTreeImages(HBITMAP* image, HBITMAP* mask) {
  int width = 3 * 3 * kCell, height = kTreeImages * kCell * 6;
  MakeBitmaps(width, height, image, mask);
  HDC dc = CreateCompatibleDC(nullptr);
  Painter p = {dc};
  for (int pass = 0; pass < 2; ++pass) {
    HGDIOBJ old = SelectObject(dc, pass ? *mask : *image);
    for (int i = 0; i < kTreeImages; ++i)
      for (int col = 0; col < 3; ++col) DrawIcon(p, i, col, col * kCell, i * kCell, pass == 1);
    // The larger sizes are the same pictures stretched.
    for (int sf = 2; sf <= 3; ++sf) {
      int top = sf == 2 ? kTreeImages * kCell : kTreeImages * kCell * 3;
      StretchBlt(dc, 0, top, 3 * sf * kCell, kTreeImages * sf * kCell, dc, 0, 0, 3 * kCell,
                 kTreeImages * kCell, SRCCOPY);
    }
    SelectObject(dc, old);
  }
  DeleteDC(dc);
}

void MakeItemImages(HBITMAP* image, HBITMAP* mask) {
  MakeBitmaps(2 * kCell, kCell, image, mask);
  HDC dc = CreateCompatibleDC(nullptr);
  Painter p = {dc};
  for (int pass = 0; pass < 2; ++pass) {
    HGDIOBJ old = SelectObject(dc, pass ? *mask : *image);
    for (int i = 0; i < 2; ++i) {
      COLORREF ink = RGB(0, 0, 0);
      int x = i * kCell;
      // An envelope; the second one opened (read).
      p.Box(x + 1, 4, x + 16, 14, pass ? ink : RGB(255, 255, 240),
            pass ? ink : RGB(90, 90, 90));
      p.Line(x + 1, 4, x + 8, i ? 1 : 9, pass ? ink : RGB(90, 90, 90));
      p.Line(x + 8, i ? 1 : 9, x + 16, 4, pass ? ink : RGB(90, 90, 90));
    }
    SelectObject(dc, old);
  }
  DeleteDC(dc);
}

const char* const kUsers[] = {"admin", "alice", "bob", "carol", "dave", "erin"};
const char* const kBoxes[] = {"INBOX", "Sent", "Drafts", "Trash", "Archive"};
const char* const kSenders[] = {"Alice Smith", "Bob Jones", "Carol White", "Dave Brown",
                                "Erin Green", "Postmaster"};
const char* const kSubjects[] = {"Quarterly report", "Re: meeting on Friday", "Disk quota",
                                 "Lunch?", "Fw: new store layout", "Delivery failure",
                                 "Re: Re: backup schedule", "Welcome aboard"};

void Fill(const char* state) {
  TvSetItem(g_control, nullptr, "Network", nullptr, 3, -1, 0);
  TreeItem* selectedBox = nullptr;
  TreeItem* servers[2];
  const char* hosts[] = {"mail.example.org", "10.1.2.3"};
  for (int s = 0; s < 2; ++s) {
    servers[s] = TvAddItem(g_control, nullptr, kTvAddLastChild, hosts[s], nullptr, 0, 1, 1);
    int users = s == 0 ? 6 : 2;
    for (int u = 0; u < users; ++u) {
      DWORD how = kTvAddLastChild | (u == 1 || s == 1 ? 0u : static_cast<DWORD>(kTvAddCollapsed));
      TreeItem* user = TvAddItem(g_control, servers[s], how, kUsers[u], nullptr, 1, 1, 2);
      for (int b = 0; b < 5; ++b) {
        TreeItem* box = TvAddItem(g_control, user, kTvAddLastChild, kBoxes[b], nullptr, 2, 1, 3);
        if (s == 0 && u == 1 && b == 0) selectedBox = box;
      }
    }
  }
  for (int m = 0; m < 48; ++m) {
    char text[160];
    snprintf(text, sizeof text, "%3d  %-12s  %s  (%d KB)", m + 1, kSenders[m % 6],
             kSubjects[(m * 5) % 8], 1 + (m * 7) % 40);
    TvAddEntry(g_control, nullptr, 0, text, nullptr, m % 3 == 0 ? 0 : 1, m + 1);
  }
  if (strcmp(state, "collapsed") == 0) {
    TvExpand(g_control, servers[1], kTvCollapse);
    TvExpand(g_control, TvFindText(g_control, "alice"), kTvCollapse);
    TvSelectItem(g_control, servers[1]);
  } else if (strcmp(state, "selection") == 0 || strcmp(state, "split") == 0) {
    TvSelectItem(g_control, selectedBox);
    HWND list = TvItemPane(g_control);
    SendMessageA(list, LB_SETSEL, TRUE, 2);
    SendMessageA(list, LB_SETSEL, TRUE, 3);
    SendMessageA(list, LB_SETSEL, TRUE, 5);
    TvFocusItems(g_control);
  }
}

LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      RECT r = {0, 0, LOWORD(lp), HIWORD(lp)};
      if (g_control) TvMove(g_control, &r);
      return 0;
    }
    case WM_TIMER: DestroyWindow(w); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case kTvDeleteItem:
    case kTvDeleteEntry: return 0;  // the demo's data are plain numbers
  }
  return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  const char* state = argc > 1 ? argv[1] : "normal";
  int seconds = argc > 2 ? atoi(argv[2]) : 30;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "TreeDemoMain";
  RegisterClassA(&wc);
  if (!TvRegister(inst)) return 1;
  HWND main = CreateWindowExA(0, wc.lpszClassName, "Tree control demo",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20, 20, 640, 420, nullptr,
                              nullptr, inst, nullptr);
  HBITMAP treeImage, treeMask, itemImage, itemMask;
  MakeTreeImages(&treeImage, &treeMask);
  MakeItemImages(&itemImage, &itemMask);
  g_control = TvCreate(inst, main, main, main, 40, treeImage, treeMask, kTreeImages, kCell, kCell,
                       itemImage, itemMask, 2, kCell, kCell, 0, 0,
                       kTvTreePane | kTvItemPane | kTvOpenToggles | kTvNoTreeDrop);
  if (!main || !g_control) return 1;
  RECT client;
  GetClientRect(main, &client);
  TvMove(g_control, &client);
  Fill(state);
  if (strcmp(state, "split") == 0) {
    // Drag the bar as the mouse would, to a quarter of the width.
    int w = client.right, s = w * 40 / 100, y = 100;
    SendMessageA(g_control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(s, y));
    SendMessageA(g_control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(w / 4, y));
    SendMessageA(g_control, WM_LBUTTONUP, 0, MAKELPARAM(w / 4, y));
  }
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  SetTimer(main, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  g_control = nullptr;
  TvUnregister();
  DeleteObject(treeImage);
  DeleteObject(treeMask);
  DeleteObject(itemImage);
  DeleteObject(itemMask);
  printf("split %s done\n", state);
  return 0;
}
