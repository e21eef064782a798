#include "pilot.h"

#include <cstring>
#include <sstream>

namespace {

// Snapshot requests and replies: the numbers the main window answers.
const ULONG_PTR kSnapshotRequest = 0x5A534E31;
const ULONG_PTR kSnapshotReply = 0x5A534E32;
const char kReceiverClass[] = "ZelmPilotReceiver";

std::string* g_reply;

LRESULT CALLBACK ReceiverProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (data && data->dwData == kSnapshotReply && data->cbData > 0 && g_reply)
      g_reply->assign(static_cast<const char*>(data->lpData), data->cbData - 1);
    return TRUE;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

struct FindMain {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMainProc(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<FindMain*>(lp);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "ZELMShellClass") != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (f->pid && pid != f->pid) return TRUE;
  f->found = w;
  return FALSE;
}

struct FindDialog {
  DWORD pid;
  const char* title;
  HWND found;
};

BOOL CALLBACK FindDialogProc(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<FindDialog*>(lp);
  char cls[16] = {}, title[256] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (lstrcmpA(cls, "#32770") == 0 && lstrcmpA(title, f->title) == 0 && IsWindowVisible(w) &&
      (!f->pid || pid == f->pid)) {
    f->found = w;
    return FALSE;
  }
  return TRUE;
}

void Rest() { Sleep(50); }  // between two looks at another process

}  // namespace

bool PilotAttach(Pilot* p, DWORD pid, int timeoutMs) {
  p->pid = pid;
  DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
  for (;;) {
    FindMain f = {pid, nullptr};
    EnumWindows(FindMainProc, reinterpret_cast<LPARAM>(&f));
    if (f.found) {
      p->main = f.found;
      p->control = FindWindowExA(p->main, nullptr, "VORDANTREEVIEWCLASS", nullptr);
      if (p->control) {
        p->treePane = FindWindowExA(p->control, nullptr, "ListBox", "TV:Tree");
        p->itemPane = FindWindowExA(p->control, nullptr, "ListBox", "TV:Item");
      }
      if (p->treePane && p->itemPane) break;
    }
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Rest();
  }
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ReceiverProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kReceiverClass;
  RegisterClassA(&wc);
  p->receiver = CreateWindowExA(0, kReceiverClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  return p->receiver != nullptr;
}

void PilotDetach(Pilot* p) {
  if (p->receiver) DestroyWindow(p->receiver);
  p->receiver = nullptr;
}

std::string PilotSnapshot(Pilot* p) {
  std::string reply;
  g_reply = &reply;
  COPYDATASTRUCT ask = {kSnapshotRequest, 0, nullptr};
  DWORD_PTR result = 0;
  // The program may be waiting for its store; it answers once it is back.
  SendMessageTimeoutA(p->main, WM_COPYDATA, reinterpret_cast<WPARAM>(p->receiver),
                      reinterpret_cast<LPARAM>(&ask), SMTO_NORMAL, 5000, &result);
  g_reply = nullptr;
  return reply;
}

std::vector<std::string> PilotSection(const std::string& snapshot, const char* name) {
  std::vector<std::string> out;
  std::istringstream in(snapshot);
  std::string line, want = std::string("[") + name + "]";
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') {
      inside = line == want;
      continue;
    }
    if (inside) out.push_back(line);
  }
  return out;
}

bool PilotWaitFor(Pilot* p, const std::function<bool(const std::string&)>& done, int timeoutMs,
                  std::string* last) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
  for (;;) {
    std::string s = PilotSnapshot(p);
    if (last) *last = s;
    if (!s.empty() && done(s)) return true;
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Rest();
  }
}

bool PilotWaitForText(Pilot* p, const char* section, const std::string& line, int timeoutMs) {
  return PilotWaitFor(
      p,
      [&](const std::string& s) {
        for (const std::string& l : PilotSection(s, section))
          if (l == line) return true;
        return false;
      },
      timeoutMs);
}

int PilotTreeRow(const std::string& snapshot, const std::vector<std::string>& path) {
  std::vector<std::string> rows = PilotSection(snapshot, "tree");
  int at = 0;  // the root's row; each name is looked for among the rows below
  for (size_t depth = 1; depth <= path.size(); ++depth) {
    const std::string indent(depth * 2, ' ');
    int found = -1;
    for (size_t i = static_cast<size_t>(at) + 1; i < rows.size(); ++i) {
      const std::string& r = rows[i];
      size_t lead = r.find_first_not_of(' ');
      if (lead < indent.size()) break;  // past the parent's children
      if (lead != indent.size()) continue;
      std::string text = r.substr(lead);
      if (text.size() >= 2 && text.compare(text.size() - 2, 2, " *") == 0)
        text.resize(text.size() - 2);
      if (text == path[depth - 1]) {
        found = static_cast<int>(i);
        break;
      }
    }
    if (found < 0) return -1;
    at = found;
  }
  return at;
}

bool PilotClickRow(Pilot* p, HWND pane, int row) {
  int count = static_cast<int>(SendMessageA(pane, LB_GETCOUNT, 0, 0));
  if (row < 0 || row >= count) return false;
  SendMessageA(pane, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
  RECT r = {};
  if (SendMessageA(pane, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)) ==
      LB_ERR)
    return false;
  // Right of the picture, on the text.
  int x = r.left + 30 < r.right ? r.left + 30 : (r.left + r.right) / 2;
  int y = (r.top + r.bottom) / 2;
  PostMessageA(pane, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  PostMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  return true;
}

void PilotKey(HWND window, int vk) {
  PostMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
  PostMessageA(window, WM_KEYUP, static_cast<WPARAM>(vk), 0xC0000001);
}

bool PilotKeySync(HWND window, int vk, int timeoutMs) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, WM_KEYDOWN, static_cast<WPARAM>(vk), 1, SMTO_NORMAL,
                           static_cast<UINT>(timeoutMs), &result))
    return false;
  return SendMessageTimeoutA(window, WM_KEYUP, static_cast<WPARAM>(vk), 0xC0000001, SMTO_NORMAL,
                             static_cast<UINT>(timeoutMs), &result) != 0;
}

void PilotMenu(Pilot* p, int command) {
  PostMessageA(p->main, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

HWND PilotFindDialog(DWORD pid, const char* title, int timeoutMs) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
  for (;;) {
    FindDialog f = {pid, title, nullptr};
    EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&f));
    if (f.found) return f.found;
    if (static_cast<int>(end - GetTickCount()) <= 0) return nullptr;
    Rest();
  }
}

bool PilotClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) return false;
  RECT r;
  GetClientRect(button, &r);
  LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(button, WM_LBUTTONUP, 0, at);
  return true;
}

void PilotType(HWND window, const char* text) {
  for (const char* c = text; *c; ++c)
    PostMessageA(window, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(*c)), 1);
}

std::string PilotWindowText(HWND window) {
  char text[2048] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}
