// SHA-256 through OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "platform/sha256.h"

namespace platform {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    bool failed = false;

    ~State() { EVP_MD_CTX_free(context); }

    // Ready for a new digest, or failed: the context may be missing, or the configuration
    // may offer no SHA-256.
    void Start() {
        if (!context)
            context = EVP_MD_CTX_new();
        failed = !context || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1;
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->Start();
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t n) {
    if (!state_->failed)
        state_->failed = EVP_DigestUpdate(state_->context, data, n) != 1;
}

bool Sha256::Final(Digest& digest) {
    unsigned int size = 0;
    bool done = !state_->failed && EVP_DigestFinal_ex(state_->context, digest.data(), &size) == 1;
    state_->Start();
    return done;
}

}  // namespace platform
