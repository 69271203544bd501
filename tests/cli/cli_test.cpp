// copycheck-cli's contract, in process: arguments, exit status, standard error and output.
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/status.h"
#include "platform/text.h"
#include "tests/support/tempdir.h"

namespace {

const char kSep[] = "-------------------------------------------";
const char kSame[] = "双方のパスの内容に差違はありませんでした。";
const char kDiff[] = "差違が発見されました。";
const char kNotRun[] = "比較は実行されませんでした。";

// The lines of text without those that tell the time; the last n of them.
std::vector<std::string> Tail(const std::string& text, size_t n = SIZE_MAX) {
    std::vector<std::string> kept;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find("時刻：") == std::string::npos && !line.starts_with("所用時間："))
            kept.push_back(line);
    return {kept.end() - std::min(n, kept.size()), kept.end()};
}

// Standard output as a full disk, a closed descriptor or a pipe whose reader is gone.
struct FailingBuf : std::stringbuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// Standard output that raises stop once a file's line has been written.
struct StoppingBuf : std::stringbuf {
    std::atomic<bool>* stop = nullptr;
    int sync() override {
        if (str().find("File [") != std::string::npos)
            stop->store(true);
        return 0;
    }
};

struct Result {
    int status;
    std::string out, err;
};

enum class Condition { kNone, kNoMemory, kOutputFails, kStopAtFirstFile };

Result Cli(const std::vector<std::string>& args, Condition condition = Condition::kNone) {
    std::atomic<bool> stop{false};
    std::stringbuf normal;
    FailingBuf failing;
    StoppingBuf stopping;
    stopping.stop = &stop;
    cli::Environment env{.stop = &stop};
    if (condition == Condition::kNoMemory)
        env.allocate = [](size_t) { return platform::AlignedBuffer(); };
    std::stringbuf* buf = condition == Condition::kOutputFails       ? &failing
                          : condition == Condition::kStopAtFirstFile ? &stopping
                                                                     : &normal;
    std::ostream out(buf);
    std::ostringstream err;
    int status = cli::RunCli(args, out, err, env);
    return {status, buf->str(), err.str()};
}

TEST(CliUsage, WrongArgumentsAreOneLineOnStandardError) {
    struct Row {
        std::vector<std::string> args;
        std::string message;
    };
    std::vector<Row> rows = {
        {{}, "SOURCE is required"},
        {{"a"}, "DESTINATION is required"},
        {{"a", "b", "c"}, "The following argument was not expected: c"},
        {{"--fast", "a", "b"}, "The following argument was not expected: --fast"},
        {{"a", "b", "-d"}, "--diff-limit: 1 required N missing"},
        {{"", "b"}, "SOURCE and DESTINATION must not be empty"},
    };
    for (const char* value : {"abc", "12abc", "0x10", "99999999999", "10241", "0", "", " 12"})
        rows.push_back({{"-b", value, "a", "b"},
                        "-b/--block-kb takes a whole number from 1 to "
                        "10240, not \"" +
                            std::string(value) + "\""});
    for (const char* value : {"-5", "+3", "1.5", "0", "1000"})
        rows.push_back({{"--diff-limit", value, "a", "b"},
                        "-d/--diff-limit takes a whole number from 1 to 999, not \"" +
                            std::string(value) + "\""});
    for (const Row& row : rows) {
        Result r = Cli(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "copycheck-cli: " + row.message + " (see --help)\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliUsage, HelpStatesRangesDefaultsAndExitStatus) {
    Result r = Cli({"a", "--help", "b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("-b,--block-kb N       Compare N KiB at a time, N from 1 to 10240 "
                         "(default 1024)\n  -d,--diff-limit N     Stop after N differences, N "
                         "from 1 to 999 (default 1)\n"),
              std::string::npos);
    EXPECT_TRUE(r.out.ends_with(
        "Exit status:\n"
        "  0  everything asked for was done and no difference was found\n"
        "  1  differences were found, and everything else asked for was done\n"
        "  2  something asked for was not done: the trees were not compared (the same\n"
        "     path twice, no files, SOURCE unreadable), memory allowed only names to be\n"
        "     checked, the log could not be opened or written, the run was interrupted\n"
        "     (Ctrl-C; a second one ends the program at once), or standard output could\n"
        "     not be written; or the command line was wrong\n"));
    EXPECT_EQ(Cli({"-V"}).out, std::string("copycheck-cli ") + COPYCHECK_VERSION + "\n");
}

// One file in the source, an equal copy, a copy that differs in every byte, an empty tree.
class CliRun : public ::testing::Test {
protected:
    CliRun() {
        root.WriteFile("src/a.txt", "hello");
        root.WriteFile("dst/a.txt", "hello");
        root.WriteFile("other/a.txt", "world");
        root.MakeDir("empty/sub");
    }
    TempDir root;
    std::string src = root.Path("src"), dst = root.Path("dst"), other = root.Path("other");
};

TEST_F(CliRun, ExitStatusStandardErrorAndLastLines) {
    using C = Condition;
    const std::string log = root.Path("run.log"), noDir = root.Path("no/run.log");
    const std::string size = "File total size：5", one = "dir:0  file:1  error:0",
                      none = "dir:0  file:0  error:0",
                      noOut = "copycheck-cli: standard output could not be written\n";
    const std::string noLog =
        "Notice: ログファイルのオープンに失敗しました。\ncopycheck-cli: "
        "the log could not be written: open " +
        noDir + ": No such file or directory\n";
    const std::string fullLog =
        "copycheck-cli: the log could not be written: write /dev/full: "
        "No space left on device\n";
    const std::string noMemory =
        "copycheck-cli: no memory for the comparison: only the names were checked\n";
    const std::vector<std::string> stopped = {
        "＜チェックは中断されました＞", kSep, "チェック終了", kNotRun, size, one};
    struct Row {
        std::vector<std::string> args;
        Condition condition;
        int status;
        std::string err;
        std::vector<std::string> tail;  // of standard output
        std::string logTail = "";       // the log's last line
    };
    for (const Row& row : std::initializer_list<Row>{
             {{src, dst}, C::kNone, 0, "", {kSame, size, one}},
             {{"-b", "1", "-d", "999", src, dst}, C::kNone, 0, "", {kSame, size, one}},
             {{"--block-kb=10240", "-d1", src, dst}, C::kNone, 0, "", {kSame, size, one}},
             {{src, other}, C::kNone, 1, "", {kDiff, size, "dir:0  file:1  error:1"}},
             {{"-n", src, other}, C::kNone, 0, "", {kSame, size, one}},
             {{src, src}, C::kNone, 2, "", {kNotRun, size, none}},
             {{root.Path("empty"), dst}, C::kNone, 2, "", {kNotRun, "File total size：0", none}},
             {{root.Path("gone"), dst}, C::kNone, 2, "", {kNotRun, "File total size：0", none}},
             {{src, other}, C::kNoMemory, 2, noMemory, {kSame, size, one}},
             {{"-l", noDir, src, dst}, C::kNone, 2, noLog, {kSame, size, one}},
             {{"-l", "/dev/full", src, dst},
              C::kNone,
              2,
              fullLog,
              {one, "Notice>ログファイルの書き込みに失敗しました：/dev/full"}},
             {{src, other}, C::kOutputFails, 2, noOut, {}},
             {{"-l", log, src, dst}, C::kOutputFails, 2, noOut, {}, one},
             {{"-l", log, src, dst}, C::kStopAtFirstFile, 2, "", stopped, one},
         }) {
        std::filesystem::remove(log);
        Result r = Cli(row.args, row.condition);
        EXPECT_EQ(r.status, row.status) << row.args[0];
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(Tail(r.out, row.tail.size()), row.tail) << row.args[0];
        EXPECT_TRUE(row.logTail.empty() ||
                    root.ReadFile("run.log").ends_with("\n" + row.logTail + "\r\n"));
    }
}

TEST_F(CliRun, NamesWithControlCharactersAreEscapedOnOneLine) {
    // A name that would print a verdict of its own; the copy lacks it.
    root.WriteFile(std::string("src/a\n") + kSame + "\nb", "x");
    for (const char* name : {"c\\d\t\x1b[2J\u0085", "e\\f"}) {
        root.WriteFile(std::string("src/") + name, "x");
        root.WriteFile(std::string("dst/") + name, "x");
    }
    Result r = Cli({"-d", "9", src, dst});
    std::vector<std::string> lines = Tail(r.out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kSame), 0);
    for (const std::string& line :
         {"File [" + src + "/a\\n" + kSame + "\\nb]",
          "[" + dst + "/a\\n" + kSame + "\\nb]：コピー先に存在しません",
          "File [" + src + "/c\\\\d\\t\\x1b[2J\\u0085]", "File [" + src + "/e\\f]"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    // The window's own two-line message keeps its break, as a line feed alone.
    EXPECT_NE(Cli({root.Path("gone\rdir"), dst})
                  .out.find("CheckTotalSize:ディレクトリ[" + root.Path("gone\\rdir") +
                            "/]にアクセスできませんでした\nこのディレクトリは無視されます\n"),
              std::string::npos);
}

TEST_F(CliRun, AWholeRunLineForLine) {
    // One entry in each directory, so that no listing order shows.
    root.WriteFile("s/月報/data.txt", "abcdefgh");
    root.WriteFile("d/月報/data.txt", "abcdXfgh");
    std::string src = root.Path("s"), dst = root.Path("d"), file = src + "/月報/data.txt";
    Result r = Cli({"-d", "10", "-b", "4", src, dst});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Tail(r.out),
              (std::vector<std::string>{kSep,
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
                                        "Diredtory [ " + src + "/ ]",
                                        "Diredtory [ " + src + "/月報/ ]",
                                        "File [" + file + "]",
                                        "[" + file + "]：ファイルの内容が異なっています",
                                        kSep,
                                        "チェック終了",
                                        kDiff,
                                        "File total size：8",
                                        "dir:1  file:1  error:1"}));
}

TEST_F(CliRun, TheProgressLineFitsItsTerminalAndGivesWayToResultLines) {
    std::string name = "報告書_とても長い名前のファイル_2024年度版.txt";
    root.WriteFile("s/" + name, "x");
    root.WriteFile("d/" + name, "x");
    std::ostringstream terminal;
    int status = cli::RunCli({root.Path("s"), root.Path("d")}, terminal, terminal,
                             {.errIsTerminal = true, .outIsTerminal = true, .columns = 40});
    EXPECT_EQ(status, 0);
    // Between carriage returns: drawings, blanks and result lines. A drawing stays under the
    // width, and is covered by the next drawing or by blanks before anything else is written.
    std::vector<std::string> parts, drawings;
    std::istringstream in(terminal.str());
    for (std::string part; std::getline(in, part, '\r');)
        parts.push_back(part);
    std::string lines;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].find('%') == std::string::npos) {
            lines += parts[i].find_first_not_of(' ') == std::string::npos ? "" : parts[i];
            continue;
        }
        drawings.push_back(parts[i]);
        EXPECT_LT(cli::DisplayWidth(parts[i]), 40) << parts[i];
        ASSERT_LT(i + 1, parts.size()) << "the progress line stays at the end";
        std::string next = parts[i + 1];
        EXPECT_TRUE(next.find('%') != next.npos || next.find_first_not_of(' ') == next.npos);
        EXPECT_GE(cli::DisplayWidth(next), cli::DisplayWidth(parts[i])) << next;
    }
    ASSERT_FALSE(drawings.empty());
    EXPECT_EQ(drawings[0], "  0%   0% ...のファイル_2024年度版.txt");
    EXPECT_EQ(Tail(lines), Tail(Cli({root.Path("s"), root.Path("d")}).out));
}

}  // namespace
