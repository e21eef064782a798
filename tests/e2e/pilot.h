// Drives a running zelmsh.exe from another process as a user would: finds
// its windows, clicks tree and list rows with the mouse, presses keys,
// answers its dialogs, and reads what the window shows through the snapshot
// the main window answers (WM_COPYDATA).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct Pilot {
  DWORD pid = 0;          // the program's process; 0 takes any
  HWND main = nullptr;    // "ZELMShellClass"
  HWND control = nullptr; // the tree control
  HWND treePane = nullptr, itemPane = nullptr;
  HWND receiver = nullptr;  // ours: receives the snapshot
};

// Waits (bounded) for the main window of the process and its panes.
bool PilotAttach(Pilot* p, DWORD pid, int timeoutMs);
void PilotDetach(Pilot* p);

// The main window's text picture; empty when it did not answer in time.
std::string PilotSnapshot(Pilot* p);
// One section ("tree", "list", "details", "status", "error") of a snapshot.
std::vector<std::string> PilotSection(const std::string& snapshot, const char* name);
// Polls the snapshot until `done` holds; the last snapshot is left in *last.
bool PilotWaitFor(Pilot* p, const std::function<bool(const std::string&)>& done, int timeoutMs,
                  std::string* last = nullptr);
bool PilotWaitForText(Pilot* p, const char* section, const std::string& line, int timeoutMs);

// The tree row of an item named by its path below the root ({host, user,
// mailbox}); -1 when the tree has no such item. Rows are the snapshot's tree
// lines (nothing is collapsed while the pilot drives).
int PilotTreeRow(const std::string& snapshot, const std::vector<std::string>& path);

// A left click (button down and up) in the middle of a pane's row, scrolled
// into view first as the user would.
bool PilotClickRow(Pilot* p, HWND pane, int row);
// A key pressed (down and up) in a window, posted; Sync waits until the
// program handled it (false when it did not within timeoutMs, for example
// because a dialog opened).
void PilotKey(HWND window, int vk);
bool PilotKeySync(HWND window, int vk, int timeoutMs);
// A menu command as choosing the item sends it.
void PilotMenu(Pilot* p, int command);

// The visible dialog of the process with that title, waited for.
HWND PilotFindDialog(DWORD pid, const char* title, int timeoutMs);
// Clicks a dialog's button with the mouse.
bool PilotClickButton(HWND dialog, int id);
// Types text into a window character by character.
void PilotType(HWND window, const char* text);
std::string PilotWindowText(HWND window);
