// The log writer: code page 932 with CR LF, written through a buffer, failures remembered.
#include "run/log.h"

#include <gtest/gtest.h>

#include "tests/support/fake_fs.h"

namespace test {
namespace {

TEST(LogFile, CodePage932WithCrLfAndEmbeddedLineBreaksKept) {
    FakeFileSystem fs;
    fs.AddFile("a.log", "an older, longer log");
    CLogFile log;
    ASSERT_TRUE(log.Open(fs, "a.log"));
    log.WriteLine("チェック終了");
    log.WriteLine("名前é😀");  // characters code page 932 lacks: one '?' each
    log.WriteLine("x\r\ny");
    log.WriteLine("");
    ASSERT_TRUE(log.Close());
    EXPECT_EQ(fs.Content("a.log"),
              "\x83\x60\x83\x46\x83\x62\x83\x4E\x8F\x49\x97\xB9\r\n"
              "\x96\xBC\x91\x4F??\r\n"
              "x\r\r\ny\r\n\r\n");
}

TEST(LogFile, FailuresAreKeptFromTheFirstOn) {
    struct Case {
        FakeFileSystem::Op op;
        const char* call;
    };
    for (Case c :
         {Case{FakeFileSystem::Op::Create, "open"}, Case{FakeFileSystem::Op::Write, "write"},
          Case{FakeFileSystem::Op::Close, "close"}}) {
        SCOPED_TRACE(c.call);
        FakeFileSystem fs;
        fs.Fail(c.op, "a.log");
        if (c.op == FakeFileSystem::Op::Write)
            fs.Fail(FakeFileSystem::Op::Close, "a.log");  // the later failure is not the one told
        CLogFile log;
        bool opened = log.Open(fs, "a.log");
        EXPECT_EQ(opened, c.op != FakeFileSystem::Op::Create);
        log.WriteLine("a");
        EXPECT_FALSE(log.Close());
        EXPECT_EQ(log.FirstError().call, c.call);
    }
}

}  // namespace
}  // namespace test
