// copycheck-cli's contract: arguments, exit status, standard error and output.
#include "cli/cli.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <tuple>

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

enum class Condition { kNone, kNoMemory, kOutputFails, kStopAtFirstFile };

// Standard output, which may raise stop once a file's line has been written.
struct Output : std::stringbuf {
    std::atomic<bool> stop{false};
    bool stopAtFile = false;
    int sync() override {
        stop = stop || (stopAtFile && str().find("File [") != std::string::npos);
        return 0;
    }
};

struct Result {
    int status;
    std::string out, err;
};

Result Cli(const std::vector<std::string>& args, Condition condition = Condition::kNone) {
    Output buf;
    buf.stopAtFile = condition == Condition::kStopAtFirstFile;
    cli::Environment env{.stop = &buf.stop};
    if (condition == Condition::kNoMemory)
        env.allocate = [](size_t) { return platform::AlignedBuffer(); };
    // A stream without a buffer fails every write, as a closed or full standard output does.
    std::ostream out(condition == Condition::kOutputFails ? nullptr : &buf);
    std::ostringstream err;
    return {cli::RunCli(args, out, err, env), buf.str(), err.str()};
}

TEST(CliUsage, WrongArgumentsAreOneLineOnStandardErrorAndHelpStatesTheContract) {
    std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{}, "SOURCE is required"},
        {{"a"}, "DESTINATION is required"},
        {{"a", "b", "c"}, "The following argument was not expected: c"},
        {{"--fast", "a", "b"}, "The following argument was not expected: --fast"},
        {{"a", "b", "-d"}, "--diff-limit: 1 required N missing"},
        {{"", "b"}, "SOURCE and DESTINATION must not be empty"}};
    for (std::string value : {"abc", "12abc", "0x10", "99999999999", "10241", "0", "", " 12"})
        rows.push_back(
            {{"-b", value, "a", "b"},
             "-b/--block-kb takes a whole number from 1 to 10240, not \"" + value + "\""});
    for (std::string value : {"-5", "+3", "1.5", "0", "1000"})
        rows.push_back(
            {{"--diff-limit", value, "a", "b"},
             "-d/--diff-limit takes a whole number from 1 to 999, not \"" + value + "\""});
    for (const auto& [args, message] : rows) {
        Result r = Cli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "copycheck-cli: " + message + " (see --help)\n");
        EXPECT_EQ(r.out, "");
    }
    // Help wins over anything else, and states the ranges, the defaults and the statuses.
    Result r = Cli({"a", "--help", "b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const char* part : {"N from 1 to 10240 (default 1024)", "N from 1 to 999 (default 1)"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    EXPECT_TRUE(r.out.ends_with(
        "Exit status:\n"
        "  0  all that was asked for was done, and no difference was found\n"
        "  1  differences were found, and all else that was asked for was done\n"
        "  2  not all was done: the trees were not walked (the same path twice, no files,\n"
        "     SOURCE unreadable), memory allowed names only, the log or standard output\n"
        "     could not be written, or the run was interrupted (Ctrl-C; a second one ends\n"
        "     the program at once); or the command line was wrong\n"));
}

// One file in the source, an equal copy, and a copy that differs in every byte.
class CliRun : public ::testing::Test {
protected:
    CliRun() {
        root.WriteFile("src/a.txt", "hello");
        root.WriteFile("dst/a.txt", "hello");
        root.WriteFile("other/a.txt", "world");
    }
    TempDir root;
    std::string src = root.Path("src"), dst = root.Path("dst"), other = root.Path("other");
};

TEST_F(CliRun, ExitStatusStandardErrorAndLastLines) {
    using C = Condition;
    std::string log = root.Path("run.log"), noDir = root.Path("no/run.log");
    std::string size = "File total size：5", one = "dir:0  file:1  error:0",
                none = "dir:0  file:0  error:0", zero = "File total size：0";
    std::string noOut = "copycheck-cli: standard output could not be written\n",
                noMemory =
                    "copycheck-cli: no memory for the comparison: only the names were checked\n",
                noLog = "copycheck-cli: the log could not be written: ";
    std::string openFailed = "Notice: ログファイルのオープンに失敗しました。\n" + noLog + "open " +
                             noDir + ": No such file or directory\n";
    std::vector<std::string> stopped = {
        "＜チェックは中断されました＞", kSep, "チェック終了", kNotRun, size, one};
    // Arguments, condition, exit status, standard error, the last lines of standard output
    // and the log's last line, if there is a log.
    using Row = std::tuple<std::vector<std::string>, C, int, std::string, std::vector<std::string>,
                           std::string>;
    for (const auto& [args, condition, status, err, tail, logTail] : std::initializer_list<Row>{
             {{src, dst}, C::kNone, 0, "", {kSame, size, one}, ""},
             {{"-b", "1", "-d", "999", src, dst}, C::kNone, 0, "", {kSame, size, one}, ""},
             {{"--block-kb=10240", "-d1", src, dst}, C::kNone, 0, "", {kSame, size, one}, ""},
             {{src, other}, C::kNone, 1, "", {kDiff, size, "dir:0  file:1  error:1"}, ""},
             {{"-n", src, other}, C::kNone, 0, "", {kSame, size, one}, ""},
             {{src, src}, C::kNone, 2, "", {kNotRun, size, none}, ""},
             {{root.Path("gone"), dst}, C::kNone, 2, "", {kNotRun, zero, none}, ""},
             {{src, other}, C::kNoMemory, 2, noMemory, {kSame, size, one}, ""},
             {{"-l", noDir, src, dst}, C::kNone, 2, openFailed, {kSame, size, one}, ""},
             // A device is no log: refused at once, nothing written to it.
             {{"-l", "/dev/full", src, dst},
              C::kNone,
              2,
              "Notice: ログファイルのオープンに失敗しました。\n" + noLog +
                  "open /dev/full: Operation not supported\n",
              {kSame, size, one},
              ""},
             {{src, other}, C::kOutputFails, 2, noOut, {}, ""},
             {{"-l", log, src, dst}, C::kOutputFails, 2, noOut, {}, one},
             {{"-l", log, src, dst}, C::kStopAtFirstFile, 2, "", stopped, one}}) {
        std::filesystem::remove(log);
        Result r = Cli(args, condition);
        EXPECT_EQ(r.status, status) << args[0];
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(Tail(r.out, tail.size()), tail) << args[0];
        EXPECT_TRUE(logTail.empty() || root.ReadFile("run.log").ends_with("\n" + logTail + "\r\n"));
    }
}

TEST_F(CliRun, NamesWithControlCharactersAreEscapedOnOneLine) {
    // Names the copy lacks; the first would print a verdict line of its own.
    std::string forged = std::string("a\n") + kSame + "\nb";
    for (std::string name : {forged, std::string("c\\d\t\x1b[2J\u0085"), std::string("e\\f")})
        root.WriteFile("src/" + name, "x");
    Result r = Cli({"-d", "9", src, dst});
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> lines = Tail(r.out);
    auto count = [&](std::string line) { return std::count(lines.begin(), lines.end(), line); };
    EXPECT_EQ(count(kSame), 0);
    for (std::string shown : {"a\\n" + std::string(kSame) + "\\nb",
                              std::string("c\\\\d\\t\\x1b[2J\\u0085"), std::string("e\\f")})
        EXPECT_EQ(count("[" + dst + "/" + shown + "]：コピー先に存在しません"), 1) << shown;
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
    std::string src = root.Path("s"), dst = root.Path("d");
    Result r = Cli({"-d", "10", "-b", "4", src, dst});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    // $S stands for the source, $D for the copy.
    std::string expected = R"(-------------------------------------------
コピー元パス：$S
コピー先パス：$D
結果ログファイルは作成しません
ファイル名と、ファイルの内容の比較を行います
ファイルの比較は 4 KByteずつ行います
差違が 10 個発見されたら中断します
以上の条件で比較を行います。
-------------------------------------------
コピー元のトータルサイズを取得中...
トータルサイズ：8
＜チェックを開始します＞
Diredtory [ $S/ ]
Diredtory [ $S/月報/ ]
File [$S/月報/data.txt]
[$S/月報/data.txt]：ファイルの内容が異なっています
-------------------------------------------
チェック終了
差違が発見されました。
File total size：8
dir:1  file:1  error:1
)";
    for (size_t at; (at = expected.find('$')) != std::string::npos;)
        expected.replace(at, 2, expected[at + 1] == 'S' ? src : dst);
    EXPECT_EQ(Tail(r.out), Tail(expected));
}

TEST_F(CliRun, TheProgressLineFitsItsTerminalAndGivesWayToResultLines) {
    std::string name = "報告書_とても長い名前のファイル_2024年度版.txt";
    root.WriteFile("s/" + name, "x");
    root.WriteFile("d/" + name, "x");
    std::ostringstream terminal;
    EXPECT_EQ(cli::RunCli({root.Path("s"), root.Path("d")}, terminal, terminal,
                          {.errIsTerminal = true, .outIsTerminal = true, .columns = 40}),
              0);
    // Between carriage returns: result lines, drawings and blanks. A drawing stays under the
    // width, and the next drawing or blanks cover it before anything else is written.
    std::vector<std::string> parts;
    std::istringstream in(terminal.str());
    for (std::string part; std::getline(in, part, '\r');)
        parts.push_back(part);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].find('%') == std::string::npos)
            continue;
        EXPECT_LT(cli::DisplayWidth(parts[i]), 40) << parts[i];
        ASSERT_LT(i + 1, parts.size()) << "the progress line stays at the end";
        const std::string& next = parts[i + 1];
        EXPECT_TRUE(next.find('%') != next.npos || next.find_first_not_of(' ') == next.npos);
        EXPECT_GE(cli::DisplayWidth(next), cli::DisplayWidth(parts[i])) << next;
    }
    // The first drawing comes with the first file, whose name is cut to fit.
    EXPECT_EQ(parts.at(1), "  0%   0% ...のファイル_2024年度版.txt");
}

TEST(CliProcess, CtrlCEndsTheRunWithItsClosingLinesAndACompleteLog) {
    // More output than a pipe holds: the run is still on when the signal comes.
    TempDir root;
    for (int i = 0; i < 1000; ++i) {
        std::string name = std::string(100, 'n') + std::to_string(i);
        root.WriteFile("src/" + name, "x");
        root.WriteFile("dst/" + name, "x");
    }
    std::string src = root.Path("src"), dst = root.Path("dst"), log = root.Path("run.log"),
                errPath = root.Path("err");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        execl(COPYCHECK_CLI, COPYCHECK_CLI, "-l", log.c_str(), src.c_str(), dst.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string text, chunk(4096, '\0');
    while (text.find("File [") == std::string::npos) {
        ssize_t n = read(out[0], chunk.data(), chunk.size());
        ASSERT_GT(n, 0);
        text.append(chunk, 0, static_cast<size_t>(n));
    }
    kill(pid, SIGINT);
    // Its next line then meets a pipe without a reader: an error, not SIGPIPE.
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(root.ReadFile("err"), "copycheck-cli: standard output could not be written\n");
    std::string logText = root.ReadFile("run.log");
    for (std::string line : {"コピー元パス：" + src, std::string("＜チェックは中断されました＞")})
        EXPECT_NE(logText.find("\r\n" + platform::Utf8ToCp932(line) + "\r\n"), std::string::npos);
    // The last line counts the files compared before the stop: fewer than all.
    std::string counts = logText.substr(logText.rfind("\r\n", logText.size() - 3) + 2);
    EXPECT_TRUE(counts.starts_with("dir:0  file:") && counts.ends_with("  error:0\r\n")) << counts;
    EXPECT_LT(std::stoi(counts.substr(12)), 1000);
}

}  // namespace
