// The host program's main window: the directory's containers as a tree on
// the left, the selected container's objects in a list on the right (several
// may be selected there), a menu bar and a status bar with the identity and
// the database. Commands act on the pane that had the focus last.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host_directory.h"

namespace zelm::host {

extern const char kMainTitle[];

// Registers the window class and creates the main window, hidden. The tree is
// filled by MainWindowReady once the snap-ins (which need the window) run.
HWND CreateMainWindow(HINSTANCE instance);
// Class icons from the snap-ins' class data, the tree from the root, and the
// object `select` selected (none: the root).
// firstPage: the page the next properties command shows first (once).
void MainWindowReady(HWND main, const std::string& select, const std::string& firstPage = "");
// The main window's keys (Insert, Delete, Enter, F5, Backspace); true when
// `msg` was one and has been carried out.
bool MainTranslate(HWND main, MSG* msg);
// Shows an object: its container in the tree and, for an object that is not
// a container, the object selected in the list, which gets the focus.
bool MainSelect(HWND main, const std::string& full);
// What the commands would act on now.
std::vector<DirEntry> MainTargets(HWND main);
// Rows of the list (own names) and the container it shows.
std::vector<std::string> MainListNames(HWND main);
std::string MainContainer(HWND main);
std::string MainStatusText(HWND main, int part);

}  // namespace zelm::host
