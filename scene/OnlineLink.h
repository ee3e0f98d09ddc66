#pragma once
// What the race scene asks of the leaderboard client and shows of it. The
// client itself (its thread, libcurl, the outbox) lives in online/ and is
// linked into the game only; the verifier and the silent tools race without
// one. Every call returns at once: the network is never waited for here.

#include "profile/GhostTrack.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The race being raced or just finished, as the server has it.
struct OnlineRaceState {
    enum class State { Off, Sending, Queued, Verified, Rejected };
    State state = State::Off;
    std::optional<int64_t> rank, of;  // once verified
    std::string reason;               // once rejected
    static const char* Name(State state) {
        switch (state) {
            case State::Sending: return "sending";
            case State::Queued: return "queued";
            case State::Verified: return "verified";
            case State::Rejected: return "rejected";
            default: return "off";
        }
    }
};

// The title's line for a course and difficulty: the world record and the
// player's own rank on its board, as last heard from the server.
struct OnlineStanding {
    std::optional<uint32_t> recordMs;
    std::string recordPlayer;
    int64_t recordRun = 0;
    std::optional<int64_t> rank;
};

// A course shared on the server.
struct SharedCourse {
    std::string id, name, author;
    int laps = 0;
};

class OnlineLink {
public:
    virtual ~OnlineLink() = default;

    // Once per update on the game's thread: takes in what the client finished.
    virtual void Poll() = 0;
    // A race has left the title: its state starts again.
    virtual void RaceBegun() = 0;
    // A finished race that keeps the player's files: into the outbox, then to the server.
    virtual void SendRace(const std::string& raceFile) = 0;
    virtual const OnlineRaceState& Race() const = 0;

    virtual std::optional<OnlineStanding> Standing(const std::string& course, const std::string& hash,
                                                   const std::string& difficulty) const = 0;
    // The world record's line on that board once fetched and raced again;
    // asks for it (in the background) while it is not there.
    virtual const GhostTrack* RecordGhost(const std::string& course, const std::string& hash,
                                          const std::string& difficulty) = 0;

    // The shared courses: asked for, then listed once they came.
    virtual void RequestCourses() = 0;
    virtual const std::vector<SharedCourse>& Courses() const = 0;
    // A line saying how the list or an installation stands ("" when there is nothing to say).
    virtual const std::string& CoursesNote() const = 0;
    virtual void InstallCourse(const std::string& id) = 0;
    // A course installed since the last call, to be read into the catalogue.
    virtual std::optional<std::string> TakeInstalled() = 0;

    // The player chose another name: registered before the next race goes.
    virtual void SetPlayer(const std::string& name) = 0;
    // The server refused the name: why, once, for the options screen's note.
    virtual std::optional<std::string> TakeNameRefusal() = 0;
};
