// copycheck-cli reads the copy from its medium unless --cached asks for the system's cache;
// reading a file's two sides at once can be turned off for measuring, with the same output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/run/page_cache.h"
#include "tests/support/bytes.h"
#include "tests/support/tempdir.h"

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = cli::RunCli(args, out, err, {});
    return {status, out.str(), err.str()};
}

// The output without the lines that tell the time.
std::string Untimed(const std::string& out) {
    std::istringstream in(out);
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (line.find("時刻") == line.npos && !line.starts_with("所用時間"))
            kept += line + "\n";
    return kept;
}

TEST(CliCached, HelpNamesTheOptionButNotTheOverlapSwitch) {
    Result r = Cli({"--help"});
    EXPECT_NE(r.out.find("--cached"), std::string::npos);
    EXPECT_EQ(r.out.find("OVERLAP"), std::string::npos);
}

class CliMediumTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            std::string name = std::string("f") + std::to_string(i);
            root.WriteFile("src/" + name, Bytes(200000 + i, i));
            root.WriteFile("dst/" + name, Bytes(200000 + i, i == 2 ? 9 : i));
            names.push_back(name);
        }
        if (!test::TakesDirectReads(root.Path("dst/f0")))
            GTEST_SKIP() << "the temporary directory takes no O_DIRECT reads";
    }
    // The copy's pages in the cache after a run with args on the dropped tree.
    size_t ResidentAfter(std::vector<std::string> args, Result& r) {
        for (const std::string& name : names)
            test::DropFromCache(root.Path("dst/" + name));
        args.insert(args.end(), {"-b", "64", "-d", "9", root.Path("src"), root.Path("dst")});
        r = Cli(args);
        size_t resident = 0;
        for (const std::string& name : names)
            resident += test::ResidentPages(root.Path("dst/" + name)).first;
        return resident;
    }

    TempDir root;
    std::vector<std::string> names;
};

TEST_F(CliMediumTest, CachedReadsTheCopyThroughTheCacheWithTheSameOutput) {
    Result medium, cached;
    EXPECT_EQ(ResidentAfter({}, medium), 0u);
    EXPECT_GT(ResidentAfter({"--cached"}, cached), 3 * (200000 / 4096));
    EXPECT_EQ(medium.status, 1);
    EXPECT_EQ(cached.status, 1);
    EXPECT_EQ(Untimed(cached.out), Untimed(medium.out));
    EXPECT_EQ(cached.err, medium.err);
}

TEST_F(CliMediumTest, OverlapTurnedOffGivesTheSameOutput) {
    Result overlapped, single;
    ResidentAfter({}, overlapped);
    setenv("COPYCHECK_OVERLAP", "0", 1);
    ResidentAfter({}, single);
    unsetenv("COPYCHECK_OVERLAP");
    EXPECT_EQ(single.status, overlapped.status);
    EXPECT_EQ(Untimed(single.out), Untimed(overlapped.out));
}

}  // namespace
