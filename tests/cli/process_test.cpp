// copycheck-cli as a process: standard output as a shell may leave it, and Ctrl-C.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/tempdir.h"

extern char** environ;

namespace {

enum class Out { kClosed, kFull, kReaderGone, kPipe };

struct Process {
    pid_t pid = -1;
    int out = -1;  // a pipe from its standard output, for kPipe
    int err = -1;  // a pipe from its standard error
};

Process Start(std::vector<std::string> args, Out out) {
    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe2(outPipe, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
    if (out == Out::kReaderGone)
        close(outPipe[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (out == Out::kClosed)
        posix_spawn_file_actions_addclose(&actions, 1);
    else if (out == Out::kFull)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    args.insert(args.begin(), COPYCHECK_CLI);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    Process p;
    EXPECT_EQ(posix_spawn(&p.pid, COPYCHECK_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    p.out = out == Out::kReaderGone ? -1 : outPipe[0];
    p.err = errPipe[0];
    return p;
}

// Appends what one read gives; false at the end.
bool ReadSome(int fd, std::string& text) {
    std::string chunk(4096, '\0');
    ssize_t n = read(fd, chunk.data(), chunk.size());
    text.append(chunk, 0, n > 0 ? static_cast<size_t>(n) : 0);
    return n > 0;
}

// Reads the rest of both pipes and returns the exit status, or 128 + the signal.
int Finish(Process& p, std::string& out, std::string& err) {
    while (p.out >= 0 && ReadSome(p.out, out)) {
    }
    while (ReadSome(p.err, err)) {
    }
    close(p.out);
    close(p.err);
    int status = 0;
    EXPECT_EQ(waitpid(p.pid, &status, 0), p.pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(CliProcess, OutputThatCannotBeWrittenIsStatusTwo) {
    TempDir root;
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hello");
    for (Out out : {Out::kClosed, Out::kFull, Out::kReaderGone}) {
        Process p = Start({root.Path("src"), root.Path("dst")}, out);
        std::string text, err;
        EXPECT_EQ(Finish(p, text, err), 2) << static_cast<int>(out);
        EXPECT_EQ(err, "copycheck-cli: standard output could not be written\n");
    }
}

TEST(CliProcess, CtrlCEndsTheRunWithItsClosingLinesAndACompleteLog) {
    // More output than a pipe holds: the run cannot end before the test reads on.
    TempDir root;
    for (int i = 0; i < 1000; ++i) {
        std::string name = std::string(100, 'n') + std::to_string(i);
        root.WriteFile("src/" + name, "x");
        root.WriteFile("dst/" + name, "x");
    }
    std::string src = root.Path("src"), log = root.Path("run.log");
    Process p = Start({"-l", log, src, root.Path("dst")}, Out::kPipe);
    std::string out, err;
    while (out.find("File [") == std::string::npos && ReadSome(p.out, out)) {
    }
    kill(p.pid, SIGINT);
    EXPECT_EQ(Finish(p, out, err), 2);
    EXPECT_EQ(err, "");

    std::string text = root.ReadFile("run.log");
    auto has = [&](const std::string& line) {
        return text.find("\r\n" + platform::Utf8ToCp932(line) + "\r\n") != std::string::npos;
    };
    EXPECT_TRUE(has("コピー元パス：" + src));
    EXPECT_TRUE(has("結果ログファイルを作成します：" + log));
    EXPECT_TRUE(has("＜チェックは中断されました＞"));
    EXPECT_TRUE(has("比較は実行されませんでした。"));
    // The last line counts the files compared before the stop: fewer than all.
    size_t last = text.rfind("\r\n", text.size() - 3) + 2;
    std::string counts = text.substr(last);
    ASSERT_TRUE(counts.starts_with("dir:0  file:")) << counts;
    EXPECT_TRUE(counts.ends_with("  error:0\r\n")) << counts;
    EXPECT_LT(std::stoi(counts.substr(12)), 1000);
    EXPECT_TRUE(out.ends_with("\n" + counts.substr(0, counts.size() - 2) + "\n"));
}

}  // namespace
