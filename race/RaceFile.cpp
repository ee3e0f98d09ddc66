#include "race/RaceFile.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace {
constexpr uint32_t kKeyMask = (1u << 10) - 1;  // the ten keys of the platform
constexpr size_t kMaxReadings = 16;            // an update reads the clock a few times at most
constexpr uint32_t kMaxDelta = 24u * 60u * 60u * 1000u;
constexpr size_t kMaxLaps = 9;

std::string Float(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    return text;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

template <class T>
bool Number(std::string_view word, T& out, int base = 10) {
    if (word.empty() || word[0] == '+' || (word[0] == '-' && !std::is_signed_v<T>)) return false;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out, base);
    return ec == std::errc() && end == word.data() + word.size();
}

bool FloatWord(std::string_view word, float& out) {
    // strtof reads the C locale's decimal point only, which %.9g wrote.
    const std::string text(word);
    if (text.empty() || text.size() > 24) return false;
    char* end = nullptr;
    out = std::strtof(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

bool IdWord(std::string_view word) {
    if (word.empty() || word.size() > 64) return false;
    for (char c : word)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
    return true;
}

bool TextWord(std::string_view word) {
    if (word.empty() || word.size() > 64) return false;
    for (char c : word)
        if (c < 0x21 || c > 0x7e) return false;
    return true;
}

class Reader {
public:
    explicit Reader(const std::string& text) : text(text) {}

    bool Next() {
        if (pos >= text.size()) return false;
        const size_t end = text.find('\n', pos);
        line = std::string_view(text).substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        ++number;
        words = Words(line);
        return true;
    }
    bool Is(const char* keyword) const { return !words.empty() && words[0] == keyword; }
    bool Fail(std::string& error, const std::string& what) const {
        error = "line " + std::to_string(number) + ": " + what;
        return false;
    }

    std::string_view line;
    std::vector<std::string_view> words;
    size_t number = 0;

private:
    const std::string& text;
    size_t pos = 0;
};

bool ParseReadings(std::string_view word, uint32_t& clock, std::vector<uint32_t>& readings) {
    if (word == "-") return true;
    size_t i = 0;
    while (i <= word.size()) {
        const size_t comma = word.find(',', i);
        const std::string_view part = word.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i);
        uint32_t delta = 0;
        if (!Number(part, delta) || delta > kMaxDelta || readings.size() >= kMaxReadings) return false;
        clock += delta;  // the clock wraps like a 32-bit tick count
        readings.push_back(clock);
        if (comma == std::string_view::npos) break;
        i = comma + 1;
    }
    return true;
}
}  // namespace

std::vector<uint32_t> LapLengths(uint32_t countdownUpdate, const std::vector<uint32_t>& lapEnds) {
    std::vector<uint32_t> laps;
    uint32_t from = countdownUpdate;
    for (uint32_t end : lapEnds) {
        laps.push_back(end - from);
        from = end;
    }
    return laps;
}

std::string RaceFile::Text() const {
    std::string out;
    auto add = [&out](const std::string& line) { out += line + "\n"; };
    add(std::string(kMagic) + " " + std::to_string(kVersion));
    add("course " + course + " " + courseHash);
    add("difficulty " + difficulty);
    add(std::string("autopilot ") + (autopilot ? "1" : "0"));
    add("build " + (buildVersion.empty() ? std::string("unknown") : buildVersion) + " " +
        (buildCommit.empty() ? std::string("unknown") : buildCommit));
    add("date " + (date.empty() ? std::string("unknown") : date));
    std::string random = "random " + std::to_string(randomFront) + " " + std::to_string(randomRear);
    for (int32_t word : randomWords) random += " " + std::to_string(word);
    add(random);
    for (const RaceBikeStart& bike : bikes)
        add("bike " + Float(bike.speed) + " " + std::to_string(bike.checkpointIndex) + " " + std::to_string(bike.lap) +
            " " + std::to_string(bike.steerTolerance));
    add("blink " + Float(blinkAlpha) + " " + (blinkRising ? "1" : "0"));
    std::string title = "title";
    for (size_t i = 0; i < leadIn.size();) {
        size_t j = i;
        while (j < leadIn.size() && leadIn[j] == leadIn[i]) ++j;
        title += " " + std::to_string(j - i) + "x" + (leadIn[i] ? "1" : "0");
        i = j;
    }
    add(title);
    add("clock " + std::to_string(clockStart));
    // Each update as its line (the clock as steps from the reading before),
    // then alike lines in a row written once with their count.
    std::vector<std::string> lines;
    lines.reserve(updates.size());
    uint32_t clock = clockStart;
    for (const RaceUpdate& u : updates) {
        char keys[16];
        std::snprintf(keys, sizeof keys, "%x", u.keys);
        std::string line = std::string("u ") + keys + " ";
        if (u.readings.empty()) line += "-";
        for (size_t i = 0; i < u.readings.size(); ++i) {
            if (i) line += ",";
            line += std::to_string(u.readings[i] - clock);
            clock = u.readings[i];
        }
        lines.push_back(std::move(line));
    }
    for (size_t i = 0; i < lines.size();) {
        size_t j = i + 1;
        while (j < lines.size() && lines[j] == lines[i]) ++j;
        add(j - i > 1 ? lines[i] + " x" + std::to_string(j - i) : lines[i]);
        i = j;
    }
    for (const RaceHash& h : hashes) {
        char hex[24];
        std::snprintf(hex, sizeof hex, "%016" PRIx64, h.hash);
        add("hash " + std::to_string(h.update) + " " + hex);
    }
    std::string result = "result " + std::to_string(finishUpdate) + " " + std::to_string(countdownUpdate) + " " +
                         std::to_string(hudMs) + " " + std::to_string(rank);
    for (uint32_t end : lapEnds) result += " " + std::to_string(end);
    add(result);
    add("end " + std::to_string(updates.size()));
    return out;
}

bool RaceFile::Parse(const std::string& text, RaceFile& out, std::string& error) {
    out = RaceFile();
    if (text.size() > kMaxBytes) {
        error = "larger than " + std::to_string(kMaxBytes) + " bytes";
        return false;
    }
    if (text.find('\0') != std::string::npos || text.find('\r') != std::string::npos) {
        error = "not a text file of lines";
        return false;
    }
    Reader in(text);
    auto expect = [&in, &error](const char* keyword, size_t words) {
        if (!in.Next()) {
            error = std::string("ends before its ") + keyword + " line";
            return false;
        }
        if (!in.Is(keyword)) return in.Fail(error, std::string("expected the ") + keyword + " line");
        if (in.words.size() != words) return in.Fail(error, std::string(keyword) + ": wrong number of fields");
        return true;
    };

    if (!in.Next() || in.words.size() != 2 || in.words[0] != kMagic) {
        error = std::string("not a race file (no ") + kMagic + " line)";
        return false;
    }
    int version = 0;
    if (!Number(in.words[1], version) || version != kVersion)
        return in.Fail(error, "version: this build reads version " + std::to_string(kVersion));

    if (!expect("course", 3)) return false;
    if (!IdWord(in.words[1])) return in.Fail(error, "course: not a course id");
    if (!TextWord(in.words[2])) return in.Fail(error, "course: not a gameplay hash");
    out.course = std::string(in.words[1]);
    out.courseHash = std::string(in.words[2]);

    if (!expect("difficulty", 2)) return false;
    out.difficulty = std::string(in.words[1]);
    if (out.difficulty != "easy" && out.difficulty != "normal" && out.difficulty != "hard")
        return in.Fail(error, "difficulty: not easy, normal or hard");

    if (!expect("autopilot", 2)) return false;
    if (in.words[1] != "0" && in.words[1] != "1") return in.Fail(error, "autopilot: not 0 or 1");
    out.autopilot = in.words[1] == "1";

    if (!expect("build", 3)) return false;
    if (!TextWord(in.words[1]) || !TextWord(in.words[2])) return in.Fail(error, "build: not a version and commit");
    out.buildVersion = std::string(in.words[1]);
    out.buildCommit = std::string(in.words[2]);

    if (!expect("date", 2)) return false;
    if (!TextWord(in.words[1])) return in.Fail(error, "date: not a date");
    out.date = std::string(in.words[1]);

    if (!expect("random", 3 + kRandomWords)) return false;
    if (!Number(in.words[1], out.randomFront) || !Number(in.words[2], out.randomRear) || out.randomFront < 0 ||
        out.randomFront >= kRandomWords || out.randomRear < 0 || out.randomRear >= kRandomWords ||
        (out.randomFront - out.randomRear + kRandomWords) % kRandomWords != 3)
        return in.Fail(error, "random: not the generator's two places");
    bool anyWord = false;
    for (int i = 0; i < kRandomWords; ++i) {
        if (!Number(in.words[3 + i], out.randomWords[i])) return in.Fail(error, "random: not a number");
        anyWord = anyWord || out.randomWords[i] != 0;
    }
    if (!anyWord) return in.Fail(error, "random: a generator of zeros");

    for (RaceBikeStart& bike : out.bikes) {
        if (!expect("bike", 5)) return false;
        // A bike on the grid: no faster than a bike can go, on its first lap.
        if (!FloatWord(in.words[1], bike.speed) || !(bike.speed >= 0.0f && bike.speed <= 1.0f))
            return in.Fail(error, "bike: speed not from 0 to 1");
        if (!Number(in.words[2], bike.checkpointIndex) || bike.checkpointIndex > 59)
            return in.Fail(error, "bike: checkpoint not from 0 to 59");
        if (!Number(in.words[3], bike.lap) || bike.lap != 1) return in.Fail(error, "bike: lap not 1");
        if (!Number(in.words[4], bike.steerTolerance) || bike.steerTolerance < 0 || bike.steerTolerance > 29)
            return in.Fail(error, "bike: tolerance not from 0 to 29");
    }

    if (!expect("blink", 3)) return false;
    if (!FloatWord(in.words[1], out.blinkAlpha) || !(out.blinkAlpha >= 0.0f && out.blinkAlpha <= 1.01f))
        return in.Fail(error, "blink: alpha not from 0 to 1");
    if (in.words[2] != "0" && in.words[2] != "1") return in.Fail(error, "blink: rising not 0 or 1");
    out.blinkRising = in.words[2] == "1";

    if (!in.Next() || !in.Is("title")) return in.Fail(error, "expected the title line");
    for (size_t i = 1; i < in.words.size(); ++i) {
        const std::string_view run = in.words[i];
        const size_t x = run.find('x');
        size_t count = 0;
        if (x == std::string_view::npos || !Number(run.substr(0, x), count) || count == 0 ||
            (run.substr(x + 1) != "0" && run.substr(x + 1) != "1"))
            return in.Fail(error, "title: not COUNTxBIT");
        if (count > kLeadIn - out.leadIn.size()) return in.Fail(error, "title: longer than the lead-in");
        out.leadIn.insert(out.leadIn.end(), count, run.substr(x + 1) == "1" ? 1 : 0);
    }

    if (!expect("clock", 2)) return false;
    if (!Number(in.words[1], out.clockStart)) return in.Fail(error, "clock: not a reading");

    uint32_t clock = out.clockStart;
    for (;;) {
        if (!in.Next()) {
            error = "ends before its result line";
            return false;
        }
        if (!in.Is("u")) break;
        if (in.words.size() != 3 && in.words.size() != 4) return in.Fail(error, "u: wrong number of fields");
        RaceUpdate update;
        if (!Number(in.words[1], update.keys, 16) || (update.keys & ~kKeyMask))
            return in.Fail(error, "u: keys not a set of the game's keys");
        uint32_t count = 1;
        if (in.words.size() == 4) {
            const std::string_view repeat = in.words[3];
            if (repeat.size() < 2 || repeat[0] != 'x' || !Number(repeat.substr(1), count) || count < 2)
                return in.Fail(error, "u: repeat not xCOUNT");
        }
        if (count > kMaxUpdates - out.updates.size())
            return in.Fail(error, "u: more than " + std::to_string(kMaxUpdates) + " updates (an hour)");
        for (uint32_t i = 0; i < count; ++i) {
            update.readings.clear();
            if (!ParseReadings(in.words[2], clock, update.readings))
                return in.Fail(error, "u: clock not steps of at most a day, " + std::to_string(kMaxReadings) +
                                          " a update");
            out.updates.push_back(update);
        }
    }
    if (out.updates.empty()) return in.Fail(error, "no updates");

    while (in.Is("hash")) {
        RaceHash h;
        if (in.words.size() != 3 || !Number(in.words[1], h.update) || in.words[2].size() != 16 ||
            !Number(in.words[2], h.hash, 16))
            return in.Fail(error, "hash: not UPDATE and 16 hex digits");
        if (h.update >= out.updates.size()) return in.Fail(error, "hash: after the last update");
        if (!out.hashes.empty() && h.update <= out.hashes.back().update)
            return in.Fail(error, "hash: not after the one before");
        out.hashes.push_back(h);
        if (!in.Next()) {
            error = "ends before its result line";
            return false;
        }
    }

    if (!in.Is("result") || in.words.size() < 6) return in.Fail(error, "expected the result line");
    if (!Number(in.words[1], out.finishUpdate) || !Number(in.words[2], out.countdownUpdate) ||
        !Number(in.words[3], out.hudMs) || !Number(in.words[4], out.rank))
        return in.Fail(error, "result: not numbers");
    if (out.finishUpdate >= out.updates.size()) return in.Fail(error, "result: the finish is after the last update");
    if (out.countdownUpdate > out.finishUpdate) return in.Fail(error, "result: the countdown ends after the finish");
    if (out.rank < 1 || out.rank > 3) return in.Fail(error, "result: rank not from 1 to 3");
    if (in.words.size() - 5 > kMaxLaps) return in.Fail(error, "result: more than 9 laps");
    for (size_t i = 5; i < in.words.size(); ++i) {
        uint32_t end = 0;
        if (!Number(in.words[i], end)) return in.Fail(error, "result: lap not a number");
        const uint32_t from = out.lapEnds.empty() ? out.countdownUpdate : out.lapEnds.back();
        if (end <= from || end > out.finishUpdate) return in.Fail(error, "result: laps not in order");
        out.lapEnds.push_back(end);
    }

    if (!expect("end", 2)) return false;
    size_t count = 0;
    if (!Number(in.words[1], count) || count != out.updates.size())
        return in.Fail(error, "end: not the number of updates");
    while (in.Next())
        if (!in.words.empty()) return in.Fail(error, "text after the end line");
    return true;
}
