#include "online/OnlineStart.h"

#include "online/OnlineClient.h"
#include "online/TokenFile.h"
#include "profile/UserFiles.h"
#include "scene/CourseChoice.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// The verifier beside the game (the build folder), or where the package puts it.
std::string FindVerifier() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        for (const fs::path& p : {self.parent_path() / "vorlan-moto-verify", fs::path("/usr/games/vorlan-moto-verify")})
            if (fs::is_regular_file(p, ec)) return p.string();
    return "/usr/games/vorlan-moto-verify";
}
}  // namespace

std::unique_ptr<OnlineLink> StartOnline(const std::string& server, const std::string& player) {
    if (server.empty() || !UserFiles::WritesAllowed()) return nullptr;
    const std::string data = UserFiles::DataDir();
    if (data.empty()) return nullptr;
    OnlineClient::Config config;
    config.server = server;
    config.player = player;
    config.tokenPath = TokenFile::DefaultPath();
    config.outboxDir = data + "/outbox";
    config.cachePath = data + "/online/boards.json";
    config.ghostDir = data + "/online/records";
    config.coursesDir = UserCoursesDir();
    config.verifier = FindVerifier();
    std::error_code ec;
    config.gameData = fs::absolute("Data", ec).string();
    return std::make_unique<OnlineClient>(config);
}
