#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/error.h"

namespace {

TEST(Describe, NamesCallPathAndReason) {
    platform::Error error;
    error.call = "open";
    error.path = "dir/日本語.txt";
    error.code = 2;  // ENOENT and ERROR_FILE_NOT_FOUND alike
    std::string described = platform::Describe(error);
    std::string head = "open dir/日本語.txt: ";
    ASSERT_GT(described.size(), head.size());
    EXPECT_EQ(described.substr(0, head.size()), head);
    // The system's own text ends in a line break that must not reach the message.
    char last = described.back();
    EXPECT_TRUE(last != '\n' && last != '\r' && last != ' ') << described;
#ifndef _WIN32
    EXPECT_EQ(described, head + "No such file or directory");
#endif
}

TEST(Describe, WithoutPathHasNoGap) {
    platform::Error error;
    error.call = "getcwd";
    error.code = 2;
    EXPECT_EQ(platform::Describe(error).substr(0, 8), "getcwd: ");
}

TEST(Describe, UnknownCodeStillSaysSomething) {
    platform::Error error;
    error.call = "read";
    error.code = 987654;
    std::string described = platform::Describe(error);
    EXPECT_GT(described.size(), std::string("read: ").size()) << described;
}

}  // namespace
