// Every test program, and every game it starts, keeps its player files (and
// its runtime and temporary folders) in a fresh folder of its own: nothing a test does reaches the real home, and no
// test sees what another left behind.

#include "Sanitizers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <filesystem>
#include <string>
#include <system_error>

#if defined(VORLAN_ASAN)
#include <sanitizer/lsan_interface.h>
#endif

namespace {
struct IsolatedHome {
    IsolatedHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorlan-test-home-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        root = pattern;
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        // No test plays through the machine's sound server: with a fresh
        // config folder its client would set up a runtime folder of its own
        // and leave threads behind that trip LeakSanitizer at exit.
        setenv("ALSOFT_DRIVERS", "null", 1);
        // Sound libraries keep their sockets and locks here; without it
        // PulseAudio's client makes a randomly named folder under the
        // config folder, drawing from rand() before the game seeds it.
        const std::filesystem::path runtime = root / "runtime";
        if (mkdir(runtime.c_str(), 0700) != 0) std::abort();
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        // Temporary files too: two test programs (or two checkouts tested at
        // once) never write into each other's fixed-name work folders.
        const std::filesystem::path temp = root / "tmp";
        if (mkdir(temp.c_str(), 0700) != 0) std::abort();
        setenv("TMPDIR", temp.c_str(), 1);
    }
    ~IsolatedHome() {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    std::filesystem::path root;
};
const IsolatedHome isolatedHome;

#if defined(VORLAN_ASAN)
// Leaks are looked for when the tests are done, not at exit: by then the GL
// driver has begun tearing down its threads and thread-local blocks, and the
// leak checker has been seen to crash reading them.
class LeakCheckWhenDone : public ::testing::Environment {
public:
    void TearDown() override { __lsan_do_leak_check(); }
};
const auto* const leakCheck = ::testing::AddGlobalTestEnvironment(new LeakCheckWhenDone);
#endif
}  // namespace
