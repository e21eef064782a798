// The multi-valued edit control: the window classes "mvebbcontrol" (the list
// of values) and "microscroll32" (two arrows that move the selected value),
// and the joining of a page's edit, arrows and list into one control.
#pragma once

#include <windows.h>

#include <cstdint>

#include "hostext32.h"

namespace zelm::host {

// Private messages. MVM_STEP: wParam = -1 (up) or +1 (down), what the arrows
// send their list. MSM_SETBUDDY: lParam = the list the arrows drive (NULL:
// they send WM_VSCROLL to their parent, as an up-down control does).
constexpr UINT MVM_STEP = WM_USER + 0x40;
constexpr UINT MSM_SETBUDDY = WM_USER + 0x41;

bool RegisterMvedClasses(HINSTANCE instance);
void UnregisterMvedClasses(HINSTANCE instance);

int CreateMved(HWND page, void* list, int editId, int spinId, int listId, int mode,
               int maxLength, const char* title, const char* startContext,
               QZXMvedProc callback);
int MvedCount(HWND page, int editId, uint16_t* count);
int MvedValue(HWND page, int editId, uint16_t index, int32_t length, char* buffer);

}  // namespace zelm::host
