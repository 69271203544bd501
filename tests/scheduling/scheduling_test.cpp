// The stages that keep the device busy: listings ahead and reads in flight give what a plain
// call would, whichever thread made them, and SHA-256 hashed behind what plain SHA-256 gives.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "scheduling/hash_behind.h"
#include "scheduling/list_ahead.h"
#include "scheduling/read_ahead.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"

namespace scheduling {
namespace {

using namespace std::chrono_literals;

// The caller gets each directory's own listing, whichever thread made it, and the window is
// only ever touched from its own thread. The thread takes the far directory and is slow at it;
// the caller waits for that to begin, then either asks for it or ends while it is being listed:
// either way it waits, and keeps the window alive meanwhile.
TEST(ListAhead, GivesEachDirectoryItsListingAndPulsesOnlyTheWindowsThread) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one core: nothing is listed ahead";
    for (bool takeFar : {true, false}) {
        SCOPED_TRACE(takeFar ? "asks for the far one" : "ends while it is listed");
        test::FakeFileSystem fs;
        for (const std::string dir : {"a", "b", "c"})
            for (int i = 0; i < 300; ++i)
                fs.AddFile(dir + "/" + std::to_string(i), dir);
        std::atomic<bool> farBegun = false;
        fs.onCall = [&](const std::string& call) {
            if (call == "List c/") {
                farBegun = true;
                std::this_thread::sleep_for(200ms);
            }
            for (auto until = std::chrono::steady_clock::now() + 5s;
                 call == "List a/" && !farBegun && std::chrono::steady_clock::now() < until;)
                std::this_thread::yield();
        };
        const std::thread::id window = std::this_thread::get_id();
        std::atomic<int> pulses = 0, elsewhere = 0;
        fs.SetPulse([&] {
            ++pulses;
            elsewhere += std::this_thread::get_id() != window;
        });
        int waits = 0;
        {
            ListAhead ahead(fs, [&] { ++waits; });
            ahead.Plan({"a/", "b/", "c/"});
            for (const std::string dir : {"a/", "b/", "c/"}) {
                if (!takeFar && dir == "c/")
                    break;
                std::vector<platform::DirEntry> entries;
                ASSERT_TRUE(ahead.List(dir, entries)) << dir;
                ASSERT_EQ(entries.size(), 300u) << dir;
                EXPECT_EQ(fs.Content(dir + entries[299].name) + "/", dir);
            }
        }
        EXPECT_EQ(fs.Calls("List").size(), 3u);
        EXPECT_EQ(elsewhere, 0);
        EXPECT_EQ(pulses, 600);  // a and b, listed by the caller
        EXPECT_GE(waits, 1);
    }
}

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
    std::lock_guard lock(mutex);  // the threads may still be reading the rest of the plan
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

TEST(HashBehind, KnownDigestsHoweverTheBytesAreGiven) {
    // Pieces across the 64-byte block and the size at which blocks are hashed behind.
    using Row = std::tuple<std::string, std::vector<size_t>, const char*>;
    for (const auto& [bytes, pieces, hex] : std::initializer_list<Row>{
             {"", {0}, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
             {"abc", {1, 0, 2}, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
             {std::string(1000000, 'a'),
              {63, 65, 262144, 1 << 19, 1000000 - 63 - 65 - 262144 - (1 << 19)},
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}}) {
        platform::Sha256 sha;
        HashBehind behind(2);
        behind.Add("forgotten", 9);
        behind.Reset();
        size_t at = 0;
        for (size_t n : pieces) {
            sha.Update(bytes.data() + at, n);
            behind.Add(bytes.data() + at, n);
            at += n;
        }
        platform::Sha256::Digest digest, behinds, again;
        ASSERT_TRUE(sha.Final(digest) && behind.Final(behinds) && sha.Final(again));
        EXPECT_EQ(platform::ToHex(digest), hex);
        EXPECT_EQ(platform::ToHex(behinds), hex);
        EXPECT_EQ(platform::ToHex(again),
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    }
}

}  // namespace
}  // namespace scheduling
