// What the administrator does to directory objects through the snap-ins:
// create (0x102), open the property sheet (0x103/0x104, pages applied with
// 0x521), apply a multi-selection page to each object (0x119), delete (0x107,
// then the directory client's remove).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host_directory.h"
#include "snapins.h"

namespace zelm::host {

// Classes the administrator may create in a container of class
// `containerClass` ("" for the root): registered procedures whose flags have
// QZX_CLASS_CREATES and whose class the schema allows there; one per class.
std::vector<ClassProc> CreatableIn(const std::string& containerClass);

// Runs the creation dialog of `proc` for `container` (full name, "" = root)
// until it stops asking for another; with answer 2 the new object's pages
// open. The last name a snap-in reported goes to *created. Answers the last
// result of 0x102.
int CreateObject(HWND owner, const std::string& container, const ClassProc& proc,
                 std::string* created);

// The objects a property sheet is for: one, or several of one class (then
// the procedures registered with selection mode 3 supply the pages).
struct SheetTarget {
  std::vector<std::string> names;
  std::string className;
  std::string firstPage;  // title of the page shown first ("&" ignored), else
  int firstIndex = 0;     // its position; only the page shown is made at first
};

// Opens the property sheet modeless and answers its window, or NULL with the
// reason in *problem (no pages, mixed classes, a sheet already open).
HWND OpenSheet(HWND owner, const SheetTarget& target, std::string* problem);
// Runs an open sheet until OK, Cancel or close, with the owner disabled
// meanwhile, then destroys it. Answers how many applies were accepted.
int RunSheet(HWND owner, HWND sheet);
// Destroys an open sheet (pages get WM_CLOSE).
void CloseSheet(HWND sheet);
// Open and run; problems are shown in a message box.
int ShowProperties(HWND owner, const SheetTarget& target);
HWND OpenSheetWindow();  // the sheet open now, or NULL

// Asks (once, unless confirm is false) and deletes each object: every
// procedure of its class gets 0x107 first and any -1 keeps the object.
// Problems are shown in one message box. Answers how many were deleted.
int DeleteObjects(HWND owner, const std::vector<DirEntry>& objects, bool confirm);

}  // namespace zelm::host
