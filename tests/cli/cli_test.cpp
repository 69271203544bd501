// copycheck-cli from its arguments to its output and exit status, on real trees.
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/status.h"
#include "platform/text.h"
#include "tests/support/tempdir.h"

namespace {

const char kSep[] = "-------------------------------------------";
const char kSame[] = "双方のパスの内容に差違はありませんでした。";
const char kDifferent[] = "差違が発見されました。";
const char kNotRun[] = "比較は実行されませんでした。";
const char kBlockNotice[] = "Notice>比較サイズは、1～10240の範囲に自動修正されます";
const char kLimitNotice[] = "Notice>差違の数は、1～999の範囲に自動修正されます";

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Cli(const std::vector<std::string>& args, const cli::Terminal& terminal = {}) {
    std::ostringstream out, err;
    int status = cli::RunCli(args, out, err, terminal);
    return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Two trees under one temporary directory; the copy starts out equal to the source.
class CliTest : public ::testing::Test {
protected:
    void Both(const std::string& rel, const std::string& bytes) {
        root.WriteFile("src/" + rel, bytes);
        root.WriteFile("dst/" + rel, bytes);
    }

    TempDir root;
    std::string src = root.Path("src");
    std::string dst = root.Path("dst");
};

// ---- the command line itself

TEST(CliArguments, WrongCountsAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"one"}, {"one", "two", "three"}, {"-q", "one"}, {"one", "--", "-", "x"}}) {
        Result r = Cli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.starts_with("copycheck-cli: ")) << r.err;
        EXPECT_TRUE(Contains(r.err, "Usage: copycheck-cli [OPTIONS] SOURCE DESTINATION")) << r.err;
    }
}

TEST(CliArguments, UnknownOptionsAndMissingValuesAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--fast", "a", "b"}, {"-x", "a", "b"}, {"a", "b", "-b"}, {"a", "b", "--log"}}) {
        Result r = Cli(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Contains(r.err, "Usage:")) << r.err;
    }
    EXPECT_TRUE(Contains(Cli({"--fast", "a", "b"}).err, "--fast"));
}

TEST(CliArguments, EmptyPathsAreRefused) {
    // An empty field would make the walk start at the root of the file system.
    EXPECT_EQ(Cli({"", "b"}).status, 2);
    Result r = Cli({"a", ""});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Contains(r.err, "must not be empty"));
}

TEST(CliArguments, HelpStatesTheOptionsAndExitStatus) {
    for (const char* flag : {"-h", "--help"}) {
        // Help wins over anything else on the line, paths included.
        for (const auto& args : std::vector<std::vector<std::string>>{{flag}, {"a", flag, "b"}}) {
            Result r = Cli(args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            for (const char* part : {"Usage: copycheck-cli [OPTIONS] SOURCE DESTINATION",
                                     "-n,--names-only", "-b,--block-kb N", "-d,--diff-limit N",
                                     "-l,--log FILE", "-q,--quiet", "-V,--version", "Exit status:",
                                     "0  the trees were compared and no difference was found",
                                     "1  differences were found", "2  nothing was compared"})
                EXPECT_TRUE(Contains(r.out, part)) << part;
        }
    }
}

TEST(CliArguments, VersionComesFromTheProject) {
    for (const char* flag : {"-V", "--version"}) {
        Result r = Cli({flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("copycheck-cli ") + COPYCHECK_VERSION + "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(CliTest, DefaultsAreTheWindowsOwn) {
    Both("a.txt", "hello");
    Result r = Cli({src, dst});
    auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[2], "コピー元パス：" + src);
    EXPECT_EQ(lines[3], "コピー先パス：" + dst);
    EXPECT_EQ(lines[4], "結果ログファイルは作成しません");
    EXPECT_EQ(lines[5], "ファイル名と、ファイルの内容の比較を行います");
    EXPECT_EQ(lines[6], "ファイルの比較は 1024 KByteずつ行います");
    EXPECT_EQ(lines[7], "差違が 1 個発見されたら中断します");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, PathsAreTypedExactlyAsGiven) {
    Both("a.txt", "hello");
    std::string src2 = src + Sep() + "." + Sep();
    Result r = Cli({src2, dst});
    EXPECT_TRUE(Has(Lines(r.out), "コピー元パス：" + src2));
    EXPECT_TRUE(Has(Lines(r.out), "File [" + src2 + "a.txt]"));
}

TEST_F(CliTest, EachOptionInEachSpelling) {
    Both("a.txt", "hello");
    struct Case {
        std::vector<std::string> args;
        std::string line;
    };
    for (const Case& c : std::vector<Case>{
             {{"-n"}, "ファイル名のみの比較を行います。"},
             {{"--names-only"}, "ファイル名のみの比較を行います。"},
             {{"-b", "64"}, "ファイルの比較は 64 KByteずつ行います"},
             {{"-b64"}, "ファイルの比較は 64 KByteずつ行います"},
             {{"--block-kb", "10240"}, "ファイルの比較は 10240 KByteずつ行います"},
             {{"--block-kb=1"}, "ファイルの比較は 1 KByteずつ行います"},
             {{"-d", "7"}, "差違が 7 個発見されたら中断します"},
             {{"--diff-limit=999"}, "差違が 999 個発見されたら中断します"},
             {{"-l", root.Path("a.log")}, "結果ログファイルを作成します：" + root.Path("a.log")},
             {{"--log", root.Path("b.log")}, "結果ログファイルを作成します：" + root.Path("b.log")},
         }) {
        std::vector<std::string> args = c.args;
        args.push_back(src);
        args.push_back(dst);
        Result r = Cli(args);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_TRUE(Has(Lines(r.out), c.line)) << c.args[0];
        // Values within their range are taken without a notice.
        EXPECT_FALSE(Contains(r.out, "Notice>")) << c.args[0];
    }
}

TEST_F(CliTest, OptionsMayStandBetweenOrAfterThePaths) {
    Both("a.txt", "hello");
    for (const auto& args : std::vector<std::vector<std::string>>{{src, "-d", "3", dst},
                                                                  {src, dst, "-d", "3"},
                                                                  {"-d", "3", src, dst},
                                                                  {"-d", "3", "--", src, dst}}) {
        Result r = Cli(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(Has(Lines(r.out), "コピー元パス：" + src));
        EXPECT_TRUE(Has(Lines(r.out), "コピー先パス：" + dst));
        EXPECT_TRUE(Has(Lines(r.out), "差違が 3 個発見されたら中断します"));
    }
}

TEST_F(CliTest, DoubleDashEndsTheOptions) {
    Both("a.txt", "hello");
    // "-q" after "--" is the destination, not the quiet flag: nothing is found there.
    Result r = Cli({src, "--", "-q"});
    EXPECT_EQ(r.status, 1);
    auto lines = Lines(r.out);
    EXPECT_TRUE(Has(lines, "コピー先パス：-q"));
    EXPECT_TRUE(Has(lines, "File [" + src + Sep() + "a.txt]"));
    EXPECT_TRUE(Has(lines, "[-q" + Sep() + "a.txt]：コピー先に存在しません"));
}

TEST_F(CliTest, NumbersTheWindowCannotTakeAreCorrectedWithItsNotices) {
    Both("a.txt", "hello");
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> notices;
        unsigned block, limit;
    };
    for (const Case& c : std::vector<Case>{
             {{"-b", "abc"}, {kBlockNotice}, 1, 1},
             {{"-b", "0"}, {kBlockNotice}, 1, 1},
             {{"-b", "10241"}, {kBlockNotice}, 10240, 1},
             {{"-b", "-5"}, {kBlockNotice}, 10240, 1},  // negative counts as too large
             {{"-b", ""}, {kBlockNotice}, 1, 1},
             {{"-d", "1000"}, {kLimitNotice}, 1024, 999},
             {{"-d", "0"}, {kLimitNotice}, 1024, 1},
             {{"-d", "1.5"}, {kLimitNotice}, 1024, 1},
             {{"-d", "99999999999"}, {kLimitNotice}, 1024, 1},
             // The block size field comes first whatever the order of the options.
             {{"-d", "x", "-b", "y"}, {kBlockNotice, kLimitNotice}, 1, 1},
             {{"-b", "20000", "-d", "-1"}, {kBlockNotice, kLimitNotice}, 10240, 999},
             {{"-b", " 12 ", "-d", "+3"}, {}, 12, 3},
         }) {
        std::vector<std::string> args = c.args;
        args.push_back(src);
        args.push_back(dst);
        Result r = Cli(args);
        EXPECT_EQ(r.status, 0) << c.args[1];
        auto lines = Lines(r.out);
        ASSERT_GT(lines.size(), c.notices.size() + 8);
        for (size_t i = 0; i < c.notices.size(); ++i)
            EXPECT_EQ(lines[i], c.notices[i]) << c.args[1];
        EXPECT_TRUE(lines[c.notices.size()].starts_with("チェック開始時刻：")) << c.args[1];
        EXPECT_EQ(lines[c.notices.size() + 6],
                  "ファイルの比較は " + std::to_string(c.block) + " KByteずつ行います")
            << c.args[1];
        EXPECT_EQ(lines[c.notices.size() + 7],
                  "差違が " + std::to_string(c.limit) + " 個発見されたら中断します")
            << c.args[1];
    }
}

// ---- verdicts and exit status

TEST_F(CliTest, ExitStatusFollowsTheVerdict) {
    Both("a.txt", "hello");
    Result same = Cli({src, dst});
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(Has(Lines(same.out), kSame));

    root.WriteFile("dst/a.txt", "hellO");
    Result different = Cli({src, dst});
    EXPECT_EQ(different.status, 1);
    EXPECT_TRUE(Has(Lines(different.out), kDifferent));

    // A names-only check does not see the changed byte.
    EXPECT_EQ(Cli({"-n", src, dst}).status, 0);
}

TEST_F(CliTest, NothingComparedIsStatusTwo) {
    Both("a.txt", "hello");
    Result same = Cli({src, src});
    EXPECT_EQ(same.status, 2);
    EXPECT_TRUE(Has(Lines(same.out), "コピー元とコピー先のパスが同じです。"));
    EXPECT_TRUE(Has(Lines(same.out), kNotRun));

    root.MakeDir("empty/sub");
    root.WriteFile("empty/sub/zero", "");
    Result empty = Cli({root.Path("empty"), dst});
    EXPECT_EQ(empty.status, 2);
    EXPECT_TRUE(Has(Lines(empty.out), "ファイルが存在しないため、比較の必要がありません。"));
    EXPECT_TRUE(Has(Lines(empty.out), kNotRun));
}

TEST_F(CliTest, UnreadableSourceRootIsStatusTwoWithLineFeedsOnly) {
    std::string missing = root.Path("missing");
    Result r = Cli({missing, dst});
    EXPECT_EQ(r.status, 2);
    // The window's message holds CR LF; standard output gets a bare LF.
    EXPECT_TRUE(
        Contains(r.out, "CheckTotalSize:ディレクトリ[" + missing + Sep() +
                            "]にアクセスできませんでした\nこのディレクトリは無視されます\n"))
        << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_TRUE(Has(Lines(r.out), kNotRun));
}

TEST_F(CliTest, FindingsCountAndTheLimitStopsTheWalk) {
    root.WriteFile("src/d1/short.txt", "0123456789");
    root.WriteFile("dst/d1/short.txt", "01234");
    root.WriteFile("src/d2/gone.txt", "x");
    root.MakeDir("dst/d2");
    root.WriteFile("src/d3/byte.bin", std::string(5000, 'a'));
    root.WriteFile("dst/d3/byte.bin", std::string(4999, 'a') + "b");

    Result all = Cli({"-d", "10", src, dst});
    EXPECT_EQ(all.status, 1);
    auto lines = Lines(all.out);
    EXPECT_TRUE(Has(
        lines, "[" + src + Sep() + "d1" + Sep() + "short.txt]：ファイルのサイズが異なっています"));
    EXPECT_TRUE(Has(lines, "[" + dst + Sep() + "d2" + Sep() + "gone.txt]：コピー先に存在しません"));
    EXPECT_TRUE(
        Has(lines, "[" + src + Sep() + "d3" + Sep() + "byte.bin]：ファイルの内容が異なっています"));
    EXPECT_EQ(lines.back(), "dir:3  file:3  error:3");

    Result first = Cli({src, dst});
    EXPECT_EQ(first.status, 1);
    EXPECT_TRUE(Lines(first.out).back().ends_with("error:1"));
}

// ---- what goes where

TEST_F(CliTest, QuietLeavesOutDirectoryAndFileLinesOnly) {
    Both("sub/a.txt", "hello");
    root.WriteFile("src/sub/b.txt", "one");
    root.WriteFile("dst/sub/b.txt", "two");
    std::string log = root.Path("quiet.log");
    Result loud = Cli({src, dst});
    Result quiet = Cli({"-q", "-l", log, src, dst});
    EXPECT_EQ(quiet.status, 1);

    std::vector<std::string> expected;
    for (const std::string& line : Lines(loud.out))
        if (!line.starts_with("Diredtory [ ") && !line.starts_with("File ["))
            expected.push_back(line);
    auto got = Lines(quiet.out);
    ASSERT_EQ(got.size(), expected.size() + 0);
    for (size_t i = 0; i < got.size(); ++i) {
        // Only the log line and the times may differ between the two runs.
        if (got[i].starts_with("結果ログファイル") || Contains(got[i], "時刻：") ||
            got[i].starts_with("所用時間："))
            continue;
        EXPECT_EQ(got[i], expected[i]);
    }
    EXPECT_TRUE(
        Has(got, "[" + src + Sep() + "sub" + Sep() + "b.txt]：ファイルの内容が異なっています"));
    // The log keeps every line.
    std::string logText = root.ReadFile("quiet.log");
    EXPECT_TRUE(Contains(logText, "Diredtory [ " + src + Sep() + " ]\r\n"));
    EXPECT_TRUE(Contains(logText, "File [" + src + Sep() + "sub" + Sep() + "a.txt]\r\n"));
}

TEST_F(CliTest, TheLogIsTheWindowsOwn) {
    Both("報告書.txt", "same");
    std::string log = root.Path("check.log");
    Result r = Cli({"--log", log, src, dst});
    EXPECT_EQ(r.status, 0);
    // Code page 932 with CR LF, the same lines as standard output.
    std::string expected;
    for (const std::string& line : Lines(r.out))
        expected += platform::Utf8ToCp932(line) + "\r\n";
    EXPECT_EQ(root.ReadFile("check.log"), expected);
    EXPECT_TRUE(Contains(expected, "\x95\xf1\x8d\x90\x8f\x91.txt"));  // 報告書 in code page 932
}

TEST_F(CliTest, ABoxGoesToStandardErrorAndIsAnswered) {
    Both("a.txt", "hello");
    Result r = Cli({"-l", root.Path("no/such/dir/check.log"), src, dst});
    EXPECT_EQ(r.err, "Notice: ログファイルのオープンに失敗しました。\n");
    // The run goes on without its log.
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(Lines(r.out), kSame));
}

TEST_F(CliTest, JapaneseAndEmojiNamesAreUtf8) {
    root.WriteFile("src/写真/😀.txt", "one");
    root.WriteFile("dst/写真/😀.txt", "two");
    Result r = Cli({src, dst});
    EXPECT_EQ(r.status, 1);
    std::string path = src + Sep() + "写真" + Sep() + "😀.txt";
    EXPECT_TRUE(Has(Lines(r.out), "File [" + path + "]"));
    EXPECT_TRUE(Contains(r.out, "[" + path + "]\xEF\xBC\x9A"));  // then the fullwidth colon
    EXPECT_TRUE(Contains(r.out, "\xF0\x9F\x98\x80.txt"));
}

// Times vary from run to run; their digits are masked.
std::string MaskTimes(const std::string& line) {
    std::string out = line;
    if (line.starts_with("チェック開始時刻：") || line.starts_with("チェック終了時刻：") ||
        line.starts_with("所用時間："))
        std::replace_if(
            out.begin(), out.end(), [](char c) { return c >= '0' && c <= '9'; }, '#');
    return out;
}

TEST_F(CliTest, AWholeRunLineForLine) {
    // One entry per directory, so the listing order cannot vary.
    root.WriteFile("src/月報/data.txt", "abcdefgh");
    root.WriteFile("dst/月報/data.txt", "abcdXfgh");
    Result r = Cli({"-d", "10", "-b", "4", src, dst});
    std::string file = src + Sep() + "月報" + Sep() + "data.txt";
    std::vector<std::string> expected = {
        "チェック開始時刻：##時##分##秒",
        kSep,
        "コピー元パス：" + src,
        "コピー先パス：" + dst,
        "結果ログファイルは作成しません",
        "ファイル名と、ファイルの内容の比較を行います",
        "ファイルの比較は 4 KByteずつ行います",
        "差違が 10 個発見されたら中断します",
        "以上の条件で比較を行います。",
        kSep,
        "コピー元のトータルサイズを取得中...",
        "トータルサイズ：8",
        "＜チェックを開始します＞",
        "Diredtory [ " + src + Sep() + " ]",
        "Diredtory [ " + src + Sep() + "月報" + Sep() + " ]",
        "File [" + file + "]",
        "[" + file + "]：ファイルの内容が異なっています",
        kSep,
        "チェック終了",
        kDifferent,
        "チェック終了時刻：##時##分##秒",
        "所用時間：##時##分##秒",
        "File total size：8",
        "dir:1  file:1  error:1",
    };
    std::vector<std::string> got;
    for (const std::string& line : Lines(r.out))
        got.push_back(MaskTimes(line));
    EXPECT_EQ(got, expected);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
}

// ---- the progress line

TEST_F(CliTest, NoProgressWithoutATerminal) {
    Both("a.txt", "hello");
    Result r = Cli({src, dst}, {.errIsTerminal = false, .outIsTerminal = true, .columns = 80});
    EXPECT_EQ(r.err, "");
}

// What a terminal shows after text: each CR goes back to the line's start, and characters
// overwrite what is under them.
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines.emplace_back();
            column = 0;
        } else if (text[i] == '\r') {
            column = 0;
        } else {
            std::string& line = lines.back();
            if (column < line.size())
                line[column] = text[i];
            else
                line += text[i];
            ++column;
        }
    }
    for (std::string& line : lines)
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
    return lines;
}

TEST_F(CliTest, ProgressFitsTheTerminalAndIsErasedAtTheEnd) {
    Both("a.txt", "hello");
    std::string name = root.Path("報告書_とても長い名前のファイル_2024年度版.txt");
    Result r = Cli({src, dst}, {.errIsTerminal = true, .outIsTerminal = false, .columns = 40});
    ASSERT_TRUE(Contains(r.err, "%")) << r.err;
    // Every drawing stays within 39 columns; the last one blanks the line.
    std::string err = r.err;
    for (size_t start = 0, cr; start < err.size(); start = cr + 1) {
        cr = err.find('\r', start);
        if (cr == std::string::npos)
            cr = err.size();
        EXPECT_LT(cli::DisplayWidth(err.substr(start, cr - start)), 40);
    }
    EXPECT_EQ(r.err.back(), '\r');
    EXPECT_EQ(Screen(r.err), std::vector<std::string>{""});
    EXPECT_EQ(r.err.find('\n'), std::string::npos);
}

TEST_F(CliTest, ResultLinesOnTheSameTerminalReplaceTheProgressLine) {
    Both("a.txt", "hello");
    std::ostringstream both;
    cli::Terminal terminal{.errIsTerminal = true, .outIsTerminal = true, .columns = 120};
    int status = cli::RunCli({src, dst}, both, both, terminal);
    EXPECT_EQ(status, 0);
    auto screen = Screen(both.str());
    ASSERT_GE(screen.size(), 2u);
    EXPECT_EQ(screen.back(), "");  // the progress line is gone at the end
    screen.pop_back();
    EXPECT_EQ(screen.back(), "dir:0  file:1  error:0");
    for (const std::string& line : screen) {
        EXPECT_FALSE(Contains(line, "total [")) << line;
        EXPECT_FALSE(Contains(line, "%  file [")) << line;
    }
}

}  // namespace
