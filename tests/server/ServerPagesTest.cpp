// The pages in a real browser: headless Chromium loads every page of a
// running server (with the real verifier) and finds the times the API gives,
// the course maps and a run's path as pictures the server serves, and a
// shared course named with markup shown as text, its script never run.

#include "ServerProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

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

// Each picture of the page, once the browser has loaded it: its src and
// naturalWidth (0 for one that did not load). Chromium is driven over its
// DevTools pipe (fd 3 in, fd 4 out, messages ended by a NUL); empty when it
// does not answer within 30 s.
std::vector<std::pair<std::string, int>> LoadedPictures(int port, const std::string& path) {
    int toChrome[2], fromChrome[2];
    if (pipe2(toChrome, O_CLOEXEC) != 0 || pipe2(fromChrome, O_CLOEXEC) != 0) return {};
    const std::string profile = "--user-data-dir=" + TempFolder("chromium");
    const pid_t pid = fork();
    if (pid == 0) {
        // Kept above the two places first: a pipe already at 3 or 4 would
        // otherwise be overwritten, or keep its close-on-exec.
        const int in = fcntl(toChrome[0], F_DUPFD, 10), out = fcntl(fromChrome[1], F_DUPFD, 10);
        dup2(in, 3);
        dup2(out, 4);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0), dup2(null, 1), dup2(null, 2);
        execlp("chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
               profile.c_str(), "--remote-debugging-pipe", "about:blank", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChrome[0]);
    close(fromChrome[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string pending;
    int nextId = 0;
    const auto send = [&](const json& message) {
        const std::string text = message.dump() + '\0';
        return write(toChrome[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    };
    // The first message that matches, or null at the deadline; the others
    // are kept (the load event may come before the answer to navigate).
    std::vector<json> backlog;
    const auto await = [&](const std::function<bool(const json&)>& wanted) -> json {
        while (true) {
            for (size_t end; (end = pending.find('\0')) != std::string::npos;) {
                backlog.push_back(json::parse(pending.substr(0, end), nullptr, false));
                pending.erase(0, end + 1);
            }
            for (auto it = backlog.begin(); it != backlog.end(); ++it)
                if (wanted(*it)) {
                    const json found = *it;
                    backlog.erase(it);
                    return found;
                }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fromChrome[0], POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return nullptr;
            char buffer[65536];
            const ssize_t n = read(fromChrome[0], buffer, sizeof buffer);
            if (n <= 0) return nullptr;
            pending.append(buffer, static_cast<size_t>(n));
        }
    };
    const auto call = [&](const std::string& method, const json& params, const std::string& session = "") -> json {
        json message = {{"id", ++nextId}, {"method", method}, {"params", params}};
        if (!session.empty()) message["sessionId"] = session;
        const int id = nextId;
        if (!send(message)) return nullptr;
        const json answer = await([id](const json& m) { return m.is_object() && m.value("id", 0) == id; });
        return answer.is_object() && answer.contains("result") ? answer["result"] : json();
    };
    std::vector<std::pair<std::string, int>> pictures;
    const json target = call("Target.createTarget", {{"url", "about:blank"}});
    const json attached =
        target.is_object() ? call("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}}) : json();
    if (attached.is_object()) {
        const std::string session = attached["sessionId"];
        call("Page.enable", json::object(), session);
        call("Page.navigate", {{"url", "http://127.0.0.1:" + std::to_string(port) + path}}, session);
        // The load event comes once every picture has loaded or failed.
        await([](const json& m) { return m.is_object() && m.value("method", "") == "Page.loadEventFired"; });
        const json found = call("Runtime.evaluate",
                                {{"expression", "JSON.stringify([...document.images].map(i => [i.getAttribute('src'), "
                                                "i.naturalWidth]))"},
                                 {"returnByValue", true}},
                                session);
        if (found.is_object() && found["result"]["value"].is_string())
            for (const json& p : json::parse(found["result"]["value"].get<std::string>()))
                pictures.emplace_back(p[0].get<std::string>(), p[1].get<int>());
        call("Browser.close", json::object());
    }
    close(toChrome[1]);
    close(fromChrome[0]);
    for (int i = 0; i < 50 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) usleep(100000);
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(profile.substr(profile.find('=') + 1), ec);
    return pictures;
}

std::string Clock(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

const std::string kMarkedLoop = LoopCourse("marked-loop", "<script>document.title=7</script>Loop");
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

    // The run's path over the course map, drawn after its verdict (a second
    // race in the sandbox), as the browser loads it.
    for (int tries = 0; tries < 600; ++tries) {
        const auto drawn = client.Get("/runs/" + id + "/path.png");
        if (drawn && drawn->status == 200) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto loaded = LoadedPictures(port, "/runs/" + id);
    ASSERT_EQ(loaded.size(), 1u) << page;
    EXPECT_EQ(loaded[0].first, "/runs/" + id + "/path.png");
    EXPECT_GT(loaded[0].second, 0) << "the path picture did not load";
    const auto png = client.Get("/runs/" + id + "/path.png");
    ASSERT_TRUE(png && png->status == 200);
    EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
    EXPECT_NE(png->get_header_value("Cache-Control").find("max-age="), std::string::npos);
    // A run whose picture is missing shows its page without one.
    std::filesystem::remove(server.Data() + "/paths/" + id + ".png");
    const std::string bare = Dom(port, "/runs/" + id);
    EXPECT_NE(bare.find(time), std::string::npos) << bare;
    EXPECT_EQ(bare.find("<img"), std::string::npos) << bare;
    EXPECT_EQ(client.Get("/runs/" + id + "/path.png")->status, 404);
    EXPECT_EQ(client.Get("/runs/x/path.png")->status, 404);
}
