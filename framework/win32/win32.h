// The Win32 backend's outside, for its tests: the window behind an open framework window.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/window.h"

namespace fw::win32 {

// The HWND of the open window, or null when it is not open.
void* WindowHandle(const CWnd& wnd);
// The HWND of the window opened last and still open, or null: the owner of a dialog that
// names none.
void* NewestWindow();
// The in-memory dialog template (DLGTEMPLATEEX) a window of tpl is made from, as 16-bit words.
std::vector<uint16_t> TemplateWords(const DialogTemplate& tpl);

}  // namespace fw::win32
