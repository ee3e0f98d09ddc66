#include "online/CourseArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace CourseArchive {
namespace {
bool Gunzip(const std::string& packed, std::string& out, std::string& error) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) {
        error = "archive: zlib cannot start";
        return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    char buffer[1 << 16];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) break;
        out.append(buffer, sizeof buffer - z.avail_out);
        if (out.size() > kMaxUnpackedBytes + 1024 * 1024) {
            rc = Z_MEM_ERROR;
            error = "archive: unpacks to more than " + std::to_string(kMaxUnpackedBytes >> 20) + " MiB";
            break;
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) break;  // truncated
    }
    inflateEnd(&z);
    if (rc == Z_STREAM_END) return true;
    if (error.empty()) error = "archive: not a whole gzip stream";
    return false;
}

// A header's field as a string, up to its first NUL.
std::string Field(const char* p, size_t n) { return std::string(p, strnlen(p, n)); }

bool Octal(const char* p, size_t n, unsigned long long& value) {
    value = 0;
    size_t i = 0;
    while (i < n && p[i] == ' ') ++i;
    bool any = false;
    for (; i < n && p[i] >= '0' && p[i] <= '7'; ++i) {
        value = value * 8 + static_cast<unsigned>(p[i] - '0');
        if (value > (1ull << 40)) return false;
        any = true;
    }
    for (; i < n; ++i)
        if (p[i] != ' ' && p[i] != '\0') return false;
    return any;
}

// Plain names only: each part letters, digits, '.', '_' or '-', none "." or "..".
bool SafeParts(const std::string& name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty() || name.front() == '/') return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (slash == std::string::npos || !part.empty()) {
            if (part.empty() && slash == std::string::npos) break;  // a folder's trailing slash
            if (part == "." || part == ".." || part.size() > 100) return false;
            if (part.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") !=
                std::string::npos)
                return false;
            parts.push_back(part);
        } else {
            return false;  // "a//b"
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return !parts.empty() && parts.size() <= 8;
}

bool WriteNew(const fs::path& path, const char* data, size_t size) {
    // O_EXCL and O_NOFOLLOW: never through something already there.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && done == size;
}
}  // namespace

bool Unpack(const std::string& archive, const std::string& dest, std::string& id, std::string& error) {
    if (archive.size() > kMaxPackedBytes) {
        error = "archive: larger than " + std::to_string(kMaxPackedBytes >> 20) + " MiB";
        return false;
    }
    std::string tar;
    if (!Gunzip(archive, tar, error)) return false;
    size_t at = 0, entries = 0, total = 0;
    id.clear();
    std::vector<std::string> parts;
    while (at + 512 <= tar.size()) {
        const char* h = tar.data() + at;
        if (std::all_of(h, h + 512, [](char c) { return c == '\0'; })) break;  // the end blocks
        if (++entries > kMaxEntries) {
            error = "archive: more than " + std::to_string(kMaxEntries) + " entries";
            return false;
        }
        unsigned long long sum = 0, claimed = 0, size = 0;
        for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(h[i]);
        if (!Octal(h + 148, 8, claimed) || claimed != sum) {
            error = "archive: entry " + std::to_string(entries) + ": damaged header";
            return false;
        }
        std::string name = Field(h, 100);
        const std::string prefix = std::memcmp(h + 257, "ustar", 5) == 0 ? Field(h + 345, 155) : std::string();
        if (!prefix.empty()) name = prefix + "/" + name;
        const char type = h[156];
        if (!Octal(h + 124, 12, size)) {
            error = "archive: " + name + ": damaged size";
            return false;
        }
        if (type != '0' && type != '\0' && type != '5') {
            error = "archive: " + name + ": not a plain file or folder (links and the like are refused)";
            return false;
        }
        if (!SafeParts(name, parts)) {
            error = "archive: " + name + ": not a plain name inside the course's folder";
            return false;
        }
        if (id.empty()) id = parts.front();
        if (parts.front() != id) {
            error = "archive: " + name + ": outside the course's folder " + id;
            return false;
        }
        const size_t dataAt = at + 512;
        const size_t padded = static_cast<size_t>((size + 511) / 512 * 512);
        if (size > tar.size() || dataAt + padded > tar.size()) {
            error = "archive: " + name + ": cut short";
            return false;
        }
        total += static_cast<size_t>(size);
        if (total > kMaxUnpackedBytes) {
            error = "archive: unpacks to more than " + std::to_string(kMaxUnpackedBytes >> 20) + " MiB";
            return false;
        }
        fs::path path = dest;
        for (const std::string& part : parts) path /= part;
        std::error_code ec;
        if (type == '5') {
            fs::create_directories(path, ec);
            if (ec) {
                error = "archive: " + name + ": cannot make the folder";
                return false;
            }
        } else {
            fs::create_directories(path.parent_path(), ec);
            if (ec || !WriteNew(path, tar.data() + dataAt, static_cast<size_t>(size))) {
                error = "archive: " + name + ": cannot be written (twice in the archive?)";
                return false;
            }
        }
        at = dataAt + padded;
    }
    if (id.empty()) {
        error = "archive: empty";
        return false;
    }
    return true;
}

bool Install(const std::string& archive, const std::string& coursesDir, const std::string& wantedId,
             std::string& error) {
    std::error_code ec;
    fs::create_directories(coursesDir, ec);
    // Beside the courses folder, not in it: the game never sees half a course.
    const fs::path beside = fs::path(coursesDir).parent_path();
    std::string temp = (beside / ".course-unpack-XXXXXX").string();
    if (!mkdtemp(temp.data())) {
        error = "cannot write in " + coursesDir;
        return false;
    }
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code e;
            fs::remove_all(dir, e);
        }
    } cleanup{temp};
    std::string id;
    if (!Unpack(archive, temp, id, error)) return false;
    if (id != wantedId) {
        error = "archive: holds course " + id + ", not " + wantedId;
        return false;
    }
    if (!fs::is_regular_file(fs::path(temp) / id / "course.json", ec)) {
        error = "archive: " + id + "/course.json: missing";
        return false;
    }
    const fs::path target = fs::path(coursesDir) / id;
    if (fs::exists(target, ec)) {
        // The copy there goes aside rather than being lost.
        const fs::path aside = beside / "courses-replaced" / id;
        fs::remove_all(aside, ec);
        fs::create_directories(aside.parent_path(), ec);
        fs::rename(target, aside, ec);
        if (ec) {
            error = target.string() + ": already there and cannot be moved aside";
            return false;
        }
    }
    fs::rename(fs::path(temp) / id, target, ec);
    if (ec) {
        error = "cannot move the course into " + target.string();
        return false;
    }
    return true;
}
}  // namespace CourseArchive
