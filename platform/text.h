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

// Decodes the character that starts at p (p < end) into cp and returns its length in bytes.
// A byte that does not start a whole, shortest-form sequence counts alone, as U+FFFD, so
// that each bad byte gives one replacement. Surrogates decode like any other code point.
size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp);

// 'A' to 'Z' as 'a' to 'z'; every other byte unchanged, as the system folds case in names.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace platform
