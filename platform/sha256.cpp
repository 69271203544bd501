// The digest as text, on every system.
#include "platform/sha256.h"

namespace platform {

std::string ToHex(const Sha256::Digest& digest) {
    std::string hex;
    for (unsigned char byte : digest) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 0xF];
    }
    return hex;
}

}  // namespace platform
