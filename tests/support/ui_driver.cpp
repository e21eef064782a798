#include "ui_driver.h"

namespace {

thread_local MessageBoxInterceptor* t_interceptor = nullptr;

// A message box is a dialog with the system's icon (0x0440) and text (0xFFFF)
// controls; the application's own dialogs never carry both.
bool IsMessageBox(HWND w) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0 && GetDlgItem(w, 0x0440) && GetDlgItem(w, 0xFFFF);
}

}  // namespace

int PumpMessages(int maxMessages) {
  MSG msg;
  int n = 0;
  while (n < maxMessages && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++n;
  }
  return n;
}

void SetItemText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

std::string WindowText(HWND window) {
  int n = GetWindowTextLengthA(window);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  GetWindowTextA(window, &s[0], n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void ClickItem(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool IsItemChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool IsItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void NotifyCommand(HWND dialog, int id, int code) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SelectComboRow(HWND dialog, int id, int row) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
  NotifyCommand(dialog, id, CBN_SELCHANGE);
}

void SelectListRow(HWND dialog, int id, int row) {
  SendDlgItemMessageA(dialog, id, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  NotifyCommand(dialog, id, LBN_SELCHANGE);
}

MessageBoxInterceptor::MessageBoxInterceptor(int fallback)
    : previous_(t_interceptor), fallback_(fallback) {
  t_interceptor = this;
  hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

MessageBoxInterceptor::~MessageBoxInterceptor() {
  UnhookWindowsHookEx(hook_);
  t_interceptor = previous_;
}

LRESULT CALLBACK MessageBoxInterceptor::Hook(int code, WPARAM wParam, LPARAM lParam) {
  MessageBoxInterceptor* self = t_interceptor;
  if (code == HCBT_ACTIVATE && self) {
    HWND w = reinterpret_cast<HWND>(wParam);
    // Wine runs this hook in the thread that activates, which may be handing
    // activation to another test process's box on the shared desktop.
    if (IsMessageBox(w) && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId()) {
      int answer = self->fallback_;
      if (!self->answers_.empty()) {
        answer = self->answers_.front();
        self->answers_.erase(self->answers_.begin());
      }
      self->boxes_.push_back({WindowText(w), WindowText(GetDlgItem(w, 0xFFFF)), answer});
      PostMessageA(w, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(self ? self->hook_ : nullptr, code, wParam, lParam);
}
