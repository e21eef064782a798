#include "details_pane.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "protocol/store_commands.h"

const char kDetailsPaneClass[] = "ZELMShellViewClass";
const char kDetailsPaneTitle[] = "Mailbox/Message details";

namespace {

enum { kGrowBy = 20, kWheelLines = 3 };

void Lay(DetailsPane* p, HDC dc, DetailStyle style, const char* text) {
  const DetailStyleRule& s = StyleRule(style);
  if (s.lineFlags & kLineBreakOnly) {
    AddDetailLine(p, dc, nullptr, 0, 0, "", kLineBreakOnly);
    return;
  }
  const DetailsInputs* in = p->inputs;
  AddDetailLine(p, dc, s.fixedFont ? in->fixedFont : in->interfaceFont,
                s.highlighted ? in->highlightText : in->windowText,
                s.highlighted ? in->highlight : in->window, text, s.lineFlags);
}

// The width of a text with its tabs expanded at the default stops (every
// eight average characters), as TabbedTextOut draws it. Counted in full
// integers: the system's own measure wraps at 65,535 pixels, which a line
// of many tabs reaches.
int TabbedWidth(HDC dc, const char* text, int length, int tabWidth) {
  int x = 0;
  int start = 0;
  for (int i = 0; i <= length; ++i) {
    if (i < length && text[i] != '\t') continue;
    SIZE size;
    if (i > start && GetTextExtentPoint32A(dc, text + start, i - start, &size)) x += size.cx;
    if (i < length) x = (x / tabWidth + 1) * tabWidth;
    start = i + 1;
  }
  return x;
}

// Context of the store callbacks while one rendering lays out its lines.
struct Layout {
  DetailsPane* pane;
  HDC dc;
};

void LayDetail(void* ctx, const char* text) {
  auto* l = static_cast<Layout*>(ctx);
  Lay(l->pane, l->dc, kStyleDetail, text);
}

void LayText(void* ctx, const char* text) {
  auto* l = static_cast<Layout*>(ctx);
  Lay(l->pane, l->dc, kStyleText, text);
}

void LayConfigEntry(void* ctx, const char* entry) {
  char line[kDetailTextSize];
  FormatConfigEntry(entry, line, sizeof line);
  LayDetail(ctx, line);
}

void LayMimePart(void* ctx, const MimePart& part) {
  char line[kDetailTextSize];
  FormatMimeLine(part, line, sizeof line);
  LayDetail(ctx, line);
}

// An answer cut off at its bound says so where it stopped.
void LayAnswerEnd(Layout* l, int result) {
  if (result != kStoreTooLong) return;
  char line[kDetailTextSize];
  snprintf(line, sizeof line,
           "The server's answer went on past %lu lines; the connection to the server was closed.",
           CurrentAnswerBounds().detailLines);
  Lay(l->pane, l->dc, kStyleError, line);
}

void LayServer(Layout* l, StoreConnection* c) {
  Lay(l->pane, l->dc, kStyleHeading, "Server Capabilities");
  LayAnswerEnd(l, StoreCapabilities(c, LayDetail, l));
  Lay(l->pane, l->dc, kStyleBlank, "");
  Lay(l->pane, l->dc, kStyleHeading, "Server Configuration");
  LayAnswerEnd(l, StoreConfiguration(c, LayConfigEntry, l));
}

void LayUser(Layout* l, StoreConnection* c) {
  Lay(l->pane, l->dc, kStyleHeading, "User message-store information");
  unsigned long used = 0, limit = 0;
  if (!StoreSpace(c, &used, &limit)) return;
  char line[kDetailTextSize];
  if (limit == 0) {
    snprintf(line, sizeof line, "Disk-space used:\t%lu KB", used);
    Lay(l->pane, l->dc, kStyleDetail, line);
    Lay(l->pane, l->dc, kStyleDetail, "No space restrictions apply");
    return;
  }
  snprintf(line, sizeof line, "Disk-space used:\t%lu KB (%llu %%)", used, PercentOf(used, limit));
  Lay(l->pane, l->dc, kStyleDetail, line);
  snprintf(line, sizeof line, "Maximum allowed:\t%lu", limit);
  Lay(l->pane, l->dc, kStyleDetail, line);
}

void LayMailbox(Layout* l, StoreConnection* c) {
  Lay(l->pane, l->dc, kStyleHeading, "Mailbox information");
  MailboxStat st;
  MailboxStatReport* report = l->pane->inputs->statOut;
  if (report) report->known = false;
  if (!StoreMailboxStat(c, &st)) return;
  if (report) {
    report->known = true;
    report->stat = st;
  }
  char line[kDetailTextSize];
  snprintf(line, sizeof line, "Number of messages:\t%lu", st.messages);
  Lay(l->pane, l->dc, kStyleDetail, line);
  snprintf(line, sizeof line, "Total size of mailbox:\t%lu KB", st.totalBytes / 1024);
  Lay(l->pane, l->dc, kStyleDetail, line);
  if (st.newMessages == 0) return;
  snprintf(line, sizeof line, "Number of new messages:\t%lu", st.newMessages);
  Lay(l->pane, l->dc, kStyleDetail, line);
  snprintf(line, sizeof line, "Size of new messages:\t%lu KB", st.newBytes / 1024);
  Lay(l->pane, l->dc, kStyleDetail, line);
  snprintf(line, sizeof line, "New messages use %llu %% of the mailbox size",
           PercentOf(st.newBytes, st.totalBytes));
  Lay(l->pane, l->dc, kStyleDetail, line);
}

// AINFO and MIME. True with *bodyBytes set when AINFO told the body's size.
bool LayMessageDetails(Layout* l, StoreConnection* c, int number, unsigned long* bodyBytes) {
  MessageDetails* d = static_cast<MessageDetails*>(malloc(sizeof(MessageDetails)));
  if (!d) return false;
  char line[kDetailTextSize];
  bool known = StoreMessageDetails(c, number, d) == 1;
  if (known) {
    *bodyBytes = d->bodyBytes;
    snprintf(line, sizeof line, "Message %d details", number);
    Lay(l->pane, l->dc, kStyleHeading, line);
    if (SenderVerified(*d)) {
      snprintf(line, sizeof line, "Sender %s authenticated and verified", d->sender);
      Lay(l->pane, l->dc, kStyleDetail, line);
    } else {
      Lay(l->pane, l->dc, kStyleDetail, "Sender not verified");
    }
    snprintf(line, sizeof line, "Size:\t%lu bytes", d->totalBytes);
    Lay(l->pane, l->dc, kStyleDetail, line);
    snprintf(line, sizeof line, "Header:\t%lu bytes", d->headerBytes);
    Lay(l->pane, l->dc, kStyleDetail, line);
    snprintf(line, sizeof line, "Body:\t%lu bytes", d->bodyBytes);
    Lay(l->pane, l->dc, kStyleDetail, line);
    Lay(l->pane, l->dc, kStyleDetail, "Message state");
    const char* flags[kMaxFlagLines];
    int n = FlagLineTexts(d->flags, flags);
    for (int i = 0; i < n; ++i) Lay(l->pane, l->dc, kStyleFlag, flags[i]);
    snprintf(line, sizeof line, "Message hash:%s bytes", d->hash);
    Lay(l->pane, l->dc, kStyleDetail, line);
    snprintf(line, sizeof line, "Unique ID:\t%lu bytes", d->uniqueId);
    Lay(l->pane, l->dc, kStyleDetail, line);
  } else {
    Lay(l->pane, l->dc, kStylePlain, "Message details command failed!");
  }
  free(d);
  Lay(l->pane, l->dc, kStyleBlank, "");
  Lay(l->pane, l->dc, kStyleHeading, "MIME structure of message:");
  LayAnswerEnd(l, StoreMime(c, number, LayMimePart, l));
  return known;
}

// The body's text, told once when only its first part shows.
struct BodyLayout {
  Layout* layout;
  unsigned long max;
  bool noticed;
};

void LayTooLargeNotice(void* ctx) {
  auto* b = static_cast<BodyLayout*>(ctx);
  if (b->noticed) return;
  b->noticed = true;
  char line[kDetailTextSize];
  snprintf(line, sizeof line, "Message too large, only displaying the first %lu bytes!", b->max);
  Lay(b->layout->pane, b->layout->dc, kStyleNotice, line);
}

void LayBodyText(void* ctx, const char* text) { LayText(static_cast<BodyLayout*>(ctx)->layout, text); }

void LayBody(Layout* l, StoreConnection* c, int number, bool sizeKnown, unsigned long bodyBytes) {
  Lay(l->pane, l->dc, kStyleBlank, "");
  Lay(l->pane, l->dc, kStyleHeading, "Message body:");
  unsigned long max = l->pane->inputs->maxBodySize;
  BodyLayout body = {l, max, false};
  // Without a size from this rendering the body may be of any length, so it
  // is fetched whole only when it is known to fit.
  bool whole = sizeKnown && bodyBytes <= max;
  if (!whole) {
    if (sizeKnown) LayTooLargeNotice(&body);
    if (max == 0) return;  // no byte wanted: nothing to ask the store for
  }
  // Whatever AINFO said and whatever the store then sends, no more than the
  // maximum body size is shown.
  BodyShow show = {LayBodyText, LayTooLargeNotice, &body, max};
  char reason[kReplyCapacity];
  int r = StoreShowBody(c, number, whole ? 0 : max, show, reason);
  if (r == kBodyBadEnd) Lay(l->pane, l->dc, kStyleTextError, "OOPS");
  if (r == kBodyRefused) Lay(l->pane, l->dc, kStyleError, reason);
  if (r == kBodyCut)
    Lay(l->pane, l->dc, kStyleError,
        "The rest of the body was not read; the connection to the server was closed.");
}

void LayMessage(Layout* l, StoreConnection* c, const DetailsInputs* in) {
  int number = in->messageNumber;
  bool sizeKnown = false;
  unsigned long bodyBytes = 0;
  if (in->viewFlags & kViewDetails) sizeKnown = LayMessageDetails(l, c, number, &bodyBytes);
  if (in->viewFlags & kViewHeader) {
    Lay(l->pane, l->dc, kStyleBlank, "");
    Lay(l->pane, l->dc, kStyleHeading, "Message header:");
    LayAnswerEnd(l, StoreHeader(c, number, LayText, l));
  }
  if (in->viewFlags & kViewBody) LayBody(l, c, number, sizeKnown, bodyBytes);
}

// A selection the store cannot be asked about: its heading and why.
void LayUnavailable(Layout* l, int kind, const char* why) {
  static const char* const kHeadings[] = {nullptr, "Server Capabilities",
                                          "User message-store information", "Mailbox information",
                                          nullptr};
  if (kind >= 0 && kind <= kSelectMessage && kHeadings[kind])
    Lay(l->pane, l->dc, kStyleHeading, kHeadings[kind]);
  Lay(l->pane, l->dc, kStyleError, why);
}

// Scroll bar of one direction: range is the content size, page the client
// size; a bar with nothing to scroll is shown disabled.
void SetBar(HWND w, int bar, int range, int page, int position) {
  SCROLLINFO si;
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = range > 0 ? range - 1 : 0;
  si.nPage = static_cast<UINT>(page > 0 ? page : 0);
  si.nPos = position;
  si.nTrackPos = 0;
  SetScrollInfo(w, bar, &si, TRUE);
}

void UpdateBars(DetailsPane* p) {
  SetBar(p->window, SB_HORZ, p->contentWidth, p->clientWidth, p->scrollX);
  SetBar(p->window, SB_VERT, p->contentHeight, p->clientHeight, p->scrollY);
}

void OnScroll(DetailsPane* p, int bar, int request) {
  bool horizontal = bar == SB_HORZ;
  int page = horizontal ? p->clientWidth : p->clientHeight;
  int range = horizontal ? p->contentWidth : p->contentHeight;
  int& position = horizontal ? p->scrollX : p->scrollY;
  int track = 0;
  if (request == SB_THUMBTRACK || request == SB_THUMBPOSITION) {
    SCROLLINFO si;
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(p->window, bar, &si);
    track = si.nTrackPos;
  }
  int target = ScrollTarget(request, position, page, range, track);
  if (target == position) return;
  RECT client;
  GetClientRect(p->window, &client);
  // The frame sits on the outermost pixels; only what is inside it moves.
  RECT strip = client;
  if (horizontal) {
    strip.right = strip.left + 1;
    InvalidateRect(p->window, &strip, FALSE);
    strip = client;
    strip.left = strip.right - 1;
  } else {
    strip.bottom = strip.top + 1;
    InvalidateRect(p->window, &strip, FALSE);
    strip = client;
    strip.top = strip.bottom - 1;
  }
  InvalidateRect(p->window, &strip, FALSE);
  SetScrollPos(p->window, bar, target, TRUE);
  RECT inner = {client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  int delta = position - target;
  position = target;
  ScrollWindowEx(p->window, horizontal ? delta : 0, horizontal ? 0 : delta, &inner, &inner,
                 nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
  UpdateWindow(p->window);
}

void OnSize(DetailsPane* p, int width, int height) {
  p->clientWidth = width;
  p->clientHeight = height;
  // Content that now fits goes back to the start; otherwise the position
  // may not leave empty space after the content's end.
  if (p->contentWidth <= width) p->scrollX = 0;
  else if (p->scrollX > p->contentWidth - width) p->scrollX = p->contentWidth - width;
  if (p->contentHeight <= height) p->scrollY = 0;
  else if (p->scrollY > p->contentHeight - height) p->scrollY = p->contentHeight - height;
  UpdateBars(p);
}

void DrawHorizontal(HDC dc, HPEN pen, int x0, int x1, int y) {
  if (!pen) return;
  SelectObject(dc, pen);
  MoveToEx(dc, x0, y, nullptr);
  LineTo(dc, x1, y);
}

void PaintLines(DetailsPane* p, HDC dc, const RECT& area, int width, int height) {
  int first = 0, last = -1;
  if (!VisibleLineRange(p->lines, p->count, area.top + p->scrollY, area.bottom + p->scrollY,
                        &first, &last))
    return;
  const DetailsInputs* in = p->inputs;
  int saved = SaveDC(dc);
  IntersectClipRect(dc, 1, 1, width - 1, height - 1);
  SetBkMode(dc, OPAQUE);
  for (int i = first; i <= last; ++i) {
    const DetailLine& line = p->lines[i];
    if (line.kind == kLineHeading) {
      int y = (line.top + line.bottom) / 2 - p->scrollY;
      DrawHorizontal(dc, in->highlightPen, 0, width, y);
      DrawHorizontal(dc, in->shadowPen, 0, width, y + 1);
    }
    if (line.font) SelectObject(dc, line.font);
    SetTextColor(dc, line.textColour);
    SetBkColor(dc, line.backColour);
    TabbedTextOutA(dc, line.left - p->scrollX, line.top - p->scrollY, line.text, line.length, 0,
                   nullptr, kMarginX - p->scrollX);
  }
  RestoreDC(dc, saved);
}

void PaintFrame(const DetailsInputs* in, HDC dc, int width, int height) {
  int saved = SaveDC(dc);
  if (in->shadowPen) {
    SelectObject(dc, in->shadowPen);
    MoveToEx(dc, 0, height - 1, nullptr);
    LineTo(dc, 0, 0);
    LineTo(dc, width, 0);
  }
  if (in->highlightPen) {
    SelectObject(dc, in->highlightPen);
    MoveToEx(dc, 1, height - 1, nullptr);
    LineTo(dc, width - 1, height - 1);
    MoveToEx(dc, width - 1, 0, nullptr);
    LineTo(dc, width - 1, height);
  }
  RestoreDC(dc, saved);
}

void OnPaint(DetailsPane* p) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(p->window, &ps);
  RECT client;
  GetClientRect(p->window, &client);
  if (p->inputs) {
    PaintLines(p, dc, ps.rcPaint, client.right, client.bottom);
    PaintFrame(p->inputs, dc, client.right, client.bottom);
  }
  EndPaint(p->window, &ps);
}

// The whole client area into a caller's device context (a snapshot).
void OnPrintClient(DetailsPane* p, HDC dc) {
  if (!p->inputs) return;
  RECT client;
  GetClientRect(p->window, &client);
  PaintLines(p, dc, client, client.right, client.bottom);
  PaintFrame(p->inputs, dc, client.right, client.bottom);
}

bool OnKey(DetailsPane* p, WPARAM key) {
  struct KeyScroll {
    WPARAM key;
    int bar, request;
  };
  static const KeyScroll kKeys[] = {
      {VK_UP, SB_VERT, SB_LINEUP},     {VK_DOWN, SB_VERT, SB_LINEDOWN},
      {VK_PRIOR, SB_VERT, SB_PAGEUP},  {VK_NEXT, SB_VERT, SB_PAGEDOWN},
      {VK_HOME, SB_VERT, SB_TOP},      {VK_END, SB_VERT, SB_BOTTOM},
      {VK_LEFT, SB_HORZ, SB_LINEUP},   {VK_RIGHT, SB_HORZ, SB_LINEDOWN},
  };
  for (const KeyScroll& k : kKeys) {
    if (k.key == key) {
      OnScroll(p, k.bar, k.request);
      return true;
    }
  }
  return false;
}

void OnWheel(DetailsPane* p, int delta) {
  int lines = delta / WHEEL_DELTA * kWheelLines;
  for (int i = 0; i < lines; ++i) OnScroll(p, SB_VERT, SB_LINEUP);
  for (int i = 0; i > lines; --i) OnScroll(p, SB_VERT, SB_LINEDOWN);
}

DetailsPane* OnCreate(HWND w, const CREATESTRUCTA* cs) {
  // Freed with its lines in OnDestroy.
  auto* p = static_cast<DetailsPane*>(calloc(1, sizeof(DetailsPane)));
  if (!p) return nullptr;
  p->window = w;
  p->inputs = static_cast<const DetailsInputs*>(cs->lpCreateParams);
  p->cursorX = kMarginX;
  p->cursorY = kMarginY;
  SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
  UpdateBars(p);
  return p;
}

void OnDestroy(HWND w, DetailsPane* p) {
  SetWindowLongPtrA(w, GWLP_USERDATA, 0);
  ClearDetailLines(p);
  free(p->lines);
  free(p);
}

LRESULT CALLBACK DetailsPaneProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  DetailsPane* p = GetDetailsPane(w);
  switch (msg) {
    case WM_CREATE:
      return OnCreate(w, reinterpret_cast<const CREATESTRUCTA*>(lp)) ? 0 : -1;
    case WM_NCDESTROY:
      if (p) OnDestroy(w, p);
      break;
    case WM_SIZE:
      if (p) OnSize(p, LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_PAINT:
      if (p) OnPaint(p);
      else ValidateRect(w, nullptr);
      return 0;
    case WM_PRINTCLIENT:
      if (p) OnPrintClient(p, reinterpret_cast<HDC>(wp));
      return 0;
    case WM_HSCROLL:
      if (p) OnScroll(p, SB_HORZ, LOWORD(wp));
      return 0;
    case WM_VSCROLL:
      if (p) OnScroll(p, SB_VERT, LOWORD(wp));
      return 0;
    case WM_KEYDOWN:
      if (p && OnKey(p, wp)) return 0;
      break;
    case WM_MOUSEWHEEL:
      if (p) OnWheel(p, GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(w);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

ATOM RegisterDetailsPaneClass(HINSTANCE instance) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DetailsPaneProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kDetailsPaneClass;
  return RegisterClassA(&wc);
}

HWND CreateDetailsPane(HWND parent, const DetailsInputs* inputs, bool visible) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL | (visible ? WS_VISIBLE : 0);
  return CreateWindowExA(0, kDetailsPaneClass, kDetailsPaneTitle, style, 0, 0, 0, 0, parent,
                         nullptr, GetModuleHandleA(nullptr), const_cast<DetailsInputs*>(inputs));
}

DetailsPane* GetDetailsPane(HWND pane) {
  return reinterpret_cast<DetailsPane*>(GetWindowLongPtrA(pane, GWLP_USERDATA));
}

int AddDetailLine(DetailsPane* p, HDC dc, HFONT font, COLORREF textColour, COLORREF backColour,
                  const char* text, int flags) {
  if (flags & kLineBreakOnly) {
    p->cursorX = kMarginX;
    p->cursorY += kBlankHeight;
    return -1;
  }
  if (p->count == p->capacity) {
    // Grows by at least 20 entries, faster for long bodies.
    int more = p->capacity / 2 > kGrowBy ? p->capacity / 2 : kGrowBy;
    auto* grown = static_cast<DetailLine*>(
        realloc(p->lines, static_cast<size_t>(p->capacity + more) * sizeof(DetailLine)));
    if (!grown) return -1;
    p->lines = grown;
    p->capacity += more;
  }
  size_t n = strlen(text);
  // Owned by the line; freed by ClearDetailLines.
  char* copy = static_cast<char*>(malloc(n + 1));
  if (!copy) return -1;
  memcpy(copy, text, n + 1);

  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICA tm;
  if (!GetTextMetricsA(dc, &tm)) tm.tmHeight = kBlankHeight;
  // The font's height even for an empty text, so blank body lines keep their row.
  int height = tm.tmHeight;
  int width = TabbedWidth(dc, text, static_cast<int>(n), 8 * (tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 1));
  if (old) SelectObject(dc, old);

  DetailLine& line = p->lines[p->count];
  line.kind = (flags & kLineIsHeading) ? kLineHeading : kLineText;
  line.font = font;
  line.textColour = textColour;
  line.backColour = backColour;
  line.text = copy;
  line.length = static_cast<int>(n);
  line.left = p->cursorX + ((flags & kIndent45) ? 45 : (flags & kIndent30) ? 30 : 0);
  line.top = p->cursorY;
  line.bottom = line.top + height;
  line.right = line.left + width;
  if (line.right + kContentPadRight > p->contentWidth)
    p->contentWidth = line.right + kContentPadRight;
  if (line.bottom + kContentPadBottom > p->contentHeight)
    p->contentHeight = line.bottom + kContentPadBottom;
  if (flags & (kLineIsHeading | kBreakAfter)) {
    p->cursorX = kMarginX;
    p->cursorY = line.bottom;
  } else {
    p->cursorX = line.right;
  }
  return p->count++;
}

void ClearDetailLines(DetailsPane* p) {
  for (int i = 0; i < p->count; ++i) free(p->lines[i].text);
  p->count = 0;
}

void RenderDetails(HWND pane) {
  DetailsPane* p = GetDetailsPane(pane);
  if (!p) return;
  ClearDetailLines(p);
  p->cursorX = kMarginX;
  p->cursorY = kMarginY;
  p->contentWidth = p->contentHeight = 0;
  p->scrollX = p->scrollY = 0;
  const DetailsInputs* in = p->inputs;
  StoreConnection* c = in ? in->connection : nullptr;
  if (c && in->unavailable) {
    Layout l = {p, GetDC(pane)};
    LayUnavailable(&l, in->selectionKind, in->unavailable);
    ReleaseDC(pane, l.dc);
  } else if (c) {
    Layout l = {p, GetDC(pane)};
    switch (in->selectionKind) {
      case kSelectServer:
        LayServer(&l, c);
        break;
      case kSelectUser:
        LayUser(&l, c);
        break;
      case kSelectMailbox:
        LayMailbox(&l, c);
        break;
      case kSelectMessage:
        LayMessage(&l, c, in);
        break;
      default:
        break;
    }
    ReleaseDC(pane, l.dc);
  }
  UpdateBars(p);
  InvalidateRect(pane, nullptr, TRUE);
  UpdateWindow(pane);
}
