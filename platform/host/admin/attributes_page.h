// The host's own read-only page: every attribute of an object with its
// values, shown when no snap-in offers pages for the object's class.
#pragma once

#include <windows.h>

#include <string>

namespace zelm::host {

// The object the next attributes page shows.
void SetAttributesPageObject(const std::string& full);
INT_PTR CALLBACK AttributesPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace zelm::host
