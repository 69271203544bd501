// The standard streams on Windows: a console gets UTF-16 through WriteConsoleW; a file or
// pipe gets the bytes of the console's output code page, or UTF-8 when there is no console.
#include <algorithm>

#include "platform/console.h"
#include "platform/wide_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace platform {
namespace {

HANDLE Handle(StdStream stream) {
    return GetStdHandle(stream == StdStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

bool Fail(const char* call, Error& error) {
    error.code = static_cast<int>(GetLastError());
    error.call = call;
    return false;
}

bool ToConsole(HANDLE handle, const std::wstring& wide, Error& error) {
    // Older consoles refuse very long writes; a surrogate pair stays in one piece.
    for (size_t at = 0; at < wide.size();) {
        size_t n = std::min<size_t>(wide.size() - at, 8192);
        if (at + n < wide.size() && wide[at + n - 1] >= 0xD800 && wide[at + n - 1] < 0xDC00)
            --n;
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + at, static_cast<DWORD>(n), &written, nullptr))
            return Fail("WriteConsoleW", error);
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return Fail("WriteConsoleW", error);
        }
        at += written;
    }
    return true;
}

// The text in code page, without best-fit mapping: a character the code page lacks becomes
// '?' rather than a look-alike that names another file.
bool Encode(const std::wstring& wide, UINT codePage, std::string& bytes, Error& error) {
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                nullptr, 0, nullptr, nullptr);
    // Some code pages take no flags at all.
    if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                nullptr, 0, nullptr, nullptr);
    }
    if (n == 0)
        return Fail("WideCharToMultiByte", error);
    bytes.resize(static_cast<size_t>(n));
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                        n, nullptr, nullptr);
    return true;
}

bool ToFile(HANDLE handle, std::string_view bytes, Error& error) {
    while (!bytes.empty()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr))
            return Fail("WriteFile", error);
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return Fail("WriteFile", error);
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::vector<std::string> Arguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(FromWide(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return args;
}

bool IsTerminal(StdStream stream) {
    return IsConsole(Handle(stream));
}

int TerminalColumns(StdStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(Handle(stream), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool WriteStd(StdStream stream, std::string_view text, Error& error) {
    HANDLE handle = Handle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail("GetStdHandle", error);
    }
    if (IsConsole(handle))
        return ToConsole(handle, ToWide(std::string(text)), error);
    UINT codePage = RedirectedCodePage(GetConsoleOutputCP());
    if (codePage == kUtf8CodePage)
        return ToFile(handle, text, error);
    std::string bytes;
    return Encode(ToWide(std::string(text)), codePage, bytes, error) &&
           ToFile(handle, bytes, error);
}

}  // namespace platform
