#include "app/Replay.h"

#include <algorithm>
#include <SDL2/SDL_scancode.h>

#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

namespace {
constexpr const char* kMagic = "vorlan-replay";
constexpr unsigned kAllKeys = (1u << kKeyCount) - 1;
constexpr unsigned kAllFlags = ReplayStep::kClose | ReplayStep::kFocusLost;
// Far beyond any real file; keeps a corrupt count from asking for gigabytes.
constexpr unsigned long long kMaxReadingsPerStep = 1u << 20;
constexpr std::streamoff kMaxFileBytes = std::streamoff(1) << 30;
constexpr int kMaxScancode = SDL_NUM_SCANCODES - 1;

template <typename T>
bool ParseNumber(const std::string& word, T& value) {
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return !word.empty() && ec == std::errc() && ptr == end;
}

bool ValidDate(const std::string& date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (date[i] < '0' || date[i] > '9') return false;
    return true;
}

bool ParseFlag(const std::string& word, bool& value) {
    if (word != "0" && word != "1") return false;
    value = word == "1";
    return true;
}
}  // namespace

ReplayRecorder::~ReplayRecorder() {
    if (file) std::fclose(file);
}

bool ReplayRecorder::Open(const std::string& path) {
    file = std::fopen(path.c_str(), "wb");
    return file != nullptr;
}

void ReplayRecorder::WriteStep() {
    if (!file) return;
    if (!headerWritten) {
        std::fprintf(file, "%s %d\nseed %u %s\nfixed-clock %d\nautopilot %d\nframes %lld\ndifficulty %s\nraw-keys %d\n",
                     kMagic, ReplayHeader::kVersion, header.seed, header.seedGiven ? "given" : "clock",
                     header.fixedClock ? 1 : 0, header.autopilot ? 1 : 0, header.frames,
                     header.difficulty.c_str(), header.rawKeys ? 1 : 0);
        if (!header.course.empty()) std::fprintf(file, "course %s %s\n", header.course.c_str(), header.courseHash.c_str());
        headerWritten = true;
    }
    std::fprintf(file, "s %u %u %zu", current.keys, current.flags, current.readings.size());
    for (uint32_t ms : current.readings) std::fprintf(file, " %u", ms);
    if (current.pressed > 0) std::fprintf(file, " key %d", current.pressed);
    if (current.menuGiven && current.menuKeys != current.keys) std::fprintf(file, " menu %u", current.menuKeys);
    if (!current.date.empty()) std::fprintf(file, " date %s", current.date.c_str());
    if (std::fputc('\n', file) == EOF) failed = true;
    ++steps;
    current = ReplayStep{};
}

void ReplayRecorder::NextStep() { WriteStep(); }

bool ReplayRecorder::Finish() {
    if (!file) return false;
    WriteStep();
    std::fprintf(file, "end %lld\n", steps);
    const bool ok = !failed && std::ferror(file) == 0;
    if (std::fclose(file) != 0) failed = true;
    file = nullptr;
    return ok && !failed;
}

bool Replay::Parse(const std::string& text, std::string& error) {
    header = ReplayHeader{};
    steps.clear();
    step = reading = 0;
    pressedTaken = false;
    lastReading = 0;
    problem.clear();

    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    // A last line without its newline is where writing stopped.
    const bool complete = !text.empty() && text.back() == '\n';
    auto fail = [&](const std::string& what) {
        if (!complete && lines.eof())
            error = "the file is cut short (line " + std::to_string(lineNumber) + " is incomplete)";
        else
            error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    auto next = [&](std::istringstream& words, const char* keyword) {
        if (!std::getline(lines, line)) return false;
        ++lineNumber;
        words = std::istringstream(line);
        std::string first;
        return static_cast<bool>(words >> first) && first == keyword;
    };

    std::istringstream words;
    std::string a, b, rest;
    if (!next(words, kMagic)) {
        error = "not a replay file";
        return false;
    }
    int version = 0;
    if (!(words >> a) || !ParseNumber(a, version)) {
        error = "not a replay file";
        return false;
    }
    if (version != ReplayHeader::kVersion) {
        error = "replay format version " + a + " is not the version this game reads (" +
                std::to_string(ReplayHeader::kVersion) + ")";
        return false;
    }
    if (!next(words, "seed") || !(words >> a >> b) || !ParseNumber(a, header.seed) ||
        (b != "given" && b != "clock") || (words >> rest))
        return fail("expected 'seed N given|clock'");
    header.seedGiven = b == "given";
    if (!next(words, "fixed-clock") || !(words >> a) || !ParseFlag(a, header.fixedClock) || (words >> rest))
        return fail("expected 'fixed-clock 0|1'");
    if (!next(words, "autopilot") || !(words >> a) || !ParseFlag(a, header.autopilot) || (words >> rest))
        return fail("expected 'autopilot 0|1'");
    if (!next(words, "frames") || !(words >> a) || !ParseNumber(a, header.frames) || header.frames < -1 ||
        (words >> rest))
        return fail("expected 'frames N'");

    bool sawDifficulty = false, sawRawKeys = false, sawCourse = false;
    while (std::getline(lines, line)) {
        ++lineNumber;
        words = std::istringstream(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "end") {
            if (!complete) return fail("cut short");
            unsigned long long count = 0;
            if (!(words >> a) || !ParseNumber(a, count) || (words >> rest)) return fail("expected 'end STEPS'");
            if (count != steps.size())
                return fail("the end line counts " + a + " steps but the file holds " + std::to_string(steps.size()));
            if (steps.empty()) return fail("no steps");
            if (std::getline(lines, line) && !line.empty()) {
                ++lineNumber;
                return fail("text after the end line");
            }
            return true;
        }
        // Only before the first step; recordings from before settings have none.
        if (keyword == "difficulty" && steps.empty() && !sawDifficulty) {
            if (!(words >> a) || (a != "easy" && a != "normal" && a != "hard") || (words >> rest))
                return fail("expected 'difficulty easy|normal|hard'");
            header.difficulty = a;
            sawDifficulty = true;
            continue;
        }
        if (keyword == "raw-keys" && steps.empty() && !sawRawKeys) {
            if (!(words >> a) || !ParseFlag(a, header.rawKeys) || (words >> rest)) return fail("expected 'raw-keys 0|1'");
            sawRawKeys = true;
            continue;
        }
        if (keyword == "course" && steps.empty() && !sawCourse) {
            const auto idChar = [](char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' || ch == '_'; };
            const auto hexChar = [](char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'); };
            if (!(words >> a >> b) || a.empty() || a.size() > 32 || !std::all_of(a.begin(), a.end(), idChar) ||
                b.size() != 16 || !std::all_of(b.begin(), b.end(), hexChar) || (words >> rest))
                return fail("expected 'course ID HASH'");
            header.course = a;
            header.courseHash = b;
            sawCourse = true;
            continue;
        }
        if (keyword != "s") return fail("expected a step 's KEYS FLAGS COUNT MS...' or 'end STEPS'");
        ReplayStep s;
        unsigned long long count = 0;
        std::string c;
        if (!(words >> a >> b >> c) || !ParseNumber(a, s.keys) || s.keys > kAllKeys || !ParseNumber(b, s.flags) ||
            s.flags > kAllFlags || !ParseNumber(c, count) || count > kMaxReadingsPerStep)
            return fail("bad step");
        s.readings.reserve(count);
        for (unsigned long long i = 0; i < count; ++i) {
            uint32_t ms = 0;
            if (!(words >> a) || !ParseNumber(a, ms)) return fail("step has fewer clock readings than it counts");
            s.readings.push_back(ms);
        }
        // Then, each at most once and in this order: key, menu, date.
        int part = 0;
        while (words >> rest) {
            if (rest == "key" && part < 1) {
                if (!(words >> a) || !ParseNumber(a, s.pressed) || s.pressed <= 0 || s.pressed > kMaxScancode)
                    return fail("expected 'key CODE' (a scancode from 1 to 511) after the clock readings");
                part = 1;
            } else if (rest == "menu" && part < 2) {
                if (!(words >> a) || !ParseNumber(a, s.menuKeys) || s.menuKeys > kAllKeys)
                    return fail("expected 'menu KEYS' after the clock readings");
                s.menuGiven = true;
                part = 2;
            } else if (rest == "date" && part < 3) {
                if (!(words >> a) || !ValidDate(a)) return fail("expected 'date YYYY-MM-DD' at the end of the step");
                s.date = a;
                part = 3;
            } else {
                return fail(part == 0 ? "step has more clock readings than it counts"
                                      : "unexpected '" + rest + "' at the end of the step");
            }
        }
        steps.push_back(std::move(s));
    }
    error = "the file is cut short (no end line after " + std::to_string(steps.size()) + " steps)";
    return false;
}

bool Replay::LoadFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || size > kMaxFileBytes) {
        error = path + ": not a replay file";
        return false;
    }
    file.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    file.read(text.data(), size);
    if (!Parse(text, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool Replay::IsDown(Key key) const {
    return step < steps.size() && (steps[step].keys >> static_cast<unsigned>(key) & 1u) != 0;
}

bool Replay::IsMenuDown(Key key) const {
    if (step >= steps.size()) return false;
    const unsigned keys = steps[step].menuGiven ? steps[step].menuKeys : steps[step].keys;
    return (keys >> static_cast<unsigned>(key) & 1u) != 0;
}

std::string Replay::TakeDate() {
    if (step >= steps.size()) return {};
    return steps[step].date;
}

unsigned Replay::Flags() const { return step < steps.size() ? steps[step].flags : 0; }

int Replay::TakePressed() {
    if (step >= steps.size() || pressedTaken) return 0;
    pressedTaken = true;
    return steps[step].pressed;
}

uint32_t Replay::NextReading() {
    if (step < steps.size() && reading < steps[step].readings.size()) {
        lastReading = steps[step].readings[reading++];
        return lastReading;
    }
    Fail("read the clock more often than the recording");
    return lastReading;
}

void Replay::NextStep() {
    if (step < steps.size() && reading != steps[step].readings.size())
        Fail("read the clock " + std::to_string(reading) + " times where the recording did " +
             std::to_string(steps[step].readings.size()));
    reading = 0;
    pressedTaken = false;
    if (step < steps.size()) ++step;
    if (step >= steps.size()) Fail("ran past the end of the recording");
}

std::string Replay::Where() const { return step == 0 ? "at start-up" : "in frame " + std::to_string(step - 1); }

void Replay::Fail(const std::string& what) {
    if (problem.empty()) problem = Where() + ": the game " + what;
}
