// The terminal progress line, and the code page of redirected output on Windows.
#include "cli/status.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/console.h"

namespace {

TEST(DisplayWidth, ColumnsOnATerminal) {
    using Row = std::pair<const char*, int>;
    // Block edges, wide emoji, zero width, and broken UTF-8 at one column a byte or surrogate.
    for (auto [text, width] : std::initializer_list<Row>{{"\u115F\u1160", 3},
                                                         {"\uFF60\uFF61", 3},
                                                         {"😀🎉", 4},
                                                         {"\u304B\u3099", 2},
                                                         {"a\u200Db", 2},
                                                         {"a\xE5\xA0", 3},
                                                         {"\xED\xA0\x80", 1}})
        EXPECT_EQ(cli::DisplayWidth(text), width) << text;
}

TEST(FitTail, CutsTheFrontAndNeverHalfACharacter) {
    using Row = std::tuple<const char*, int, const char*>;
    for (auto [text, columns, fitted] :
         std::initializer_list<Row>{{"報告書.txt", 10, "報告書.txt"},
                                    {"報告書.txt", 9, "...書.txt"},
                                    {"報告書.txt", 8, "....txt"},
                                    {"abcd😀", 4, "..."},
                                    {"abcdef", 3, ""},  // not even the dots and one column
                                    {"a\nb\rc\x1B[2Jd\x7F", 20, "a?b?c?[2Jd?"},
                                    {"\u0085x\xFF", 20, "?x?"}})
        EXPECT_EQ(cli::FitTail(text, columns), fitted) << text << columns;
}

TEST(StatusText, BarsGiveWayToPercentagesThenToNothing) {
    using Row = std::tuple<unsigned, unsigned, int, const char*>;
    for (auto [total, file, columns, line] : std::initializer_list<Row>{
             {250, 0, 80, "total [##########] 100%  file [----------]   0%  abcdefghijklmnop"},
             // The bars take 49 columns, the name ten more, and the last column stays free.
             {7, 80, 60, "total [----------]   7%  file [########--]  80%  ...jklmnop"},
             {7, 80, 59, "  7%  80% abcdefghijklmnop"},
             {7, 80, 20, "  7%  80% ...klmnop"},
             {7, 80, 5, "  7%"},
             {7, 80, 1, ""}})
        EXPECT_EQ(cli::StatusText(total, file, "abcdefghijklmnop", columns), line) << columns;
}

TEST(RedirectedCodePage, TheConsolesOrUtf8WithoutAConsole) {
    for (auto [console, chosen] : {std::pair{932u, 932u}, {65001u, 65001u}, {0u, 65001u}})
        EXPECT_EQ(platform::RedirectedCodePage(console), chosen) << console;
}

}  // namespace
