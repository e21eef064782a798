// Module-wide state of a snap-in: one instance per loaded library, shared by
// all its object procedures and pages. It belongs to the one object whose
// pages are open; no locks (everything runs on the host's UI thread).
#pragma once

#include <windows.h>

enum {
  kBrowseChars = 515,     // browse buffer and current object name, without the NUL
  kModuleFileChars = 12,  // current module file name ("SMTPAGNT.QMD"), without the NUL
};

struct SnapinState {
  HINSTANCE instance;   // this library, stored by its entry point
  HINSTANCE resources;  // dialogs and strings: the language library, or instance
  HWND hostWindow;      // the host's main window; owns modal dialogs outside pages
  int autoReload;       // tarq: tell the running server of changes (default on)
  // The object name picked in a browse dialog, or the full name of the
  // object just created or opened.
  char browse[kBrowseChars + 1];
  // Full name of the object whose pages are open.
  char currentObject[kBrowseChars + 1];
  // Its container with "." appended, derived when a page opens.
  char pageContainer[kBrowseChars + 2];
  char currentModule[kModuleFileChars + 1];
};

extern SnapinState g_snapin;

// Bounded setters: 1 when the whole text fitted, 0 when it was cut.
int SetBrowseText(const char* text);
// Stores the opened object's name (also into the browse buffer, as the host
// protocol wants) and derives the page container from it.
int SetCurrentObject(const char* name);
// Derives the page container from the current object name.
void DerivePageContainer();
int SetCurrentModule(const char* moduleFile);

// The resource module, falling back to the library itself before binding.
HINSTANCE ResourceModule();
