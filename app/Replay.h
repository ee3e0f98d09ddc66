#pragma once
// Exact replays. A recording holds everything a run depends on: the random
// seed, which keys the game saw down in every frame, and every clock reading
// the game took, in order. Played back through the platform, the game sees
// the same answers to the same questions and so runs the same race.
//
// The file is text, one record a line, numbers in decimal:
//
//   vorlan-replay 1            magic word and format version
//   seed N given|clock         the seed, and whether --seed gave it or the clock
//   fixed-clock 0|1            --fixed-clock was on
//   autopilot 0|1              --autopilot was on
//   frames N                   --frames of the run, -1 for none
//   difficulty easy|normal|hard the computer bikes' difficulty when the run
//                              began (from the player's settings); absent in
//                              older recordings, which are normal
//   raw-keys 0|1               screens waiting for any key read the keyboard
//                              itself (1) or the keys above as their default
//                              keyboard keys (0, and when absent: older files)
//   course ID HASH             the course raced and its gameplay hash; absent
//                              in older recordings, which raced the desert
//   s KEYS FLAGS COUNT MS... [key CODE] [menu KEYS] [date YYYY-MM-DD]
//                              one line per step: first the start-up, then
//                              one per frame, in order
//   end STEPS                  the number of s lines; absent when cut short
//
// KEYS has bit k set when Key number k was reported down in that step (Z 1,
// Left 2, Right 4, Enter 8, Escape 16, Pause 32, Up 64, Down 128, Options 256,
// Ghost 512). FLAGS has 1 for a close
// request and 2 for a loss of focus seen by the window in that step. COUNT is
// the number of clock readings MS that follow. CODE is the keyboard key (SDL
// scancode) pressed in that step, when there was one. "menu" gives the keys a
// menu saw down (its fixed keys, whatever the bindings) when they differ from
// KEYS; without it a menu sees KEYS (older files too). "date" is the day the
// game read in that step (for a record it set).

#include "framework/platform/Platform.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ReplayHeader {
    static constexpr int kVersion = 1;
    unsigned seed = 0;
    bool seedGiven = false;
    bool fixedClock = false;
    bool autopilot = false;
    long long frames = -1;
    std::string difficulty = "normal";
    bool rawKeys = false;
    std::string course;      // empty: an older recording, on the desert
    std::string courseHash;  // the course's gameplay hash when recorded
};

struct ReplayStep {
    static constexpr unsigned kClose = 1;
    static constexpr unsigned kFocusLost = 2;
    unsigned keys = 0;
    unsigned flags = 0;
    int pressed = 0;  // keyboard scancode, 0 for none
    std::vector<uint32_t> readings;
    bool menuGiven = false;
    unsigned menuKeys = 0;
    std::string date;
};

// Writes a recording as the run goes, one step at a time.
class ReplayRecorder {
public:
    ~ReplayRecorder();
    bool Open(const std::string& path);
    bool IsOpen() const { return file != nullptr; }

    void NoteKey(Key key) { current.keys |= 1u << static_cast<unsigned>(key); }
    void NoteMenuKey(Key key, bool down) {
        current.menuGiven = true;  // asked this step
        if (down) current.menuKeys |= 1u << static_cast<unsigned>(key);
    }
    void NoteDate(const std::string& date) { current.date = date; }
    void NoteFlags(unsigned flags) { current.flags |= flags; }
    void NoteReading(uint32_t ms) { current.readings.push_back(ms); }
    void NotePressed(int scancode) { current.pressed = scancode; }
    // Closes the step under way and starts the next. The header goes out with
    // the first step, so it must be complete by then.
    void NextStep();
    // Writes the last step and the end line. False when writing failed.
    bool Finish();

    ReplayHeader header;

private:
    void WriteStep();
    std::FILE* file = nullptr;
    bool headerWritten = false;
    bool failed = false;
    long long steps = 0;
    ReplayStep current;
};

// A recording read back, and the cursor that plays it.
class Replay {
public:
    // False with a description of the first problem in error; a file cut
    // short, of another version or not a recording at all is refused whole.
    bool Parse(const std::string& text, std::string& error);
    bool LoadFile(const std::string& path, std::string& error);

    bool IsDown(Key key) const;
    bool IsMenuDown(Key key) const;
    unsigned Flags() const;
    // The date the step read; empty when the recording has none.
    std::string TakeDate();
    // The step's keyboard key press, once; 0 after that or when it had none.
    int TakePressed();
    // The next reading of the step; asking more often than the recording did
    // puts the replay out of step.
    uint32_t NextReading();
    // On to the next step; the one left must have had all its readings taken.
    void NextStep();
    bool OutOfStep() const { return !problem.empty(); }
    const std::string& Problem() const { return problem; }

    ReplayHeader header;
    std::vector<ReplayStep> steps;

private:
    void Fail(const std::string& what);
    std::string Where() const;
    size_t step = 0;
    size_t reading = 0;
    bool pressedTaken = false;
    uint32_t lastReading = 0;
    std::string problem;
};
