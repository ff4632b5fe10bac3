#include "framework/records/RecordFileKey.h"

// The low-level SHA-1 calls keep a hash state that can be copied; OpenSSL 3 marks them old.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <fcntl.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

namespace quillet {

namespace {

// SQLCipher turns a passphrase into a file's key with PBKDF2-HMAC-SHA1 over the salt in the
// file's first 16 bytes, 64,000 rounds, every time the file is opened; through the generic
// interface that costs each of the two keyed files as much as the rest of a backup of an
// unchanged folder. The same key, derived here with the HMAC's inner and outer states
// computed once, is handed over raw ("x'hex'"), which SQLCipher takes without deriving.
constexpr int kKdfRounds = 64000;
constexpr std::size_t kSaltSize = 16, kKeySize = 32;

std::string deriveRawKey(std::string_view passphrase, const unsigned char* salt) {
    unsigned char block[SHA_CBLOCK] = {};
    if (passphrase.size() > sizeof block)
        SHA1(reinterpret_cast<const unsigned char*>(passphrase.data()), passphrase.size(), block);
    else
        std::memcpy(block, passphrase.data(), passphrase.size());
    unsigned char pad[SHA_CBLOCK];
    SHA_CTX inner, outer;
    for (std::size_t i = 0; i < sizeof pad; ++i) pad[i] = block[i] ^ 0x36;
    SHA1_Init(&inner);
    SHA1_Update(&inner, pad, sizeof pad);
    for (std::size_t i = 0; i < sizeof pad; ++i) pad[i] = block[i] ^ 0x5c;
    SHA1_Init(&outer);
    SHA1_Update(&outer, pad, sizeof pad);
    const auto hmac = [&](const unsigned char* a, std::size_t aSize, const unsigned char* b, std::size_t bSize,
                          unsigned char* out) {
        unsigned char h[SHA_DIGEST_LENGTH];
        SHA_CTX c = inner;
        SHA1_Update(&c, a, aSize);
        if (bSize) SHA1_Update(&c, b, bSize);
        SHA1_Final(h, &c);
        c = outer;
        SHA1_Update(&c, h, sizeof h);
        SHA1_Final(out, &c);
    };

    std::array<unsigned char, kKeySize> key{};
    for (std::uint32_t blockNo = 1, at = 0; at < kKeySize; ++blockNo) {
        const unsigned char index[4] = {static_cast<unsigned char>(blockNo >> 24),
                                        static_cast<unsigned char>(blockNo >> 16),
                                        static_cast<unsigned char>(blockNo >> 8), static_cast<unsigned char>(blockNo)};
        unsigned char u[SHA_DIGEST_LENGTH], t[SHA_DIGEST_LENGTH];
        hmac(salt, kSaltSize, index, sizeof index, u);
        std::memcpy(t, u, sizeof t);
        for (int round = 1; round < kKdfRounds; ++round) {
            hmac(u, sizeof u, nullptr, 0, u);
            for (std::size_t i = 0; i < sizeof t; ++i) t[i] ^= u[i];
        }
        const std::size_t n = std::min<std::size_t>(sizeof t, kKeySize - at);
        std::memcpy(key.data() + at, t, n);
        at += static_cast<std::uint32_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string raw = "x'";
    for (const unsigned char b : key) {
        raw.push_back(digits[b >> 4]);
        raw.push_back(digits[b & 15]);
    }
    raw.push_back('\'');
    return raw;
}

}  // namespace

std::string recordFileRawKey(const std::string& path, std::string_view passphrase) {
    unsigned char salt[kSaltSize];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    const bool read = ::pread(fd, salt, sizeof salt, 0) == static_cast<ssize_t>(sizeof salt);
    ::close(fd);
    if (!read) return {};
    static std::mutex lock;
    static std::map<std::string, std::string> derived;
    const std::string id =
        std::string(passphrase) + '\0' + std::string(reinterpret_cast<const char*>(salt), sizeof salt);
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (const auto it = derived.find(id); it != derived.end()) return it->second;
    }
    std::string raw = deriveRawKey(passphrase, salt);
    const std::lock_guard<std::mutex> hold(lock);
    return derived.emplace(id, std::move(raw)).first->second;
}

}  // namespace quillet
