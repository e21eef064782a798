// Acts on a modal dialog of this thread while its own message loop runs: a
// thread timer looks for the visible dialog with the given title and runs the
// action once; whatever the action leaves open is cancelled, so a test never
// hangs on a dialog.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class ModalAction {
 public:
  ModalAction(const char* title, std::function<void(HWND)> action) {
    Current() = this;
    title_ = title;
    action_ = std::move(action);
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  ~ModalAction() {
    if (timer_) KillTimer(nullptr, timer_);
    if (Current() == this) Current() = nullptr;
  }
  ModalAction(const ModalAction&) = delete;
  ModalAction& operator=(const ModalAction&) = delete;

  bool Ran() const { return ran_; }

 private:
  static ModalAction*& Current() {
    static ModalAction* current = nullptr;
    return current;
  }
  static BOOL CALLBACK Find(HWND w, LPARAM lp) {
    auto* self = reinterpret_cast<ModalAction*>(lp);
    char cls[16] = {}, title[128] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (lstrcmpA(cls, "#32770") == 0 && self->title_ == title && IsWindowVisible(w)) {
      self->dialog_ = w;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalAction* self = Current();
    if (!self || self->ran_) return;
    self->dialog_ = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Find, reinterpret_cast<LPARAM>(self));
    HWND dialog = self->dialog_;
    if (!dialog) return;
    KillTimer(nullptr, self->timer_);
    self->timer_ = 0;
    self->ran_ = true;
    self->action_(dialog);
    if (IsWindow(dialog) && IsWindowVisible(dialog))
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }

  std::string title_;
  std::function<void(HWND)> action_;
  UINT_PTR timer_ = 0;
  HWND dialog_ = nullptr;
  bool ran_ = false;
};
