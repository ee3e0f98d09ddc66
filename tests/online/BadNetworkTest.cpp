// Bad networks: the server down, refusing connections, answering after 30 s,
// answering garbage, an HTML error page, 10 MB, a TLS failure, a redirect
// loop. Each time a whole race plays to the finish and exits 0 with the game's
// fields of an offline race of the same keys, the race file waits in the
// outbox, and the player is told in at most one line.

#include "BadServer.h"
#include "OnlineRuns.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <fstream>
#include <memory>
#include <optional>

namespace fs = std::filesystem;
using nlohmann::json;
using namespace online_test;

TEST(BadNetwork, EveryFaultLeavesTheRaceAsOfflineAndTheFileInTheOutbox) {
    const fs::path offlineDir = NewFolder("offline");
    const GameRun offline = DesertRace(offlineDir, "", 4000, offlineDir / "trace.jsonl");
    ASSERT_EQ(offline.status, 0) << offline.errors;
    ASSERT_EQ(offline.trace.size(), 4000u);
    ASSERT_TRUE(offline.trace.back()["records"]["newRecord"].get<bool>()) << "the race does not finish";

    struct Case {
        std::string name;
        std::optional<BadServer::Fault> fault;
        bool tls = false;
        std::string url;  // when no server of ours answers
    };
    std::vector<Case> cases = {
        {"down", std::nullopt, false, "http://127.0.0.1:1"},
        {"refusing", std::nullopt, false, "http://127.0.0.1:" + std::to_string(ClosedPort())},
        {"slow", BadServer::Fault::Slow, false, ""},
        {"garbage", BadServer::Fault::Garbage, false, ""},
        {"html-error", BadServer::Fault::HtmlError, false, ""},
        {"huge-body", BadServer::Fault::HugeBody, false, ""},
        {"tls", BadServer::Fault::HtmlError, true, ""},
        {"redirect-loop", BadServer::Fault::RedirectLoop, false, ""},
    };
    // The games race two at a time; every check is made here afterwards.
    struct Outcome {
        fs::path profile;
        GameRun run;
    };
    std::vector<Outcome> outcomes(cases.size());
    auto play = [&](size_t i) {
        const Case& c = cases[i];
        std::unique_ptr<BadServer> server;
        std::string url = c.url;
        if (c.fault) {
            server = std::make_unique<BadServer>(*c.fault);
            url = std::string(c.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(server->Port());
        }
        outcomes[i].profile = NewFolder(c.name);
        std::ofstream(outcomes[i].profile / "settings.ini") << "player = Unlucky\n";
        outcomes[i].run = DesertRace(outcomes[i].profile, url, 4000, outcomes[i].profile / "trace.jsonl");
    };
    const auto began = std::chrono::steady_clock::now();
    for (size_t i = 0; i < cases.size(); i += 2) {
        std::thread second;
        if (i + 1 < cases.size()) second = std::thread(play, i + 1);
        play(i);
        if (second.joinable()) second.join();
    }
    RecordProperty("seconds", std::to_string(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count()));

    for (size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        const fs::path& profile = outcomes[k].profile;
        const GameRun& run = outcomes[k].run;
        SCOPED_TRACE(c.name);
        ASSERT_EQ(run.status, 0) << run.errors;
        ASSERT_EQ(run.trace.size(), offline.trace.size());
        for (size_t i = 0; i < run.trace.size(); ++i)
            ASSERT_EQ(GameFields(run.trace[i]), GameFields(offline.trace[i])) << "frame " << i;
        const std::string state = run.trace.back()["online"]["state"];
        EXPECT_TRUE(state == "queued" || state == "sending") << state;
        EXPECT_EQ(run.trace.back()["online"]["rank"], nullptr);
        EXPECT_EQ(Waiting(profile), 1);
        EXPECT_EQ(Waiting(profile, ".id"), 0);
        EXPECT_FALSE(fs::exists(profile / "token"));
        // One line, naming what went wrong; the slow server is still being waited for when the game ends.
        int lines = 0;
        for (size_t at = run.errors.find("vorlan: online: "); at != std::string::npos;
             at = run.errors.find("vorlan: online: ", at + 1))
            ++lines;
        EXPECT_LE(lines, 1) << run.errors;
        if (c.name != "slow") {
            EXPECT_EQ(lines, 1) << run.errors;
        }
    }
}
