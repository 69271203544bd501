// copycheck-cli's contract, its progress line, and its code page for redirected output.
#include "cli/cli.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <tuple>

#include "cli/manifest.h"
#include "cli/status.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "tests/support/tempdir.h"

namespace {

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

// Standard output, which raises stop once a file's line has been written.
struct Output : std::stringbuf {
    std::atomic<bool> stop{false};
    int sync() override {
        stop = stop || str().find("File [") != std::string::npos;
        return 0;
    }
};

std::tuple<int, std::string, std::string> Cli(const std::vector<std::string>& args,
                                              Condition condition = Condition::kNone) {
    Output buf;
    cli::Environment env{.stop = condition == Condition::kStopAtFirstFile ? &buf.stop : nullptr};
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
        {{"--manifest", "m", "a", "b", "c"},
         "--manifest must be given once for each DESTINATION, or not at all"},
        {{"--fast", "a", "b"}, "The following argument was not expected: --fast"},
        {{"", "b"}, "SOURCE and DESTINATION must not be empty"},
        {{"-l", "", "a", "b"}, "-l/--log must not be empty"},
        {{"--audit", "l", "a", "b"}, "--audit takes one directory at most"},
        {{"--audit", "l", "-n"},
         "--audit takes no -n, -d, -l, --cached, --manifest, --extra or --all"},
        {{"-n", "--manifest", "m", "a", "b"},
         "--manifest needs the contents compared: not with -n/--names-only"},
        {{"--manifest", "", "a", "b"}, "--manifest must not be empty"}};
    std::string b = "-b/--block-kb takes a whole number from 1 to 10240, not \"",
                d = "-d/--diff-limit takes a whole number from 1 to 999, not \"";
    for (std::string value : {"12abc", " 12", "", "0", "10241", "99999999999"})
        rows.push_back({{"-b", value, "a", "b"}, b + value + '"'});
    for (std::string value : {"-5", "+3", "1.5", "0", "1000"})
        rows.push_back({{"--diff-limit", value, "a", "b"}, d + value + '"'});
    for (const auto& [args, message] : rows)
        EXPECT_EQ(Cli(args), std::tuple(2, "", "copycheck-cli: " + message + " (see --help)\n"));
    auto [status, help, err] = Cli({"a", "--help", "b"});  // help wins over anything else
    EXPECT_EQ(status, 0);
    for (const char* part :
         {"N from 1 to 10240 (default 1024)", "N from 1 to 999 (default 1)", "--manifest FILE",
          "--audit FILE", "\n  0  all that was asked for was done, and no difference",
          "\n  1  differences were found", "\n  2  not all was done"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
}

// One file, in an equal copy and in one differing in every byte. Its name would end a line,
// forge a verdict and move the cursor were it not escaped; a backslash alone is left as it is.
class CliRun : public ::testing::Test {
protected:
    CliRun() {
        for (auto [tree, content] :
             {std::pair{"src/", "hello"}, {"dst/", "hello"}, {"other\\copy/", "world"}})
            root.WriteFile(tree + name, content);
    }
    std::string name = "月報\r\n双方のパスの内容に差違はありませんでした。\t\x1b[2J\u0085\\";
    TempDir root;
    std::string src = root.Path("src"), dst = root.Path("dst"), other = root.Path("other\\copy");
};

TEST_F(CliRun, ExitStatusStandardErrorAndLastLines) {
    using enum Condition;
    std::string log = root.Path("run.log"), noDir = root.Path("no/run.log");
    std::string one = "dir:0  file:1  error:0", same = "双方のパスの内容に差違はありませんでした。";
    std::string noOut = "copycheck-cli: standard output could not be written\n";
    std::string noMemory =
        "copycheck-cli: no memory for the comparison: only the names were checked\n";
    std::string noLog =
        "Notice: ログファイルのオープンに失敗しました。\ncopycheck-cli: the log " +
        ("could not be written: open " + root.Path("no/") + ": No such file or directory\n");
    // Arguments, condition, exit status, standard error, and the verdict before the two lines
    // of counts (none when standard output fails). A log, where there is one, is complete.
    using Row = std::tuple<std::vector<std::string>, Condition, int, std::string, std::string>;
    for (const auto& [args, condition, status, err, verdict] : std::initializer_list<Row>{
             {{"--block-kb=10240", "-d1", src, dst}, kNone, 0, "", same},
             {{"-n", src, other}, kNone, 0, "", same},
             {{src, other}, kNoMemory, 2, noMemory, same},
             {{"-l", noDir, src, dst}, kNone, 2, noLog, same},
             {{src, other}, kOutputFails, 2, noOut, ""},
             {{"-l", log, src, dst}, kOutputFails, 2, noOut, ""},
             {{"-l", log, src, dst}, kStopAtFirstFile, 2, "", "比較は実行されませんでした。"}}) {
        std::remove(log.c_str());
        auto [gotStatus, gotOut, gotErr] = Cli(args, condition);
        EXPECT_EQ(std::tie(gotStatus, gotErr), std::tie(status, err)) << args[0];
        EXPECT_TRUE(verdict.empty() || Tail(gotOut, 3).at(0) == verdict) << gotOut;
        EXPECT_TRUE(args[1] != log || root.ReadFile("run.log").ends_with("\n" + one + "\r\n"));
    }
}

// A manifest is written only whole, never in SOURCE, never over a file of either tree nor
// over what is not a regular file, and never through a link; whatever happens, no temporary
// file is left behind.
TEST_F(CliRun, AManifestIsWholeOrNoneAndReplacesNothingInTheTrees) {
    using enum Condition;
    std::string mine = root.Path("m"), copys = dst + "/" + name, inSource = src + "/m";
    std::string fifo = root.Path("fifo"), device = root.Path("device"), link = root.Path("link");
    root.WriteFile("m", "old");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600) | mknod(device.c_str(), S_IFCHR | 0600, makedev(240, 0)) |
                  symlink("m", link.c_str()),
              0);
    std::string notRegular = "the manifest can replace only a regular file: ";
    platform::Sha256 sha;
    sha.Update("hello", 5);
    platform::Sha256::Digest hello;
    ASSERT_TRUE(sha.Final(hello));
    std::string written = cli::ManifestLine(name, hello);
    std::string log = root.Path("run.log"), notAll = "the check was not done to the end: ";
    // The manifest, the copy, and standard error after "copycheck-cli: " (none: status 0).
    using Row = std::tuple<std::string, std::string, Condition, std::string>;
    for (const auto& [manifest, copy, condition, err] : std::initializer_list<Row>{
             {inSource, dst, kNone, "the manifest must lie outside SOURCE: " + inSource},
             {copys, dst, kNone, "a manifest inside DESTINATION must be a new file: " + copys},
             {other, dst, kNone, notRegular + other},
             {fifo, dst, kNone, notRegular + fifo},
             {device, dst, kNone, notRegular + device},
             {link, dst, kNone, ""},
             {log, dst, kNone, "--manifest and --log name the same file: " + log},
             {mine, other, kNone, "no file compared equal: no manifest was written"},
             {mine, dst, kStopAtFirstFile, notAll + "no manifest was written"},
             {mine, dst, kNone, ""}}) {
        auto [status, out, gotErr] = Cli({"--manifest", manifest, "-l", log, src, copy}, condition);
        EXPECT_EQ(status, err.empty() ? 0 : 2) << gotErr;
        EXPECT_EQ(gotErr, err.empty() ? "" : "copycheck-cli: " + err + "\n");
        EXPECT_EQ(root.ReadFile("m"), manifest == mine && !status ? written : "old");
        EXPECT_EQ(root.ReadFile("dst/" + name), "hello");
        for (auto& entry : std::filesystem::recursive_directory_iterator(root.path()))
            EXPECT_EQ(entry.path().string().find(".copycheck-tmp"), std::string::npos);
    }
    EXPECT_EQ(root.ReadFile("link"), written);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo) && std::filesystem::is_character_file(device));
}

TEST_F(CliRun, AnUnreadableSourceIsNotWalkedAndTheWindowsLineBreakIsALineFeed) {
    auto [status, out, err] = Cli({root.Path("gone"), dst});
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("できませんでした\nこのディレクトリは無視されます\n"), std::string::npos);
}

TEST_F(CliRun, AWholeRunLineForLine) {
    auto [status, out, err] = Cli({"-d", "999", "-b", "1", src, other});
    EXPECT_EQ(std::tie(status, err), std::tuple(1, ""));
    // $S stands for the source, $D for the copy.
    std::string expected = R"(-------------------------------------------
コピー元パス：$S
コピー先パス：$D
結果ログファイルは作成しません
ファイル名と、ファイルの内容の比較を行います
ファイルの比較は 1 KByteずつ行います
差違が 999 個発見されたら中断します
以上の条件で比較を行います。
-------------------------------------------
コピー元のトータルサイズを取得中...
トータルサイズ：5
＜チェックを開始します＞
Diredtory [ $S/ ]
File [$S/月報\r\n双方のパスの内容に差違はありませんでした。\t\x1b[2J\u0085\\]
[$S/月報\r\n双方のパスの内容に差違はありませんでした。\t\x1b[2J\u0085\\]：ファイルの内容が異なっています
-------------------------------------------
チェック終了
差違が発見されました。
File total size：5
dir:0  file:1  error:1
)";
    for (size_t at; (at = expected.find('$')) != std::string::npos;)
        expected.replace(at, 2, expected[at + 1] == 'S' ? src : other);
    EXPECT_EQ(Tail(out), Tail(expected));
}

TEST_F(CliRun, TheProgressLineFitsItsTerminalAndGivesWayToResultLines) {
    std::ostringstream terminal;
    cli::Environment env{.errIsTerminal = true, .outIsTerminal = true, .columns = 40};
    EXPECT_EQ(cli::RunCli({src, dst}, terminal, terminal, env), 0);
    // Between carriage returns: result lines, drawings and blanks. A drawing stays under the
    // width, and the next drawing or blanks cover it before anything else is written.
    std::vector<std::string> parts;
    std::istringstream in(terminal.str());
    for (std::string part; std::getline(in, part, '\r');)
        parts.push_back(part);
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].find('%') != std::string::npos) {
            EXPECT_LT(cli::DisplayWidth(parts[i]), 40) << parts[i];
            ASSERT_LT(i + 1, parts.size()) << "the progress line stays at the end";
            const std::string& next = parts[i + 1];
            EXPECT_TRUE(next.find('%') != next.npos || next.find_first_not_of(' ') == next.npos);
            EXPECT_GE(cli::DisplayWidth(next), cli::DisplayWidth(parts[i])) << next;
        }
    // The first drawing comes with the file: its name cut to fit, its controls shown as '?'.
    EXPECT_EQ(parts.at(1), "  0%   0% ...ありませんでした。??[2J?\\");
}

// Ctrl-C ends the run with its closing lines and a complete log. A second request to stop
// (SIGHUP too: the terminal closed) ends the program at once. Neither leaves any part of the
// manifest in the copy. Two signals of one kind sent together would arrive as one.
TEST(CliProcess, CtrlCEndsTheRunWithItsClosingLinesAndASecondRequestAtOnce) {
    // More output than a pipe holds: the run is still on when the signal comes.
    TempDir root;
    for (int i = 0; i < 1000; ++i)
        for (std::string tree : {"src/", "dst/"})
            root.WriteFile(tree + std::string(100, 'n') + std::to_string(i), "x");
    // The shell tells its process id, then becomes the program.
    std::string command = "cd " + root.Path("") +
                          " && echo $$ && exec " COPYCHECK_CLI
                          " -l run.log --manifest dst/SUMS src dst 2>err";
    for (std::vector<int> signals : {std::vector{SIGINT}, {SIGINT, SIGHUP}, {SIGHUP, SIGINT}}) {
        FILE* out = popen(command.c_str(), "r");
        char line[4096];
        pid_t pid = std::atoi(fgets(line, sizeof line, out));
        while (fgets(line, sizeof line, out) && !std::string_view(line).starts_with("File [")) {
        }
        for (int signal : signals)
            kill(pid, signal);
        // Its next line then meets a pipe without a reader: an error, not SIGPIPE.
        int status = pclose(out);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (signals.size() == 1 ? 2 : 130))
            << status;
        for (auto& entry : std::filesystem::directory_iterator(root.Path("dst")))
            EXPECT_EQ(entry.path().filename().string()[0], 'n') << entry.path();
        if (signals.size() > 1)
            continue;
        EXPECT_EQ(root.ReadFile("err"),
                  "copycheck-cli: the check was not done to the end: no manifest was written\n"
                  "copycheck-cli: standard output could not be written\n");
        // The log ends with the counts of the files compared before the stop: fewer than all.
        EXPECT_TRUE(std::regex_search(root.ReadFile("run.log"),
                                      std::regex("\r\ndir:0  file:[0-9]{1,3}  error:0\r\n$")));
    }
}

// Where the file system makes no unnamed file: the named ones registered, and only those
// still registered, are removed before a second request ends the process.
TEST(CliProcess, ASecondStopRequestRemovesTheRegisteredFiles) {
    TempDir root;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const char* name : {"1.copycheck-tmp", "2.copycheck-tmp", "named"})
            root.WriteFile(name, "");
        if (fork() == 0) {
            static std::atomic<bool> stop{false};
            platform::RaiseOnInterrupt(stop);
            platform::RegisterLeftover(root.Path("1.copycheck-tmp"));
            platform::UnregisterLeftover(platform::RegisterLeftover(root.Path("named")));
            platform::RegisterLeftover(root.Path("2.copycheck-tmp"));
            raise(signal);
            raise(signal);
            _exit(0);
        }
        int status = 0;
        wait(&status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << signal;
        EXPECT_FALSE(std::filesystem::exists(root.Path("1.copycheck-tmp"))) << signal;
        EXPECT_FALSE(std::filesystem::exists(root.Path("2.copycheck-tmp"))) << signal;
        EXPECT_TRUE(std::filesystem::exists(root.Path("named"))) << signal;
    }
}

// Where the log and the manifest may not go, through the program on a real disk: beside a
// tree through a hard link, into one through a bind mount or another letter case, onto what
// is not a file. The trees keep every byte whatever happens.
TEST(CliProcess, TheLogAndTheManifestNeverLandInATreeNorWriteIntoAFile) {
    TempDir root;
    auto sh = [&](const std::string& command) {
        return std::system(("cd " + root.path() + " && " + command).c_str());
    };
    for (std::string tree : {"src/", "dst/"}) {
        root.WriteFile(tree + "keep.txt", "source");
        root.WriteFile(tree + "sub/deep.txt", "deep");
    }
    root.MakeDir("b");
    root.MakeDir("mnt");
    for (const char* name : {"check.log", "SUMS"})
        std::filesystem::create_hard_link(root.Path("src/keep.txt"), root.Path(name));
    std::string bind = "unshare -m sh -c 'mount --bind ";
    bool admin = geteuid() == 0 && sh(bind + "b b' 2>unshare") == 0;
    bool fuse = access("/dev/fuse", R_OK | W_OK) == 0 &&
                sh("mkfs.fat -C img 4096 >mkfs && fusefat -o rw+ img mnt >fusefat && "
                   "mkdir mnt/dst && printf source >mnt/dst/keep.txt") == 0;
    bool nodes = mkfifo(root.Path("fifo").c_str(), 0600) == 0 &&
                 mknod(root.Path("dev").c_str(), S_IFCHR | 0600, makedev(0, 0)) == 0;
    auto log = [](const std::string& path, const char* why) {
        return std::string("Notice: ログファイルのオープンに失敗しました。\n") +
               "copycheck-cli: the log could not be written: open " + path + ": " + why + "\n";
    };
    const std::string outside = "copycheck-cli: the manifest must lie outside SOURCE: ";
    const std::string notNew = "copycheck-cli: a manifest inside DESTINATION must be a new file: ";
    // What the run is wrapped in, the option, the copy, whether the row can run, and standard
    // error (nothing: the file is written, and the status is 0).
    using Row = std::tuple<std::string, std::string, std::string, bool, std::string>;
    for (const auto& [wrap, option, copy, can, err] : std::initializer_list<Row>{
             {"", "-l check.log", "dst", true, ""},
             {"", "--manifest SUMS", "dst", true, ""},
             {bind + "src/sub b && ", "-l b/x.log", "dst", admin,
              log("b/x.log", "Operation not permitted")},
             {bind + "dst b && ", "-l b/keep.txt", "dst", admin,
              log("b/keep.txt", "Operation not permitted")},
             {bind + "src/sub b && ", "--manifest b/SUMS", "dst", admin, outside + "b/SUMS\n"},
             {"", "-l mnt/DST/KEEP.TXT", "mnt/dst", fuse,
              log("mnt/DST/KEEP.TXT", "Operation not permitted")},
             // Another spelling of a directory that the medium cannot confirm lies in either tree.
             {"", "--manifest mnt/DST/KEEP.TXT", "mnt/dst", fuse, outside + "mnt/DST/KEEP.TXT\n"},
             {bind + "dst b && ", "--manifest b/keep.txt", "dst", admin, notNew + "b/keep.txt\n"},
             {"", "-l fifo", "dst", nodes, log("fifo", "Operation not supported")},
             {"", "-l dev", "dst", nodes, log("dev", "Operation not supported")}}) {
        SCOPED_TRACE(option);
        if (!can)
            continue;
        auto before = root.Contents("src"), copied = root.Contents(copy);
        int got = sh(wrap + "exec " COPYCHECK_CLI " -q " + option + " src " + copy + " >out 2>err" +
                     (wrap.empty() ? "" : "'"));
        EXPECT_TRUE(WIFEXITED(got) && WEXITSTATUS(got) == (err.empty() ? 0 : 2)) << got;
        EXPECT_EQ(root.ReadFile("err"), err);
        EXPECT_EQ(root.Contents("src"), before);
        EXPECT_EQ(root.Contents(copy), copied);
    }
    // The names moved to the log and the manifest, and the other name kept its file.
    EXPECT_TRUE(root.ReadFile("check.log").ends_with("dir:1  file:2  error:0\r\n"));
    EXPECT_EQ(root.ReadFile("SUMS").size(),
              2 * (64 + 2) + sizeof "keep.txt" + sizeof "sub/deep.txt");
    EXPECT_TRUE(!fuse || sh("umount mnt") == 0);
    if (!admin || !fuse || !nodes)
        GTEST_SKIP() << "needs root for bind mounts and mknod, /dev/fuse, fusefat, mkfs.fat";
}

TEST(DisplayWidth, ColumnsOnATerminal) {
    // Block edges, wide emoji, zero width, and broken UTF-8 at one column a byte or surrogate.
    std::vector<std::pair<const char*, int>> rows = {{"\u115F\u1160", 3}, {"\uFF60\uFF61", 3},
                                                     {"😀🎉", 4},           {"\u304B\u3099", 2},
                                                     {"a\xE5\xA0", 3},    {"\xED\xA0\x80", 1}};
    for (auto [text, width] : rows)
        EXPECT_EQ(cli::DisplayWidth(text), width) << text;
}

TEST(FitTail, CutsTheFrontAndNeverHalfACharacter) {
    // Three columns are too few for the dots and one column of the name: nothing is shown.
    std::vector<std::tuple<const char*, int, const char*>> rows = {
        {"報告書.txt", 10, "報告書.txt"},
        {"報告書.txt", 9, "...書.txt"},
        {"報告書.txt", 8, "....txt"},
        {"abcd😀", 4, "..."},
        {"abcdef", 3, ""},
        {"a\nb\rc\x1B[2Jd\x7F", 20, "a?b?c?[2Jd?"},
        {"\u0085x\xFF", 20, "?x?"}};
    for (auto [text, columns, fitted] : rows)
        EXPECT_EQ(cli::FitTail(text, columns), fitted) << text << columns;
}

TEST(StatusText, BarsGiveWayToPercentagesThenToNothing) {
    using Row = std::tuple<unsigned, unsigned, int, const char*>;
    for (auto [total, file, columns, line] : std::initializer_list<Row>{
             {250, 0, 80, "total [##########] 100%  file [----------]   0%  abcdefghijklmnop"},
             // The bars take 49 columns, the name ten more, and the last column stays free.
             {7, 80, 60, "total [----------]   7%  file [########--]  80%  ...jklmnop"},
             {7, 80, 59, "  7%  80% abcdefghijklmnop"},
             {7, 80, 5, "  7%"},
             {7, 80, 1, ""}})
        EXPECT_EQ(cli::StatusText(total, file, "abcdefghijklmnop", columns), line) << columns;
}

TEST(RedirectedCodePage, TheConsolesOrUtf8WithoutAConsole) {
    for (auto [console, chosen] : {std::pair{932u, 932u}, {65001u, 65001u}, {0u, 65001u}})
        EXPECT_EQ(platform::RedirectedCodePage(console), chosen) << console;
}

}  // namespace

// --extra and --all through the program; on FAT, a name in another letter case is no extra.
TEST(CliProcess, ExtrasAndAFullReport) {
    TempDir root;
    auto sh = [&](const std::string& command) {
        return std::system(("cd " + root.path() + " && " + command).c_str());
    };
    for (const char* name :
         {"src/keep", "src/a", "src/b", "dst/keep", "dst/x", "dst/y", "one/keep"})
        root.WriteFile(name, "k");
    root.MakeDir("mnt");
    bool fuse = access("/dev/fuse", R_OK | W_OK) == 0 &&
                sh("mkfs.fat -C img 4096 >mkfs && fusefat -o rw+,use_ino img mnt >fusefat && "
                   "mkdir mnt/dst && printf k >mnt/dst/KEEP") == 0;
    for (const auto& [args, status, last] :
         std::initializer_list<std::tuple<std::string, int, std::string>>{
             {"--all --extra src dst", 1, "dir:0  file:3  error:4"},
             // The limit reached by an extra.
             {"--extra -d 3 src dst", 1, "dir:0  file:3  error:3"},
             {"-d 2 --all src dst", 2,
              "copycheck-cli: -d/--diff-limit and --all do not go together (see --help)"},
             {"--extra --manifest mnt/dst/SUMS one mnt/dst", 0, "dir:0  file:1  error:0"}}) {
        if (!fuse && args.find("mnt") != std::string::npos)
            continue;
        int got = sh("exec " COPYCHECK_CLI " -q " + args + " >out 2>&1");
        EXPECT_TRUE(WIFEXITED(got) && WEXITSTATUS(got) == status) << args;
        EXPECT_EQ(Tail(root.ReadFile("out"), 1), std::vector{last}) << args;
    }
    EXPECT_TRUE(!fuse || sh("umount mnt") == 0);
    if (!fuse)
        GTEST_SKIP() << "needs /dev/fuse, fusefat and mkfs.fat";
}

// Several copies in one pass: per copy its findings, counts, verdict and manifest; copies that
// are one, inside each other or the source, however spelt, are refused.
TEST(CliProcess, SeveralCopiesInOnePass) {
    TempDir root;
    for (const char* name : {"src/a", "src/sub/b", "d1/a", "d1/sub/b", "d2/a", "d2/sub/b"})
        root.WriteFile(name, "k");
    root.WriteFile("d1/sub/b", "?");
    ASSERT_EQ(symlink("d1", root.Path("alias").c_str()), 0);
    const std::string sum = "8254c329a92850f6d539dd376f4816ee2764517da5e0235514af433164480d7a  ";
    for (const auto& [args, status, last] :
         std::initializer_list<std::tuple<std::string, int, std::vector<std::string>>>{
             {"--manifest m1 --manifest m2 src d1 d2",
              1,
              {"[d1/sub/b]：ファイルの内容が異なっています", "チェック終了", "コピー先パス：d1",
               "差違が発見されました。", "error:1", "コピー先パス：d2",
               "双方のパスの内容に差違はありませんでした。", "error:0", "File total size：2",
               "dir:1  file:2  error:1"}},
             {"src d1 alias", 2, {"copycheck-cli: DESTINATION alias is given twice (see --help)"}},
             {"src d1 d2 d1/sub",
              2,
              {"copycheck-cli: DESTINATION d1/sub lies inside d1 (see --help)"}},
             {"src d1/sub d1",
              2,
              {"copycheck-cli: DESTINATION d1/sub lies inside d1 (see --help)"}},
             {"src d1 ./src", 2, {"copycheck-cli: DESTINATION ./src is SOURCE (see --help)"}}}) {
        int got = std::system(
            ("cd " + root.path() + " && exec " COPYCHECK_CLI " -q -d 5 " + args + " >out 2>&1")
                .c_str());
        EXPECT_TRUE(WIFEXITED(got) && WEXITSTATUS(got) == status) << args;
        std::vector<std::string> tail = Tail(root.ReadFile("out"));
        tail.erase(std::remove(tail.begin(), tail.end(), std::string(43, '-')), tail.end());
        EXPECT_EQ(std::vector(tail.end() - std::min(last.size(), tail.size()), tail.end()), last)
            << args;
    }
    EXPECT_EQ(root.ReadFile("m1"), sum + "a\n");
    EXPECT_EQ(root.ReadFile("m2"), sum + "sub/b\n" + sum + "a\n");
}
