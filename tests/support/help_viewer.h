// Takes the help a page asks for: WinHelp hands each request to the window
// of class "MS_WINHELP" in a WM_COPYDATA, so this window stands where the
// help viewer would and records command, context and file of each. WinHelp
// looks the window up across the whole Wine desktop: the suites using it take
// turns on the desktop (see cmake/ZelmTests.cmake).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class HelpViewer {
 public:
  HelpViewer() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MS_WINHELP";
    RegisterClassA(&wc);
    current_ = this;
    window_ = CreateWindowExA(0, "MS_WINHELP", "help", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  }
  ~HelpViewer() {
    DestroyWindow(window_);
    current_ = nullptr;
  }
  HelpViewer(const HelpViewer&) = delete;
  HelpViewer& operator=(const HelpViewer&) = delete;

  struct Request {
    unsigned command;
    long context;
    std::string file;
  };
  std::vector<Request> requests;
  std::vector<long> contexts;  // the contexts alone, in the same order

 private:
  // The help request as WinHelp packs it.
  struct Packed {
    WORD size, command;
    LONG data, reserved;
    WORD fileAt, dataAt;
  };
  static LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && current_) {
      const COPYDATASTRUCT* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const Packed* p = static_cast<const Packed*>(copy->lpData);
      if (p && copy->cbData >= sizeof(Packed)) {
        std::string file = p->fileAt ? reinterpret_cast<const char*>(p) + p->fileAt : "";
        current_->requests.push_back({p->command, p->data, file});
        current_->contexts.push_back(p->data);
      }
      return TRUE;
    }
    return DefWindowProcA(w, message, wParam, lParam);
  }
  inline static HelpViewer* current_ = nullptr;
  HWND window_;
};
