// The game online against the real leaderboard server on loopback, with the
// real verifier: a scripted race is verified with its rank while the result
// screen shows, and lands on the board; with the server down it waits in the
// outbox and is verified after a later start; the world record's ghost rides
// the record's own line; a shared course is downloaded from the courses
// screen, listed, raced and verified onto its board. One server for all.

#include "OnlineRuns.h"
#include "ServerProcess.h"

#include "BadServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <memory>

namespace fs = std::filesystem;
using nlohmann::json;
using namespace online_test;

namespace {
// One real server for every case, stopped when they are done.
class SharedServer : public testing::Environment {
public:
    static server_test::ServerProcess& Get() {
        if (!server) {
            // The verifier's sandbox user must reach the server's course folder:
            // the way there through this test's own home is opened to it (search only).
            const fs::path data = server_test::TempFolder("data");
            for (fs::path p = data; p != p.parent_path() && p.string().find("vorlan-test-home-") != std::string::npos;
                 p = p.parent_path())
                chmod(p.c_str(), 0711);
            server = std::make_unique<server_test::ServerProcess>(
                std::vector<std::string>{"--verifier", VORLAN_BINARY_DIR "/vorlan-moto-verify", "--workers", "2"},
                data.string());
            server->Start();
        }
        return *server;
    }
    void TearDown() override { server.reset(); }

private:
    static inline std::unique_ptr<server_test::ServerProcess> server;
};
testing::Environment* const kSharedServer = testing::AddGlobalTestEnvironment(new SharedServer);

server_test::ServerProcess& Server() { return SharedServer::Get(); }
std::string Url() { return "http://127.0.0.1:" + std::to_string(Server().Port()); }

fs::path Profile(const std::string& tag, const std::string& player) {
    const fs::path dir = NewFolder(tag);
    std::ofstream(dir / "settings.ini") << "player = " << player << "\n";
    return dir;
}

// The board's riders by name.
std::vector<std::string> BoardNames(const std::string& course) {
    httplib::Client client = Server().Client();
    const auto res = client.Get("/api/v1/boards/" + course + "?difficulty=normal&limit=100");
    std::vector<std::string> names;
    if (!res || res->status != 200) return names;
    const json board = json::parse(res->body);
    for (const json& row : board["rows"]) names.push_back(row["player"]);
    return names;
}

size_t FirstWhere(const std::vector<json>& trace, const std::function<bool(const json&)>& test) {
    for (size_t i = 0; i < trace.size(); ++i)
        if (test(trace[i])) return i;
    return trace.size();
}

// The offline race of the same keys: the trace every online one is held to.
const GameRun& OfflineDesert() {
    static const GameRun run = [] {
        const fs::path dir = NewFolder("offline");
        return DesertRace(dir, "", 4000, dir / "trace.jsonl");
    }();
    return run;
}

// The first online race of the run; it sets the desert's world record on the fresh server.
struct RecordRace {
    std::string player;
    fs::path profile;
    GameRun run;
};
const RecordRace& FirstRace() {
    static const RecordRace race = [] {
        RecordRace r;
        r.player = server_test::NewName("Rider_");
        r.profile = Profile("verified", r.player);
        // Far more frames than the race: the result screen waits for the verdict.
        r.run = DesertRace(r.profile, Url(), 10000, r.profile / "trace.jsonl");
        return r;
    }();
    return race;
}
}  // namespace

TEST(OnlineRace, AScriptedRaceIsVerifiedWithItsRankAndListedOnTheBoard) {
    const RecordRace& race = FirstRace();
    ASSERT_EQ(race.run.status, 0) << race.run.errors;
    const std::vector<json>& trace = race.run.trace;
    ASSERT_EQ(trace.size(), 10000u);
    const size_t finish = FirstWhere(trace, [](const json& l) { return l["records"]["newRecord"] == true; });
    ASSERT_LT(finish, trace.size()) << "the race did not finish";
    // Off while racing, then sent from the finish on, then verified with a rank.
    EXPECT_EQ(trace[finish - 1]["online"], json({{"state", "off"}, {"rank", nullptr}, {"of", nullptr},
                                                 {"recordGhost", false}, {"courses", {{"open", false}, {"line", 0}, {"shared", 0}}}}));
    EXPECT_EQ(trace[finish]["online"]["state"], "sending");
    const size_t verified = FirstWhere(trace, [](const json& l) { return l["online"]["state"] == "verified"; });
    ASSERT_LT(verified, trace.size()) << "no verdict while the result screen showed\n" << race.run.errors << Server().Log();
    RecordProperty("framesFromFinishToVerdict", static_cast<int>(verified - finish));
    EXPECT_EQ(trace[verified]["online"]["rank"], 1);
    EXPECT_EQ(trace[verified]["online"]["of"], 1);
    EXPECT_EQ(trace.back()["online"]["state"], "verified");
    for (size_t i = finish; i < verified; ++i) ASSERT_EQ(trace[i]["online"]["state"], "sending") << "frame " << i;

    const std::vector<std::string> names = BoardNames("desert");
    EXPECT_NE(std::find(names.begin(), names.end(), race.player), names.end());
    // Sent once, verdict in: nothing waits.
    EXPECT_EQ(Waiting(race.profile), 0);
    EXPECT_EQ(Waiting(race.profile, ".id"), 0);

    // The token: 0600, and in no trace and no log.
    struct stat st{};
    ASSERT_EQ(stat((race.profile / "token").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string token = Slurp(race.profile / "token").substr(Slurp(race.profile / "token").rfind(' ') + 1, 64);
    ASSERT_EQ(token.size(), 64u);
    EXPECT_EQ(Slurp(race.profile / "trace.jsonl").find(token), std::string::npos);
    EXPECT_EQ(race.run.errors.find(token), std::string::npos);
    EXPECT_EQ(Server().Log().find(token), std::string::npos);

    // The game's own fields are those of the same keys offline, frame for frame.
    const GameRun& offline = OfflineDesert();
    ASSERT_EQ(offline.status, 0);
    ASSERT_EQ(offline.trace.size(), 4000u);
    for (size_t i = 0; i < offline.trace.size(); ++i) {
        ASSERT_EQ(offline.trace[i]["online"]["state"], "off");
        ASSERT_EQ(GameFields(trace[i]), GameFields(offline.trace[i])) << "frame " << i;
    }
}

TEST(OnlineRace, TheWorldRecordsGhostRidesTheRecordsOwnLine) {
    const RecordRace& record = FirstRace();
    ASSERT_EQ(record.run.status, 0);
    const fs::path profile = Profile("ghost", server_test::NewName("Chaser_"));
    // A first start fetches the record's race file and races it again into its line, kept for later.
    const int status = RunUntil("--headless --no-render --frames 100000 --profile '" + profile.string() +
                                    "' --server " + Url(),
                                [&] {
                                    std::error_code ec;
                                    for (fs::directory_iterator it(profile / "online" / "records", ec), end;
                                         !ec && it != end; it.increment(ec))
                                        if (it->path().extension() == ".ghost") return true;
                                    return false;
                                },
                                60);
    ASSERT_EQ(status, 0);
    // The same keys with G pressed on the title: the player's best (none yet), then the record.
    std::ofstream(profile / "keys.txt") << Slurp(DesertKeys()) << "5 5 G\n";
    const long frames = 3900;  // short of the finish: this race is not sent
    const GameRun run = RunGame("--headless --no-render --fixed-clock --uncapped --seed " + std::to_string(DesertSeed()) +
                                " --frames " + std::to_string(frames) + " --profile '" + profile.string() +
                                "' --server " + Url() + " --input '" + (profile / "keys.txt").string() +
                                "' --trace '" + (profile / "trace.jsonl").string() + "'",
                            profile / "trace.jsonl");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.trace.size(), static_cast<size_t>(frames));
    const std::vector<json>& mine = run.trace;
    const std::vector<json>& theirs = record.run.trace;
    const size_t start = FirstWhere(theirs, [](const json& l) { return l["mode"] == 0 && l["timer"]["countdown"] == 0; });
    ASSERT_LT(start, theirs.size());
    EXPECT_EQ(mine[4]["online"]["recordGhost"], false);
    for (size_t f = 5; f < mine.size(); ++f) ASSERT_EQ(mine[f]["online"]["recordGhost"], true) << "frame " << f;
    for (size_t f = start; f < mine.size(); ++f) {
        ASSERT_EQ(mine[f]["ghost"]["visible"], true) << "frame " << f;
        ASSERT_EQ(mine[f]["ghost"]["pos"], theirs[f]["bikes"][0]["pos"]) << "race frame " << f - start;
    }
    // Touching nothing: the race itself is the record's, field for field.
    for (size_t f = 0; f < mine.size(); ++f) {
        json a = GameFields(mine[f]), b = GameFields(theirs[f]);
        a.erase("ghost");
        b.erase("ghost");
        ASSERT_EQ(a, b) << "frame " << f;
    }
    EXPECT_EQ(Waiting(profile), 0);
}

TEST(OnlineRace, WithTheServerDownTheRaceWaitsAndIsVerifiedAtALaterStart) {
    const std::string player = server_test::NewName("Later_");
    const fs::path profile = Profile("outbox", player);
    // Nobody listens: the name cannot be registered nor the race sent.
    const GameRun down = DesertRace(profile, "http://127.0.0.1:" + std::to_string(ClosedPort()), 4500,
                                    profile / "trace.jsonl", 2);
    ASSERT_EQ(down.status, 0) << down.errors;
    EXPECT_EQ(down.trace.back()["online"]["state"], "queued");
    EXPECT_NE(down.errors.find("vorlan: online: "), std::string::npos) << down.errors;
    ASSERT_EQ(Waiting(profile), 1);
    EXPECT_EQ(Waiting(profile, ".id"), 0);

    // A later start, on the title: the waiting file goes, once, and is verified.
    std::string errors;
    const int status = RunUntil("--headless --no-render --frames 100000 --profile '" + profile.string() +
                                    "' --server " + Url(),
                                [&] { return Waiting(profile) == 0; }, 60, &errors);
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(Waiting(profile), 0) << errors << Server().Log();
    const std::vector<std::string> names = BoardNames("desert");
    EXPECT_EQ(std::count(names.begin(), names.end(), player), 1);
    // And another start has nothing left to send.
    httplib::Client client = Server().Client();
    const auto before = client.Get("/api/v1/players/" + player);
    ASSERT_TRUE(before);
    const int again = RunUntil("--headless --no-render --frames 300 --fixed-clock --profile '" + profile.string() +
                                   "' --server " + Url(),
                               [] { return false; }, 30);
    EXPECT_EQ(again, 0);
    EXPECT_EQ(client.Get("/api/v1/players/" + player)->body, before->body);
}

TEST(OnlineRace, ASharedCourseIsDownloadedListedRacedAndVerifiedOntoItsBoard) {
    httplib::Client client = Server().Client();
    const std::string author = server_test::NewName("Maker_");
    const std::string token = server_test::Register(client, author);
    // The README's worked example.
    const std::string description =
        "id little-loop\nname Little Loop\ntheme meadow\nwidth 14\nstraight 60\narc 25 180\nstraight 120\n"
        "arc 25 180\nstraight 60\ndash 30 centre\nswitch 150 left\nexcavator 185 left\ngate 240\n";
    httplib::Headers headers = {{"Authorization", "Bearer " + token}};
    const auto shared = client.Post("/api/v1/courses", headers, description, "text/plain");
    ASSERT_TRUE(shared);
    ASSERT_EQ(shared->status, 201) << shared->body;

    // The courses screen: C opens it, the list comes, Enter downloads the one course, C closes it.
    const std::string player = server_test::NewName("Guest_");
    const fs::path profile = Profile("shared", player);
    std::ofstream(profile / "screen.txt") << "5 5 C\n1500 1500 Enter\n7000 7000 C\n";
    const GameRun screen = RunGame("--headless --no-render --fixed-clock --uncapped --seed 1 --frames 8000 --profile '" +
                                   profile.string() + "' --server " + Url() + " --input '" +
                                   (profile / "screen.txt").string() + "' --trace '" +
                                   (profile / "screen.jsonl").string() + "'",
                               profile / "screen.jsonl");
    ASSERT_EQ(screen.status, 0) << screen.errors;
    EXPECT_EQ(screen.trace[6]["online"]["courses"]["open"], true);
    EXPECT_EQ(screen.trace[1499]["online"]["courses"]["shared"], 1) << "the list did not come in time";
    EXPECT_EQ(screen.trace.back()["online"]["courses"]["open"], false);
    EXPECT_EQ(screen.trace.back()["mode"], 1) << "Enter on the screen started a race";
    ASSERT_TRUE(fs::is_regular_file(profile / "courses" / "little-loop" / "course.json")) << screen.errors;

    // Listed like any player's course.
    const fs::path list = profile / "list.txt";
    const GameRun listed = RunGame("--list-courses --profile '" + profile.string() + "' > '" + list.string() + "' #");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(Slurp(list).find("little-loop\tLittle Loop\t3\n"), std::string::npos) << Slurp(list);

    // Raced with keys driven on the game's own simulation of the downloaded course, and verified.
    const fs::path keys = profile / "loop.keys";
    const std::string drive = "cd " VORLAN_BINARY_DIR " && ./vorlan-racedrive --script '" + keys.string() +
                              "' --profile '" + profile.string() + "' '" + (profile / "drive.run").string() +
                              "' little-loop normal 9 20 >/dev/null 2>&1";
    ASSERT_EQ(std::system(drive.c_str()), 0);
    const GameRun race = RunGame("--headless --no-render --fixed-clock --uncapped --seed 9 --frames 12000 --course little-loop"
                             " --profile '" + profile.string() + "' --server " + Url() + " --input '" + keys.string() +
                                 "' --trace '" + (profile / "race.jsonl").string() + "'",
                             profile / "race.jsonl");
    ASSERT_EQ(race.status, 0) << race.errors;
    EXPECT_EQ(race.trace.back()["courseId"], "little-loop");
    EXPECT_EQ(race.trace.back()["online"]["state"], "verified") << race.errors << Server().Log();
    EXPECT_EQ(race.trace.back()["online"]["rank"], 1);
    const std::vector<std::string> names = BoardNames("little-loop");
    EXPECT_NE(std::find(names.begin(), names.end(), player), names.end());
}
