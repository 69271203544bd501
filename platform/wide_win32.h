// Windows only: UTF-8 to the UTF-16 that W APIs take, and paths made long-path safe.
#pragma once

#include <string>

namespace platform {

std::wstring ToWide(const std::string& text);
std::string FromWide(const wchar_t* text, size_t length);
inline std::string FromWide(const std::wstring& text) {
    return FromWide(text.data(), text.size());
}

// The path as W file APIs should get it: made absolute and given the extended-length
// prefix ("\\?\" or "\\?\UNC\") so paths over 260 characters work. Never shown to a user.
std::wstring SystemPath(const std::string& path);

}  // namespace platform
