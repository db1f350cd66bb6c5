#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct evp_md_ctx_st; // OpenSSL's EVP_MD_CTX

// SHA-256 of a stream of bytes, through OpenSSL's libcrypto (EVP). Bytes go in with Update in
// as many pieces as the caller likes; FinishHex gives the digest once, as 64 lower-case hex
// digits.
//
// Ownership: the object owns its digest context. Threads: one object belongs to one thread at
// a time; objects of different threads share nothing.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Adds size bytes to the digest. Ignored after FinishHex or a failure.
    void Update(const void* data, size_t size);

    // The digest of every byte added, as 64 lower-case hex digits; empty when the library
    // failed at any step (no SHA-256 in this libcrypto, no memory) or on a second call.
    std::string FinishHex();

    // False once the library has failed; the digest is then lost.
    bool Ok() const { return m_context != nullptr; }

    // The digest of bytes in one call; empty when the library fails.
    static std::string OfBytes(std::string_view bytes);

private:
    void Fail();

    evp_md_ctx_st* m_context = nullptr; // null after a failure or FinishHex
};

// Whether text is a SHA-256 digest as FinishHex writes it: 64 lower-case hex digits.
bool IsSha256Hex(std::string_view text);
