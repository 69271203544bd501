#include "platform/text.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace platform {
namespace {

// UTF-8 written as bytes so the tests do not depend on the source file's encoding.
std::string Bytes(std::initializer_list<unsigned> bytes) {
    std::string out;
    for (unsigned b : bytes) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

// --- UTF-8 and UTF-16 ---

TEST(Utf16Conversion, WellFormedTextRoundTrips) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"plain ascii name.txt", u"plain ascii name.txt"},
        {std::string("\0x", 2), std::u16string(u"\0x", 2)},
        {Bytes({0xC2, 0x80}), u"\u0080"},
        {Bytes({0xDF, 0xBF}), u"\u07FF"},
        {Bytes({0xE0, 0xA0, 0x80}), u"\u0800"},
        {Bytes({0xEF, 0xBF, 0xBF}), u"\uFFFF"},
        {Bytes({0xE6, 0xBC, 0xA2, 0xE5, 0xAD, 0x97}), u"\u6F22\u5B57"},
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},
        {Bytes({0xF0, 0x90, 0x80, 0x80}), u"\U00010000"},
        {Bytes({0xF4, 0x8F, 0xBF, 0xBF}), u"\U0010FFFF"},
        // Long enough to go through the eight-byte ASCII path, with text after it.
        {std::string("0123456789abcdef") + Bytes({0xE3, 0x81, 0x82}) + "xyz",
         u"0123456789abcdef\u3042xyz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
    }
}

// ASCII is scanned eight bytes at a time: put a non-ASCII character at every place around
// those words.
TEST(Utf16Conversion, NonAsciiAtEveryOffset) {
    for (size_t offset = 0; offset <= 18; ++offset) {
        const std::string ascii(offset, 'x');
        const std::string utf8 = ascii + Bytes({0xC3, 0xA9}) + ascii;
        const std::u16string utf16 =
            std::u16string(offset, u'x') + u"\u00E9" + std::u16string(offset, u'x');
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << offset;
        EXPECT_EQ(Utf16ToUtf8(utf16), utf8) << offset;
        EXPECT_EQ(Utf8ToCp932(ascii + Bytes({0xE3, 0x81, 0x82}) + ascii),
                  ascii + Bytes({0x82, 0xA0}) + ascii)
            << offset;
    }
}

TEST(Utf16Conversion, LoneSurrogatesRoundTrip) {
    const char16_t high = 0xD83D;
    const char16_t low = 0xDE00;
    const std::u16string names[] = {
        {high},
        {low},
        {high, u'a'},
        {u'a', high},
        {low, u'a'},
        {u'a', low},
        {low, high},  // reversed pair: two lone surrogates
        {high, high, low},
        {high, low, low},
        {0xD800},
        {0xDBFF},
        {0xDC00},
        {0xDFFF},
    };
    for (const auto& name : names) {
        EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(name)), name) << Utf16ToUtf8(name);
    }
    EXPECT_EQ(Utf16ToUtf8({high}), Bytes({0xED, 0xA0, 0xBD}));
    EXPECT_EQ(Utf16ToUtf8({low}), Bytes({0xED, 0xB8, 0x80}));
    EXPECT_EQ(Utf16ToUtf8({0xD800}), Bytes({0xED, 0xA0, 0x80}));
    EXPECT_EQ(Utf16ToUtf8({0xDFFF}), Bytes({0xED, 0xBF, 0xBF}));
    EXPECT_EQ(Utf16ToUtf8({low, high}), Bytes({0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD}));
}

TEST(Utf16Conversion, PairIsOneFourByteSequence) {
    EXPECT_EQ(Utf16ToUtf8({0xD83D, 0xDE00}), Bytes({0xF0, 0x9F, 0x98, 0x80}));
    // A pair given as two three-byte forms reads back as the same pair.
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80})),
              (std::u16string{0xD83D, 0xDE00}));
}

TEST(Utf16Conversion, EachBadByteBecomesOneReplacement) {
    const std::u16string r = u"\uFFFD";
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {Bytes({0x80}), r},                                         // stray continuation byte
        {Bytes({0xBF, 0x80}), r + r},                               // two of them
        {std::string("a") + Bytes({0xFF}) + "b", u"a" + r + u"b"},  // never valid
        {Bytes({0xFE}), r},                                         // never valid
        {Bytes({0xC0, 0xAF}), r + r},                               // overlong '/'
        {Bytes({0xC1, 0xBF}), r + r},                               // overlong
        {Bytes({0xE0, 0x9F, 0xBF}), r + r + r},                     // overlong U+07FF
        {Bytes({0xF0, 0x8F, 0xBF, 0xBF}), r + r + r + r},           // overlong U+FFFF
        {Bytes({0xF4, 0x90, 0x80, 0x80}), r + r + r + r},           // U+110000
        {Bytes({0xF5, 0x80, 0x80, 0x80}), r + r + r + r},           // lead byte past U+10FFFF
        {Bytes({0xE3, 0x81}), r + r},                               // cut short at the end
        {Bytes({0xE3, 0x81}) + "x", r + r + u"x"},                  // cut short before ASCII
        {Bytes({0xF0, 0x9F, 0x98}), r + r + r},                     // emoji cut short
        {Bytes({0xC3}), r},                                         // lead byte alone
        {Bytes({0xC3, 0xC3, 0xA9}), r + u"\u00E9"},                 // a new lead byte restarts
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << ::testing::PrintToString(c.utf8);
    }
}

// --- Code page 932 ---

TEST(Cp932Encoding, AsciiIsUnchanged) {
    std::string all;
    for (int c = 0; c < 0x80; ++c) {
        all.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(Utf8ToCp932(all), all);
    EXPECT_EQ(Utf8ToCp932("line one\r\nline two\n"), "line one\r\nline two\n");
    EXPECT_EQ(Utf8ToCp932(""), "");
}

TEST(Cp932Encoding, JapaneseText) {
    const struct {
        std::string utf8;
        std::string cp932;
    } cases[] = {
        {Bytes({0xE3, 0x81, 0x82, 0xE3, 0x82, 0xA2}), Bytes({0x82, 0xA0, 0x83, 0x41})},  // あア
        {Bytes({0xE6, 0xBC, 0xA2, 0xE5, 0xAD, 0x97}), Bytes({0x8A, 0xBF, 0x8E, 0x9A})},  // 漢字
        {Bytes({0xEF, 0xBD, 0x9E}), Bytes({0x81, 0x60})},                                // ～
        {Bytes({0xEF, 0xBC, 0x9A}), Bytes({0x81, 0x46})},                                // ：
        {Bytes({0xE3, 0x80, 0x80}), Bytes({0x81, 0x40})},  // ideographic space
        // Half-width katakana are single bytes, at both ends of their range.
        {Bytes({0xEF, 0xBD, 0xA1}), Bytes({0xA1})},  // U+FF61
        {Bytes({0xEF, 0xBD, 0xB1}), Bytes({0xB1})},  // U+FF71
        {Bytes({0xEF, 0xBE, 0x9F}), Bytes({0xDF})},  // U+FF9F
        {Bytes({0xEF, 0xBE, 0xA0}), "?"},            // U+FFA0, past the range
        // "Notice>差違の数は3"
        {"Notice>" +
             Bytes({0xE5, 0xB7, 0xAE, 0xE9, 0x81, 0x95, 0xE3, 0x81, 0xAE, 0xE6, 0x95, 0xB0, 0xE3,
                    0x81, 0xAF}) +
             "3",
         std::string("Notice>") +
             Bytes({0x8D, 0xB7, 0x88, 0xE1, 0x82, 0xCC, 0x90, 0x94, 0x82, 0xCD}) + "3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << ::testing::PrintToString(c.utf8);
    }
}

TEST(Cp932Encoding, WindowsChoiceAmongDuplicates) {
    const struct {
        std::string utf8;
        std::string cp932;
    } cases[] = {
        {Bytes({0xEF, 0xBF, 0xA2}), Bytes({0x81, 0xCA})},  // ￢: JIS X 0208, not IBM
        {Bytes({0xE2, 0x88, 0xB5}), Bytes({0x81, 0xE6})},  // ∵: JIS X 0208, not NEC row 13
        {Bytes({0xE2, 0x85, 0xA0}), Bytes({0x87, 0x54})},  // Ⅰ: NEC row 13, not IBM
        {Bytes({0xE2, 0x85, 0xB0}), Bytes({0xFA, 0x40})},  // ⅰ: IBM, not NEC-selected
        {Bytes({0xE7, 0xBA, 0x8A}), Bytes({0xFA, 0x5C})},  // 纊: IBM, not NEC-selected
        {Bytes({0xEE, 0x80, 0x80}), Bytes({0xF0, 0x40})},  // U+E000: first user-defined
        {Bytes({0xEE, 0x9D, 0x97}), Bytes({0xF9, 0xFC})},  // U+E757: last user-defined
        {Bytes({0xEE, 0x9D, 0x98}), "?"},                  // U+E758
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << ::testing::PrintToString(c.utf8);
    }
}

// Windows differs here from other CP932 tables (glibc's among them).
TEST(Cp932Encoding, WindowsOnlyMappings) {
    EXPECT_EQ(Utf8ToCp932(Bytes({0xC2, 0x80})), Bytes({0x80}));
    EXPECT_EQ(Utf8ToCp932(Bytes({0xEF, 0xA3, 0xB0})), Bytes({0xA0}));  // U+F8F0
    EXPECT_EQ(Utf8ToCp932(Bytes({0xEF, 0xA3, 0xB3})), Bytes({0xFF}));  // U+F8F3
    const std::string unmapped[] = {
        Bytes({0xC2, 0xA2}),        // ¢
        Bytes({0xC2, 0xA3}),        // £
        Bytes({0xC2, 0xA5}),        // ¥
        Bytes({0xC2, 0xAC}),        // ¬
        Bytes({0xE2, 0x80, 0x94}),  // em dash
        Bytes({0xE2, 0x80, 0x96}),  // ‖
        Bytes({0xE2, 0x80, 0xBE}),  // overline
        Bytes({0xE2, 0x88, 0x92}),  // minus sign
        Bytes({0xE3, 0x80, 0x9C}),  // wave dash
        Bytes({0xC3, 0xA9}),        // é: only a best fit ('e') would give something
    };
    for (const auto& text : unmapped) {
        EXPECT_EQ(Utf8ToCp932(text), "?") << ::testing::PrintToString(text);
    }
}

TEST(Cp932Encoding, OneQuestionMarkPerMissingCharacter) {
    EXPECT_EQ(Utf8ToCp932(Bytes({0xF0, 0x9F, 0x98, 0x80})), "?");  // emoji
    EXPECT_EQ(Utf8ToCp932(std::string("a") + Bytes({0xF0, 0x9F, 0x98, 0x80, 0xC2, 0xA5}) + "b"),
              "a??b");
    EXPECT_EQ(Utf8ToCp932(Bytes({0xED, 0xA0, 0xBD})), "?");  // lone high surrogate
    EXPECT_EQ(Utf8ToCp932(Bytes({0xED, 0xB8, 0x80})), "?");  // lone low surrogate
    EXPECT_EQ(Utf8ToCp932(Bytes({0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD})), "??");  // reversed
    // A pair given as two three-byte forms is one character.
    EXPECT_EQ(Utf8ToCp932(Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80})), "?");
    EXPECT_EQ(Utf8ToCp932(Bytes({0xED, 0xA0, 0xBD}) + "x"), "?x");
}

TEST(Cp932Encoding, OneQuestionMarkPerBadByte) {
    EXPECT_EQ(Utf8ToCp932(Bytes({0x80})), "?");
    EXPECT_EQ(Utf8ToCp932(std::string("a") + Bytes({0xFF, 0xFE}) + "b"), "a??b");
    EXPECT_EQ(Utf8ToCp932(Bytes({0xC0, 0xAF})), "??");                // overlong
    EXPECT_EQ(Utf8ToCp932(Bytes({0xE3, 0x81}) + "x"), "??x");         // cut short
    EXPECT_EQ(Utf8ToCp932(Bytes({0xF4, 0x90, 0x80, 0x80})), "????");  // past U+10FFFF
    EXPECT_EQ(Utf8ToCp932(Bytes({0xE3, 0x81, 0xE3, 0x81, 0x82})),     // cut short, then あ
              std::string("??") + Bytes({0x82, 0xA0}));
}

}  // namespace
}  // namespace platform
