// Driving windows and dialogs from tests without real input: set text, click,
// select, send notifications, drain posted messages with a bound, and answer
// message boxes while recording what they said.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Runs posted and sent messages of this thread until none are left or
// maxMessages ran; returns how many ran.
int PumpMessages(int maxMessages = 10000);

void SetItemText(HWND dialog, int id, const char* text);
std::string ItemText(HWND dialog, int id);
std::string WindowText(HWND window);
// BM_CLICK: the button's own notification reaches its parent.
void ClickItem(HWND dialog, int id);
bool IsItemChecked(HWND dialog, int id);
bool IsItemEnabled(HWND dialog, int id);
// Selects a combo box or list box row and notifies the parent as a user
// selection would (CB_SETCURSEL/LB_SETCURSEL alone send nothing).
void SelectComboRow(HWND dialog, int id, int row);
void SelectListRow(HWND dialog, int id, int row);
// WM_COMMAND from control `id` with notification `code`.
void NotifyCommand(HWND dialog, int id, int code);

// Answers every message box shown on this thread while it lives, recording
// caption and text. Answers come from the queue, then `fallback`.
class MessageBoxInterceptor {
 public:
  explicit MessageBoxInterceptor(int fallback = IDOK);
  ~MessageBoxInterceptor();
  MessageBoxInterceptor(const MessageBoxInterceptor&) = delete;
  MessageBoxInterceptor& operator=(const MessageBoxInterceptor&) = delete;

  void QueueAnswer(int id) { answers_.push_back(id); }
  struct Box {
    std::string caption, text;
    int answer;
  };
  const std::vector<Box>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
  MessageBoxInterceptor* previous_;
  int fallback_;
  std::vector<int> answers_;
  std::vector<Box> boxes_;
};
