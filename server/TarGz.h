#pragma once
// A folder as a .tar.gz (ustar, gzip through zlib): what a game installs a
// shared course from.

#include <string>

namespace server {

// Every regular file under folder, named PREFIX/RELATIVE-PATH, in name
// order, with fixed owners and times so the same folder gives the same
// bytes. Throws std::runtime_error on a name over 100 bytes or a read failure.
std::string TarGzFolder(const std::string& folder, const std::string& prefix);

}  // namespace server
