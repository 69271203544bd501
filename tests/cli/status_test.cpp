// The terminal progress line, and the code page of redirected output on Windows.
#include "cli/status.h"

#include <gtest/gtest.h>

#include "platform/console.h"

namespace {

TEST(DisplayWidth, ColumnsOnATerminal) {
    struct Row {
        const char* text;
        int width;
    };
    for (const Row& row : std::initializer_list<Row>{
             {"", 0},
             {"report.txt", 10},
             {"報告書.txt", 10},
             {"ｱｲｳ", 3},
             {"😀🎉", 4},
             {"\u115F", 2},
             {"\u1160", 1},
             {"\uFF60", 2},
             {"\uFF61", 1},  // block edges
             {"e\u0301", 1},
             {"\u304B\u3099", 2},
             {"a\u200Db", 2},  // zero width
             {"a\xE5\xA0", 3},
             {"\xC0\xAF", 2},
             {"\xED\xA0\x80", 1},  // broken: one each
         })
        EXPECT_EQ(cli::DisplayWidth(row.text), row.width) << row.text;
}

TEST(FitTail, CutsTheFrontAndNeverHalfACharacter) {
    struct Row {
        const char* text;
        int columns;
        const char* fitted;
    };
    for (const Row& row : std::initializer_list<Row>{
             {"abc", 3, "abc"},
             {"/data/report.txt", 10, "...ort.txt"},
             {"報告書.txt", 10, "報告書.txt"},
             {"報告書.txt", 9, "...書.txt"},
             {"報告書.txt", 8, "....txt"},  // 書 would not fit whole
             {"abcd😀", 4, "..."},
             {"abcdef", 3, ""},  // not even the dots and one column
             {"a\nb\rc\x1B[2Jd\x7F", 20, "a?b?c?[2Jd?"},
             {"\u0085x\xFF", 20, "?x?"},
         })
        EXPECT_EQ(cli::FitTail(row.text, row.columns), row.fitted) << row.text << row.columns;
}

TEST(StatusText, BarsGiveWayToPercentagesThenToNothing) {
    struct Row {
        unsigned total, file;
        int columns;
        const char* line;
    };
    for (const Row& row : std::initializer_list<Row>{
             {45, 100, 80, "total [####------]  45%  file [##########] 100%  abcdefghijklmnop"},
             {250, 0, 80, "total [##########] 100%  file [----------]   0%  abcdefghijklmnop"},
             // The bars take 49 columns, the name ten more, and the last column stays free.
             {7, 80, 60, "total [----------]   7%  file [########--]  80%  ...jklmnop"},
             {7, 80, 59, "  7%  80% abcdefghijklmnop"},
             {7, 80, 20, "  7%  80% ...klmnop"},
             {7, 80, 5, "  7%"},
             {7, 80, 1, ""},
         })
        EXPECT_EQ(cli::StatusText(row.total, row.file, "abcdefghijklmnop", row.columns), row.line)
            << row.columns;
}

TEST(RedirectedCodePage, TheConsolesOrElseUtf8) {
    struct Row {
        unsigned console, chosen;
    };
    for (const Row& row : std::initializer_list<Row>{{932, 932}, {65001, 65001}, {0, 65001}})
        EXPECT_EQ(platform::RedirectedCodePage(row.console), row.chosen) << row.console;
}

}  // namespace
