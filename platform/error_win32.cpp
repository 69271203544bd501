// The system's text for a Windows error code.
#include <string>

#include "platform/error.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {

std::string Reason(int code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "error " + std::to_string(static_cast<unsigned long>(code));
    }
    // System messages end in a line break (and sometimes a space) that would split ours.
    while (length > 0 &&
           (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    std::string reason = FromWide(text, length);
    LocalFree(text);
    return reason;
}

}  // namespace platform
