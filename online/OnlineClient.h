#pragma once
// The game's leaderboard client: one thread of its own owns every transfer
// (libcurl, each with its limits) and works through a queue of jobs; the
// game hands it jobs and takes its results once per update, never waiting.
// At its start it registers the player's name when there is no token yet,
// sends what waits in the outbox and fetches the boards the title shows.

#include "online/HttpTransfer.h"
#include "online/Outbox.h"
#include "scene/OnlineLink.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

class OnlineClient final : public OnlineLink {
public:
    struct Config {
        std::string server;      // http://HOST:PORT, no trailing slash needed
        std::string player;      // the name to register; empty: races wait in the outbox
        std::string tokenPath;   // the token file
        std::string outboxDir;   // the outbox folder
        std::string cachePath;   // the boards last heard, for offline starts
        std::string ghostDir;    // world records' race files and their lines
        std::string coursesDir;  // the player's course folder (shared ones go there)
        std::string verifier;    // vorlan-moto-verify, which races a record again into its line
        std::string gameData;    // the game's Data folder, for the verifier
        HttpLimits limits;
        int verdictWaitMs = 20000;  // how long a sent race is asked after before it waits for the next start
    };

    explicit OnlineClient(Config config);
    ~OnlineClient() override;

    void Poll() override;
    void RaceBegun() override;
    void SendRace(const std::string& raceFile) override;
    const OnlineRaceState& Race() const override { return race; }
    std::optional<OnlineStanding> Standing(const std::string& course, const std::string& hash,
                                           const std::string& difficulty) const override;
    const GhostTrack* RecordGhost(const std::string& course, const std::string& hash,
                                  const std::string& difficulty) override;
    void RequestCourses() override;
    const std::vector<SharedCourse>& Courses() const override { return courses; }
    const std::string& CoursesNote() const override { return coursesNote; }
    void InstallCourse(const std::string& id) override;
    std::optional<std::string> TakeInstalled() override;

    void SetPlayer(const std::string& name) override;
    std::optional<std::string> TakeNameRefusal() override;

private:
    struct Board {
        std::optional<uint32_t> recordMs;
        std::string recordPlayer;
        int64_t recordRun = 0;
        std::optional<int64_t> rank;
    };
    // Results the thread leaves for the game.
    struct Result {
        std::string raceName;  // the outbox name it is about, if any
        std::optional<OnlineRaceState> state;
        std::optional<std::map<std::string, Board>> boards;  // "course hash difficulty"
        std::optional<std::vector<SharedCourse>> courses;
        std::optional<std::string> coursesNote;
        std::optional<std::string> installed;
        std::optional<std::string> nameRefusal;
        std::string ghostKey;
        std::shared_ptr<GhostTrack> ghost;
    };
    using Job = std::function<void()>;

    void Push(Job job);
    void Deliver(Result result);
    void Work();
    void Say(const std::string& line);
    void WriteUnwritten();

    // On the thread.
    bool EnsureToken();
    void SendWaiting(const std::string& only);
    void SendOne(const Outbox::Entry& entry);
    void WaitForVerdict(const std::string& name, int64_t id);
    void FetchBoards();
    void FetchGhost(const std::string& key, int64_t run);
    void FetchCourses();
    void Install(const std::string& id);
    std::string Url(const std::string& path) const;
    HttpAnswer Get(const std::string& path, size_t maxBytes = 0);

    static std::string Key(const std::string& course, const std::string& hash, const std::string& difficulty) {
        return course + " " + hash + " " + difficulty;
    }

    Config config;
    Outbox outbox;
    std::atomic<bool> stopping{false};
    std::unique_ptr<HttpTransfer> http;  // the thread's own
    std::string token;                   // the thread's own
    std::set<std::string> settled;       // outbox names done with this run (the thread's)
    bool saidProblem = false;            // the thread's

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::vector<Result> results;
    std::vector<std::pair<std::string, std::string>> unwritten;  // races not yet in the outbox
    std::thread worker;

    // The game's side.
    OnlineRaceState race;
    std::string raceName;
    std::map<std::string, Board> boards;
    std::map<std::string, std::shared_ptr<GhostTrack>> ghosts;
    std::set<std::string> ghostsAsked;
    const GhostTrack* FindRecordGhost(const std::string& course, const std::string& hash, const std::string& difficulty);
    struct GhostQuery {
        uint64_t version = ~0ull;
        std::string course, hash, difficulty;
        const GhostTrack* answer = nullptr;
    };
    GhostQuery ghostQuery;
    uint64_t version = 0;  // moves on with every result taken in
    std::vector<SharedCourse> courses;
    std::string coursesNote;
    std::deque<std::string> installed;
    std::optional<std::string> nameRefusal;
};
