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

  char text[kQuickHelpChars + 1];
  int n = GetWindowTextA(w, text, sizeof text);
  HGDIOBJ oldFont = SelectObject(dc, g_tree.quickHelpFont);
  COLORREF oldText = SetTextColor(dc, g_tree.infoText);
  COLORREF oldBack = SetBkColor(dc, g_tree.infoBack);
  int oldMode = SetBkMode(dc, OPAQUE);
  TextOutA(dc, kTextAt, kTextAt, text, n);
  SetBkMode(dc, oldMode);
  SetBkColor(dc, oldBack);
  SetTextColor(dc, oldText);
  SelectObject(dc, oldFont);
  EndPaint(w, &ps);
}

}  // namespace

LRESULT CALLBACK QuickHelpProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETTEXT: return OnSetText(w, reinterpret_cast<const char*>(lp));
    case WM_PAINT: OnPaint(w); return 0;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_SETFOCUS: if (wp) SetFocus(reinterpret_cast<HWND>(wp)); return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}
