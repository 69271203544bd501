// The read and write loops both systems share, over a file whose calls follow a script.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/file.h"
#include "tests/support/bytes.h"

namespace platform {
namespace {

constexpr long kStop = -1, kFail = -2;  // interrupted (EINTR); failed with code 5
constexpr size_t kBig = size_t{16} << 20;

// Each call takes the next step of the script, then the end; places Bytes by position.
struct ScriptedFile : SystemFile {
    ScriptedFile(std::vector<long> steps, std::vector<size_t>& asked)
        : steps(std::move(steps)), asked(asked) {}
    Transfer ReadSome(void* buf, size_t n, size_t& got, int& code) override {
        Transfer done = WriteSome(nullptr, n, got, code);
        std::memcpy(buf, Bytes(offset).data() + offset - got, got);
        return done;
    }
    Transfer WriteSome(const void*, size_t n, size_t& put, int& code) override {
        asked.push_back(n);
        long step = asked.size() <= steps.size() ? steps[asked.size() - 1] : 0;
        offset += put = step > 0 ? static_cast<size_t>(step) : 0;
        code = step == kFail ? 5 : 4;
        return step == kStop   ? Transfer::kInterrupted
               : step == kFail ? Transfer::kFailed
                               : Transfer::kDone;
    }
    bool Close(int& code) override { return (code = 28) == 0; }
    std::vector<long> steps;
    std::vector<size_t>& asked;
    size_t offset = 0;
};

std::string Said(const Error& error) {
    return error.call + std::to_string(error.code) + error.path;
}

TEST(FileReader, FillsEachBlockAndStopsAtTheSizeAtOpen) {
    const struct {
        std::vector<long> steps;
        uint64_t size;              // at open
        size_t n;                   // each Read asks for
        std::vector<size_t> gots;   // by each Read, the last one short or failed
        std::vector<size_t> asked;  // of the system, call by call
    } rows[] = {
        {{4, 4}, UINT64_MAX, 8, {8}, {8, 4}},      // short before the end
        {{3}, UINT64_MAX, 8, {3}, {8, 5}},         // the end heard
        {{kStop, 8}, UINT64_MAX, 8, {8}, {8, 8}},  // interrupted
        {{3, kFail}, UINT64_MAX, 8, {3}, {8, 5}},  // keeps what came before
        {{5}, 5, 8, {5}, {8}},                     // at the size at open: no read to hear the end
        {{4, 4}, 5, 8, {8}, {8, 4}},               // grew while read
        {{8}, 8, 8, {8, 0}, {8, 8}},               // whole blocks: one more read
        {{long{kBig}, 1}, UINT64_MAX, kBig + 1, {kBig + 1}, {kBig, 1}},  // a DWORD's worth
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.steps) + " " + std::to_string(row.size));
        std::vector<size_t> asked, gots;
        FileReader file(std::make_unique<ScriptedFile>(row.steps, asked), "p", row.size);
        std::string all, buffer(row.n, '\0');
        Error error;
        bool failed = false;
        for (size_t got = 99; !failed && gots.size() < row.gots.size(); gots.push_back(got)) {
            failed = !file.Read(buffer.data(), row.n, got, error);
            all.append(buffer, 0, got);
        }
        EXPECT_EQ(gots, row.gots);
        EXPECT_EQ(asked, row.asked);
        EXPECT_TRUE(all == Bytes(all.size()));
        EXPECT_EQ(failed, row.steps.back() == kFail);
        EXPECT_EQ(Said(error), failed ? std::string(kCalls.read) + "5p" : "0");
    }
}

TEST(FileWriter, WritesAllOfEachBlock) {
    const std::tuple<std::vector<long>, size_t, std::vector<size_t>> rows[] = {
        {{3, 5}, 8, {8, 5}},
        {{kStop, 8}, 8, {8, 8}},
        {{3, kFail}, 8, {8, 5}},
        {{long{kBig}, 1}, kBig + 1, {kBig, 1}},
    };
    for (const auto& [steps, n, expected] : rows) {
        std::vector<size_t> asked;
        FileWriter file(std::make_unique<ScriptedFile>(steps, asked), "p");
        Error error;
        bool failed = steps.back() == kFail;
        EXPECT_EQ(file.Write(std::string(n, 'w').data(), n, error), !failed);
        EXPECT_EQ(asked, expected);
        EXPECT_EQ(Said(error), failed ? std::string(kCalls.write) + "5p" : "0");
        EXPECT_FALSE(file.Close(error));
        EXPECT_EQ(Said(error), std::string(kCalls.close) + "28p");
    }
}

}  // namespace
}  // namespace platform
