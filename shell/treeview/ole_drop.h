// Drops onto windows that take files through an OLE drop target rather than
// the system's drop message, above all windows of other programs: a drop
// handle is memory of this process and means nothing in another one, while
// OLE carries a copy of the file list over to the target's process.
#pragma once

#include <windows.h>

// Whether w has an OLE drop target registered.
bool HasOleDropTarget(HWND w);
// Drops the file-drop block (a global memory block, still the caller's) at
// the pointer's current position, the button already released. True when the
// target took it.
bool DropThroughOle(HGLOBAL block);
