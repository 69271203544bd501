// UTF-8 written as escapes, so the tests do not depend on the source file's encoding.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

const std::u16string r = u"\uFFFD";
const char16_t hi = 0xD83D, lo = 0xDE00;

TEST(Utf16, RoundTripsEveryNameTheSystemGives) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } rows[] = {
        {"", u""},
        {std::string("\0x", 2), std::u16string(u"\0x", 2)},
        {"\xC2\x80", u"\u0080"},
        {"\xDF\xBF", u"\u07FF"},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"0123456789abcdef\xE3\x81\x82xyz", u"0123456789abcdef\u3042xyz"},  // past 8 ASCII
        {"\xED\xA0\xBD", {hi}},  // lone surrogates travel as their three-byte forms
        {"\xED\xB8\x80", {lo}},
        {"\xED\xA0\x80"
         "a",
         {0xD800, u'a'}},
        {"a\xED\xBF\xBF", {u'a', 0xDFFF}},
        {"\xED\xB8\x80\xED\xA0\xBD", {lo, hi}},  // reversed: two lone ones
        {"\xED\xA0\xBD\xF0\x9F\x98\x80", {hi, hi, lo}},
        {"\xF0\x9F\x98\x80\xED\xB8\x80", {hi, lo, lo}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Utf8ToUtf16(row.utf8), row.utf16) << row.utf8;
        EXPECT_EQ(Utf16ToUtf8(row.utf16), row.utf8) << row.utf8;
    }
}

TEST(Utf16, EachBadByteBecomesOneReplacement) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } rows[] = {
        {"\x80", r},
        {"\xBF\x80", r + r},
        {"a\xFF"
         "b",
         u"a" + r + u"b"},
        {"\xFE", r},
        {"\xC0\xAF", r + r},                  // overlong '/'
        {"\xE0\x9F\xBF", r + r + r},          // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", r + r + r + r},  // overlong U+FFFF
        {"\xF4\x90\x80\x80", r + r + r + r},  // U+110000
        {"\xF5\x80\x80\x80", r + r + r + r},
        {"\xE3\x81", r + r},  // cut short
        {"\xE3\x81x", r + r + u"x"},
        {"\xC3\xC3\xA9", r + u"\u00E9"},         // a new lead byte restarts
        {"\xED\xA0\xBD\xED\xB8\x80", {hi, lo}},  // a pair as two three-byte forms
    };
    for (const auto& row : rows)
        EXPECT_EQ(Utf8ToUtf16(row.utf8), row.utf16) << ::testing::PrintToString(row.utf8);
}

TEST(Cp932, AsWindowsWritesItWithoutBestFit) {
    std::string ascii;
    for (int c = 0; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    const struct {
        std::string utf8, cp932;
    } rows[] = {
        {ascii, ascii},
        {"\xE3\x81\x82\xE3\x82\xA2", "\x82\xA0\x83\x41"},  // あア
        {"\xE6\xBC\xA2\xE5\xAD\x97", "\x8A\xBF\x8E\x9A"},  // 漢字
        {"\xEF\xBD\x9E", "\x81\x60"},                      // ～
        {"\xE3\x80\x80", "\x81\x40"},                      // ideographic space
        {"\xEF\xBD\xA1\xEF\xBE\x9F", "\xA1\xDF"},          // half-width katakana, both ends
        {"\xEF\xBE\xA0", "?"},                             // U+FFA0, past them
        {"\xEF\xBF\xA2", "\x81\xCA"},                      // ￢: JIS X 0208, not IBM
        {"\xE2\x88\xB5", "\x81\xE6"},                      // ∵: JIS X 0208, not NEC row 13
        {"\xE2\x85\xA0", "\x87\x54"},                      // Ⅰ: NEC row 13, not IBM
        {"\xE2\x85\xB0", "\xFA\x40"},                      // ⅰ: IBM, not NEC-selected
        {"\xE7\xBA\x8A", "\xFA\x5C"},                      // 纊: IBM, not NEC-selected
        {"\xEE\x80\x80\xEE\x9D\x97\xEE\x9D\x98", "\xF0\x40\xF9\xFC?"},  // user-defined, past
        {"\xC2\x80\xEF\xA3\xB0\xEF\xA3\xB3", "\x80\xA0\xFF"},           // Windows only
        {"\xC2\xA2\xC2\xA5\xE2\x80\x94\xE2\x88\x92\xE3\x80\x9C\xC3\xA9", "??????"},  // no best fit
        {"a\xF0\x9F\x98\x80\xED\xA0\xBD\xED\xB8\x80"
         "b",
         "a??b"},  // one per character
        {"\xED\xB8\x80\xED\xA0\xBD"
         "x",
         "??x"},
        {"\x80\xFF\xC0\xAF\xE3\x81\xE3\x81\x82", "??????\x82\xA0"},  // one per bad byte
        {"\xF4\x90\x80\x80", "????"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Utf8ToCp932(row.utf8), row.cp932) << ::testing::PrintToString(row.utf8);
}

// ASCII is scanned eight bytes at a time: a character at every place around those words.
TEST(Utf16, NonAsciiAtEveryOffset) {
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
