// What the parts of hostext32.dll share: the module, the host's main window,
// the class pictures the snap-ins handed over.
#pragma once

#include <windows.h>

#include <string>

namespace zelm::host {

HINSTANCE ExtInstance();
// Owner of a dialog whose caller gave none: the host's main window, else the
// active window of this thread.
HWND DefaultOwner(HWND given);
// hostext32's copy of a class's class bitmap (NULL when none); valid until
// the class data changes.
HBITMAP ClassBitmapOf(const std::string& className);

}  // namespace zelm::host
