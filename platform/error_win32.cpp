// The system's text for a Windows error code.
#include <string>

#include "platform/error.h"
#include "platform/wide_win32.h"

#include <windows.h>

// Not in mingw-w64's headers.
#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L
#endif

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

// A name that cannot be (ERROR_INVALID_NAME), a drive or share that is not there, links that
// lead nowhere, and what the open functions say of a directory (ERROR_DIRECTORY_NOT_SUPPORTED).
bool NotThere(int code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_CANT_RESOLVE_FILENAME:
        case ERROR_DIRECTORY_NOT_SUPPORTED:
            return true;
        default:
            return false;
    }
}

}  // namespace platform
