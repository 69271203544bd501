// The log writer: code page 932, CR LF line ends, buffering, and failures remembered.
#include "run/log.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace {

// Files whose writes or close fail from a given point on; everything else is refused.
class FailingFileSystem : public platform::FileSystem {
public:
    int failWriteFrom = 1 << 30;  // the first write (counted from 1) that fails
    bool failClose = false;
    int writes = 0;
    std::string written;

    bool List(const std::string&, std::vector<platform::DirEntry>&, platform::Error& e) override {
        e.code = 1;
        return false;
    }
    std::unique_ptr<platform::InputFile> OpenRead(const std::string&, platform::Error& e) override {
        e.code = 1;
        return nullptr;
    }
    bool Exists(const std::string&) override { return false; }
    bool Identify(const std::string&, platform::FileId&, platform::Error& e) override {
        e.code = 1;
        return false;
    }
    std::unique_ptr<platform::OutputFile> Create(const std::string& path,
                                                 platform::Error&) override {
        return std::make_unique<File>(*this, path);
    }

private:
    struct File : platform::OutputFile {
        File(FailingFileSystem& fs, std::string path) : fs(fs), path(std::move(path)) {}
        bool Write(const void* data, size_t n, platform::Error& e) override {
            if (++fs.writes >= fs.failWriteFrom) {
                e = {28, "write", path};
                return false;
            }
            fs.written.append(static_cast<const char*>(data), n);
            return true;
        }
        bool Close(platform::Error& e) override {
            if (!fs.failClose) return true;
            e = {5, "close", path};
            return false;
        }
        FailingFileSystem& fs;
        std::string path;
    };
};

TEST(LogFile, WritesCodePage932WithCrLf) {
    TempDir dir;
    CLogFile log;
    ASSERT_TRUE(log.Open(platform::RealFileSystem(), dir.Path("a.log")));
    log.WriteLine("チェック終了");
    log.WriteLine("名前é😀");  // characters code page 932 lacks: one '?' each
    log.WriteLine("x\r\ny");
    ASSERT_TRUE(log.Close());
    EXPECT_EQ(dir.ReadFile("a.log"),
              "\x83\x60\x83\x46\x83\x62\x83\x4E\x8F\x49\x97\xB9\r\n"
              "\x96\xBC\x91\x4F??\r\n"
              "x\r\r\ny\r\n");
}

TEST(LogFile, OpeningEmptiesAnExistingFile) {
    TempDir dir;
    dir.WriteFile("a.log", "old contents that are longer");
    CLogFile log;
    ASSERT_TRUE(log.Open(platform::RealFileSystem(), dir.Path("a.log")));
    log.WriteLine("new");
    ASSERT_TRUE(log.Close());
    EXPECT_EQ(dir.ReadFile("a.log"), "new\r\n");
}

TEST(LogFile, OpenFailsForAMissingFolder) {
    TempDir dir;
    CLogFile log;
    EXPECT_FALSE(log.Open(platform::RealFileSystem(), dir.Path("missing/a.log")));
    EXPECT_TRUE(log.FirstError().failed());
}

TEST(LogFile, BuffersInsteadOfWritingEachLine) {
    FailingFileSystem fs;
    CLogFile log;
    ASSERT_TRUE(log.Open(fs, "x.log"));
    for (int i = 0; i < 100; ++i) log.WriteLine("line");
    EXPECT_EQ(fs.writes, 0);
    ASSERT_TRUE(log.Close());
    EXPECT_EQ(fs.writes, 1);
    EXPECT_EQ(fs.written.size(), 100u * 6);
}

TEST(LogFile, FirstWriteFailureIsKept) {
    FailingFileSystem fs;
    fs.failWriteFrom = 2;
    fs.failClose = true;
    CLogFile log;
    ASSERT_TRUE(log.Open(fs, "x.log"));
    std::string big(40000, 'a');
    for (int i = 0; i < 6; ++i) log.WriteLine(big);  // several flushes
    EXPECT_FALSE(log.Close());
    EXPECT_EQ(log.FirstError().call, "write");
    EXPECT_EQ(log.FirstError().code, 28);
}

TEST(LogFile, FailedCloseIsReported) {
    FailingFileSystem fs;
    fs.failClose = true;
    CLogFile log;
    ASSERT_TRUE(log.Open(fs, "x.log"));
    log.WriteLine("a");
    EXPECT_FALSE(log.Close());
    EXPECT_EQ(log.FirstError().call, "close");
}

}  // namespace
