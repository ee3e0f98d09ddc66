#include "server/TarGz.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace server {

namespace fs = std::filesystem;

namespace {

void Octal(char* field, size_t width, unsigned long long value) {
    std::snprintf(field, width, "%0*llo", static_cast<int>(width - 1), value);
}

void AddEntry(std::string& tar, const std::string& name, char type, const std::string& content) {
    if (name.size() > 99) throw std::runtime_error(name + ": name too long for the archive");
    std::array<char, 512> h{};
    std::memcpy(h.data(), name.data(), name.size());
    Octal(h.data() + 100, 8, type == '5' ? 0755 : 0644);
    Octal(h.data() + 108, 8, 0);
    Octal(h.data() + 116, 8, 0);
    Octal(h.data() + 124, 12, content.size());
    Octal(h.data() + 136, 12, 0);
    h[156] = type;
    std::memcpy(h.data() + 257, "ustar", 6);
    std::memcpy(h.data() + 263, "00", 2);
    std::memset(h.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (char c : h) sum += static_cast<unsigned char>(c);
    std::snprintf(h.data() + 148, 8, "%06o", sum);
    h[155] = ' ';
    tar.append(h.data(), h.size());
    tar += content;
    tar.append((512 - content.size() % 512) % 512, '\0');
}

std::string Gzip(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib cannot start");
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib cannot compress the folder");
    return out;
}

}  // namespace

std::string TarGzFolder(const std::string& folder, const std::string& prefix) {
    std::vector<fs::path> entries;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() || e.is_directory()) entries.push_back(e.path());
    std::sort(entries.begin(), entries.end());
    std::string tar;
    AddEntry(tar, prefix + "/", '5', "");
    for (const fs::path& p : entries) {
        const std::string name = prefix + "/" + fs::relative(p, folder).generic_string();
        if (fs::is_directory(p)) {
            AddEntry(tar, name + "/", '5', "");
            continue;
        }
        std::ifstream in(p, std::ios::binary);
        if (!in) throw std::runtime_error(p.string() + ": cannot be read");
        AddEntry(tar, name, '0', std::string(std::istreambuf_iterator<char>(in), {}));
    }
    tar.append(1024, '\0');
    return Gzip(tar);
}

}  // namespace server
