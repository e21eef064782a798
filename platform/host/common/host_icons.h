// Small pictures of the administration host: its own icons for directory
// objects, volumes and folders, and class bitmaps brought to icon size.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace zelm::host {

enum BuiltinIcon {
  kIconRoot = 0,
  kIconContainer,
  kIconObject,
  kIconUser,
  kIconServer,
  kIconVolume,
  kIconFolder,
  kBuiltinIconCount
};

constexpr int kIconSize = 16;

// A masked 16x16 image list holding the built-in icons at their enum
// indexes. The caller destroys it.
HIMAGELIST CreateHostImageList();
// The built-in icon for an object of a class the snap-ins gave no bitmap for.
int BuiltinIconFor(const std::string& className, bool container);
// Adds a copy of `bitmap` scaled to 16x16, its top-left pixel's colour taken
// as transparent; -1 when it cannot be read.
int AddClassBitmap(HIMAGELIST list, HBITMAP bitmap);

}  // namespace zelm::host
