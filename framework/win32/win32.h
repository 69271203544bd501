// The Win32 backend's outside, for its tests: the window behind an open framework window.
#pragma once

#include "framework/window.h"

namespace fw::win32 {

// The HWND of the open window, or null when it is not open.
void* WindowHandle(const CWnd& wnd);
// The HWND of the window opened last and still open, or null: the owner of a dialog that
// names none.
void* NewestWindow();

}  // namespace fw::win32
