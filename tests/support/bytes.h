// File contents for tests: a pattern that a shifted compare would notice, and one byte changed.
#pragma once

#include <cstddef>
#include <string>

// n bytes in which neighbours differ and no run repeats within 251 bytes; another salt
// gives another pattern of the same length.
inline std::string Bytes(size_t n, unsigned salt = 0) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251 + salt) & 0xFF);
    return bytes;
}

inline std::string Flip(std::string bytes, size_t at) {
    bytes[at] = static_cast<char>(~bytes[at]);
    return bytes;
}
