#pragma once
// The options that tests, benchmarks and outside checks drive the game with.
// Absent, they change nothing.

#include <optional>
#include <string>
#include <vector>

struct RunOptions {
    struct Screenshot {
        long long frame = 0;
        std::string path;
    };

    bool headless = false;
    long long frames = -1;  // -1: until the window goes away
    bool uncapped = false;
    bool noRender = false;
    bool fixedClock = false;
    std::optional<unsigned> seed;
    std::string inputFile;
    std::string traceFile;
    std::vector<Screenshot> screenshots;
    bool stats = false;
    bool autopilot = false;  // the player's bike drives itself
    std::string reference;   // "empty" or "floor": a measuring scene instead of the game
    bool fullscreen = false;   // start in borderless fullscreen
    bool noGhost = false;      // start with the ghost of the best race hidden
    std::string course;        // race this course (by id) this run
    bool listCourses = false;  // print the playable courses and stop
    std::string recordFile;  // write what the run depends on, for --replay
    std::string replayFile;  // play a recorded run back
    std::string saveRunFile;  // the first race of the run that finishes, as a race file
    std::string audioOutFile;  // headless only: the run's mixed sound as a WAV file
    // Frames left undrawn while a slow machine catches up: "auto" (capped
    // real-clock runs only), "off", or "max" (every fifth frame drawn).
    std::string frameSkip = "auto";
    std::optional<float> renderScale;  // the 3D scene's size against the window's (0.25 to 1)
    std::optional<std::string> server;  // the leaderboard server this run, over the setting ("" offline)
    std::string profileDir;  // every player file (settings, records, ghost) here instead of the XDG folders
    bool renderScaleAuto = false;      // --render-scale auto: the size follows the machine
    bool noVsync = false;              // present without waiting for the display
    int simulateDisplayHz = 0;         // headless only: presenting waits for a display of this rate
    std::string frameLogFile;          // one line per presented picture
    bool help = false;

    bool WantsScreenshot(long long frame) const;
};

// False with a message on a bad command line.
bool ParseCommandLine(int argc, char** argv, RunOptions& options, std::string& error);
const char* UsageText();
