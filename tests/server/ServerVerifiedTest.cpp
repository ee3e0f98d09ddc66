// The server with the real verifier in its sandbox, shared by the cases
// here: kept race files of every course are verified onto their boards with
// the verifier's own time, the same file again is refused, a race file with
// its keys changed is rejected at the update where the race parts from it,
// and an autopilot race is not ranked. A course shared from the README's
// example is listed, downloads, and a race driven on the folder downloaded is
// verified onto its board.

#include "ServerProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace server_test;
using nlohmann::json;

namespace {
std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Runs(const std::string& name) { return std::string(VORLAN_SOURCE_DIR) + "/tests/data/runs/" + name; }

// What the verifier says of a file run directly, outside any sandbox.
json VerifyHere(const std::string& path) {
    FILE* pipe = popen(("cd " VORLAN_BINARY_DIR " && ./vorlan-moto-verify '" + path + "' 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return json::parse(out, nullptr, false);
}

// The throttle let go in a stretch of updates from the first'th update line on.
std::string WithoutThrottle(const std::string& text, int first, int count) {
    std::istringstream in(text);
    std::ostringstream out;
    std::string line;
    int updateLine = 0;
    while (std::getline(in, line)) {
        if (line.rfind("u ", 0) == 0 && updateLine++ >= first && count > 0) {
            const size_t end = line.find(' ', 2);
            const unsigned keys = std::stoul(line.substr(2, end - 2), nullptr, 16) & ~1u;
            char hex[16];
            std::snprintf(hex, sizeof hex, "%x", keys);
            line = "u " + std::string(hex) + line.substr(end);
            --count;
        }
        out << line << "\n";
    }
    return out.str();
}
}  // namespace

class ServerVerified : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new ServerProcess({"--verifier", VORLAN_BINARY_DIR "/vorlan-moto-verify", "--workers", "2"});
        server_->Start();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    static ServerProcess* server_;
};

ServerProcess* ServerVerified::server_ = nullptr;

// The course description of the README's "Make your own course", as a reader copies it.
std::string ReadmeExample() {
    std::istringstream readme(Read(std::string(VORLAN_SOURCE_DIR) + "/README.md"));
    std::string line, text;
    bool in = false;
    while (std::getline(readme, line)) {
        if (line.find("cat > little-loop.course <<'EOF'") != std::string::npos) {
            in = true;
        } else if (in && line == "    EOF") {
            break;
        } else if (in) {
            text += line.substr(std::min<size_t>(4, line.size())) + "\n";
        }
    }
    return text;
}

TEST_F(ServerVerified, KeptRacesAreVerifiedOntoTheirBoardsAndAlteredOnesRejected) {
    ServerProcess& server = *server_;
    httplib::Client client = server.Client();
    const std::string token = Register(client, NewName("Rider_"));

    for (const char* course : {"desert", "riverside", "canyon"}) {
        SCOPED_TRACE(course);
        const std::string path = Runs(std::string(course) + "-clean.run");
        const json expected = VerifyHere(path);
        ASSERT_EQ(expected["verdict"], "verified") << expected.dump();
        const auto sent = std::chrono::steady_clock::now();
        const auto res = Submit(client, token, Read(path));
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 202) << res->body;
        const json run = WaitForVerdict(client, json::parse(res->body)["id"].get<int64_t>());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        RecordProperty(std::string("verifiedSeconds_") + course, std::to_string(seconds));
        std::printf("%s verified in %.2f s\n", course, seconds);
        ASSERT_EQ(run["status"], "verified") << run.dump() << "\n" << server.Log();
        EXPECT_EQ(run["timeMs"], expected["timeMs"]);
        EXPECT_EQ(run["lapsMs"], expected["lapsMs"]);
        EXPECT_EQ(run["rank"], 1);
        EXPECT_EQ(run["of"], 1);
        EXPECT_EQ(run["board"]["course"], course);

        // The same file again.
        const auto again = Submit(client, token, Read(path));
        ASSERT_TRUE(again);
        EXPECT_EQ(again->status, 409) << again->body;
    }

    // A few updates of the desert's race without the throttle: not that race.
    const auto altered = Submit(client, token, WithoutThrottle(Read(Runs("desert-clean.run")), 1500, 6));
    ASSERT_TRUE(altered);
    ASSERT_EQ(altered->status, 202) << altered->body;
    const json rejected = WaitForVerdict(client, json::parse(altered->body)["id"].get<int64_t>());
    EXPECT_EQ(rejected["status"], "rejected") << rejected.dump();
    EXPECT_NE(rejected["reason"].get<std::string>().find("update"), std::string::npos) << rejected.dump();

    // The autopilot drove this one.
    const auto autopilot = Submit(client, token, Read(std::string(VORLAN_SOURCE_DIR) + "/fuzz/seeds/race/desert-autopilot.run"));
    ASSERT_TRUE(autopilot);
    ASSERT_EQ(autopilot->status, 202) << autopilot->body;
    const json notRanked = WaitForVerdict(client, json::parse(autopilot->body)["id"].get<int64_t>());
    EXPECT_EQ(notRanked["status"], "rejected") << notRanked.dump();
    EXPECT_NE(notRanked["reason"].get<std::string>().find("autopilot"), std::string::npos) << notRanked.dump();
}

TEST_F(ServerVerified, TheReadmeExampleSharedIsListedDownloadsAndARaceOnItIsVerifiedOntoItsBoard) {
    namespace fs = std::filesystem;
    httplib::Client client = server_->Client();
    const std::string token = Register(client, NewName("Maker_"));
    const std::string example = ReadmeExample();
    ASSERT_NE(example.find("id little-loop"), std::string::npos) << example;
    const auto made = client.Post("/api/v1/courses", {{"Authorization", "Bearer " + token}}, example, "text/plain");
    ASSERT_TRUE(made);
    ASSERT_EQ(made->status, 201) << made->body << "\n" << server_->Log();
    const std::string hash = json::parse(made->body)["hash"];

    bool listed = false;
    const json courses = json::parse(client.Get("/api/v1/courses")->body);
    for (const json& c : courses["courses"])
        listed = listed || (c["id"] == "little-loop" && c["folder"] == "/api/v1/courses/little-loop/folder");
    EXPECT_TRUE(listed);

    // Downloaded and unpacked into a player's course folder, and raced there
    // as a player would: steered, not on autopilot.
    const std::string dir = TempFolder("shared-course");
    const auto folder = client.Get("/api/v1/courses/little-loop/folder");
    ASSERT_TRUE(folder);
    ASSERT_EQ(folder->status, 200);
    std::ofstream(dir + "/folder.tar.gz", std::ios::binary) << folder->body;
    fs::create_directories(dir + "/courses");
    ASSERT_EQ(std::system(("tar -xzf '" + dir + "/folder.tar.gz' -C '" + dir + "/courses'").c_str()), 0);
    const std::string drive = "cd " VORLAN_BINARY_DIR " && ./vorlan-racedrive --courses '" + dir + "/courses' '" + dir +
                              "/race.run' little-loop normal 1 30";
    ASSERT_EQ(std::system(drive.c_str()), 0);
    const std::string race = Read(dir + "/race.run");
    EXPECT_NE(race.find("course little-loop " + hash), std::string::npos) << race.substr(0, 200);

    const auto res = Submit(client, token, race);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 202) << res->body;
    const json run = WaitForVerdict(client, json::parse(res->body)["id"].get<int64_t>());
    ASSERT_EQ(run["status"], "verified") << run.dump() << "\n" << server_->Log();
    EXPECT_EQ(run["rank"], 1);
    EXPECT_EQ(run["board"]["course"], "little-loop");
    const json board = json::parse(client.Get("/api/v1/boards/little-loop?difficulty=normal")->body);
    ASSERT_FALSE(board["rows"].empty()) << board.dump();
    EXPECT_EQ(board["rows"][0]["timeMs"], run["timeMs"]) << board.dump();
    fs::remove_all(dir);
}
