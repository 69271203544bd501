// The terminal progress line: column counts, cutting names to fit, and the whole line.
#include "cli/status.h"

#include <gtest/gtest.h>

namespace {

using cli::DisplayWidth;
using cli::FitTail;
using cli::StatusText;

TEST(DisplayWidth, CountsWideCharactersTwice) {
    EXPECT_EQ(DisplayWidth(""), 0);
    EXPECT_EQ(DisplayWidth("report.txt"), 10);
    EXPECT_EQ(DisplayWidth("報告書.txt"), 10);
    EXPECT_EQ(DisplayWidth("ＡＢ"), 4);              // fullwidth Latin
    EXPECT_EQ(DisplayWidth("ｱｲｳ"), 3);               // halfwidth katakana
    EXPECT_EQ(DisplayWidth("😀🎉"), 4);                // emoji outside the BMP
    EXPECT_EQ(DisplayWidth("\xF0\xA0\x80\x8B"), 2);  // U+2000B, CJK extension B
}

TEST(DisplayWidth, BlockEdges) {
    EXPECT_EQ(DisplayWidth("\u115F"), 2);
    EXPECT_EQ(DisplayWidth("\u1160"), 1);
    EXPECT_EQ(DisplayWidth("\u303E"), 2);
    EXPECT_EQ(DisplayWidth("\u303F"), 1);
    EXPECT_EQ(DisplayWidth("\uFF60"), 2);
    EXPECT_EQ(DisplayWidth("\uFF61"), 1);
    EXPECT_EQ(DisplayWidth("\uFFE6"), 2);
    EXPECT_EQ(DisplayWidth("\uFFE7"), 1);
}

TEST(DisplayWidth, CombiningMarksTakeNoColumn) {
    EXPECT_EQ(DisplayWidth("e\u0301"), 1);
    // A name from a decomposing file system: か followed by the combining voiced mark.
    EXPECT_EQ(DisplayWidth("\u304B\u3099"), 2);
    EXPECT_EQ(DisplayWidth("a\u200Db"), 2);
}

TEST(DisplayWidth, BrokenUtf8CountsOneColumnPerByte) {
    EXPECT_EQ(DisplayWidth("\xFF"), 1);
    EXPECT_EQ(DisplayWidth("a\xE5\xA0"), 3);         // a sequence cut short
    EXPECT_EQ(DisplayWidth("\xC0\xAF"), 2);          // an overlong '/'
    EXPECT_EQ(DisplayWidth("\xED\xA0\x80"), 3);      // a lone surrogate
    EXPECT_EQ(DisplayWidth("\xF4\x90\x80\x80"), 4);  // past U+10FFFF
}

TEST(FitTail, KeepsWhatFits) {
    EXPECT_EQ(FitTail("報告書.txt", 10), "報告書.txt");
    EXPECT_EQ(FitTail("", 0), "");
    EXPECT_EQ(FitTail("abc", 3), "abc");
}

TEST(FitTail, CutsTheFrontAndNeverHalfACharacter) {
    EXPECT_EQ(FitTail("/data/report.txt", 10), "...ort.txt");
    EXPECT_EQ(FitTail("報告書.txt", 9), "...書.txt");
    // Six columns would split 書: the tail takes four, one column stays empty.
    EXPECT_EQ(FitTail("報告書.txt", 8), "....txt");
    EXPECT_EQ(FitTail("a😀", 5), "a😀");
    EXPECT_EQ(FitTail("abcd😀", 5), "...😀");
    EXPECT_EQ(FitTail("abcd😀", 4), "...");
    // Not even the dots and one column fit.
    EXPECT_EQ(FitTail("abcdef", 3), "");
    EXPECT_EQ(FitTail("abcdef", 0), "");
}

TEST(FitTail, ControlCharactersCannotMoveTheCursor) {
    EXPECT_EQ(FitTail("a\nb\rc\x1B[2Jd\x7F", 20), "a?b?c?[2Jd?");
    EXPECT_EQ(FitTail("\u0085x", 20), "?x");  // C1 control
    EXPECT_EQ(FitTail("bad\xFFname", 20), "bad?name");
    EXPECT_EQ(DisplayWidth(FitTail("x\xE5\xA0", 20)), 3);
}

TEST(StatusText, BarsPercentagesAndName) {
    EXPECT_EQ(StatusText(45, 100, "/src/a.txt", 80),
              "total [####------]  45%  file [##########] 100%  /src/a.txt");
    EXPECT_EQ(StatusText(0, 9, "", 80), "total [----------]   0%  file [----------]   9%");
    // The bars hold 0 to 100, whatever is asked.
    EXPECT_EQ(StatusText(250, 100, "", 80), StatusText(100, 100, "", 80));
}

TEST(StatusText, StaysUnderTheWidth) {
    std::string name = "/backup/月次報告/2024年/第3四半期/売上集計表_最終版.xlsx";
    for (int columns : {1, 2, 5, 10, 11, 12, 40, 59, 60, 61, 80, 200}) {
        std::string line = StatusText(50, 50, name, columns);
        EXPECT_LT(DisplayWidth(line), std::max(columns, 1)) << columns;
    }
    EXPECT_EQ(StatusText(50, 50, name, 200).find(name) != std::string::npos, true);
}

TEST(StatusText, NarrowTerminalsGetPercentagesOnly) {
    // The bars need 49 columns and the name should keep 10 more; the last one stays free.
    EXPECT_EQ(StatusText(7, 80, "abcdefghijklmnop", 60),
              "total [----------]   7%  file [########--]  80%  ...jklmnop");
    EXPECT_EQ(StatusText(7, 80, "abcdefghijklmnop", 59), "  7%  80% abcdefghijklmnop");
    EXPECT_EQ(StatusText(7, 80, "abcdefghijklmnop", 20), "  7%  80% ...klmnop");
    EXPECT_EQ(StatusText(7, 80, "abcdefghijklmnop", 5), "  7%");
}

}  // namespace
