// Text conversions: UTF-8 (the program's own) to UTF-16 and back, and to code page 932.
#pragma once

#include <string>

namespace platform {

// Unpaired surrogates travel as their three-byte forms, so every name the system gives
// converts back to the same UTF-16 and can be opened again. Bytes that are not UTF-8
// become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// The bytes Windows gives for code page 932 without best-fit mapping; one '?' for each
// character that code page 932 cannot hold, and for each byte that is not UTF-8.
std::string Utf8ToCp932(const std::string& text);

}  // namespace platform
