#include "platform/text.h"

#include <gtest/gtest.h>

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
        {"0123456789abcdef" + Bytes({0xE3, 0x81, 0x82}) + "xyz", u"0123456789abcdef\u3042xyz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
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
        {Bytes({0x80}), r},                                // stray continuation byte
        {Bytes({0xBF, 0x80}), r + r},                      // two of them
        {"a" + Bytes({0xFF}) + "b", u"a" + r + u"b"},      // never valid
        {Bytes({0xFE}), r},                                // never valid
        {Bytes({0xC0, 0xAF}), r + r},                      // overlong '/'
        {Bytes({0xC1, 0xBF}), r + r},                      // overlong
        {Bytes({0xE0, 0x9F, 0xBF}), r + r + r},            // overlong U+07FF
        {Bytes({0xF0, 0x8F, 0xBF, 0xBF}), r + r + r + r},  // overlong U+FFFF
        {Bytes({0xF4, 0x90, 0x80, 0x80}), r + r + r + r},  // U+110000
        {Bytes({0xF5, 0x80, 0x80, 0x80}), r + r + r + r},  // lead byte past U+10FFFF
        {Bytes({0xE3, 0x81}), r + r},                      // cut short at the end
        {Bytes({0xE3, 0x81}) + "x", r + r + u"x"},         // cut short before ASCII
        {Bytes({0xF0, 0x9F, 0x98}), r + r + r},            // emoji cut short
        {Bytes({0xC3}), r},                                // lead byte alone
        {Bytes({0xC3, 0xC3, 0xA9}), r + u"\u00E9"},        // a new lead byte restarts
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << ::testing::PrintToString(c.utf8);
    }
}

}  // namespace
}  // namespace platform
