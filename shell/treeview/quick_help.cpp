// The quick-help pop-up: holds a short text, sizes itself to it and never
// keeps the focus. Each control creates one, hidden.
#include <cstring>

#include "tree_state.h"

namespace {

enum { kMargin = 12, kTextAt = 4 };

LRESULT OnSetText(HWND w, const char* text) {
  char shown[kQuickHelpChars + 1];
  if (!text) text = "";
  size_t n = strlen(text);
  if (n > kQuickHelpChars) n = kQuickHelpChars;
  memcpy(shown, text, n);
  shown[n] = 0;
  LRESULT done = DefWindowProcA(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shown));
  SIZE size = {};
  HDC dc = GetDC(w);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, g_tree.quickHelpFont);
    GetTextExtentPoint32A(dc, shown, static_cast<int>(n), &size);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
  }
  SetWindowPos(w, nullptr, 0, 0, size.cx + kMargin, size.cy + kMargin,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return done;
}

void FrameLine(HDC dc, HPEN pen, int x0, int y0, int x1, int y1) {
  SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

void OnPaint(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  if (!dc) return;
  RECT r;
  GetClientRect(w, &r);
  char text[kQuickHelpChars + 1];
  int n = GetWindowTextA(w, text, sizeof text);
  PaintQuickHelp(dc, r, text, n);
  EndPaint(w, &ps);
}

}  // namespace

void PaintQuickHelp(HDC dc, const RECT& r, const char* text, int length) {
  HBRUSH back = CreateSolidBrush(g_tree.infoBack);
  if (back) {
    FillRect(dc, &r, back);
    DeleteObject(back);
  }
  HGDIOBJ oldPen = SelectObject(dc, g_tree.highlightPen);
  int right = r.right - 1, bottom = r.bottom - 1;
  // Raised frame: light on the upper and left sides, dark on the lower and right.
  FrameLine(dc, g_tree.highlightPen, 0, bottom, 0, 0);
  LineTo(dc, right, 0);
  FrameLine(dc, g_tree.facePen, 1, bottom - 1, 1, 1);
  LineTo(dc, right - 1, 1);
  FrameLine(dc, g_tree.textPen, 0, bottom, right, bottom);
  LineTo(dc, right, -1);
  FrameLine(dc, g_tree.shadowPen, 1, bottom - 1, right - 1, bottom - 1);
  LineTo(dc, right - 1, 0);
  SelectObject(dc, oldPen);

  HGDIOBJ oldFont = SelectObject(dc, g_tree.quickHelpFont);
  COLORREF oldText = SetTextColor(dc, g_tree.infoText);
  COLORREF oldBack = SetBkColor(dc, g_tree.infoBack);
  int oldMode = SetBkMode(dc, OPAQUE);
  TextOutA(dc, kTextAt, kTextAt, text, length);
  SetBkMode(dc, oldMode);
  SetBkColor(dc, oldBack);
  SetTextColor(dc, oldText);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK QuickHelpProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETTEXT: return OnSetText(w, reinterpret_cast<const char*>(lp));
    case WM_PAINT: OnPaint(w); return 0;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_SETFOCUS: if (wp) SetFocus(reinterpret_cast<HWND>(wp)); return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

// --- Resting on rows ---------------------------------------------------------

namespace {

void StopTimer(TreeControlState* s) {
  if (s->quickHelpTimerPane && IsWindow(s->quickHelpTimerPane))
    KillTimer(s->quickHelpTimerPane, kQuickHelpTimer);
  s->quickHelpTimerPane = nullptr;
}

// Asks the pane's owner what to show for the row; false when it has nothing.
bool AskOwner(TreeControlState* s, HWND pane, int row, char* text) {
  QuickHelpRequest req;
  memset(&req, 0, sizeof req);
  req.control = s->self;
  UINT msg;
  HWND owner;
  if (pane == s->treePane) {
    req.item = ItemAtRow(s, row);
    if (!req.item) return false;
    req.data = req.item->data;
    msg = kTvTreeQuickHelp;
    owner = s->treeOwner;
  } else {
    req.entry = EntryAtRow(s, row);
    if (!req.entry) return false;
    req.data = req.entry->data;
    msg = kTvItemQuickHelp;
    owner = s->itemOwner;
  }
  NotifyOwner(owner, msg, 0, reinterpret_cast<LPARAM>(&req));
  // An owner that filled the whole area left no NUL: the text is cut.
  req.text[kQuickHelpChars] = '\0';
  memcpy(text, req.text, kQuickHelpChars + 1);
  return text[0] != '\0';
}

}  // namespace

void HideQuickHelp(TreeControlState* s, bool forget) {
  StopTimer(s);
  if (s->quickHelp && s->quickHelpShowing) ShowWindow(s->quickHelp, SW_HIDE);
  s->quickHelpShowing = 0;
  if (forget) {
    s->quickHelpRow = -1;
    s->quickHelpPane = nullptr;
  }
}

void QuickHelpMouseMove(TreeControlState* s, HWND pane, int x, int y) {
  if (!s->quickHelp) return;
  int row = RowAtPoint(pane, x, y);
  bool sameRow = pane == s->quickHelpPane && row == s->quickHelpRow;
  if (sameRow) return;
  // Showing for another row: gone, and the new row is asked about at once.
  HideQuickHelp(s, true);
  s->quickHelpPane = pane;
  s->quickHelpRow = row;
  // The row stays noted even when its owner has nothing to say, so that the
  // owner is asked once per row and not on every movement over it.
  char text[kQuickHelpChars + 1];
  if (row < 0 || !AskOwner(s, pane, row, text)) return;
  SetWindowTextA(s->quickHelp, text);
  if (SetTimer(pane, kQuickHelpTimer, kQuickHelpDelay, nullptr)) s->quickHelpTimerPane = pane;
}

void QuickHelpTimer(TreeControlState* s, HWND pane) {
  if (pane != s->quickHelpTimerPane) return;  // a timer already stopped
  POINT pt;
  GetCursorPos(&pt);
  POINT c = pt;
  ScreenToClient(pane, &c);
  RECT client;
  GetClientRect(pane, &client);
  if (!PtInRect(&client, c)) {
    HideQuickHelp(s, true);
    return;
  }
  int row = RowAtPoint(pane, c.x, c.y);
  if (row < 0) {
    HideQuickHelp(s, false);
    return;
  }
  if (pane != s->quickHelpPane || row != s->quickHelpRow) {
    // The rows moved under a resting pointer (scrolled, changed).
    QuickHelpMouseMove(s, pane, c.x, c.y);
    return;
  }
  if (s->quickHelpShowing || !s->quickHelp) return;
  SetWindowPos(s->quickHelp, HWND_TOPMOST, pt.x, pt.y + kQuickHelpBelow, 0, 0,
               SWP_NOACTIVATE | SWP_NOSIZE);
  ShowWindow(s->quickHelp, SW_SHOWNA);
  s->quickHelpShowing = 1;
}
