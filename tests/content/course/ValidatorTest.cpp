// Runs the Khronos glTF validator (installed by scripts/bootstrap.sh) over
// every generated model.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

TEST(GltfValidator, EveryGeneratedModelHasNoErrors) {
    const std::filesystem::path module = std::filesystem::path(VORLAN_SOURCE_DIR) / ".tools/npm/node_modules/gltf-validator";
    if (!std::filesystem::exists(module / "package.json")) GTEST_SKIP() << "gltf-validator not installed (scripts/bootstrap.sh)";
    if (std::system("node --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "node not found";
    const std::string cmd = "node '" + std::string(VORLAN_VALIDATE_SCRIPT) + "' '" + module.string() + "' '" +
                            std::string(VORLAN_BINARY_DIR) + "/Data'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}
