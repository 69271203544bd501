// SHA-256 through OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <stdexcept>

#include "platform/sha256.h"

namespace platform {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

void Check(int ok, const char* call) {
    if (ok != 1)
        throw std::runtime_error(std::string("SHA-256: ") + call + " failed");
}

}  // namespace

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    if (!state_->context)
        throw std::runtime_error("SHA-256: EVP_MD_CTX_new failed");
    Check(EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr), "EVP_DigestInit_ex");
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(state_->context);
}

void Sha256::Update(const void* data, size_t n) {
    Check(EVP_DigestUpdate(state_->context, data, n), "EVP_DigestUpdate");
}

Sha256::Digest Sha256::Final() {
    Digest digest;
    unsigned int size = 0;
    Check(EVP_DigestFinal_ex(state_->context, digest.data(), &size), "EVP_DigestFinal_ex");
    Check(EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr), "EVP_DigestInit_ex");
    return digest;
}

}  // namespace platform
