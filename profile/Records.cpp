#include "profile/Records.h"

#include <charconv>
#include <ctime>
#include <sstream>
#include <vector>

namespace {
constexpr const char* kHeader = "vorlan-moto records 1";

bool ValidDate(const std::string& date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (date[i] < '0' || date[i] > '9') return false;
    return true;
}

// "NAME MS DATE" with nothing else on the line.
bool ParseEntry(const std::string& line, const char* name, RecordEntry& entry) {
    std::istringstream words(line);
    std::string key, ms, date, extra;
    if (!(words >> key >> ms >> date) || (words >> extra) || key != name) return false;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(ms.data(), ms.data() + ms.size(), value);
    if (ec != std::errc() || end != ms.data() + ms.size() || value == 0 || value > Records::kMaxMs) return false;
    if (!ValidDate(date)) return false;
    entry.ms = value;
    entry.date = date;
    return true;
}
}  // namespace

std::string Records::Text() const {
    std::string text = std::string(kHeader) + "\n";
    if (best) text += "best " + std::to_string(best->ms) + " " + best->date + "\n";
    if (bestLap) text += "bestLap " + std::to_string(bestLap->ms) + " " + bestLap->date + "\n";
    text += "end\n";
    return text;
}

bool Records::Parse(const std::string& text) {
    best.reset();
    bestLap.reset();
    // The closing line and its newline tell a whole file from a cut one.
    if (text.empty() || text.back() != '\n') return false;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() < 2 || lines.front() != kHeader || lines.back() != "end" || lines.size() > 4) return false;
    std::optional<RecordEntry> raceBest, lapBest;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        RecordEntry entry;
        if (!raceBest && ParseEntry(lines[i], "best", entry)) raceBest = entry;
        else if (!lapBest && ParseEntry(lines[i], "bestLap", entry)) lapBest = entry;
        else return false;
    }
    // A lap cannot take longer than the race it was part of.
    if (raceBest && lapBest && lapBest->ms > raceBest->ms) return false;
    best = raceBest;
    bestLap = lapBest;
    return true;
}

Records::Outcome Records::Offer(uint32_t raceMs, const uint32_t* lapMs, int laps, const std::string& date) {
    Outcome outcome;
    if (raceMs > 0 && raceMs <= kMaxMs && (!best || raceMs < best->ms)) {
        best = RecordEntry{raceMs, date};
        outcome.newBest = true;
    }
    for (int i = 0; lapMs && i < laps; ++i) {
        if (lapMs[i] == 0 || lapMs[i] > kMaxMs) continue;
        if (!bestLap || lapMs[i] < bestLap->ms) {
            bestLap = RecordEntry{lapMs[i], date};
            outcome.newBestLap = true;
        }
    }
    return outcome;
}

std::string TodayDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}
