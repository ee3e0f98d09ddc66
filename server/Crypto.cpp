#include "server/Crypto.h"

#include <openssl/evp.h>
#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace server {

namespace {
std::string Hex(const unsigned char* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}
}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    return Hex(digest, length);
}

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = getrandom(buffer.data() + got, bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("getrandom failed");
        }
        got += static_cast<size_t>(n);
    }
    return Hex(buffer.data(), bytes);
}

}  // namespace server
