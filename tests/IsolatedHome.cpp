// Every test program, and every game it starts, keeps its player files in a
// fresh folder of its own: nothing a test does reaches the real home, and no
// test sees what another left behind.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {
struct IsolatedHome {
    IsolatedHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorlan-test-home-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        root = pattern;
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    }
    ~IsolatedHome() {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    std::filesystem::path root;
};
const IsolatedHome isolatedHome;
}  // namespace
