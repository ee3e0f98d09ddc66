// The server with the real verifier in its sandbox: kept race files of every
// course are verified onto their boards with the verifier's own time, the same
// file again is refused, a race file with its keys changed is rejected at the
// update where the race parts from it, and an autopilot race is not ranked.

#include "ServerProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
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

TEST(ServerVerified, KeptRacesAreVerifiedOntoTheirBoardsAndAlteredOnesRejected) {
    ServerProcess server({"--verifier", VORLAN_BINARY_DIR "/vorlan-moto-verify", "--workers", "2"});
    server.Start();
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
