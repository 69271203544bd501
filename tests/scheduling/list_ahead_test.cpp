// Listings ahead: the caller gets each directory's own listing, whichever thread made it,
// and the window is only ever touched from its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "scheduling/list_ahead.h"
#include "tests/support/fake_fs.h"

namespace scheduling {
namespace {

using namespace std::chrono_literals;

// The thread takes the far directory and is slow at it; the caller waits for that to begin,
// then either asks for it or ends while it is being listed: either way it waits, and keeps
// the window alive meanwhile.
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

}  // namespace
}  // namespace scheduling
