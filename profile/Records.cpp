#include "profile/Records.h"

#include <charconv>
#include <ctime>
#include <sstream>
#include <vector>

namespace {
constexpr const char* kHeaderV1 = "vorlan-moto records 1";
constexpr const char* kHeader = "vorlan-moto records 2";
constexpr Difficulty kDifficulties[] = {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard};

bool ValidDate(const std::string& date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (date[i] < '0' || date[i] > '9') return false;
    return true;
}

bool ParseMs(const std::string& word, uint32_t& value) {
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value > 0 && value <= Records::kMaxMs;
}

// "MS DATE" and, for a race, "laps L1 L2 ..." adding up to MS; nothing else.
bool ParseEntry(std::istringstream& words, bool race, RecordEntry& entry) {
    std::string ms, date, word;
    if (!(words >> ms >> date) || !ParseMs(ms, entry.ms) || !ValidDate(date)) return false;
    entry.date = date;
    if (!(words >> word)) return true;
    if (!race || word != "laps") return false;
    uint64_t sum = 0;
    while (words >> word) {
        uint32_t lap = 0;
        if (!ParseMs(word, lap) || entry.laps.size() >= Records::kMaxLaps) return false;
        entry.laps.push_back(lap);
        sum += lap;
    }
    return !entry.laps.empty() && sum == entry.ms;
}

std::string EntryText(const RecordEntry& entry) {
    std::string text = std::to_string(entry.ms) + " " + entry.date;
    if (!entry.laps.empty()) {
        text += " laps";
        for (uint32_t lap : entry.laps) text += " " + std::to_string(lap);
    }
    return text;
}

// The better (shorter) of two; a tie keeps the first, the older one.
void KeepBetter(std::optional<RecordEntry>& mine, const std::optional<RecordEntry>& theirs) {
    if (theirs && (!mine || theirs->ms < mine->ms)) mine = theirs;
}
}  // namespace

Records::Outcome Records::Offer(uint32_t raceMs, const uint32_t* lapMs, int laps, const std::string& date) {
    Outcome outcome;
    if (raceMs > 0 && raceMs <= kMaxMs && (!best || raceMs < best->ms)) {
        best = RecordEntry{raceMs, date, {}};
        uint64_t sum = 0;
        bool lapsValid = lapMs && laps > 0 && static_cast<size_t>(laps) <= kMaxLaps;
        for (int i = 0; lapsValid && i < laps; ++i) {
            sum += lapMs[i];
            lapsValid = lapMs[i] > 0 && lapMs[i] <= kMaxMs;
        }
        // Laps that do not make up the race (or too many, or empty) are not kept with it.
        if (lapsValid && sum == raceMs)
            for (int i = 0; i < laps; ++i) best->laps.push_back(lapMs[i]);
        outcome.newBest = true;
    }
    for (int i = 0; lapMs && i < laps; ++i) {
        if (lapMs[i] == 0 || lapMs[i] > kMaxMs) continue;
        if (!bestLap || lapMs[i] < bestLap->ms) {
            bestLap = RecordEntry{lapMs[i], date, {}};
            outcome.newBestLap = true;
        }
    }
    return outcome;
}

void Records::Merge(const Records& other) {
    KeepBetter(best, other.best);
    KeepBetter(bestLap, other.bestLap);
}

void RecordsBook::Merge(const RecordsBook& other) {
    for (Difficulty d : kDifficulties) For(d).Merge(other.For(d));
}

std::string RecordsBook::Text() const {
    std::string text = std::string(kHeader) + "\n";
    for (Difficulty d : kDifficulties) {
        const Records& r = For(d);
        const std::string name = Settings::DifficultyName(d);
        if (r.best) text += name + " best " + EntryText(*r.best) + "\n";
        if (r.bestLap) text += name + " bestLap " + EntryText(*r.bestLap) + "\n";
    }
    text += "end\n";
    return text;
}

bool RecordsBook::Parse(const std::string& text) {
    *this = RecordsBook();
    // The closing line and its newline tell a whole file from a cut one.
    if (text.empty() || text.back() != '\n') return false;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() < 2 || lines.back() != "end" || lines.size() > 2 + 2 * std::size(kDifficulties)) return false;
    // The first version held one difficulty's lines without its name: normal's.
    const bool firstVersion = lines.front() == kHeaderV1;
    if (!firstVersion && lines.front() != kHeader) return false;
    RecordsBook read;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        std::istringstream words(lines[i]);
        std::string first, key;
        Difficulty difficulty = Difficulty::Normal;
        if (firstVersion) {
            words >> key;
        } else {
            words >> first >> key;
            bool known = false;
            for (Difficulty d : kDifficulties)
                if (first == Settings::DifficultyName(d)) difficulty = d, known = true;
            if (!known) return false;
        }
        Records& r = read.For(difficulty);
        RecordEntry entry;
        if (key == "best" && !r.best && ParseEntry(words, !firstVersion, entry)) r.best = entry;
        else if (key == "bestLap" && !r.bestLap && ParseEntry(words, false, entry)) r.bestLap = entry;
        else return false;
    }
    // A lap cannot take longer than the race it was part of, nor than a lap of the best race.
    for (Difficulty d : kDifficulties) {
        const Records& r = read.For(d);
        if (r.best && r.bestLap && r.bestLap->ms > r.best->ms) return false;
        if (r.best && r.bestLap)
            for (uint32_t lap : r.best->laps)
                if (lap < r.bestLap->ms) return false;
    }
    *this = std::move(read);
    return true;
}

std::string TodayDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}
