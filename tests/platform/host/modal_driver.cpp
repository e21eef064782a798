#include "modal_driver.h"

#include <commctrl.h>

namespace {

thread_local ModalDriver* t_driver = nullptr;

bool IsMessageBox(HWND w) { return GetDlgItem(w, 0x0440) && GetDlgItem(w, 0xFFFF); }

bool IsTopDialog(HWND w) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0 && !(GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD);
}

std::string Caption(HWND w) {
  char text[256] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

}  // namespace

ModalDriver::ModalDriver() : previous_(t_driver) {
  t_driver = this;
  hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

ModalDriver::~ModalDriver() {
  UnhookWindowsHookEx(hook_);
  t_driver = previous_;
}

LRESULT CALLBACK ModalDriver::Hook(int code, WPARAM wParam, LPARAM lParam) {
  ModalDriver* self = t_driver;
  if (self && code == HCBT_CREATEWND) {
    HWND w = reinterpret_cast<HWND>(wParam);
    if (IsTopDialog(w)) {
      self->waiting_.push_back(w);
      SetTimer(nullptr, 0, 0, Tick);
    }
  }
  return CallNextHookEx(self ? self->hook_ : nullptr, code, wParam, lParam);
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ModalDriver* self = t_driver;
  if (!self || self->waiting_.empty()) return;
  HWND w = self->waiting_.front();
  self->waiting_.pop_front();
  if (!IsWindow(w) || IsMessageBox(w)) return;
  self->seen_.push_back(Caption(w));
  if (self->actions_.empty()) {
    self->unexpected_.push_back(Caption(w));
    PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  Action action = std::move(self->actions_.front());
  self->actions_.pop_front();
  action(w);
}

int FindListRow(HWND list, const char* label) {
  LVFINDINFOA find = {};
  find.flags = LVFI_STRING;
  find.psz = label;
  return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(&find)));
}

void SelectListViewRow(HWND list, int row) {
  LVITEMA none = {};
  none.stateMask = LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool PickRow(HWND dialog, int id, const char* label) {
  HWND list = GetDlgItem(dialog, id);
  int row = FindListRow(list, label);
  if (row < 0) return false;
  SelectListViewRow(list, row);
  return true;
}

std::vector<std::string> ListViewLabels(HWND list) {
  std::vector<std::string> out;
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char text[300] = {};
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    out.push_back(text);
  }
  return out;
}
