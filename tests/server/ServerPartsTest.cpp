// The server's parts on their own: what the parsers let through, the HTML
// builder's escaping, and the storage's verdicts and migrations.

#include "ServerFuzzTargets.h"
#include "ServerProcess.h"
#include "server/Html.h"
#include "server/Requests.h"
#include "server/SqliteStorage.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <iterator>
#include <map>

using namespace server;
namespace fs = std::filesystem;

namespace {

const char* kGood =
    R"({"verdict": "verified", "course": "desert", "courseHash": "80167b27c86278d2", "difficulty": "normal",)"
    R"( "autopilot": false, "updates": 5000, "timeMs": 80000, "lapsMs": [26000, 27000, 27000], "rank": 1,)"
    R"( "firstMismatch": null, "build": "b1", "statesHash": "00ff"})";

TEST(ServerParts, TheVerifierIsBelievedOnlyWhenItsLineAndStatusAgree) {
    std::string why;
    const auto good = ParseVerifierOutput(std::string(kGood) + "\n", 0, why);
    ASSERT_TRUE(good) << why;
    EXPECT_EQ(good->timeMs, 80000);
    EXPECT_EQ(good->lapsMs, (std::vector<int64_t>{26000, 27000, 27000}));
    EXPECT_FALSE(good->autopilot);

    auto refused = [&](const std::string& out, int status) {
        why.clear();
        return !ParseVerifierOutput(out, status, why) && !why.empty();
    };
    EXPECT_TRUE(refused(kGood, 1));                                 // says verified, exits mismatch
    EXPECT_TRUE(refused(std::string(kGood) + "\n" + kGood, 0));     // two lines
    EXPECT_TRUE(refused("", 0));
    EXPECT_TRUE(refused("verified", 0));
    auto with = [](const std::string& from, const std::string& to) {
        std::string s = kGood;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    EXPECT_TRUE(refused(with("80000,", "-5,"), 0));
    EXPECT_TRUE(refused(with("80000,", "80000.5,"), 0));
    EXPECT_TRUE(refused(with("80000,", "\"80000\","), 0));
    EXPECT_TRUE(refused(with("80000,", "99999999999999999999,"), 0));
    EXPECT_TRUE(refused(with("[26000, 27000, 27000]", "[]"), 0));
    EXPECT_TRUE(refused(with("[26000, 27000, 27000]", "[26000, 0]"), 0));
    EXPECT_TRUE(refused(with("\"normal\"", "\"nightmare\""), 0));
    EXPECT_TRUE(refused(with("false", "\"no\""), 0));
    EXPECT_TRUE(refused(with("\"00ff\"", "\"zz\""), 0));
    const auto mismatch = ParseVerifierOutput(R"({"verdict": "mismatch", "reason": "update 12"})", 1, why);
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->reason, "update 12");
}

TEST(ServerParts, RequestFieldsAreCheckedExactly) {
    EXPECT_TRUE(ValidPlayerName("abc"));
    EXPECT_TRUE(ValidPlayerName("A-Z_a-z_0-9_-xyz"));
    EXPECT_FALSE(ValidPlayerName("ab"));
    EXPECT_FALSE(ValidPlayerName("abcdefghijklmnopq"));
    EXPECT_FALSE(ValidPlayerName(std::string("ab\0c", 4)));

    const std::string token(64, 'a');
    EXPECT_EQ(ParseBearer("Bearer " + token), token);
    EXPECT_FALSE(ParseBearer("Bearer " + token + " "));
    EXPECT_FALSE(ParseBearer("Bearer  " + token.substr(1)));
    EXPECT_FALSE(ParseBearer("Bearer " + std::string(64, 'G')));

    EXPECT_EQ(ParseId("12"), 12);
    for (const char* bad : {"", "0", "012", "+1", "-1", "1e3", "1 ", "9999999999999999999"}) EXPECT_FALSE(ParseId(bad)) << bad;

    EXPECT_EQ(CheckRaceFile("vorlan-moto-race 1\n"), "");
    EXPECT_EQ(CheckRaceFile("vorlan-moto-race 1"), "");
    EXPECT_EQ(CheckRaceFile("vorlan-moto-race 1\n\xe2\x82\xac ok\n"), "");
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\r\n"), "");
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\n\xed\xa0\x80"), "");  // a surrogate
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\n\xc0\x80"), "");      // an overlong NUL
    EXPECT_NE(CheckRaceFile("vorlan-moto-race 1\n\xe2\x82"), "");      // cut short

    std::string why;
    const auto q = ParseBoardQuery({{"difficulty", "hard"}, {"limit", "7"}, {"around", "Ana_1"}, {"x", "y"}}, why);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->difficulty, "hard");
    EXPECT_EQ(q->limit, 7);
    EXPECT_EQ(q->around, "Ana_1");
}

TEST(ServerParts, HtmlEscapesEveryStringAndOnlyLiteralsAreMarkup) {
    Html h;
    const std::string name = "<b>\"Bo\" & 'Al'</b>";
    h << "<p>" << name << "</p>";
    EXPECT_EQ(h.Str(), "<p>&lt;b&gt;&quot;Bo&quot; &amp; &#39;Al&#39;&lt;/b&gt;</p>");
    EXPECT_EQ(UrlSegment("a b/../c"), "a%20b%2F..%2Fc");
    EXPECT_EQ(FormatTime(83456), "1:23.456");
    EXPECT_EQ(FormatTime(5), "0:00.005");
}

// The fuzzers' seeds and kept inputs, run through the same entry points
// (which abort on a broken promise) in every build.
TEST(ServerParts, TheFuzzInputsKeepTheParsersPromises) {
    const std::map<std::string, void (*)(const uint8_t*, size_t)> targets = {
        {"server_player_body", FuzzServerPlayerBody}, {"server_authorization", FuzzServerAuthorization},
        {"server_racefile", FuzzServerRaceFile}, {"server_board_query", FuzzServerBoardQuery},
        {"server_verifier_output", FuzzServerVerifierOutput}};
    int inputs = 0;
    for (const auto& [name, fuzz] : targets) {
        for (const char* kind : {"seeds", "regressions"}) {
            const fs::path folder = fs::path(VORLAN_SOURCE_DIR) / "fuzz" / kind / name;
            if (!fs::is_directory(folder)) continue;
            for (const auto& entry : fs::directory_iterator(folder)) {
                std::ifstream in(entry.path(), std::ios::binary);
                const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                fuzz(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                ++inputs;
            }
        }
    }
    EXPECT_GE(inputs, 5);
}

// The manual page's options are --help's, in the same order.
TEST(ServerParts, TheManualPageListsTheOptionsOfHelp) {
    std::string help;
    FILE* pipe = popen(VORLAN_BINARY_DIR "/vorlan-moto-server --help", "r");
    ASSERT_TRUE(pipe);
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) help.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    std::vector<std::string> fromHelp, fromPage;
    std::istringstream h(help);
    static const std::regex helpLine(R"(^  (--[a-z0-9-]+))");
    for (std::string l; std::getline(h, l);)
        if (std::smatch m; std::regex_search(l, m, helpLine)) fromHelp.push_back(m[1]);
    std::ifstream page(VORLAN_SOURCE_DIR "/packaging/vorlan-moto-server.8");
    static const std::regex pageLine(R"(^\.BI? \\-\\-([a-z0-9\\-]+))");
    for (std::string l; std::getline(page, l);) {
        if (std::smatch m; std::regex_search(l, m, pageLine)) {
            std::string name = m[1];
            name = std::regex_replace(name, std::regex(R"(\\-)"), "-");
            fromPage.push_back("--" + name);
        }
    }
    EXPECT_GE(fromHelp.size(), 10u);
    EXPECT_EQ(fromPage, fromHelp);
}

class ServerStorage : public ::testing::Test {
protected:
    void SetUp() override { folder_ = server_test::TempFolder("storage"); }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Db() const { return folder_ + "/server.db"; }
    std::string folder_;
};

TEST_F(ServerStorage, AVerdictIsWrittenOnceAndACopiedRaceNeverReachesTheBoard) {
    SqliteStorage s(Db());
    ASSERT_TRUE(s.AddPlayer("Ana", "h1", "127.0.0.1", 100));
    ASSERT_FALSE(s.AddPlayer("ANA", "h2", "127.0.0.1", 100));
    ASSERT_TRUE(s.AddPlayer("Ben", "h3", "127.0.0.1", 100));
    const auto ana = s.PlayerByName("aNa"), ben = s.PlayerByName("ben");
    ASSERT_TRUE(ana && ben);
    const auto r1 = s.AddRun(ana->id, "f1", "file1", "127.0.0.1", 200);
    const auto r2 = s.AddRun(ben->id, "f2", "file2", "127.0.0.1", 201);
    ASSERT_TRUE(r1 && r2);
    EXPECT_FALSE(s.AddRun(ben->id, "f1", "file1", "127.0.0.1", 202));
    EXPECT_EQ(s.PendingRuns(), (std::vector<int64_t>{*r1, *r2}));

    Verdict v;
    v.verified = true;
    v.course = "desert";
    v.courseHash = "c0";
    v.difficulty = "normal";
    v.timeMs = 90000;
    v.lapsMs = {30000, 30000, 30000};
    v.statesHash = "abc";
    EXPECT_EQ(s.RecordVerdict(*r1, v, 300), RunStatus::Verified);
    EXPECT_EQ(s.RecordVerdict(*r1, v, 301), std::nullopt);  // judged already: a second worker changes nothing
    EXPECT_EQ(s.RecordVerdict(*r2, v, 302), RunStatus::Rejected);
    EXPECT_NE(s.GetRun(*r2)->reason.find("run " + std::to_string(*r1)), std::string::npos);
    const auto rows = s.Board({"desert", "c0", "normal"}, 0, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].player, "Ana");
    EXPECT_EQ(s.PendingCount(), 0);
}

TEST_F(ServerStorage, TheSchemaIsMigratedOnceAndANewerOneIsRefused) {
    { SqliteStorage s(Db()); }
    { SqliteStorage again(Db()); }  // opening an up-to-date database changes nothing
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Db().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT version FROM schema_version", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), SqliteStorage::SchemaVersion());
    EXPECT_NE(sqlite3_step(st), SQLITE_ROW);  // one row only
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
    sqlite3_finalize(st);
    sqlite3_exec(db, "UPDATE schema_version SET version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_THROW(SqliteStorage newer(Db()), StorageError);
}

TEST_F(ServerStorage, AnOlderDatabaseIsBroughtUpToDateKeepingItsPlayers) {
    {
        SqliteStorage s(Db());
        ASSERT_TRUE(s.AddPlayer("Old_1", "h1", "192.0.2.1", 100));
    }
    // Back to the first version: what the later migrations added is taken away again.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Db().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "DROP INDEX players_address_time; ALTER TABLE players DROP COLUMN address; "
                           "DROP TABLE courses; UPDATE schema_version SET version = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    SqliteStorage s(Db());
    EXPECT_TRUE(s.PlayerByName("old_1"));
    EXPECT_TRUE(s.AddPlayer("New_1", "h2", "192.0.2.1", 200));
    EXPECT_EQ(s.PlayersFromAddressSince("192.0.2.1", 150).count, 1);
    EXPECT_TRUE(s.AddCourse("loop", "c1", s.PlayerByName("New_1")->id, 200));
}

}  // namespace
