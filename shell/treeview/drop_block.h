// The file-drop block a drop target receives: the system's 20-byte header
// (offset of the names, drop point in the target's client coordinates, a flag
// for a point outside the client area, narrow characters), then each name
// with its NUL and one more NUL. Built in ordinary memory first, so the rules
// can be tested without windows; a global memory block of it is what is
// posted (DragQueryFile, DragQueryPoint and DragFinish read and free it).
#pragma once

#include <windows.h>

#include <cstddef>

enum {
  kDropHeaderSize = 20,
  kDropSecondNameMark = 1,  // between a name and its second name, for tree control panes
};

// Owns `bytes` (malloc); DropBlockFree releases it.
struct DropBlock {
  char* bytes;       // header, names, the closing NUL
  size_t size;       // bytes in use, closing NUL included
  size_t capacity;
  int names;
};

// Header and closing NUL; false when memory ran out (nothing to free then).
bool DropBlockStart(DropBlock* block, POINT point, bool outsideClient);
// Appends a name (nothing for an empty one); with a second name and a tree
// control pane as the target, "name\1second" as one name. False when memory
// ran out: the block stays as it was, whole and usable.
bool DropBlockAppend(DropBlock* block, const char* name, const char* secondName,
                     bool targetIsPane);
void DropBlockFree(DropBlock* block);
// A movable global memory copy of the block, or null. The receiver of the
// drop frees it.
HGLOBAL DropBlockToGlobal(const DropBlock* block);
