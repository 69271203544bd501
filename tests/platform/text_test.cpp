// UTF-8 written as escapes, so the tests do not depend on the source file's encoding. Every
// other code point of the basic plane in code page 932 is checked against Windows itself.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

const std::u16string r = u"\uFFFD";
const char16_t hi = 0xD83D, lo = 0xDE00;

// Lone surrogates travel as their three-byte forms, so every name the system gives converts
// back. One U+FFFD in UTF-16, one '?' in code page 932, for each byte that is not UTF-8, and
// code page 932 as Windows writes it, without best fit.
TEST(Utf16AndCp932, RoundTripsNamesAndReplacesEachBadByteOrMissingCharacter) {
    const std::tuple<std::string, std::u16string, std::string, bool> rows[] = {
        // UTF-8, UTF-16, code page 932, whether UTF-16 converts back
        {"\xE0\xA0\x80", u"\u0800", "?", true},
        {"\xF0\x90\x80\x80", u"\U00010000", "?", true},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", "?", true},
        {"\xED\xA0\x80z", {0xD800, u'z'}, "?z", true},
        {"z\xED\xBF\xBF", {u'z', 0xDFFF}, "z?", true},
        {"\xED\xB8\x80\xED\xA0\xBD", {lo, hi}, "??", true},
        {"\xED\xA0\xBD\xF0\x9F\x98\x80", {hi, hi, lo}, "??", true},
        {"\xF0\x9F\x98\x80\xED\xB8\x80", {hi, lo, lo}, "??", true},
        // 漢, half-width katakana, ￢, ⅰ, no ¥
        {"\xE6\xBC\xA2\xEF\xBD\xA1\xEF\xBF\xA2\xE2\x85\xB0\xC2\xA5",
         u"\u6F22\uFF61\uFFE2\u2170\u00A5", "\x8A\xBF\xA1\x81\xCA\xFA\x40?", true},
        {"z\xBF\x80z", u"z" + r + r + u"z", "z??z", false},
        {"\xC0\xAF", r + r, "??", false},                                           // overlong '/'
        {"\xF4\x90\x80\x80", r + r + r + r, "????", false},                         // U+110000
        {"\xE3\x81\xE3\x81\x82\xE3", r + r + u"\u3042" + r, "??\x82\xA0?", false},  // cut short
        {"\xED\xA0\xBD\xED\xB8\x80", {hi, lo}, "?", false},  // a pair as two three-byte forms
        {"\xED\xB8\x80\xED\xA0\xBDz", {lo, hi, u'z'}, "??z", false},  // reversed: two lone ones
        {"z\xF0\x9F\x98\x80z", {u'z', hi, lo, u'z'}, "z?z", true}};
    for (const auto& [utf8, utf16, cp932, back] : rows) {
        SCOPED_TRACE(testing::PrintToString(utf8));
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
        EXPECT_EQ(Utf8ToCp932(utf8), cp932);
        EXPECT_EQ(back ? Utf16ToUtf8(utf16) : utf8, utf8);
    }
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
