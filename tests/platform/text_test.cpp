// UTF-8 written as escapes, so the tests do not depend on the source file's encoding. Every
// other code point of the basic plane in code page 932 is checked against Windows itself.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

const std::u16string r = u"\uFFFD";
const char16_t hi = 0xD83D, lo = 0xDE00;

TEST(Utf16, RoundTripsEveryNameTheSystemGives) {
    const std::pair<std::string, std::u16string> rows[] = {
        {"", u""},
        {std::string("\0x", 2), std::u16string(u"\0x", 2)},
        {"\xC2\x80", u"\u0080"},
        {"\xDF\xBF", u"\u07FF"},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"0123456789abcdef\xE3\x81\x82xyz", u"0123456789abcdef\u3042xyz"},  // past 8 ASCII
        {"\xED\xA0\xBD", {hi}},
        {"\xED\xB8\x80", {lo}},  // lone surrogates: three-byte forms
        {"\xED\xA0\x80"
         "a",
         {0xD800, u'a'}},
        {"a\xED\xBF\xBF", {u'a', 0xDFFF}},
        {"\xED\xB8\x80\xED\xA0\xBD", {lo, hi}},
        {"\xED\xA0\xBD\xF0\x9F\x98\x80", {hi, hi, lo}},
        {"\xF0\x9F\x98\x80\xED\xB8\x80", {hi, lo, lo}}};
    for (const auto& [utf8, utf16] : rows) {
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << utf8;
        EXPECT_EQ(Utf16ToUtf8(utf16), utf8) << utf8;
    }
}

// One U+FFFD in UTF-16, one '?' in code page 932, for each byte that is not UTF-8.
TEST(Utf16AndCp932, OneReplacementPerBadByteOrMissingCharacter) {
    const std::tuple<std::string, std::u16string, std::string> rows[] = {
        {"\x80", r, "?"},
        {"\xBF\x80", r + r, "??"},
        {"a\xFF"
         "b",
         u"a" + r + u"b", "a?b"},
        {"\xFE", r, "?"},
        {"\xC0\xAF", r + r, "??"},                    // overlong '/'
        {"\xE0\x9F\xBF", r + r + r, "???"},           // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", r + r + r + r, "????"},  // overlong U+FFFF
        {"\xF4\x90\x80\x80", r + r + r + r, "????"},  // U+110000
        {"\xF5\x80\x80\x80", r + r + r + r, "????"},
        {"\xE3\x81", r + r, "??"},  // cut short
        {"\xE3\x81x", r + r + u"x", "??x"},
        {"\xC3\xC3\xA9", r + u"\u00E9", "??"},  // restarts
        {"\xE3\x81\xE3\x81\x82", r + r + u"\u3042", "??\x82\xA0"},
        {"\xED\xA0\xBD\xED\xB8\x80", {hi, lo}, "?"},  // a pair as two three-byte forms
        {"\xED\xB8\x80\xED\xA0\xBD"
         "x",
         {lo, hi, u'x'},
         "??x"},  // reversed: two lone ones
        {"a\xF0\x9F\x98\x80"
         "b",
         {u'a', hi, lo, u'b'},
         "a?b"}};
    for (const auto& [utf8, utf16, cp932] : rows) {
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << testing::PrintToString(utf8);
        EXPECT_EQ(Utf8ToCp932(utf8), cp932) << testing::PrintToString(utf8);
    }
}

TEST(Cp932, AsWindowsWritesItWithoutBestFit) {
    std::string ascii;
    for (int c = 0; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp932(ascii), ascii);
    EXPECT_EQ(Utf8ToCp932("\xE6\xBC\xA2\xEF\xBD\xA1\xEF\xBF\xA2\xE2\x85\xB0\xC2\xA5"),
              "\x8A\xBF\xA1\x81\xCA\xFA\x40?");  // 漢, half-width katakana, ￢, ⅰ, no ¥
    // ASCII goes eight bytes at a time: a character at every place around those words.
    for (size_t offset = 0; offset <= 18; ++offset) {
        const std::string a(offset, 'x');
        const std::u16string w(offset, u'x');
        EXPECT_EQ(Utf8ToUtf16(a + "\xC3\xA9" + a), w + u"\u00E9" + w) << offset;
        EXPECT_EQ(Utf16ToUtf8(w + u"\u00E9" + w), a + "\xC3\xA9" + a) << offset;
        EXPECT_EQ(Utf8ToCp932(a + "\xE3\x81\x82" + a), a + "\x82\xA0" + a) << offset;
    }
}

}  // namespace
}  // namespace platform
