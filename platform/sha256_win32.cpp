// SHA-256 through CNG.
#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <utility>

#include "platform/sha256.h"

namespace platform {

namespace {

// One provider for the process; opening it is the costly part. Null when there is none.
BCRYPT_ALG_HANDLE Provider() {
    static BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        NTSTATUS status = BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        return BCRYPT_SUCCESS(status) ? handle : nullptr;
    }();
    return provider;
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool failed = false;

    ~State() { Stop(); }

    void Stop() {
        if (hash)
            BCryptDestroyHash(std::exchange(hash, nullptr));
    }
    // Ready for a new digest, or failed.
    void Start() {
        BCRYPT_ALG_HANDLE provider = Provider();
        failed = !provider ||
                 !BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0));
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->Start();
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t n) {
    auto bytes = static_cast<unsigned char*>(const_cast<void*>(data));
    // CNG takes at most 4 GiB at a time.
    while (n > 0 && !state_->failed) {
        ULONG part = n > 0x40000000 ? 0x40000000 : static_cast<ULONG>(n);
        state_->failed = !BCRYPT_SUCCESS(BCryptHashData(state_->hash, bytes, part, 0));
        bytes += part;
        n -= part;
    }
}

// The hash cannot take more once finished: a new one is made.
bool Sha256::Final(Digest& digest) {
    bool done =
        !state_->failed && BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, digest.data(),
                                                           static_cast<ULONG>(digest.size()), 0));
    state_->Stop();
    state_->Start();
    return done;
}

}  // namespace platform
