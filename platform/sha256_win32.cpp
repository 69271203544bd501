// SHA-256 through CNG.
#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "platform/sha256.h"

namespace platform {

namespace {

void Check(NTSTATUS status, const char* call) {
    if (!BCRYPT_SUCCESS(status))
        throw std::runtime_error(std::string("SHA-256: ") + call + " failed");
}

// One provider for the process; opening it is the costly part.
BCRYPT_ALG_HANDLE Provider() {
    static BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        Check(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
              "BCryptOpenAlgorithmProvider");
        return handle;
    }();
    return provider;
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;

    void Start() {
        Check(BCryptCreateHash(Provider(), &hash, nullptr, 0, nullptr, 0, 0), "BCryptCreateHash");
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->Start();
}

Sha256::~Sha256() {
    BCryptDestroyHash(state_->hash);
}

void Sha256::Update(const void* data, size_t n) {
    auto bytes = static_cast<unsigned char*>(const_cast<void*>(data));
    // CNG takes at most 4 GiB at a time.
    while (n > 0) {
        ULONG part = n > 0x40000000 ? 0x40000000 : static_cast<ULONG>(n);
        Check(BCryptHashData(state_->hash, bytes, part, 0), "BCryptHashData");
        bytes += part;
        n -= part;
    }
}

Sha256::Digest Sha256::Final() {
    Digest digest;
    Check(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0),
          "BCryptFinishHash");
    BCryptDestroyHash(std::exchange(state_->hash, nullptr));
    state_->Start();
    return digest;
}

}  // namespace platform
