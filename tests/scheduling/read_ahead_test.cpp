// Reads in flight: a file gives what it holds, whether a thread read it ahead or the caller
// opened it itself.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "scheduling/read_ahead.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"

namespace scheduling {
namespace {

std::string ReadAll(platform::InputFile& file, bool& ok) {
    std::string all, piece(1000, '\0');
    size_t got = 0;
    platform::Error error;
    do {
        ok = file.Read(piece.data(), piece.size(), got, error);
        all.append(piece.data(), got);
    } while (ok && got == piece.size());
    return all;
}

// The files opened, and by how many threads. The caller reads them up to the one at last,
// then ends with the rest of the plan still being read: nothing may be left running or leaked.
size_t OpenAll(std::chrono::microseconds openTakes, bool someFromMedium, int last = 39) {
    test::FakeFileSystem fs;
    fs.openTakes = openTakes;
    std::mutex mutex;
    std::set<std::thread::id> openers;
    fs.onCall = [&](const std::string& call) {
        std::lock_guard lock(mutex);
        if (call.starts_with("OpenRead"))
            openers.insert(std::this_thread::get_id());
    };
    std::vector<ReadAhead::Planned> plan;
    for (int i = 0; i < 40; ++i) {
        std::string path = "d/f" + std::to_string(i);
        fs.AddFile(path, Bytes(100 * i, i));
        plan.push_back({path, someFromMedium && i % 2 == 1, 100u * i});
    }
    fs.Put("d/f7").badAt = 10;
    fs.AddFile("d/unplanned", Bytes(5000));
    ReadAhead stage(fs, 4096);
    stage.Plan(plan);
    for (int i = 0; i <= last; ++i) {
        if (i == 5)
            continue;  // never opened: dropped when the next one is
        platform::Error error;
        std::unique_ptr<platform::InputFile> file =
            stage.Open(plan[i].path, plan[i].fromMedium, error);
        EXPECT_TRUE(file) << plan[i].path;
        if (!file)
            continue;
        bool ok;
        std::string bytes = ReadAll(*file, ok);
        EXPECT_EQ(ok, i != 7) << plan[i].path;
        EXPECT_EQ(bytes, i == 7 ? Bytes(10, 7) : Bytes(100 * i, i)) << plan[i].path;
        if (i == 20) {  // one never planned, in the middle: the plan stays
            std::unique_ptr<platform::InputFile> other = stage.Open("d/unplanned", false, error);
            EXPECT_EQ(ReadAll(*other, ok), Bytes(5000));
        }
    }
    platform::Error error;
    EXPECT_EQ(stage.Open("d/missing", true, error), nullptr);
    EXPECT_EQ(error.path, "d/missing");
    return openers.size();
}

TEST(ReadAhead, EachFileAsItIsWhoeverReadItFirst) {
    // A device's time, long enough for every system's sleep: files go to the threads.
    EXPECT_GE(OpenAll(std::chrono::milliseconds(2), true), 3u)
        << "the caller and at least two threads opened files";
    // All through a cache that answers: the caller and a second reader share them.
    OpenAll(std::chrono::microseconds(0), false);
    for (bool someFromMedium : {false, true})
        OpenAll(std::chrono::microseconds(0), someFromMedium, 1);
}

}  // namespace
}  // namespace scheduling
