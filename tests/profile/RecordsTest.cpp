// The player's records and ghost: the files read back exactly what was
// written and refuse anything else; a race told frame by frame keeps lap
// times and splits, saves only a real improvement at the finish, and the
// saved line plays back frame for frame. Files live in a fresh folder.

#include "profile/GhostTrack.h"
#include "profile/PlayerRecords.h"
#include "profile/Records.h"
#include "profile/UserFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {
std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PlayerRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-records-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        folder = root / "vorlan-moto";
    }
    void TearDown() override {
        if (fs::exists(root)) fs::permissions(root, fs::perms::owner_all, fs::perm_options::replace);
        if (fs::exists(folder)) fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
        fs::remove_all(root);
    }

    // A race of three laps told as the game tells it: a countdown, then
    // frames of 16 ms; the bike's pose follows from the frame and the pace.
    // lapFrames is each lap's length in frames; stopAfter < 0 rides to the end.
    static GhostPose Pose(int frame, float pace) {
        return {pace * static_cast<float>(frame) * 0.1f, 0.2f, std::sin(static_cast<float>(frame) * 0.01f),
                static_cast<float>(frame % 360), static_cast<float>(frame % 7) - 3.0f};
    }
    static void Race(PlayerRecords& records, const int lapFrames[3], float pace = 1.0f, int stopAfter = -1) {
        PlayerRecords::RaceState state;
        records.Frame(state);  // the title
        state.racing = true;
        for (int countdown = 3; countdown > 0; --countdown) {
            state.countdown = countdown;
            state.player = Pose(-1, pace);
            records.Frame(state);
        }
        state.countdown = 0;
        int frame = 0, lapEnd = lapFrames[0];
        for (uint32_t lap = 1; lap <= 3; ++lap) {
            for (; frame < lapEnd; ++frame) {
                if (stopAfter >= 0 && frame >= stopAfter) return;
                state.raceMs = static_cast<uint32_t>(frame + 1) * 16;
                state.lap = frame + 1 == lapEnd ? lap + 1 : lap;
                state.player = Pose(frame, pace);
                records.Frame(state);
            }
            if (lap < 3) lapEnd += lapFrames[lap];
        }
        // The result screen: the clock stands, the bike rides on.
        for (int extra = 0; extra < 10; ++extra, ++frame) {
            state.player = Pose(frame, pace);
            records.Frame(state);
        }
    }

    fs::path root, folder;
};
}  // namespace

TEST(RecordsFile, ReadsBackWhatItWritesAndRefusesEverythingElse) {
    RecordsBook written;
    written.For(Difficulty::Normal).best = RecordEntry{57368, "2026-12-08", {19000, 19000, 19368}};
    written.For(Difficulty::Normal).bestLap = RecordEntry{17864, "2026-11-30", {}};
    written.For(Difficulty::Hard).best = RecordEntry{61000, "2026-12-09", {}};
    RecordsBook read;
    ASSERT_TRUE(read.Parse(written.Text()));
    EXPECT_EQ(read.For(Difficulty::Normal).best->ms, 57368u);
    EXPECT_EQ(read.For(Difficulty::Normal).best->laps, (std::vector<uint32_t>{19000, 19000, 19368}));
    EXPECT_EQ(read.For(Difficulty::Normal).bestLap->date, "2026-11-30");
    EXPECT_EQ(read.For(Difficulty::Hard).best->ms, 61000u);
    EXPECT_TRUE(read.For(Difficulty::Easy).Empty());
    EXPECT_EQ(read.Text(), written.Text());
    ASSERT_TRUE(read.Parse(RecordsBook().Text()));
    EXPECT_TRUE(read.For(Difficulty::Normal).Empty());

    // A file from before the difficulties were kept apart is normal's.
    ASSERT_TRUE(read.Parse("vorlan-moto records 1\nbest 57368 2026-12-08\nbestLap 17864 2026-12-08\nend\n"));
    EXPECT_EQ(read.For(Difficulty::Normal).best->ms, 57368u);
    EXPECT_EQ(read.For(Difficulty::Normal).bestLap->ms, 17864u);
    EXPECT_TRUE(read.For(Difficulty::Easy).Empty() && read.For(Difficulty::Hard).Empty());

    const std::string good = written.Text();
    for (const std::string& bad : {std::string(), std::string("garbage\n"), good.substr(0, good.size() / 2),
                                   good.substr(0, good.size() - 1),  // the closing line cut
                                   std::string("vorlan-moto records 3\nend\n"),
                                   std::string("vorlan-moto records 2\nbest 5000 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 2\nmedium best 5000 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 2\nhard best 5000 2026-12-08 laps 2000 2000\nend\n"),
                                   std::string("vorlan-moto records 2\nhard best 5000 2026-12-08 laps 3000 2000\n"
                                               "hard bestLap 2500 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 5000 2026-12-08 laps 5000\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 0 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 600001 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 1\nbest -5 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 5000 2026-12-8\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 5000 2026-12-08 x\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 5000 2026-12-08\nbest 4000 2026-12-08\nend\n"),
                                   std::string("vorlan-moto records 1\nbest 5000 2026-12-08\nbestLap 6000 2026-12-08\nend\n")}) {
        SCOPED_TRACE(bad);
        RecordsBook r = written;
        EXPECT_FALSE(r.Parse(bad));
        EXPECT_TRUE(r.For(Difficulty::Normal).Empty() && r.For(Difficulty::Hard).Empty());
    }
}

TEST(RecordsFile, OnlyAFasterTimeIsARecord) {
    Records r;
    const uint32_t laps[3] = {20000, 19000, 21000};
    Records::Outcome first = r.Offer(60000, laps, 3, "2026-12-01");
    EXPECT_TRUE(first.newBest && first.newBestLap);
    EXPECT_EQ(r.bestLap->ms, 19000u);
    // Equal is not better, for the race or the lap.
    Records::Outcome same = r.Offer(60000, laps, 3, "2026-12-02");
    EXPECT_FALSE(same.newBest || same.newBestLap);
    EXPECT_EQ(r.best->date, "2026-12-01");
    // A slower race can still hold the best lap.
    const uint32_t quickLap[3] = {25000, 18999, 25000};
    Records::Outcome lapOnly = r.Offer(68999, quickLap, 3, "2026-12-03");
    EXPECT_FALSE(lapOnly.newBest);
    EXPECT_TRUE(lapOnly.newBestLap);
    EXPECT_EQ(r.best->ms, 60000u);
    EXPECT_EQ(r.bestLap->ms, 18999u);
    EXPECT_TRUE(r.Offer(59999, laps, 3, "2026-12-04").newBest);
}

TEST(GhostFile, ReadsBackEveryPoseBitForBitAndRefusesDamage) {
    GhostTrack track;
    track.raceMs = 57368;
    track.start = {0.0f, 0.2f, -2.0f, 0.0f, 0.0f};
    std::mt19937 random(5);
    std::uniform_real_distribution<float> any(-500.0f, 500.0f);
    for (int i = 0; i < 300; ++i) track.frames.push_back({any(random), any(random), any(random), any(random), any(random)});
    track.frames.push_back({-0.0f, 1e-30f, 3.4e-38f, 99999.99f, -45.0f});
    const std::string text = track.Text();
    GhostTrack read;
    ASSERT_TRUE(read.Parse(text));
    EXPECT_EQ(read.raceMs, track.raceMs);
    EXPECT_TRUE(read.start == track.start);
    ASSERT_EQ(read.frames.size(), track.frames.size());
    for (size_t i = 0; i < track.frames.size(); ++i)
        EXPECT_EQ(std::memcmp(&read.frames[i], &track.frames[i], sizeof(GhostPose)), 0) << i;

    // Cut anywhere, the file is refused whole.
    for (size_t cut = 0; cut < text.size(); cut += 97) {
        GhostTrack cutRead;
        EXPECT_FALSE(cutRead.Parse(text.substr(0, cut))) << cut;
        EXPECT_TRUE(cutRead.Empty());
    }
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    for (const std::string& bad : {replaced("frames 301", "frames 302"), replaced("frames 301", "frames 300"),
                                   replaced("frames 301", "frames 99999999"), replaced("time 57368", "time 0"),
                                   replaced("vorlan-moto ghost 1", "vorlan-moto ghost 9"),
                                   replaced("start 0 0.200000003 -2 0 0", "start 0 nan -2 0 0"),
                                   replaced("start 0 0.200000003 -2 0 0", "start 0 1e39 -2 0 0"),
                                   replaced("start 0 0.200000003 -2 0 0", "start 0 0.2 -2 0"),
                                   replaced("start 0 0.200000003 -2 0 0", "start 0 0.2 -2 0 0 7"),
                                   replaced("start 0 0.200000003 -2 0 0", "start 0 200000 -2 0 0"),
                                   text + "extra\n", std::string("\0\0\0", 3)}) {
        GhostTrack damaged;
        EXPECT_FALSE(damaged.Parse(bad));
        EXPECT_TRUE(damaged.Empty());
    }
    // Before the start the grid, after the line its last pose.
    EXPECT_TRUE(read.At(-1) == track.start);
    EXPECT_TRUE(read.At(0) == track.frames[0]);
    EXPECT_TRUE(read.At(100000) == track.frames.back());
}

TEST_F(PlayerRecordsTest, AFinishedRaceSavesItsBestsAndTheNextRaceRidesAgainstItsLine) {
    PlayerRecords first;
    first.Load(folder.string());
    EXPECT_FALSE(first.GhostNow());
    const int laps[3] = {100, 90, 110};
    Race(first, laps);
    EXPECT_TRUE(first.newRecord);
    ASSERT_EQ(first.lapTimes.size(), 3u);
    EXPECT_EQ(first.lapTimes[0], 1600u);
    EXPECT_EQ(first.lapTimes[1], 1440u);
    EXPECT_EQ(first.lapTimes[2], 1760u);
    // Lap 2 against lap 1: faster; lap 3 against lap 2: slower.
    EXPECT_TRUE(first.splitKnown);
    EXPECT_EQ(first.lastSplitMs, 1760 - 1440);
    ASSERT_TRUE(first.records.best && first.records.bestLap);
    EXPECT_EQ(first.records.best->ms, 300u * 16u);
    EXPECT_EQ(first.records.bestLap->ms, 1440u);

    PlayerRecords second;
    second.Load(folder.string());
    EXPECT_EQ(second.records.best->ms, 300u * 16u);
    // The ghost waits on the grid, then is where the first race's bike was,
    // frame for frame, and stays at the end of its line.
    PlayerRecords::RaceState state;
    state.racing = true;
    state.countdown = 2;
    second.Frame(state);
    EXPECT_TRUE(*second.GhostNow() == Pose(-1, 1.0f));
    state.countdown = 0;
    for (int frame = 0; frame < 320; ++frame) {
        state.raceMs = static_cast<uint32_t>(frame + 1) * 16;
        state.lap = 1;
        second.Frame(state);
        const GhostPose expected = Pose(std::min(frame, 299), 1.0f);
        ASSERT_TRUE(*second.GhostNow() == expected) << frame;
    }
    // The first lap's split is against the saved best lap.
    state.lap = 2;
    second.Frame(state);
    EXPECT_TRUE(second.splitKnown);
    EXPECT_EQ(second.lastSplitMs, 320 * 16 - 1440);
    EXPECT_EQ(second.splitFramesLeft, PlayerRecords::kSplitFrames);
}

TEST_F(PlayerRecordsTest, AnEqualOrSlowerRaceOrAnAbandonedOneKeepsTheSavedBest) {
    const int laps[3] = {100, 90, 110};
    {
        PlayerRecords first;
        first.Load(folder.string());
        Race(first, laps);
    }
    const std::string records = Slurp(folder / "records.txt");
    const std::string ghost = Slurp(folder / "ghost.txt");
    {
        // The same time on a different line: not a record, nothing written.
        PlayerRecords again;
        again.Load(folder.string());
        Race(again, laps, 0.5f);
        EXPECT_FALSE(again.newRecord);
    }
    {
        // Faster, but left before the finish (Escape): nothing saved.
        const int quick[3] = {50, 50, 50};
        PlayerRecords left;
        left.Load(folder.string());
        Race(left, quick, 2.0f, 120);
        EXPECT_FALSE(left.newRecord);
    }
    EXPECT_EQ(Slurp(folder / "records.txt"), records);
    EXPECT_EQ(Slurp(folder / "ghost.txt"), ghost);
    // A slower race with a faster lap keeps the race best and its ghost.
    const int lapBest[3] = {150, 80, 150};
    PlayerRecords lap;
    lap.Load(folder.string());
    Race(lap, lapBest);
    EXPECT_FALSE(lap.newRecord);
    EXPECT_EQ(lap.records.best->ms, 300u * 16u);
    EXPECT_EQ(lap.records.bestLap->ms, 80u * 16u);
    EXPECT_EQ(Slurp(folder / "ghost.txt"), ghost);
}

TEST_F(PlayerRecordsTest, DamagedFilesAreSetAsideWithOneLineAndTheNextFinishWritesFreshOnes) {
    fs::create_directories(folder);
    std::ofstream(folder / "records.txt") << "vorlan-moto records 1\nbest 12";
    std::ofstream(folder / "ghost.txt") << "";
    ::testing::internal::CaptureStderr();
    PlayerRecords records;
    records.Load(folder.string());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_NE(said.find("records.txt.bad"), std::string::npos) << said;
    EXPECT_NE(said.find("ghost.txt.bad"), std::string::npos) << said;
    EXPECT_EQ(Slurp(folder / "records.txt.bad"), "vorlan-moto records 1\nbest 12");
    EXPECT_TRUE(fs::exists(folder / "ghost.txt.bad"));
    EXPECT_FALSE(records.records.best);
    EXPECT_FALSE(records.GhostNow());
    const int laps[3] = {100, 90, 110};
    Race(records, laps);
    RecordsBook fresh;
    EXPECT_TRUE(fresh.Parse(Slurp(folder / "records.txt")));
    GhostTrack line;
    EXPECT_TRUE(line.Parse(Slurp(folder / "ghost.txt")));
}

TEST_F(PlayerRecordsTest, AFolderThatCannotBeWrittenIsSaidOnceAndThePlayGoesOn) {
    // The data folder below a regular file cannot be made, not even by root.
    fs::create_directories(root);
    std::ofstream(root / "file") << "x";
    PlayerRecords records;
    records.Load((root / "file" / "vorlan-moto").string());
    const int laps[3] = {100, 90, 110};
    ::testing::internal::CaptureStderr();
    Race(records, laps);
    const int faster[3] = {90, 80, 100};
    Race(records, faster);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("cannot save records"), std::string::npos) << said;
    // The session still knows its best and shows the ghost of it.
    EXPECT_TRUE(records.newRecord);
    EXPECT_EQ(records.records.best->ms, 270u * 16u);
    EXPECT_TRUE(records.GhostNow());

    // A read-only folder keeps the old records as they were.
    if (geteuid() == 0) return;  // root writes anyway
    PlayerRecords first;
    first.Load(folder.string());
    Race(first, laps);
    const std::string old = Slurp(folder / "records.txt");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    PlayerRecords blocked;
    blocked.Load(folder.string());
    ::testing::internal::CaptureStderr();
    Race(blocked, faster);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot save records"), std::string::npos);
    EXPECT_EQ(Slurp(folder / "records.txt"), old);
}

TEST_F(PlayerRecordsTest, TheGhostKeyTogglesOnEachPressAndTheStartSettingHoldsUntilThen) {
    PlayerRecords records;
    EXPECT_TRUE(records.GhostShown());
    records.SetGhostShown(false);
    EXPECT_FALSE(records.GhostShown());
    records.GhostKey(true);
    EXPECT_TRUE(records.GhostShown());
    records.GhostKey(true);  // held: one press
    EXPECT_TRUE(records.GhostShown());
    records.GhostKey(false);
    records.GhostKey(true);
    EXPECT_FALSE(records.GhostShown());
}

// A full disk, as the ghost's size makes it likely: the file size limit lets
// the small records through and stops the larger ghost (root included).
TEST_F(PlayerRecordsTest, ANewBestReachesTheRecordsWhateverBecomesOfTheGhostAndAStaleGhostIsSetAside) {
    const int slow[3] = {100, 90, 110};
    {
        PlayerRecords first;
        first.Load(folder.string());
        Race(first, slow);
    }
    const std::string oldGhost = Slurp(folder / "ghost.txt");
    ASSERT_GT(oldGhost.size(), 4096u);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        PlayerRecords faster;
        faster.Load(folder.string());
        const int quick[3] = {90, 80, 100};
        Race(faster, quick);
        _exit(faster.newRecord ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    RecordsBook saved;
    ASSERT_TRUE(saved.Parse(Slurp(folder / "records.txt")));
    EXPECT_EQ(saved.For(Difficulty::Normal).best->ms, 270u * 16u) << "the new best was lost with its ghost";
    EXPECT_EQ(Slurp(folder / "ghost.txt"), oldGhost);

    // The old ghost no longer matches the best time: it goes aside, and no
    // ghost rides rather than the wrong one.
    ::testing::internal::CaptureStderr();
    PlayerRecords next;
    next.Load(folder.string());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("ghost.txt.stale"), std::string::npos) << said;
    EXPECT_FALSE(next.GhostNow());
    EXPECT_EQ(Slurp(folder / "ghost.txt.stale"), oldGhost);
    EXPECT_EQ(next.records.best->ms, 270u * 16u);
}

// A file that is there but cannot be read may hold a best time: it is said
// once and never written over. A folder in its place cannot be read even by
// root; a file of mode 000 cannot for anyone else.
TEST_F(PlayerRecordsTest, RecordsThatCannotBeReadAreSaidOnceAndNeverWrittenOver) {
    const int laps[3] = {100, 90, 110};
    const int faster[3] = {90, 80, 100};
    fs::create_directories(folder / "records.txt" / "inside");
    ::testing::internal::CaptureStderr();
    PlayerRecords blocked;
    blocked.Load(folder.string());
    Race(blocked, laps);
    Race(blocked, faster);
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("cannot read"), std::string::npos) << said;
    EXPECT_TRUE(fs::is_directory(folder / "records.txt" / "inside"));
    EXPECT_FALSE(fs::exists(folder / "ghost.txt")) << "a ghost without its records";
    EXPECT_TRUE(blocked.newRecord) << "the run still shows what it earned";

    if (geteuid() == 0) return;
    fs::remove_all(folder);
    {
        PlayerRecords first;
        first.Load(folder.string());
        Race(first, laps);
    }
    const std::string old = Slurp(folder / "records.txt");
    fs::permissions(folder / "records.txt", fs::perms::none, fs::perm_options::replace);
    ::testing::internal::CaptureStderr();
    PlayerRecords locked;
    locked.Load(folder.string());
    Race(locked, faster);
    said = ::testing::internal::GetCapturedStderr();
    fs::permissions(folder / "records.txt", fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(Slurp(folder / "records.txt"), old);
}

// Two copies of the game finish at once: each reads the files again just
// before writing, under the folder's lock, so the better times stay.
TEST_F(PlayerRecordsTest, TwoCopiesFinishingTogetherKeepTheBetterOfEachTime) {
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    // The faster race has the slower best lap: each file keeps one of each.
    const int a[3] = {90, 95, 85};   // 270 frames, best lap 85
    const int b[3] = {100, 80, 110};  // 290 frames, best lap 80
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            PlayerRecords records;
            records.Load(folder.string());  // both start with nothing
            char byte = 1;
            if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1) _exit(2);
            Race(records, c == 0 ? a : b);
            _exit(records.newRecord ? 0 : 1);
        }
    }
    char byte = 0;
    for (int c = 0; c < 2; ++c) ASSERT_EQ(read(ready[0], &byte, 1), 1);
    const char both[2] = {1, 1};
    ASSERT_EQ(write(go[1], both, 2), 2);
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
    RecordsBook saved;
    ASSERT_TRUE(saved.Parse(Slurp(folder / "records.txt")));
    const Records& normal = saved.For(Difficulty::Normal);
    EXPECT_EQ(normal.best->ms, 270u * 16u);
    EXPECT_EQ(normal.best->laps, (std::vector<uint32_t>{90 * 16, 95 * 16, 85 * 16}));
    EXPECT_EQ(normal.bestLap->ms, 80u * 16u);
    GhostTrack line;
    ASSERT_TRUE(line.Parse(Slurp(folder / "ghost.txt")));
    EXPECT_EQ(line.raceMs, 270u * 16u) << "the ghost of the faster race";
}

TEST_F(PlayerRecordsTest, EachDifficultyKeepsItsOwnRecordsAndGhostAndAnOldFileIsNormals) {
    fs::create_directories(folder);
    std::ofstream(folder / "records.txt") << "vorlan-moto records 1\nbest 57368 2026-12-08\nbestLap 17864 2026-12-08\nend\n";
    const int laps[3] = {100, 90, 110};
    PlayerRecords records;
    records.Load(folder.string());
    EXPECT_EQ(records.records.best->ms, 57368u);
    records.SetDifficulty(Difficulty::Easy);
    EXPECT_FALSE(records.records.best) << "normal's best is no target on easy";
    Race(records, laps);
    EXPECT_TRUE(records.newRecord);
    EXPECT_EQ(records.records.best->ms, 300u * 16u);
    records.SetDifficulty(Difficulty::Hard);
    EXPECT_FALSE(records.records.best) << "easy's best is not shown on hard";
    EXPECT_FALSE(records.GhostNow());
    const int slower[3] = {110, 100, 120};
    Race(records, slower);
    EXPECT_TRUE(records.newRecord) << "a slower race is hard's first record";

    PlayerRecords again;
    again.Load(folder.string());
    EXPECT_EQ(again.records.best->ms, 57368u);
    again.SetDifficulty(Difficulty::Easy);
    EXPECT_EQ(again.records.best->ms, 300u * 16u);
    ASSERT_TRUE(again.GhostNow());
    again.SetDifficulty(Difficulty::Hard);
    EXPECT_EQ(again.records.best->ms, 330u * 16u);
    EXPECT_TRUE(fs::exists(folder / "ghost-easy.txt"));
    EXPECT_TRUE(fs::exists(folder / "ghost-hard.txt"));
    EXPECT_FALSE(fs::exists(folder / "ghost.txt"));
}

// A run that is not the player's own (a demo, a script, a replay) shows what
// the files hold and what it beat, and leaves every byte of them alone.
TEST_F(PlayerRecordsTest, ARunThatKeepsThePlayersFilesWritesAndMovesNothing) {
    const int laps[3] = {100, 90, 110};
    {
        PlayerRecords first;
        first.Load(folder.string());
        Race(first, laps);
    }
    std::ofstream(folder / "ghost-hard.txt") << "damaged";
    const std::string records = Slurp(folder / "records.txt"), ghost = Slurp(folder / "ghost.txt");
    UserFiles::SetWritesAllowed(false);
    PlayerRecords demo;
    ::testing::internal::CaptureStderr();
    demo.Load(folder.string());
    const int faster[3] = {90, 80, 100};
    Race(demo, faster);
    ::testing::internal::GetCapturedStderr();
    UserFiles::SetWritesAllowed(true);
    EXPECT_TRUE(demo.newRecord);
    EXPECT_EQ(demo.records.best->ms, 270u * 16u);
    EXPECT_EQ(Slurp(folder / "records.txt"), records);
    EXPECT_EQ(Slurp(folder / "ghost.txt"), ghost);
    EXPECT_EQ(Slurp(folder / "ghost-hard.txt"), "damaged");
    EXPECT_FALSE(fs::exists(folder / "ghost-hard.txt.bad"));
}
