// The storage's promises, checked once on SQLite and once on PostgreSQL by
// the same cases: verdicts written once, migrations, and runs claimed with
// leases by workers racing each other.

#include "ServerProcess.h"
#include "TestPostgres.h"
#include "server/SqlStorage.h"
#include "server/SqliteStorage.h"
#include "server/PostgresStorage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

using namespace server;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

class ServerStorage : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        folder_ = server_test::TempFolder("storage");
        url_ = Postgres() ? server_test::TestPostgres::Get().NewDatabase() : "sqlite:" + folder_ + "/server.db";
    }
    void TearDown() override { fs::remove_all(folder_); }
    bool Postgres() const { return GetParam() == "postgresql"; }
    std::unique_ptr<SqlStorage> Open() const { return OpenStorage(url_, 8); }
    static SqlRows Raw(SqlStorage& s, const std::string& sql) { return s.Database().Session()->Query(sql); }
    static void Script(SqlStorage& s, const std::string& sql) { s.Database().Session()->Script(sql); }
    int64_t Latest() const { return Postgres() ? PostgresStorage::SchemaVersion() : SqliteStorage::SchemaVersion(); }

    std::string folder_, url_;
};

Verdict Verified(const std::string& statesHash, int64_t timeMs = 90000) {
    Verdict v;
    v.verified = true;
    v.course = "desert";
    v.courseHash = "c0";
    v.difficulty = "normal";
    v.timeMs = timeMs;
    v.lapsMs = {30000, 30000, timeMs - 60000};
    v.statesHash = statesHash;
    return v;
}

TEST_P(ServerStorage, AVerdictIsWrittenOnceAndACopiedRaceNeverReachesTheBoard) {
    const auto opened = Open();
    SqlStorage& s = *opened;
    ASSERT_TRUE(s.AddPlayer("Ana", "h1", "127.0.0.1", 100));
    ASSERT_FALSE(s.AddPlayer("ANA", "h2", "127.0.0.1", 100));
    ASSERT_TRUE(s.AddPlayer("Ben", "h3", "127.0.0.1", 100));
    const auto ana = s.PlayerByName("aNa"), ben = s.PlayerByName("ben");
    ASSERT_TRUE(ana && ben);
    EXPECT_EQ(s.PlayerByTokenHash("h3")->name, "Ben");
    const std::string file = "vorlan-moto-race 1\n\0\xff\x80 bytes kept as sent"s;
    const auto r1 = s.AddRun(ana->id, "f1", file, "127.0.0.1", 200);
    const auto r2 = s.AddRun(ben->id, "f2", "file2", "127.0.0.1", 201);
    ASSERT_TRUE(r1 && r2);
    EXPECT_FALSE(s.AddRun(ben->id, "f1", "file1", "127.0.0.1", 202));
    EXPECT_EQ(s.RunFile(*r1), file);
    EXPECT_EQ(s.PendingRuns(), (std::vector<int64_t>{*r1, *r2}));
    EXPECT_EQ(s.RunsFromAddressSince("127.0.0.1", 201).count, 1);
    EXPECT_EQ(s.RunsFromAddressSince("127.0.0.1", 0).oldest, 200);

    EXPECT_EQ(s.RecordVerdict(*r1, Verified("abc"), 300), RunStatus::Verified);
    EXPECT_EQ(s.RecordVerdict(*r1, Verified("abc"), 301), std::nullopt);  // judged already: a second worker changes nothing
    EXPECT_EQ(s.RecordVerdict(*r2, Verified("abc"), 302), RunStatus::Rejected);
    EXPECT_NE(s.GetRun(*r2)->reason.find("run " + std::to_string(*r1)), std::string::npos);
    const auto rows = s.Board({"desert", "c0", "normal"}, 0, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].player, "Ana");
    EXPECT_EQ(rows[0].lapsMs, (std::vector<int64_t>{30000, 30000, 30000}));
    EXPECT_EQ(s.GetRun(*r1)->timeMs, 90000);
    EXPECT_EQ(s.PendingCount(), 0);

    // A shared course keeps the description it was made from.
    EXPECT_TRUE(s.AddCourse("loop", "c1", ana->id, 400, "name: Loop\n"));
    EXPECT_FALSE(s.AddCourse("loop", "c2", ben->id, 401, "name: Other\n"));
    const auto shared = s.SharedCourses();
    ASSERT_EQ(shared.size(), 1u);
    EXPECT_EQ(shared[0].description, "name: Loop\n");
    EXPECT_EQ(s.CourseAuthor("loop"), "Ana");
}

TEST_P(ServerStorage, TheSchemaIsMigratedOnceAndANewerOneIsRefused) {
    { Open(); }
    const auto again = Open();  // opening an up-to-date database changes nothing
    const SqlRows versions = Raw(*again, "SELECT version FROM schema_version");
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0].Int(0), Latest());
    EXPECT_EQ(Latest(), SqliteStorage::SchemaVersion());  // one schema, whichever database
    if (!Postgres()) {
        EXPECT_EQ(Raw(*again, "PRAGMA journal_mode")[0].Text(0), "wal");
    }
    Raw(*again, "UPDATE schema_version SET version = 99");
    EXPECT_THROW(Open(), StorageError);
}

TEST_P(ServerStorage, AnOlderDatabaseIsBroughtUpToDateKeepingItsPlayers) {
    {
        const auto s = Open();
        ASSERT_TRUE(s->AddPlayer("Old_1", "h1", "192.0.2.1", 100));
        // Back to the first version: what the later migrations added is taken away again.
        Script(*s,
               "ALTER TABLE runs DROP COLUMN claimed_by; ALTER TABLE runs DROP COLUMN lease_until; "
               "ALTER TABLE runs DROP COLUMN claims; DROP INDEX players_address_time; "
               "ALTER TABLE players DROP COLUMN address; DROP TABLE courses; UPDATE schema_version SET version = 1");
    }
    const auto s = Open();
    EXPECT_TRUE(s->PlayerByName("old_1"));
    EXPECT_TRUE(s->AddPlayer("New_1", "h2", "192.0.2.1", 200));
    EXPECT_EQ(s->PlayersFromAddressSince("192.0.2.1", 150).count, 1);
    EXPECT_TRUE(s->AddCourse("loop", "c1", s->PlayerByName("New_1")->id, 200, "name: Loop\n"));
    const auto run = s->AddRun(s->PlayerByName("old_1")->id, "f1", "file", "192.0.2.1", 300);
    ASSERT_TRUE(run);
    EXPECT_EQ(s->ClaimRun("w", 300, 10), run);
}

TEST_P(ServerStorage, ARunIsClaimedByOneWorkerUntilItsLeaseRunsOut) {
    const auto opened = Open();
    SqlStorage& s = *opened;
    ASSERT_TRUE(s.AddPlayer("Ana", "h1", "127.0.0.1", 100));
    const int64_t ana = s.PlayerByName("ana")->id;
    const auto r1 = s.AddRun(ana, "f1", "1", "a", 100), r2 = s.AddRun(ana, "f2", "2", "a", 100);
    EXPECT_EQ(s.ClaimRun("a", 1000, 30), r1);
    EXPECT_EQ(s.ClaimRun("b", 1000, 30), r2);
    EXPECT_EQ(s.ClaimRun("c", 1029, 30), std::nullopt);  // both held
    // "a" died: when its lease ends its run is another's, oldest first.
    EXPECT_EQ(s.ClaimRun("c", 1030, 30), r1);
    // Given back by its worker, a run is claimable from the time named.
    s.ReleaseRun(*r2, "b", 1040);
    EXPECT_EQ(s.ClaimRun("d", 1039, 30), std::nullopt);
    EXPECT_EQ(s.ClaimRun("d", 1040, 30), r2);
    s.ReleaseRun(*r2, "b", 1040);  // no longer b's: changes nothing
    EXPECT_EQ(s.ClaimRun("e", 1041, 30), std::nullopt);
    // "a" was slow, not dead: whoever finishes first writes the verdict, once.
    EXPECT_EQ(s.RecordVerdict(*r1, Verified("s1"), 1050), RunStatus::Verified);
    EXPECT_EQ(s.RecordVerdict(*r1, Verified("s1"), 1051), std::nullopt);
    EXPECT_EQ(s.ClaimRun("f", 5000, 30), r2);  // a judged run is never claimed again
    EXPECT_EQ(s.ClaimRun("g", 5029, 30), std::nullopt);
    EXPECT_EQ(s.RecordVerdict(*r2, Verified("s2"), 9001), RunStatus::Verified);
}

// Eight workers on their own connections claim and judge 60 runs, a third
// of them copies of another's race: each run is claimed once, judged once,
// and each race is on the board once.
TEST_P(ServerStorage, WorkersRacingEachOtherClaimEachRunOnceAndARaceIsVerifiedOnce) {
    const auto opened = Open();
    SqlStorage& s = *opened;
    ASSERT_TRUE(s.AddPlayer("Ana", "h1", "127.0.0.1", 100));
    const int64_t ana = s.PlayerByName("ana")->id;
    constexpr int kRuns = 60;
    for (int i = 0; i < kRuns; ++i) ASSERT_TRUE(s.AddRun(ana, "f" + std::to_string(i), "x", "a", 100));
    std::mutex mutex;
    std::multiset<int64_t> claimed;
    int verified = 0, rejected = 0, again = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w) {
        workers.emplace_back([&, w] {
            while (const auto id = s.ClaimRun("w" + std::to_string(w), 1000, 60)) {
                // Runs 3k, 3k+1 and 3k+2 are the same race (a copy and a copy of it).
                const auto status = s.RecordVerdict(*id, Verified("race" + std::to_string(*id / 3), 80000 + *id), 1001);
                const auto twice = s.RecordVerdict(*id, Verified("race" + std::to_string(*id / 3)), 1002);
                std::lock_guard lock(mutex);
                claimed.insert(*id);
                if (status == RunStatus::Verified) ++verified;
                if (status == RunStatus::Rejected) ++rejected;
                if (twice) ++again;
            }
        });
    }
    for (auto& t : workers) t.join();
    EXPECT_EQ(claimed.size(), static_cast<size_t>(kRuns));
    EXPECT_EQ(std::set<int64_t>(claimed.begin(), claimed.end()).size(), static_cast<size_t>(kRuns));
    EXPECT_EQ(again, 0);
    EXPECT_EQ(verified + rejected, kRuns);
    const std::set<int64_t> races = [&] {
        std::set<int64_t> r;
        for (int64_t id : claimed) r.insert(id / 3);
        return r;
    }();
    EXPECT_EQ(verified, static_cast<int>(races.size()));
    EXPECT_EQ(Raw(s, "SELECT COUNT(*) FROM runs WHERE claims != 1")[0].Int(0), 0);
    EXPECT_EQ(s.BoardSize({"desert", "c0", "normal"}), 1);  // one player, their best
    EXPECT_EQ(s.PendingCount(), 0);
}

// PostgreSQL stopped and started again under a storage that stays open:
// calls while it is down throw StorageUnavailable; after, they work again
// on new connections.
TEST_P(ServerStorage, ADatabaseRestartIsAGapNotAFailure) {
    if (!Postgres()) GTEST_SKIP() << "SQLite is a file, not a server";
    const auto s = Open();
    ASSERT_TRUE(s->AddPlayer("Ana", "h1", "127.0.0.1", 100));
    auto& pg = server_test::TestPostgres::Get();
    pg.Stop();
    EXPECT_THROW(s->PlayerByName("ana"), StorageUnavailable);
    pg.Start();
    EXPECT_TRUE(s->PlayerByName("ana"));
    pg.Restart();  // every pooled connection is dead now, and none is needed to say so
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(s->PlayerByName("ana")) << i;
}

INSTANTIATE_TEST_SUITE_P(Databases, ServerStorage, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

}  // namespace
