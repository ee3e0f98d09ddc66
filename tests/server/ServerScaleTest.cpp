// The leaderboard on several servers sharing one PostgreSQL: two web
// servers take runs, two verify servers check them, and in the middle one
// verify server is killed and PostgreSQL restarted. Every run accepted
// ends with one verdict and every verified run is on its board once.

#include "ServerProcess.h"
#include "TestPostgres.h"
#include "server/SqlStorage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>

using namespace server_test;
using nlohmann::json;

namespace {

using Clock = std::chrono::steady_clock;

// A course a player shares through one server, to be served by all.
const std::string kSharedLoop = LoopCourse("scale-loop", "Scale Loop");

json Body(const httplib::Result& res) { return json::parse(res->body, nullptr, false); }

// What one query of the shared database says, as text.
std::string Scalar(server::SqlStorage& db, const std::string& sql) {
    return db.Database().Session()->Query(sql).at(0).Text(0);
}

class ServerScale : public ::testing::Test {};

TEST_F(ServerScale, RunsThroughTwoWebServersAreJudgedOnceThroughAKilledVerifierAndADatabaseRestart) {
    auto& pg = TestPostgres::Get();
    const std::string url = pg.NewDatabase();
    {
        // The schema is made before any server starts, as an operator would.
        FILE* pipe = popen((std::string(VORLAN_BINARY_DIR "/vorlan-moto-server migrate --database '") + url + "'").c_str(), "r");
        ASSERT_TRUE(pipe);
        char line[128] = {};
        const bool read = fgets(line, sizeof line, pipe) != nullptr;
        EXPECT_EQ(pclose(pipe), 0);
        EXPECT_TRUE(read && std::string(line).rfind("schema version ", 0) == 0) << line;
    }
    const std::vector<std::string> shared = {"--rate-player", "3", "--rate-address", "100000", "--rate-signups", "100000",
                                             "--queue-bound", "100000", "--lease", "4", "--verify-wall", "10",
                                             "--db-connections", "4"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.end(), shared.begin(), shared.end());
        return more;
    };
    ServerProcess web1(with({"--role", "web"}), "", url), web2(with({"--role", "web"}), "", url);
    ServerProcess verify1(with({"--role", "verify", "--workers", "2"}), "", url);
    ServerProcess verify2(with({"--role", "verify", "--workers", "2"}), "", url);
    for (ServerProcess* s : {&web1, &web2, &verify1, &verify2}) s->Start();
    const auto db = server::OpenStorage(url, 2);

    auto c1 = web1.Client(), c2 = web2.Client();
    const std::string hash = CourseHash(c1, "desert");
    // A player's hourly rate holds across both web servers.
    const std::string limited = Register(c1, NewName("Rate_"));
    auto file = [&](int64_t timeMs, const char* difficulty = "hard") {
        return RaceFile({"sleep 0.05", VerifiedLine("desert", hash, difficulty, timeMs, {timeMs}, NewStatesHash())});
    };
    EXPECT_EQ(Submit(c1, limited, file(50001))->status, 202);
    EXPECT_EQ(Submit(c2, limited, file(50002))->status, 202);
    EXPECT_EQ(Submit(c1, limited, file(50003))->status, 202);
    const auto past = Submit(c2, limited, file(50004));
    ASSERT_TRUE(past);
    EXPECT_EQ(past->status, 429);

    // Shared through web1: web2 and the verify servers make it again from its description.
    const std::string maker = Register(c1, NewName("Maker_"));
    const auto made = c1.Post("/api/v1/courses", {{"Authorization", "Bearer " + maker}}, kSharedLoop, "text/plain");
    ASSERT_TRUE(made);
    ASSERT_EQ(made->status, 201) << made->body;
    const std::string loopHash = Body(made)["hash"];

    // One player a run, so every verified run has a row of its own on the board.
    constexpr int kRuns = 200, kClients = 4;
    std::vector<std::string> tokens;
    for (int i = 0; i < kRuns; ++i) tokens.push_back(Register(i % 2 ? c2 : c1, NewName("Scale_")));

    std::mutex mutex;
    std::set<int64_t> accepted;
    int unavailable = 0;
    std::atomic<int> next{0}, sent{0};
    auto client = [&](int k) {
        auto c = (k % 2 ? web2 : web1).Client();
        for (int i; (i = next++) < kRuns;) {
            const std::string body = file(60000 + i, "normal");
            for (int attempt = 0; attempt < 100; ++attempt) {
                const auto res = Submit(c, tokens[static_cast<size_t>(i)], body);
                if (res && res->status == 202) {
                    std::lock_guard lock(mutex);
                    accepted.insert(Body(res)["id"].get<int64_t>());
                    break;
                }
                // Stored, but its answer was lost to the restart: it says which run holds the file.
                if (res && res->status == 409) {
                    const std::string why = Body(res)["error"];
                    std::lock_guard lock(mutex);
                    accepted.insert(std::stoll(why.substr(why.rfind(' ') + 1)));
                    break;
                }
                ASSERT_TRUE(res) << "no answer from a web server";
                ASSERT_EQ(res->status, 503) << res->body;
                EXPECT_TRUE(res->has_header("Retry-After"));
                {
                    std::lock_guard lock(mutex);
                    ++unavailable;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            ++sent;
        }
    };
    std::vector<std::thread> clients;
    for (int k = 0; k < kClients; ++k) clients.emplace_back(client, k);

    // A third in, verify1 is killed while it holds runs.
    auto until = [](auto done, int seconds) {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (!done() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    };
    until([&] { return sent >= kRuns / 3; }, 60);
    const std::string held = "SELECT COUNT(*) FROM runs WHERE status = 'pending' AND claimed_by LIKE '%:" +
                             std::to_string(verify1.Pid()) + "/%'";
    EXPECT_TRUE(until([&] { return Scalar(*db, held) != "0"; }, 10)) << "verify1 never held a run";
    verify1.Kill9();
    const std::string orphaned = Scalar(*db, held);

    // Two thirds in, PostgreSQL goes away for a second and comes back.
    until([&] { return sent >= 2 * kRuns / 3; }, 60);
    const std::string pendingAtRestart = Scalar(*db, "SELECT COUNT(*) FROM runs WHERE status = 'pending'");
    pg.Stop();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto gap = Submit(c1, tokens[0], file(1));
    ASSERT_TRUE(gap) << "a web server fell over while the database was down";
    EXPECT_EQ(gap->status, 503);
    EXPECT_TRUE(gap->has_header("Retry-After"));
    pg.Start();
    for (auto& t : clients) t.join();
    ASSERT_EQ(accepted.size(), static_cast<size_t>(kRuns));

    // All judged, verify1's runs by verify2 once their leases ran out.
    const bool judged = until([&] {
        try {
            return Scalar(*db, "SELECT COUNT(*) FROM runs WHERE status = 'pending'") == "0";
        } catch (const server::StorageError&) {
            return false;
        }
    }, 60);
    EXPECT_TRUE(judged) << Scalar(*db, "SELECT COUNT(*) FROM runs WHERE status = 'pending'") << " still pending";
    std::printf("orphaned by the kill: %s; pending at the restart: %s; 503s: %d; runs claimed again: %s\n",
                orphaned.c_str(), pendingAtRestart.c_str(), unavailable,
                Scalar(*db, "SELECT COUNT(*) FROM runs WHERE claims > 1").c_str());
    EXPECT_NE(orphaned, "0");
    EXPECT_NE(pendingAtRestart, "0") << "the restart came after the load: it proves nothing";

    // Exactly one verdict each, every one verified; a run is claimed again
    // only when its first claim was the killed server's.
    EXPECT_EQ(Scalar(*db, "SELECT COUNT(*) FROM runs WHERE status = 'verified' AND verified_at > 0 "
                          "AND difficulty = 'normal'"),
              std::to_string(kRuns));
    EXPECT_LE(std::stoi(Scalar(*db, "SELECT COUNT(*) FROM runs WHERE claims > 1")), std::stoi(orphaned) + 2);
    // Both web servers show the one board, each run on it once.
    std::vector<json> boards;
    for (auto* c : {&c1, &c2}) {
        const auto first = Body(c->Get("/api/v1/boards/desert?difficulty=normal&limit=100"));
        EXPECT_EQ(first["players"], kRuns);
        boards.push_back(first);
        for (const auto& row : first["rows"]) EXPECT_TRUE(accepted.count(row["run"].get<int64_t>())) << row.dump();
    }
    EXPECT_EQ(boards[0]["rows"], boards[1]["rows"]);
    // The shared course is on web2 too (its folder with it), and a run on it
    // sent there is verified by a server that never saw it shared.
    const auto listed = [&] {
        try {
            return CourseHash(c2, "scale-loop") == loopHash;
        } catch (const std::exception&) {
            return false;
        }
    };
    EXPECT_TRUE(until(listed, 20)) << "web2 never made the shared course";
    EXPECT_EQ(c2.Get("/api/v1/courses/scale-loop/folder")->status, 200);
    const auto onLoop = Submit(c2, Register(c2, NewName("Loop_")),
                               RaceFile({VerifiedLine("scale-loop", loopHash, "easy", 40000, {40000}, NewStatesHash())}));
    ASSERT_TRUE(onLoop && onLoop->status == 202);
    EXPECT_EQ(WaitForVerdict(c2, Body(onLoop)["id"].get<int64_t>())["status"], "verified");

    std::set<int64_t> onBoard;
    for (const auto& row : db->Board({"desert", hash, "normal"}, 0, 1000)) EXPECT_TRUE(onBoard.insert(row.run).second);
    EXPECT_EQ(onBoard, accepted);
    if (HasFailure())
        for (ServerProcess* s : {&web1, &web2, &verify2}) {
            const std::string log = s->Log();
            ADD_FAILURE() << "its log ends:\n" << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
        }
    EXPECT_EQ(Scalar(*db, "SELECT COUNT(DISTINCT states_hash) FROM runs WHERE status = 'verified' AND "
                          "difficulty = 'normal'"),
              std::to_string(kRuns));
}

}  // namespace
