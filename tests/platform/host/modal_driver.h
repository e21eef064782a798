// Drives modal dialogs from a test: each top-level dialog created while the
// driver lives (message boxes aside: MessageBoxInterceptor answers those)
// gets the next queued action, run from the dialog's own message loop once
// it is up. A dialog nobody queued an action for is cancelled and recorded,
// so a wrong turn fails the test instead of hanging it.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ModalDriver {
 public:
  using Action = std::function<void(HWND dialog)>;
  ModalDriver();
  ~ModalDriver();
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  ModalDriver& Then(Action action) {
    actions_.push_back(std::move(action));
    return *this;
  }
  size_t Pending() const { return actions_.size(); }
  // Captions of the dialogs that were seen, in order.
  const std::vector<std::string>& Seen() const { return seen_; }
  const std::vector<std::string>& Unexpected() const { return unexpected_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
  HHOOK hook_;
  ModalDriver* previous_;
  std::deque<Action> actions_;
  std::deque<HWND> waiting_;
  std::vector<std::string> seen_;
  std::vector<std::string> unexpected_;
};

// Helpers for the host's browser and list views.
int FindListRow(HWND list, const char* label);
void SelectListViewRow(HWND list, int row);
// Selects the row labelled `label` in the dialog's list view `id`; false
// when there is none.
bool PickRow(HWND dialog, int id, const char* label);
std::vector<std::string> ListViewLabels(HWND list);
