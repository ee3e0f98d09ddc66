// The pages in a real browser: headless Chromium loads every page of a
// running server (with the real verifier) and finds the times the API gives,
// the course maps as pictures the server serves, and a shared course named
// with markup shown as text, its script never run.

#include "ServerProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace server_test;
using nlohmann::json;

namespace {
std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The page as the browser made it, after loading everything it names.
std::string Dom(int port, const std::string& path) {
    const std::string command = "chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir=" +
                                TempFolder("chromium") + " --dump-dom 'http://127.0.0.1:" + std::to_string(port) +
                                path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
}

std::string Clock(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

const char* kMarkedLoop = R"(id marked-loop
name <script>document.title=7</script>Loop
theme meadow
width 14
straight 60
arc 25 180
straight 120
arc 25 180
straight 60
)";
}  // namespace

TEST(ServerPages, ChromiumShowsTheBoardsTimesAndMapsAndMarkupAsText) {
    ASSERT_EQ(std::system("command -v chromium >/dev/null"), 0) << "chromium is missing (scripts/bootstrap.sh installs it)";
    ServerProcess server({"--verifier", VORLAN_BINARY_DIR "/vorlan-moto-verify"});
    server.Start();
    httplib::Client client = server.Client();
    const std::string name = NewName("Pager_");
    const std::string token = Register(client, name);
    const auto sent =
        Submit(client, token, Read(std::string(VORLAN_SOURCE_DIR) + "/tests/data/runs/canyon-clean.run"));
    ASSERT_TRUE(sent && sent->status == 202) << (sent ? sent->body : "no answer");
    const json run = WaitForVerdict(client, json::parse(sent->body)["id"].get<int64_t>());
    ASSERT_EQ(run["status"], "verified") << run.dump();
    const std::string time = Clock(run["timeMs"].get<int64_t>());
    const std::string id = std::to_string(run["id"].get<int64_t>());
    const auto shared =
        client.Post("/api/v1/courses", {{"Authorization", "Bearer " + token}}, kMarkedLoop, "text/plain");
    ASSERT_TRUE(shared && shared->status == 201) << (shared ? shared->body : "no answer");

    const int port = server.Port();
    const std::string home = Dom(port, "/");
    ASSERT_NE(home.find("</html>"), std::string::npos) << home;
    EXPECT_NE(home.find(time), std::string::npos) << "the world record on the home page";
    // The shared course's name, as text; its script did not run.
    EXPECT_NE(home.find("&lt;script&gt;document.title=7&lt;/script&gt;Loop"), std::string::npos) << home;
    EXPECT_EQ(home.find("<title>7"), std::string::npos);
    EXPECT_EQ(home.find("<script"), std::string::npos);
    // Every picture the page names is a picture the server gives.
    size_t pictures = 0;
    for (size_t at = home.find("<img"); at != std::string::npos; at = home.find("<img", at + 1)) {
        const size_t src = home.find("src=\"", at) + 5;
        const std::string path = home.substr(src, home.find('"', src) - src);
        const auto png = client.Get(path);
        ASSERT_TRUE(png) << path;
        EXPECT_EQ(png->status, 200) << path;
        EXPECT_EQ(png->body.substr(1, 3), "PNG") << path;
        ++pictures;
    }
    EXPECT_GE(pictures, 2u);

    const std::string course = Dom(port, "/courses/canyon");
    EXPECT_NE(course.find(time), std::string::npos) << course;
    EXPECT_NE(course.find(name), std::string::npos);
    const std::string player = Dom(port, "/players/" + name);
    EXPECT_NE(player.find(time), std::string::npos) << player;
    const std::string page = Dom(port, "/runs/" + id);
    EXPECT_NE(page.find(time), std::string::npos) << page;
    for (const json& lap : run["lapsMs"]) EXPECT_NE(page.find(Clock(lap.get<int64_t>())), std::string::npos);
    EXPECT_NE(page.find("/api/v1/runs/" + id + "/file"), std::string::npos);
}
