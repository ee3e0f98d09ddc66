#pragma once
// SHA-256 (OpenSSL's libcrypto) and random tokens from the kernel's generator.

#include <string>

namespace server {

std::string Sha256Hex(const std::string& bytes);
// bytes random bytes from getrandom(2), as lowercase hex; throws when the kernel cannot give them.
std::string RandomHex(size_t bytes);

}  // namespace server
