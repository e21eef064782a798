#include "mved.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "flat_browser.h"
#include "host_text.h"
#include "hostext_ids.h"

namespace zelm::host {

namespace {

const char kEditProp[] = "ZelmMvedList";
constexpr UINT_PTR kEditSubclass = 0x4D56;
constexpr UINT_PTR kListSubclass = 0x4D57;
constexpr int kInnerListId = 1;
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeatMs = 400;
constexpr UINT kRepeatMs = 80;
constexpr int kMaxValues = 65535;  // the count handed out is 16-bit

// One multi-valued edit control: the "mvebbcontrol" window owns it (created
// in WM_NCCREATE, freed in WM_NCDESTROY). The values live in the inner list
// box, in order.
struct Mved {
  HWND self = nullptr;
  HWND inner = nullptr;  // the list box child
  HWND page = nullptr;
  HWND edit = nullptr;
  HWND spin = nullptr;
  int editId = 0, listId = 0;
  int mode = QZX_MVED_TYPED;
  int maxLength = 256;
  std::string title;
  std::string startContext;
  QZXMvedProc callback = nullptr;
  void* values = nullptr;  // the page's list, only handed back to callback
  bool joined = false;     // QZXCreateMved ran
  int editing = -1;        // value whose text is in the edit being changed
  bool filling = false;
};

// The arrows: "microscroll32" windows own one each.
struct Spin {
  HWND self = nullptr;
  HWND buddy = nullptr;
  int pressed = 0;  // -1 upper arrow, +1 lower arrow, 0 none
};

Mved* MvedOf(HWND w) { return reinterpret_cast<Mved*>(GetWindowLongPtrA(w, 0)); }
Spin* SpinOf(HWND w) { return reinterpret_cast<Spin*>(GetWindowLongPtrA(w, 0)); }

bool HasClass(HWND w, const char* name) {
  char cls[32] = {};
  return w && GetClassNameA(w, cls, sizeof cls) && lstrcmpiA(cls, name) == 0;
}

bool Editable(const Mved* m) { return m->joined && IsWindowEnabled(m->self); }

std::string WindowString(HWND w) {
  int n = GetWindowTextLengthA(w);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(w, &s[0], n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

int Count(const Mved* m) { return static_cast<int>(SendMessageA(m->inner, LB_GETCOUNT, 0, 0)); }
int Selected(const Mved* m) { return static_cast<int>(SendMessageA(m->inner, LB_GETCURSEL, 0, 0)); }

std::string ValueAt(const Mved* m, int i) {
  LRESULT n = SendMessageA(m->inner, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
  if (n == LB_ERR) return std::string();
  std::string s(static_cast<size_t>(n) + 1, '\0');
  SendMessageA(m->inner, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&s[0]));
  s.resize(static_cast<size_t>(n));
  return s;
}

int FindValue(const Mved* m, const std::string& v, int except) {
  for (int i = 0, n = Count(m); i < n; ++i)
    if (i != except && SameText(ValueAt(m, i), v)) return i;
  return -1;
}

void ShowSelected(Mved* m) {
  if (m->mode != QZX_MVED_BROWSED || !m->edit) return;
  int sel = Selected(m);
  SetWindowTextA(m->edit, sel >= 0 ? ValueAt(m, sel).c_str() : "");
}

void Select(Mved* m, int i) {
  SendMessageA(m->inner, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
  ShowSelected(m);
}

// Tells the page: as its own fields do (0x520), and as a control does.
void Changed(Mved* m) {
  if (m->filling || !m->page) return;
  SendMessageA(m->page, QZX_PAGE_CHANGED, reinterpret_cast<WPARAM>(m->page),
               QZX_PAGE_CHANGED_LPARAM);
  SendMessageA(m->page, WM_COMMAND, MAKEWPARAM(m->listId, QZX_MVN_CHANGED),
               reinterpret_cast<LPARAM>(m->self));
}

void Tell(Mved* m, const std::string& text) {
  MessageBoxA(m->page ? m->page : m->self, text.c_str(),
              m->title.empty() ? "Values" : m->title.c_str(), MB_OK | MB_ICONWARNING);
}

// Puts a value at `index` (replacing it) or, with -1, after the others.
// A duplicate is refused (quietly when asked: it is there already).
bool Store(Mved* m, int index, const std::string& v, bool quietDuplicate) {
  if (v.empty()) return false;
  if (static_cast<int>(v.size()) > m->maxLength) {
    char text[96];
    std::snprintf(text, sizeof text, "A value can hold at most %d characters.", m->maxLength);
    Tell(m, text);
    return false;
  }
  int same = FindValue(m, v, index);
  if (same >= 0) {
    Select(m, same);
    if (!quietDuplicate) Tell(m, "\"" + v + "\" is in the list already.");
    return quietDuplicate;
  }
  if (index < 0 && Count(m) >= kMaxValues) {
    Tell(m, "The list cannot hold more values.");
    return false;
  }
  int at;
  if (index < 0) {
    at = static_cast<int>(SendMessageA(m->inner, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(v.c_str())));
  } else {
    if (ValueAt(m, index) == v) {
      Select(m, index);
      return true;
    }
    SendMessageA(m->inner, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    at = static_cast<int>(SendMessageA(m->inner, LB_INSERTSTRING, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(v.c_str())));
  }
  if (at < 0) return false;
  Select(m, at);
  Changed(m);
  return true;
}

void CancelEdit(Mved* m) {
  m->editing = -1;
  if (m->mode == QZX_MVED_TYPED && m->edit) SetWindowTextA(m->edit, "");
}

// Enters what was typed: replaces the value being changed, or adds.
bool CommitEdit(Mved* m, bool quietDuplicate) {
  if (m->mode != QZX_MVED_TYPED || !m->edit) return true;
  std::string text = WindowString(m->edit);
  if (text.empty()) {
    m->editing = -1;
    return true;
  }
  if (!Store(m, m->editing, text, quietDuplicate)) return false;
  CancelEdit(m);
  return true;
}

void Remove(Mved* m) {
  int sel = Selected(m);
  if (sel < 0 || !Editable(m)) {
    MessageBeep(MB_OK);
    return;
  }
  if (m->editing == sel) CancelEdit(m);
  if (m->editing > sel) --m->editing;
  SendMessageA(m->inner, LB_DELETESTRING, static_cast<WPARAM>(sel), 0);
  int n = Count(m);
  if (n > 0) {
    Select(m, sel < n ? sel : n - 1);
  } else {
    ShowSelected(m);
  }
  Changed(m);
}

void Move(Mved* m, int delta) {
  int sel = Selected(m);
  int to = sel + delta;
  if (sel < 0 || to < 0 || to >= Count(m) || !Editable(m)) {
    MessageBeep(MB_OK);
    return;
  }
  std::string v = ValueAt(m, sel);
  SendMessageA(m->inner, LB_DELETESTRING, static_cast<WPARAM>(sel), 0);
  SendMessageA(m->inner, LB_INSERTSTRING, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(v.c_str()));
  if (m->editing == sel) {
    m->editing = to;
  } else if (m->editing == to) {
    m->editing = sel;
  }
  Select(m, to);
  Changed(m);
}

// Browse mode: picks a directory object (of the callback's classes) into
// `replace`, or adds it with -1.
void Browse(Mved* m, int replace) {
  BrowseRequest r;
  r.kind = kBrowseDirectory;
  r.owner = GetAncestor(m->self, GA_ROOT);
  r.start = NormalizeContext(m->startContext.c_str());
  r.title = m->title;
  r.flags = QZX_BROWSE_SINGLE;
  if (m->callback) {
    int32_t n = 0;
    m->callback(m->values, QZX_BROWSE_FILTER_COUNT, reinterpret_cast<intptr_t>(&n), 0);
    for (int32_t i = 0; i < n && i < QZX_MAX_FILTERS; ++i) {
      QZXObjectRecord record = {};
      m->callback(m->values, QZX_BROWSE_FILTER, i, reinterpret_cast<intptr_t>(&record));
      record.className[QZX_CLASS_NAME_BYTES - 1] = '\0';
      if (record.className[0]) r.filters.push_back(record.className);
    }
  }
  BrowseResult picked;
  if (RunBrowser(r, &picked) == 0) Store(m, replace, picked.key, false);
}

void Add(Mved* m) {
  if (!Editable(m)) return;
  if (m->mode == QZX_MVED_BROWSED) {
    Browse(m, -1);
    return;
  }
  if (m->editing >= 0) CancelEdit(m);
  if (m->edit && GetWindowTextLengthA(m->edit) > 0) {
    CommitEdit(m, false);
  } else if (m->edit) {
    SetFocus(m->edit);
  }
}

void StartEdit(Mved* m, int index) {
  if (!Editable(m) || index < 0 || index >= Count(m)) return;
  if (m->mode == QZX_MVED_BROWSED) {
    Select(m, index);
    Browse(m, index);
    return;
  }
  if (!m->edit) return;
  m->editing = index;
  Select(m, index);
  SetWindowTextA(m->edit, ValueAt(m, index).c_str());
  SetFocus(m->edit);
  SendMessageA(m->edit, EM_SETSEL, 0, -1);
}

void Command(Mved* m, int id) {
  switch (id) {
    case IDM_MVED_ADD: Add(m); break;
    case IDM_MVED_EDIT: StartEdit(m, Selected(m)); break;
    case IDM_MVED_REMOVE: Remove(m); break;
    case IDM_MVED_UP: Move(m, -1); break;
    case IDM_MVED_DOWN: Move(m, +1); break;
  }
}

void ContextMenu(Mved* m, LPARAM where) {
  POINT pt = {static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  int sel = Selected(m);
  if (where == static_cast<LPARAM>(-1)) {  // from the keyboard: beside the selection
    RECT rc = {};
    if (sel < 0 || SendMessageA(m->inner, LB_GETITEMRECT, static_cast<WPARAM>(sel),
                                reinterpret_cast<LPARAM>(&rc)) == LB_ERR)
      GetClientRect(m->inner, &rc);
    pt.x = rc.left + 8;
    pt.y = rc.bottom;
    ClientToScreen(m->inner, &pt);
  }
  bool on = Editable(m);
  UINT some = (on && sel >= 0) ? MF_ENABLED : MF_GRAYED;
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, on ? MF_ENABLED : MF_GRAYED, IDM_MVED_ADD,
              m->mode == QZX_MVED_BROWSED ? "&Add...\tIns" : "&Add\tIns");
  AppendMenuA(menu, some, IDM_MVED_EDIT, m->mode == QZX_MVED_BROWSED ? "&Change...\tF2" : "&Change\tF2");
  AppendMenuA(menu, some, IDM_MVED_REMOVE, "&Remove\tDel");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, (on && sel > 0) ? MF_ENABLED : MF_GRAYED, IDM_MVED_UP, "Move &Up\tCtrl+Up");
  AppendMenuA(menu, (on && sel >= 0 && sel + 1 < Count(m)) ? MF_ENABLED : MF_GRAYED, IDM_MVED_DOWN,
              "Move &Down\tCtrl+Down");
  int id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, pt.x, pt.y, 0,
                          m->self, nullptr);
  DestroyMenu(menu);
  if (id) Command(m, id);
}

void Fill(Mved* m) {
  m->filling = true;
  SendMessageA(m->inner, LB_RESETCONTENT, 0, 0);
  m->editing = -1;
  if (m->callback) {
    int32_t n = 0;
    m->callback(m->values, QZX_MVED_READ, reinterpret_cast<intptr_t>(&n), 0);
    if (n > kMaxValues) n = kMaxValues;
    std::vector<char> buffer(QZX_VALUE_BYTES);
    for (int32_t i = 0; i < n; ++i) {
      std::fill(buffer.begin(), buffer.end(), '\0');
      m->callback(m->values, QZX_MVED_VALUE, i, reinterpret_cast<intptr_t>(buffer.data()));
      buffer.back() = '\0';
      if (buffer[0]) SendMessageA(m->inner, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(buffer.data()));
    }
  }
  ShowSelected(m);
  m->filling = false;
}

bool WantsKey(const Mved* m, WPARAM key) {
  if (!Editable(m)) return false;
  if (key == VK_RETURN)
    return m->mode == QZX_MVED_BROWSED || m->editing >= 0 || GetWindowTextLengthA(m->edit) > 0;
  if (key == VK_ESCAPE) return m->mode == QZX_MVED_TYPED && m->editing >= 0;
  return false;
}

LRESULT CALLBACK EditProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  HWND self = reinterpret_cast<HWND>(ref);
  Mved* m = (IsWindow(self) && HasClass(self, QZX_MVED_CLASS)) ? MvedOf(self) : nullptr;
  switch (msg) {
    case WM_GETDLGCODE: {
      LRESULT code = DefSubclassProc(w, msg, wp, lp);
      const MSG* key = reinterpret_cast<const MSG*>(lp);
      if (m && key && key->message == WM_KEYDOWN && WantsKey(m, key->wParam)) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      if (m && WantsKey(m, wp)) {
        if (wp == VK_ESCAPE) {
          CancelEdit(m);
        } else if (m->mode == QZX_MVED_BROWSED) {
          Browse(m, -1);
        } else {
          CommitEdit(m, false);
        }
        return 0;
      }
      break;
    case WM_CHAR:
      if (m && m->joined && (wp == '\r' || wp == 0x1B)) return 0;
      break;
    case WM_LBUTTONDBLCLK:
      if (m && m->mode == QZX_MVED_BROWSED && Editable(m)) {
        Browse(m, -1);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(w, EditProc, id);
      RemovePropA(w, kEditProp);
      break;
  }
  return DefSubclassProc(w, msg, wp, lp);
}

LRESULT CALLBACK InnerListProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  Mved* m = MvedOf(reinterpret_cast<HWND>(ref));
  switch (msg) {
    case WM_KEYDOWN: {
      bool ctrl = GetKeyState(VK_CONTROL) < 0;
      if (wp == VK_DELETE) {
        Remove(m);
        return 0;
      }
      if (wp == VK_INSERT) {
        Add(m);
        return 0;
      }
      if (wp == VK_F2) {
        StartEdit(m, Selected(m));
        return 0;
      }
      if (ctrl && (wp == VK_UP || wp == VK_DOWN)) {
        Move(m, wp == VK_UP ? -1 : +1);
        return 0;
      }
      break;
    }
    case WM_LBUTTONDBLCLK: {
      LRESULT hit = SendMessageA(w, LB_ITEMFROMPOINT, 0, lp);
      if (HIWORD(hit) || LOWORD(hit) >= Count(m)) {
        Add(m);
      } else {
        StartEdit(m, LOWORD(hit));
      }
      return 0;
    }
    case WM_CONTEXTMENU:
      ContextMenu(m, lp);
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(w, InnerListProc, id);
      break;
  }
  return DefSubclassProc(w, msg, wp, lp);
}

LRESULT OnMvedCreate(HWND w, const CREATESTRUCTA* cs) {
  Mved* m = MvedOf(w);
  bool border = (cs->style & WS_BORDER) || (cs->dwExStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  m->inner = CreateWindowExA(border ? 0 : WS_EX_CLIENTEDGE, "LISTBOX", "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
                                 LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                             0, 0, cs->cx, cs->cy, w,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kInnerListId)),
                             cs->hInstance, nullptr);
  if (!m->inner) return -1;
  SetWindowSubclass(m->inner, InnerListProc, kListSubclass, reinterpret_cast<DWORD_PTR>(w));
  if (cs->style & WS_DISABLED) EnableWindow(m->inner, FALSE);
  return 0;
}

void OnMvedDestroy(HWND w) {
  Mved* m = MvedOf(w);
  if (!m) return;
  if (m->edit && IsWindow(m->edit) && GetPropA(m->edit, kEditProp) == w) {
    RemoveWindowSubclass(m->edit, EditProc, kEditSubclass);
    RemovePropA(m->edit, kEditProp);
  }
  if (m->spin && IsWindow(m->spin) && HasClass(m->spin, QZX_SPIN_CLASS))
    SendMessageA(m->spin, MSM_SETBUDDY, 0, 0);
  SetWindowLongPtrA(w, 0, 0);
  delete m;
}

LRESULT CALLBACK MvedProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  Mved* m = MvedOf(w);
  switch (msg) {
    case WM_NCCREATE: {
      m = new Mved();  // freed in WM_NCDESTROY (OnMvedDestroy)
      m->self = w;
      SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(m));
      // Tab moves into the inner list as into any control of the page.
      SetWindowLongPtrA(w, GWL_EXSTYLE, GetWindowLongPtrA(w, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      break;
    }
    case WM_CREATE: return OnMvedCreate(w, reinterpret_cast<const CREATESTRUCTA*>(lp));
    case WM_NCDESTROY:
      OnMvedDestroy(w);
      return DefWindowProcA(w, msg, wp, lp);
  }
  if (!m || !m->inner) return DefWindowProcA(w, msg, wp, lp);
  switch (msg) {
    case WM_SIZE: MoveWindow(m->inner, 0, 0, LOWORD(lp), HIWORD(lp), TRUE); return 0;
    case WM_SETFONT: SendMessageA(m->inner, WM_SETFONT, wp, lp); return 0;
    case WM_GETFONT: return SendMessageA(m->inner, WM_GETFONT, 0, 0);
    case WM_SETFOCUS: SetFocus(m->inner); return 0;
    case WM_ENABLE: EnableWindow(m->inner, static_cast<BOOL>(wp)); return 0;
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lp) == m->inner) {
        if (HIWORD(wp) == LBN_SELCHANGE) ShowSelected(m);
      } else if (lp == 0) {
        Command(m, LOWORD(wp));
      }
      return 0;
    case MVM_STEP: Move(m, static_cast<int>(static_cast<INT_PTR>(wp))); return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

void SpinStep(Spin* s, int delta) {
  if (s->buddy && IsWindow(s->buddy)) {
    SendMessageA(s->buddy, MVM_STEP, static_cast<WPARAM>(static_cast<INT_PTR>(delta)), 0);
  } else {
    SendMessageA(GetParent(s->self), WM_VSCROLL,
                 MAKEWPARAM(delta < 0 ? SB_LINEUP : SB_LINEDOWN, 0),
                 reinterpret_cast<LPARAM>(s->self));
  }
}

int SpinHalf(HWND w, int y) {
  RECT rc;
  GetClientRect(w, &rc);
  return y < (rc.bottom - rc.top) / 2 ? -1 : +1;
}

void SpinRelease(Spin* s) {
  if (!s->pressed) return;
  s->pressed = 0;
  KillTimer(s->self, kRepeatTimer);
  if (GetCapture() == s->self) ReleaseCapture();
  InvalidateRect(s->self, nullptr, FALSE);
}

void SpinPaint(Spin* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s->self, &ps);
  RECT rc;
  GetClientRect(s->self, &rc);
  RECT top = rc, bottom = rc;
  top.bottom = bottom.top = (rc.top + rc.bottom) / 2;
  UINT off = IsWindowEnabled(s->self) ? 0 : DFCS_INACTIVE;
  DrawFrameControl(dc, &top, DFC_SCROLL, DFCS_SCROLLUP | off | (s->pressed < 0 ? DFCS_PUSHED : 0));
  DrawFrameControl(dc, &bottom, DFC_SCROLL,
                   DFCS_SCROLLDOWN | off | (s->pressed > 0 ? DFCS_PUSHED : 0));
  EndPaint(s->self, &ps);
}

LRESULT CALLBACK SpinProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  Spin* s = SpinOf(w);
  switch (msg) {
    case WM_NCCREATE:
      s = new Spin();  // freed in WM_NCDESTROY
      s->self = w;
      SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(s));
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrA(w, 0, 0);
      delete s;
      return DefWindowProcA(w, msg, wp, lp);
  }
  if (!s) return DefWindowProcA(w, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: SpinPaint(s); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!IsWindowEnabled(w)) return 0;
      s->pressed = SpinHalf(w, static_cast<short>(HIWORD(lp)));
      SetCapture(w);
      InvalidateRect(w, nullptr, FALSE);
      SpinStep(s, s->pressed);
      SetTimer(w, kRepeatTimer, kFirstRepeatMs, nullptr);
      return 0;
    case WM_TIMER:
      if (wp == kRepeatTimer && s->pressed) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(w, &pt);
        RECT rc;
        GetClientRect(w, &rc);
        if (PtInRect(&rc, pt) && SpinHalf(w, pt.y) == s->pressed) SpinStep(s, s->pressed);
        SetTimer(w, kRepeatTimer, kRepeatMs, nullptr);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      SpinRelease(s);
      return 0;
    case WM_ENABLE:
      if (!wp) SpinRelease(s);
      InvalidateRect(w, nullptr, FALSE);
      return 0;
    case MSM_SETBUDDY: s->buddy = reinterpret_cast<HWND>(lp); return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

Mved* Find(HWND page, int editId) {
  HWND edit = IsWindow(page) ? GetDlgItem(page, editId) : nullptr;
  HWND list = edit ? static_cast<HWND>(GetPropA(edit, kEditProp)) : nullptr;
  if (!list || !IsWindow(list) || !HasClass(list, QZX_MVED_CLASS)) return nullptr;
  Mved* m = MvedOf(list);
  return (m && m->joined && m->edit == edit) ? m : nullptr;
}

}  // namespace

bool RegisterMvedClasses(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpfnWndProc = MvedProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = QZX_MVED_CLASS;
  bool ok = RegisterClassA(&wc) != 0;
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = SpinProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = QZX_SPIN_CLASS;
  return RegisterClassA(&wc) != 0 && ok;
}

void UnregisterMvedClasses(HINSTANCE instance) {
  UnregisterClassA(QZX_MVED_CLASS, instance);
  UnregisterClassA(QZX_SPIN_CLASS, instance);
}

int CreateMved(HWND page, void* list, int editId, int spinId, int listId, int mode,
               int maxLength, const char* title, const char* startContext,
               QZXMvedProc callback) {
  if (!IsWindow(page) || (mode != QZX_MVED_TYPED && mode != QZX_MVED_BROWSED)) return -1;
  HWND edit = GetDlgItem(page, editId);
  HWND listWindow = GetDlgItem(page, listId);
  if (!edit || !HasClass(listWindow, QZX_MVED_CLASS)) return -1;
  Mved* m = MvedOf(listWindow);
  if (!m || !m->inner) return -1;
  if (m->edit && m->edit != edit && IsWindow(m->edit)) {
    RemoveWindowSubclass(m->edit, EditProc, kEditSubclass);
    RemovePropA(m->edit, kEditProp);
  }
  m->page = page;
  m->edit = edit;
  m->editId = editId;
  m->listId = listId;
  m->mode = mode;
  m->maxLength = maxLength < 1 ? 256 : (maxLength > QZX_VALUE_BYTES - 1 ? QZX_VALUE_BYTES - 1 : maxLength);
  m->title = title ? std::string(title).substr(0, QZX_TITLE_BYTES - 1) : std::string();
  m->startContext = startContext ? startContext : "";
  m->callback = callback;
  m->values = list;
  m->spin = spinId ? GetDlgItem(page, spinId) : nullptr;
  if (m->spin && HasClass(m->spin, QZX_SPIN_CLASS))
    SendMessageA(m->spin, MSM_SETBUDDY, 0, reinterpret_cast<LPARAM>(listWindow));
  SetPropA(edit, kEditProp, listWindow);
  SetWindowSubclass(edit, EditProc, kEditSubclass, reinterpret_cast<DWORD_PTR>(listWindow));
  SendMessageA(edit, EM_SETREADONLY, mode == QZX_MVED_BROWSED, 0);
  SendMessageA(edit, EM_LIMITTEXT, mode == QZX_MVED_TYPED ? m->maxLength : 0, 0);
  if (GetWindowTextLengthA(edit) > 0) SetWindowTextA(edit, "");
  m->joined = true;
  Fill(m);
  return 0;
}

int MvedCount(HWND page, int editId, uint16_t* count) {
  Mved* m = Find(page, editId);
  if (!m || !count) return -1;
  if (Editable(m)) CommitEdit(m, true);
  *count = static_cast<uint16_t>(Count(m));
  return 0;
}

int MvedValue(HWND page, int editId, uint16_t index, int32_t length, char* buffer) {
  Mved* m = Find(page, editId);
  if (!m || !buffer || length <= 0 || index >= Count(m)) return -1;
  std::string v = ValueAt(m, index);
  size_t n = v.size() < static_cast<size_t>(length) ? v.size() : static_cast<size_t>(length) - 1;
  memcpy(buffer, v.data(), n);
  buffer[n] = '\0';
  return n < v.size() ? -2 : 0;
}

}  // namespace zelm::host
