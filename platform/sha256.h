// SHA-256 by the system's own implementation (libcrypto on POSIX, CNG on Windows).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace platform {

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    // Throws nothing but std::bad_alloc: where the system's hash cannot be had, or fails, Final
    // says so.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t n);
    // The digest of everything given since the last Final, which starts it afresh; false
    // when the system's hash failed on any of it.
    [[nodiscard]] bool Final(Digest& digest);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// 64 lowercase hex digits.
std::string ToHex(const Sha256::Digest& digest);

}  // namespace platform
