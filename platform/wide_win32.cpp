// UTF-16 for W APIs, and extended-length paths.
#include <string>

#include "platform/text.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {

std::wstring ToWide(const std::string& text) {
    std::u16string utf16 = Utf8ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string FromWide(const wchar_t* text, size_t length) {
    return Utf16ToUtf8(std::u16string(text, text + length));
}

std::wstring SystemPath(const std::string& path) {
    std::wstring wide = ToWide(path);
    // "\\?\" paths are already what the system takes; "\\.\" names a device, which the
    // extended-length form would turn into a file name.
    if (wide.empty() || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) {
        return wide;
    }
    std::wstring full(wide.size() + MAX_PATH, L'\0');
    for (;;) {
        DWORD length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return wide;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

}  // namespace platform
