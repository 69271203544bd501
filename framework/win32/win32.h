// The Win32 backend's outside, for its tests: the window behind an open framework window.
#pragma once

#include "framework/window.h"

namespace fw::win32 {

// The HWND of the open window, or null when it is not open.
void* WindowHandle(const CWnd& wnd);

}  // namespace fw::win32
