// cmake --install into a scratch prefix, then the launcher as a player starts it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {
int Shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Newest modification time of anything in the tree.
fs::file_time_type Newest(const fs::path& dir) {
    fs::file_time_type newest = fs::last_write_time(dir);
    for (const auto& e : fs::recursive_directory_iterator(dir)) newest = std::max(newest, e.last_write_time());
    return newest;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-install-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "player");
        prefix = root / "prefix";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root, prefix;
};
}  // namespace

TEST_F(InstallTest, LauncherStartsTheInstalledGameFromAnyDirectory) {
    ASSERT_EQ(Shell("\"" VORLAN_CMAKE_COMMAND "\" --install \"" VORLAN_BINARY_DIR "\" --prefix '" + prefix.string() +
                  "' >'" + (root / "install.log").string() + "' 2>&1"),
              0);
    const fs::path launcher = prefix / "games" / "vorlan-moto";
    const fs::path data = prefix / "share" / "games" / "vorlan-moto" / "Data";
    EXPECT_TRUE(fs::exists(prefix / "lib" / "games" / "vorlan-moto" / "vorlan"));
    EXPECT_TRUE(fs::exists(data / "Texture" / "name.png"));
    EXPECT_FALSE(fs::exists(data / ".stamp"));
    EXPECT_TRUE(fs::exists(prefix / "share" / "applications" / "vorlan-moto.desktop"));
    EXPECT_TRUE(fs::exists(prefix / "share" / "icons" / "hicolor" / "256x256" / "apps" / "vorlan-moto.png"));
    // Debian's documents: the manual page and changelog compressed, the licence, the metadata.
    EXPECT_TRUE(fs::exists(prefix / "share" / "man" / "man6" / "vorlan-moto.6.gz"));
    EXPECT_TRUE(fs::exists(prefix / "share" / "doc" / "vorlan-moto" / "changelog.gz"));
    EXPECT_GT(fs::file_size(prefix / "share" / "doc" / "vorlan-moto" / "copyright"), 1000u);
    EXPECT_FALSE(fs::is_empty(prefix / "share" / "metainfo"));
    EXPECT_TRUE(fs::exists(prefix / "share" / "lintian" / "overrides" / "vorlan-moto"));
    ASSERT_TRUE(fs::exists(launcher));
    ASSERT_NE(fs::status(launcher).permissions() & fs::perms::owner_exec, fs::perms::none);

    const auto before = Newest(prefix / "share" / "games");
    // A relative file name with a space, an absolute one, and a screenshot: each
    // must land where the caller meant, after the launcher has changed directory.
    const fs::path absolute = root / "absolute trace.jsonl";
    const std::string command = "cd '" + (root / "player").string() + "' && '" + launcher.string() +
                                "' --headless --frames 3 --no-render --trace 'my trace.jsonl' --screenshot 1:shot.png"
                                " >'" + (root / "run.log").string() + "' 2>&1 && '" + launcher.string() +
                                "' --headless --frames 1 --no-render --record run.rec --trace '" + absolute.string() + "' >>'" +
                                (root / "run.log").string() + "' 2>&1";
    ASSERT_EQ(Shell(command), 0) << "see " << (root / "run.log");
    EXPECT_GT(fs::file_size(root / "player" / "my trace.jsonl"), 0u);
    EXPECT_TRUE(fs::exists(root / "player" / "shot.png"));
    EXPECT_GT(fs::file_size(absolute), 0u);
    EXPECT_TRUE(fs::exists(root / "player" / "run.rec") && fs::file_size(root / "player" / "run.rec") > 0)
        << "--record run.rec did not write into the caller's directory";
    EXPECT_EQ(Newest(prefix / "share" / "games"), before) << "the game wrote into its data folder";
}
