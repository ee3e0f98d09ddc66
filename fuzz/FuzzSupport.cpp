#include "FuzzSupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {
int g_memfd = -1;
// Plain storage, so the exit handler never sees a destroyed string.
char g_tempDir[4096];
}

std::string FuzzMemFile(const uint8_t* data, size_t size) {
    if (g_memfd < 0) {
        g_memfd = memfd_create("vorlan-fuzz", 0);
        if (g_memfd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
    }
    if (ftruncate(g_memfd, 0) != 0 || pwrite(g_memfd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::perror("memfd write");
        std::abort();
    }
    return "/proc/self/fd/" + std::to_string(g_memfd);
}

const std::string& FuzzTempDir() {
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vorlan-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::snprintf(g_tempDir, sizeof g_tempDir, "%s", pattern.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_tempDir, ignored);
        });
        return pattern;
    }();
    return dir;
}

std::string FuzzWriteTempFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = FuzzTempDir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

void FuzzQuietStdout() {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

void FuzzFail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}
