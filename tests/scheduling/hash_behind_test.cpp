// SHA-256 by the system's implementation, given its bytes at once, in pieces, or behind.
#include <gtest/gtest.h>

#include "scheduling/hash_behind.h"
#include "tests/support/bytes.h"

namespace scheduling {
namespace {

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
