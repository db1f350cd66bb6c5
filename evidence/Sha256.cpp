#include "Sha256.h"

#include <openssl/evp.h>

Sha256::Sha256() : m_context(EVP_MD_CTX_new()) {
    if (m_context != nullptr && EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1)
        Fail();
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(m_context);
}

void Sha256::Fail() {
    EVP_MD_CTX_free(m_context);
    m_context = nullptr;
}

void Sha256::Update(const void* data, size_t size) {
    if (m_context != nullptr && size > 0 && EVP_DigestUpdate(m_context, data, size) != 1)
        Fail();
}

std::string Sha256::FinishHex() {
    if (m_context == nullptr)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool done = EVP_DigestFinal_ex(m_context, digest, &length) == 1 && length == 32;
    Fail(); // the context is spent either way
    if (!done)
        return {};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0x0F];
    }
    return hex;
}

std::string Sha256::OfBytes(std::string_view bytes) {
    Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.FinishHex();
}

bool IsSha256Hex(std::string_view text) {
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}
