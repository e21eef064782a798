// The main window's own commands beyond browsing: "Save log..." (24334),
// "Find..." (108), "About..." (112) and "Repair..." (102), with their dialogs.
#pragma once

#include "main_window.h"

extern const char kFindTemplate[];   // "FindMessage"
extern const char kAboutTemplate[];  // "About"

// Save log: asks for a file with the common save dialog and writes the
// details pane's lines to it.
void RunSaveLogCommand(MainWindow* m);
// Writes the pane's lines as text to path; a failure is shown in a message
// box (owned by owner). True when the file was written.
bool SaveDetailsLog(HWND owner, HWND detailsPane, const char* path);

// Find: again (F3) looks for the text found last without asking, when there
// is one; otherwise the find dialog asks for it first.
void RunFindCommand(MainWindow* m, bool again);
// The next message whose list text contains m->findText, after the selected
// one and around; selects it as a click would. False, with "not found" in
// the status bar, when none does.
bool FindNextMessage(MainWindow* m);
// The dialog; text (kFindTextSize bytes) comes in as the start and goes out
// as typed. 1 for Find Next, 0 for Cancel.
INT_PTR RunFindDialog(HWND owner, char* text);

// About: the program's name and version.
void RunAboutDialog(HWND owner);
// "1.0.0" from the running program's version resource; false without one.
bool ProgramVersion(char* out, size_t capacity);

// Repair: the type dialog, then the progress dialog running the store's
// repair command on the selected server's connection.
void RunRepairCommand(MainWindow* m);
