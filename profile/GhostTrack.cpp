#include "profile/GhostTrack.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr const char* kHeader = "vorlan-moto ghost 1";

void AppendPose(std::string& text, const GhostPose& p) {
    // Nine significant digits bring every float back exactly.
    char line[160];
    std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g %.9g\n", p.x, p.y, p.z, p.yaw, p.lean);
    text += line;
}

// Reads one line of text from pos (without its newline); false at the end.
bool NextLine(const std::string& text, size_t& pos, std::string& line) {
    if (pos >= text.size()) return false;
    const size_t end = text.find('\n', pos);
    if (end == std::string::npos) {
        // A last line without its newline was cut short.
        return false;
    }
    line.assign(text, pos, end - pos);
    pos = end + 1;
    return line.find('\0') == std::string::npos;
}

bool ParseFloat(const char*& cursor, float& value) {
    while (*cursor == ' ') ++cursor;
    if (*cursor == '\0') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtof(cursor, &end);
    if (end == cursor || errno == ERANGE || !std::isfinite(value)) return false;
    cursor = end;
    return true;
}

bool ParsePose(const std::string& line, GhostPose& pose) {
    const char* cursor = line.c_str();
    float* fields[] = {&pose.x, &pose.y, &pose.z, &pose.yaw, &pose.lean};
    for (float* field : fields) {
        if (!ParseFloat(cursor, *field)) return false;
        if (std::fabs(*field) > GhostTrack::kMaxCoordinate) return false;
    }
    while (*cursor == ' ') ++cursor;
    return *cursor == '\0';
}

bool ParseCount(const std::string& line, const char* key, unsigned long long limit, unsigned long long& value) {
    const size_t keyLength = std::strlen(key);
    if (line.compare(0, keyLength, key) != 0 || line.size() <= keyLength + 1 || line[keyLength] != ' ') return false;
    const std::string digits = line.substr(keyLength + 1);
    if (digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoull(digits.c_str(), nullptr, 10);
    return value <= limit;
}
}  // namespace

void GhostTrack::Clear() {
    start = GhostPose{};
    frames.clear();
    raceMs = 0;
}

const GhostPose& GhostTrack::At(long long raceFrame) const {
    if (raceFrame < 0 || frames.empty()) return start;
    if (static_cast<unsigned long long>(raceFrame) >= frames.size()) return frames.back();
    return frames[static_cast<size_t>(raceFrame)];
}

std::string GhostTrack::Text() const {
    std::string text;
    text.reserve(64 * (frames.size() + 4));
    text += kHeader;
    text += "\ntime " + std::to_string(raceMs) + "\nstart ";
    AppendPose(text, start);
    text += "frames " + std::to_string(frames.size()) + "\n";
    for (const GhostPose& pose : frames) AppendPose(text, pose);
    text += "end\n";
    return text;
}

bool GhostTrack::Parse(const std::string& text) {
    Clear();
    GhostTrack read;
    size_t pos = 0;
    std::string line;
    unsigned long long value = 0;
    if (!NextLine(text, pos, line) || line != kHeader) return false;
    if (!NextLine(text, pos, line) || !ParseCount(line, "time", 10u * 60u * 1000u, value) || value == 0) return false;
    read.raceMs = static_cast<uint32_t>(value);
    if (!NextLine(text, pos, line) || line.compare(0, 6, "start ") != 0 || !ParsePose(line.substr(6), read.start))
        return false;
    if (!NextLine(text, pos, line) || !ParseCount(line, "frames", kMaxFrames, value) || value == 0) return false;
    read.frames.resize(static_cast<size_t>(value));
    for (GhostPose& pose : read.frames)
        if (!NextLine(text, pos, line) || !ParsePose(line, pose)) return false;
    if (!NextLine(text, pos, line) || line != "end" || pos != text.size()) return false;
    *this = std::move(read);
    return true;
}
