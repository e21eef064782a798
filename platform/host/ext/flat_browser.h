// The flat browsers: one modal dialog that walks either the directory
// (containers and the objects of the asked classes) or the folders of file
// servers' volumes, and hands back what the user picked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zelm::host {

enum BrowseKind { kBrowseDirectory, kBrowseFileSystem };

struct BrowseRequest {
  BrowseKind kind = kBrowseDirectory;
  HWND owner = nullptr;
  std::string start;      // container (both kinds), full name
  std::string startPath;  // file system: "SERVER/VOLUME:dir"
  std::string title;
  std::vector<std::string> filters;  // classes that may be picked; none = any
  int flags = 0;                     // QZX_BROWSE_*
};

struct BrowseResult {
  std::string key;        // full name, or "SERVER/VOLUME:dir/sub"
  std::string className;  // the object's class, "Directory" or "File"
  bool container = false;
};

void SetBrowserInstance(HINSTANCE instance);
// 0 picked, -1 cancelled or the dialog could not be made.
int RunBrowser(const BrowseRequest& request, BrowseResult* result);

}  // namespace zelm::host
