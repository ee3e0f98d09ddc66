#include "app/CommandLine.h"

#include "profile/Settings.h"

#include <charconv>
#include <limits>

namespace {
template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}
}  // namespace

bool RunOptions::WantsScreenshot(long long frame) const {
    for (const Screenshot& shot : screenshots)
        if (shot.frame == frame) return true;
    return false;
}

const char* UsageText() {
    return "Usage: vorlan [options]\n"
           "  --headless          no visible window (offscreen video) and silent audio\n"
           "  --frames N          run frames 0..N-1, then exit\n"
           "  --uncapped          do not sleep between frames\n"
           "  --no-render         run all logic but submit no drawing (except screenshot frames)\n"
           "  --fixed-clock       virtual clock: 0 in frame 0, +16 ms after every frame; no sleeping\n"
           "  --seed N            seed the random generator with N\n"
           "  --input FILE        scripted keys: lines of 'FIRST LAST KEY...' (Z Left Right Enter Escape P Up Down O G)\n"
           "  --trace FILE        one JSON line of game state after every frame ('-' for stdout)\n"
           "  --screenshot N:FILE save frame N's picture as a PNG (repeatable)\n"
           "  --stats             print timing statistics as one JSON line at exit\n"
           "  --autopilot         the player's bike holds the throttle and steers itself\n"
           "  --reference MODE    measure this machine instead of playing: 'empty' (clear and present)\n"
           "                      or 'floor' (one full-screen pass of the model program)\n"
           "  --fullscreen        start in borderless fullscreen (F11 or Alt+Enter switches)\n"
           "  --record FILE       write the seed, keys and clock of this run to FILE\n"
           "  --replay FILE       play a --record file back exactly; takes keys, clock and seed from it\n"
           "  --save-run FILE     write the first race that reaches the finish as a race file\n"
           "                      (vorlan-moto-verify checks it); nothing when none finishes\n"
           "  --audio-out FILE    with --headless: write the run's sound as a WAV file (16-bit stereo,\n"
           "                      the mixer's rate; 16 ms per frame with --fixed-clock)\n"
           "  --render-scale S    draw the 3D scene at S (0.25 to 1.0) times the window's size and\n"
           "                      scale it up; the 2D screens stay sharp; 'auto': smaller while the\n"
           "                      machine cannot draw a picture per refresh (not below 0.5)\n"
           "  --no-vsync          present without waiting for the display's refresh (may tear)\n"
           "  --simulate-display HZ  with --headless: presenting waits for the next refresh of a\n"
           "                      HZ display (24 to 360), to measure pacing without a screen\n"
           "  --frame-log FILE    one line per presented picture: wall-clock ms at present, updates\n"
           "                      since the last picture, interpolation fraction, game time shown\n"
           "                      in ms, render scale\n"
           "  --frame-skip MODE   'auto' (default: when drawing falls behind, frames are updated\n"
           "                      but not drawn until the game is back on time), 'off', or 'max'\n"
           "  --no-ghost          start with the ghost of the best race hidden (G shows it)\n"
           "  --profile DIR       read and write settings.ini, the records and the ghosts in DIR\n"
           "                      (made if missing) instead of the XDG folders; without it\n"
           "                      --autopilot, --input and --replay runs write no player files\n"
           "  --course ID         race the course ID this run (see --list-courses)\n"
           "  --list-courses      print the playable courses, ID<TAB>NAME<TAB>LAPS, one a line\n"
           "  --server URL        the leaderboard server this run (http:// or https://; '' offline),\n"
           "                      over the settings' server = URL\n"
           "  --help              show this text\n";
}

bool ParseCommandLine(int argc, char** argv, RunOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--uncapped") {
            options.uncapped = true;
        } else if (arg == "--no-render") {
            options.noRender = true;
        } else if (arg == "--fixed-clock") {
            options.fixedClock = true;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--autopilot") {
            options.autopilot = true;
        } else if (arg == "--fullscreen") {
            options.fullscreen = true;
        } else if (arg == "--no-ghost") {
            options.noGhost = true;
        } else if (arg == "--course") {
            if (!value(options.course)) return false;
        } else if (arg == "--list-courses") {
            options.listCourses = true;
        } else if (arg == "--record") {
            if (!value(options.recordFile)) return false;
        } else if (arg == "--replay") {
            if (!value(options.replayFile)) return false;
        } else if (arg == "--server") {
            std::string url;
            if (!value(url)) return false;
            if (!url.empty() && !Settings::ValidServer(url)) {
                error = "--server needs an http:// or https:// address";
                return false;
            }
            options.server = url;
        } else if (arg == "--save-run") {
            if (!value(options.saveRunFile)) return false;
        } else if (arg == "--profile") {
            if (!value(options.profileDir)) return false;
            if (options.profileDir.empty()) {
                error = "--profile needs a folder";
                return false;
            }
        } else if (arg == "--audio-out") {
            if (!value(options.audioOutFile)) return false;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--frames") {
            if (!value(text)) return false;
            if (!ParseNumber(text, options.frames) || options.frames < 0) {
                error = "--frames needs a whole number >= 0, not '" + text + "'";
                return false;
            }
        } else if (arg == "--seed") {
            if (!value(text)) return false;
            unsigned seed = 0;
            if (!ParseNumber(text, seed)) {
                error = "--seed needs a whole number >= 0, not '" + text + "'";
                return false;
            }
            options.seed = seed;
        } else if (arg == "--reference") {
            if (!value(options.reference)) return false;
            if (options.reference != "empty" && options.reference != "floor") {
                error = "--reference is 'empty' or 'floor', not '" + options.reference + "'";
                return false;
            }
        } else if (arg == "--no-vsync") {
            options.noVsync = true;
        } else if (arg == "--frame-log") {
            if (!value(options.frameLogFile)) return false;
        } else if (arg == "--simulate-display") {
            if (!value(text)) return false;
            int hz = 0;
            if (!ParseNumber(text, hz) || hz < 24 || hz > 360) {
                error = "--simulate-display needs a refresh rate from 24 to 360 Hz, not '" + text + "'";
                return false;
            }
            options.simulateDisplayHz = hz;
        } else if (arg == "--render-scale") {
            if (!value(text)) return false;
            if (text == "auto") {
                options.renderScaleAuto = true;
                options.renderScale.reset();
                continue;
            }
            // from_chars takes no "nan" as in range; the bounds refuse the rest.
            float scale = 0.0f;
            if (!ParseNumber(text, scale) || !(scale >= 0.25f && scale <= 1.0f)) {
                error = "--render-scale needs 'auto' or a number from 0.25 to 1.0, not '" + text + "'";
                return false;
            }
            options.renderScale = scale;
            options.renderScaleAuto = false;
        } else if (arg == "--frame-skip") {
            if (!value(options.frameSkip)) return false;
            if (options.frameSkip != "auto" && options.frameSkip != "off" && options.frameSkip != "max") {
                error = "--frame-skip is 'auto', 'off' or 'max', not '" + options.frameSkip + "'";
                return false;
            }
        } else if (arg == "--input") {
            if (!value(options.inputFile)) return false;
        } else if (arg == "--trace") {
            if (!value(options.traceFile)) return false;
        } else if (arg == "--screenshot") {
            if (!value(text)) return false;
            const size_t colon = text.find(':');
            RunOptions::Screenshot shot;
            if (colon == std::string::npos || !ParseNumber(text.substr(0, colon), shot.frame) || shot.frame < 0 ||
                colon + 1 >= text.size()) {
                error = "--screenshot needs N:FILE, not '" + text + "'";
                return false;
            }
            shot.path = text.substr(colon + 1);
            options.screenshots.push_back(shot);
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (options.simulateDisplayHz && !options.headless) {
        error = "--simulate-display needs --headless";
        return false;
    }
    // A replay brings its own keys, clock, seed and driving aid.
    if (!options.replayFile.empty()) {
        const char* clash = !options.recordFile.empty() ? "--record"
                            : !options.inputFile.empty() ? "--input"
                            : options.seed                ? "--seed"
                            : options.fixedClock          ? "--fixed-clock"
                            : options.autopilot           ? "--autopilot"
                                                          : nullptr;
        if (clash) {
            error = std::string("--replay cannot be combined with ") + clash;
            return false;
        }
    }
    return true;
}
