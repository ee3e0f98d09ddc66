#include "profile/UserFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
// Points the XDG variables and HOME at a fresh folder for the test's length.
class UserFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-userfiles-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", (root / "home").c_str(), 1);
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        for (auto& [name, value] : saved) {
            if (value) setenv(name, value->c_str(), 1);
            else unsetenv(name);
        }
        fs::permissions(root, fs::perms::owner_all);
        fs::remove_all(root);
    }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path root;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
};
}  // namespace

TEST_F(UserFilesTest, FoldersFollowTheXdgVariablesWithTheFreedesktopDefaults) {
    EXPECT_EQ(UserFiles::DataDir(), (root / "home/.local/share/vorlan-moto").string());
    EXPECT_EQ(UserFiles::ConfigDir(), (root / "home/.config/vorlan-moto").string());
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    EXPECT_EQ(UserFiles::DataDir(), (root / "data/vorlan-moto").string());
    EXPECT_EQ(UserFiles::ConfigDir(), (root / "config/vorlan-moto").string());
    // A relative value is not a base folder; neither is an empty one.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(UserFiles::DataDir(), (root / "home/.local/share/vorlan-moto").string());
    EXPECT_EQ(UserFiles::ConfigDir(), (root / "home/.config/vorlan-moto").string());
    unsetenv("HOME");
    EXPECT_EQ(UserFiles::DataDir(), "");
}

TEST_F(UserFilesTest, WritesAtomicallyCreatingFoldersAndLeavesTheOldFileOnFailure) {
    const fs::path file = root / "a/b/c/records.txt";
    std::string error;
    ASSERT_TRUE(UserFiles::WriteAtomically(file.string(), "one\n", error)) << error;
    EXPECT_EQ(Slurp(file), "one\n");
    ASSERT_TRUE(UserFiles::WriteAtomically(file.string(), "two\n", error)) << error;
    EXPECT_EQ(*UserFiles::ReadFile(file.string()), "two\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);

    // A folder below a regular file cannot exist.
    std::ofstream(root / "plain") << "x";
    EXPECT_FALSE(UserFiles::WriteAtomically((root / "plain/sub/f.txt").string(), "x", error));
    EXPECT_NE(error.find("plain"), std::string::npos) << error;

    // A folder that cannot be written keeps the old file untouched (root may write anywhere).
    if (geteuid() != 0) {
        fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(UserFiles::WriteAtomically(file.string(), "three\n", error));
        fs::permissions(file.parent_path(), fs::perms::owner_all);
        EXPECT_EQ(Slurp(file), "two\n");
    }
    EXPECT_FALSE(UserFiles::ReadFile((root / "missing").string()));
    EXPECT_FALSE(UserFiles::ReadFile(file.string(), 2)) << "larger than allowed";
}

TEST_F(UserFilesTest, SetAsideKeepsEveryDamagedFile) {
    const fs::path file = root / "ghost.txt";
    for (const char* content : {"first", "second", "third"}) {
        std::ofstream(file) << content;
        const std::string aside = UserFiles::SetAside(file.string());
        ASSERT_FALSE(aside.empty());
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(Slurp(aside), content);
    }
    EXPECT_TRUE(fs::exists(root / "ghost.txt.bad"));
    EXPECT_TRUE(fs::exists(root / "ghost.txt.bad-2"));
    EXPECT_TRUE(fs::exists(root / "ghost.txt.bad-3"));
    EXPECT_EQ(UserFiles::SetAside((root / "missing").string()), "");
}
