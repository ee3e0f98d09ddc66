// The queue's bounds, the rate per address, a server killed while runs
// wait, and the sandbox the verifier runs in: each with a server of its own.

#include "ServerProcess.h"
#include "server/SqlStorage.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

using namespace server_test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

json Body(const httplib::Result& res) { return json::parse(res->body, nullptr, false); }

int64_t Accepted(const httplib::Result& res) {
    EXPECT_TRUE(res && res->status == 202) << (res ? res->body : "no answer");
    return res && res->status == 202 ? Body(res)["id"].get<int64_t>() : 0;
}

TEST(ServerQueue, AFullQueueIs503AndAnAddressPastItsRatesIs429) {
    ServerProcess server(
        {"--workers", "1", "--queue-bound", "2", "--rate-address", "3", "--rate-signups", "2", "--trust-proxy"});
    server.Start();
    auto c = server.Client();
    const std::string hash = CourseHash(c, "desert");
    const std::string token = Register(c, NewName("Queue_"));
    auto slow = [&] {
        return RaceFile({"sleep 1", VerifiedLine("desert", hash, "normal", 70000, {70000}, NewStatesHash())});
    };
    const int64_t a = Accepted(Submit(c, token, slow()));
    const int64_t b = Accepted(Submit(c, token, slow()));
    const auto full = Submit(c, token, slow());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->status, 503);
    EXPECT_TRUE(full->has_header("Retry-After"));
    EXPECT_EQ(Body(full)["error"].get<std::string>().rfind("queue:", 0), 0u);

    // Once the queue has room again, the address's third run is taken and its fourth is not,
    // whichever player sends it.
    EXPECT_EQ(WaitForVerdict(c, a)["status"], "verified");
    EXPECT_EQ(WaitForVerdict(c, b)["status"], "verified");
    Accepted(Submit(c, token, slow()));
    const auto past = Submit(c, Register(c, NewName("Queue_")), slow());
    ASSERT_TRUE(past);
    EXPECT_EQ(past->status, 429);
    EXPECT_EQ(Body(past)["error"].get<std::string>().rfind("address:", 0), 0u);
    EXPECT_TRUE(past->has_header("Retry-After"));

    // Through a trusted proxy the address is the one it forwarded, not the proxy's;
    // what a client put first in the header counts for nothing.
    httplib::Headers forwarded = {{"Authorization", "Bearer " + token}, {"X-Forwarded-For", "10.1.2.3, 192.0.2.7"}};
    EXPECT_EQ(c.Post("/api/v1/runs", forwarded, slow(), "text/plain")->status, 202);
    httplib::Headers junk = {{"Authorization", "Bearer " + token}, {"X-Forwarded-For", "192.0.2.7, not-an-address"}};
    EXPECT_EQ(c.Post("/api/v1/runs", junk, slow(), "text/plain")->status, 429);

    // Two players registered from here this hour: a third is not.
    const auto third = c.Post("/api/v1/players", json{{"name", NewName("Queue_")}}.dump(), "application/json");
    EXPECT_EQ(third->status, 429);
    EXPECT_EQ(Body(third)["error"].get<std::string>().rfind("address:", 0), 0u);
    EXPECT_TRUE(third->has_header("Retry-After"));
}

TEST(ServerQueue, AServerKilledWhileRunsWaitFinishesEachOnceAfterARestart) {
    struct Folder {
        std::string path = TempFolder("restart");
        ~Folder() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } folder;
    const std::string& data = folder.path;
    const std::vector<std::string> options = {"--workers", "2", "--rate-player", "1000", "--rate-address", "1000"};
    constexpr int kRuns = 60;
    std::map<int64_t, std::string> runs;  // id -> player
    std::string hash;
    std::string database;
    {
        ServerProcess first(options, data);
        first.Start();
        auto c = first.Client();
        hash = CourseHash(c, "canyon");
        std::vector<std::pair<std::string, std::string>> players;
        for (int i = 0; i < 5; ++i) {
            const std::string name = NewName("Crash_");
            players.emplace_back(name, Register(c, name));
        }
        for (int i = 0; i < kRuns; ++i) {
            const auto& [name, token] = players[static_cast<size_t>(i) % players.size()];
            const std::string file = RaceFile({"sleep 0.2", VerifiedLine("canyon", hash, "easy", 60000 + i, {60000 + i},
                                                                          NewStatesHash())});
            runs[Accepted(Submit(c, token, file))] = name;
        }
        // A few done, two being verified, the rest waiting: then the plug is pulled.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        first.Kill9();
        database = first.Database();
    }
    {
        const auto storage = server::OpenStorage(database, 1);
        const std::string pending =
            storage->Database().Session()->Query("SELECT COUNT(*) FROM runs WHERE status = 'pending'").at(0).Text(0);
        ASSERT_GE(std::stoi(pending), 50) << "too few runs waited at the kill: the test proves too little";
    }
    ServerProcess second(options, data);
    second.Start();
    auto c = second.Client();
    for (const auto& [id, name] : runs) {
        const json run = WaitForVerdict(c, id);
        EXPECT_EQ(run["status"], "verified") << id << ": " << run.dump();
        EXPECT_EQ(run["player"], name);
    }
    // Each player once on the board, with their best of twelve.
    const json board = Body(c.Get("/api/v1/boards/canyon?difficulty=easy&limit=100"));
    std::set<std::string> seen;
    for (const auto& row : board["rows"]) EXPECT_TRUE(seen.insert(row["player"].get<std::string>()).second);
    EXPECT_EQ(seen.size(), 5u);
    second.Stop();

    database = second.Database();
    if (database.rfind("sqlite:", 0) == 0) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(database.substr(7).c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_step(s), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok");
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    const auto storage = server::OpenStorage(database, 1);
    auto scalar = [&](const char* sql) { return storage->Database().Session()->Query(sql).at(0).Text(0); };
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM runs WHERE status = 'verified'"), std::to_string(kRuns));
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT states_hash) FROM runs"), std::to_string(kRuns));
}

// A listener on loopback that counts the connections it gets.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 4);
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~Listener() { close(fd_); }
    int Port() const { return port_; }
    bool GotConnection() const {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(ServerSandbox, TheVerifierReachesNothingAndIsKilledAtItsLimits) {
    // The wall clock is six times the CPU limit so that the spinner meets its CPU
    // limit first even when the machine is busy with other tests.
    ServerProcess server({"--workers", "2", "--verify-wall", "6", "--verify-cpu", "1", "--rate-player", "100"});
    server.Start();
    auto c = server.Client();
    const std::string token = Register(c, NewName("Box_"));
    const Listener listener;
    const std::string outside = server.Data() + "/../vorlan-server-escaped-" + std::to_string(getpid());

    const int64_t escape = Accepted(Submit(
        c, token, RaceFile({"escape " + server.Data() + "/server.db " + outside + " " + std::to_string(listener.Port())})));
    const auto started = std::chrono::steady_clock::now();
    const int64_t sleeper = Accepted(Submit(c, token, RaceFile({"sleep 60"})));
    const int64_t spinner = Accepted(Submit(c, token, RaceFile({"spin"})));
    const int64_t looker = Accepted(Submit(c, token, RaceFile({"inputs"})));

    const json escaped = WaitForVerdict(c, escape);
    EXPECT_EQ(escaped["status"], "rejected");
    // The stand-in lists what it managed: nothing but its own temporary folder.
    EXPECT_EQ(escaped["reason"], "refused: got: nothing") << escaped.dump();
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_FALSE(fs::exists(VORLAN_BINARY_DIR "/Data/escaped"));
    EXPECT_FALSE(listener.GotConnection());
    // ...while what a verifier needs is there: the race, the game's courses
    // (by the --data folder, and as "Data/..." from where it starts), the
    // shared courses and a temporary folder.
    EXPECT_EQ(WaitForVerdict(c, looker)["reason"], "refused: sees: race-file data courses data-beside temp");

    const json slept = WaitForVerdict(c, sleeper);
    EXPECT_EQ(slept["status"], "rejected");
    EXPECT_NE(slept["reason"].get<std::string>().find("time limit"), std::string::npos) << slept.dump();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

    const json spun = WaitForVerdict(c, spinner);
    EXPECT_EQ(spun["status"], "rejected");
    EXPECT_NE(spun["reason"].get<std::string>().find("killed by signal"), std::string::npos) << spun.dump();
}

}  // namespace
