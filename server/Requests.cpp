#include "server/Requests.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace server {

using nlohmann::json;

namespace {

bool IsHex(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return !s.empty();
}

// Valid UTF-8 without control characters other than tab, line feed and carriage return.
bool IsText(const std::string& s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) return false;
            ++i;
            continue;
        }
        size_t extra = 0;
        uint32_t cp = 0;
        if ((c & 0xe0) == 0xc0) {
            extra = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3f);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += extra + 1;
    }
    return true;
}

std::optional<int64_t> Integer(const json& v) {
    if (v.is_number_unsigned()) {
        const auto u = v.get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
        return static_cast<int64_t>(u);
    }
    if (v.is_number_integer()) return v.get<int64_t>();
    return std::nullopt;
}

}  // namespace

bool ValidPlayerName(const std::string& name) {
    if (name.size() < 3 || name.size() > 16) return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
    return true;
}

std::optional<std::string> ParsePlayerBody(const std::string& body, std::string& why) {
    if (body.size() > kMaxPlayerBodyBytes) {
        why = "body: over " + std::to_string(kMaxPlayerBodyBytes) + " bytes";
        return std::nullopt;
    }
    const json j = json::parse(body, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        why = "body: not a JSON object";
        return std::nullopt;
    }
    const auto it = j.find("name");
    if (it == j.end() || !it->is_string()) {
        why = "name: missing or not a string";
        return std::nullopt;
    }
    const std::string name = it->get<std::string>();
    if (!ValidPlayerName(name)) {
        why = "name: 3 to 16 of A-Z, a-z, 0-9, _ and -";
        return std::nullopt;
    }
    return name;
}

std::optional<std::string> ParseBearer(const std::string& header) {
    static const std::string kPrefix = "Bearer ";
    if (header.size() != kPrefix.size() + 64 || header.compare(0, kPrefix.size(), kPrefix) != 0) return std::nullopt;
    std::string token = header.substr(kPrefix.size());
    if (!IsHex(token)) return std::nullopt;
    return token;
}

std::string CheckRaceFile(const std::string& body) {
    if (body.empty()) return "body: empty, not a race file";
    if (body.size() > kMaxRaceFileBytes) return "body: over 256 KiB";
    const size_t end = body.find('\n');
    const std::string first = body.substr(0, end);
    if (first != kRaceFileFirstLine)
        return std::string("body: the first line is not '") + kRaceFileFirstLine + "'";
    if (!IsText(body)) return "body: not text (a control character or a broken UTF-8 sequence)";
    return {};
}

std::optional<int64_t> ParseId(const std::string& text) {
    if (text.empty() || text.size() > 18 || text[0] == '0') return std::nullopt;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool ValidDifficulty(const std::string& d) { return d == "easy" || d == "normal" || d == "hard"; }

std::optional<BoardQuery> ParseBoardQuery(const std::multimap<std::string, std::string>& params, std::string& why) {
    BoardQuery q;
    for (const auto& [key, value] : params) {
        if (key == "difficulty") {
            if (!ValidDifficulty(value)) {
                why = "difficulty: easy, normal or hard";
                return std::nullopt;
            }
            q.difficulty = value;
        } else if (key == "limit") {
            const auto n = ParseId(value);
            if (!n || *n > kMaxBoardLimit) {
                why = "limit: a number from 1 to " + std::to_string(kMaxBoardLimit);
                return std::nullopt;
            }
            q.limit = static_cast<int>(*n);
        } else if (key == "around") {
            if (!ValidPlayerName(value)) {
                why = "around: not a player's name";
                return std::nullopt;
            }
            q.around = value;
        }
    }
    return q;
}

std::optional<VerifierReport> ParseVerifierOutput(const std::string& out, int exitStatus, std::string& why) {
    // One line, with or without its line feed.
    std::string line = out;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (line.empty()) {
        why = "the verifier printed nothing (exit status " + std::to_string(exitStatus) + ")";
        return std::nullopt;
    }
    if (line.find('\n') != std::string::npos) {
        why = "the verifier printed more than one line";
        return std::nullopt;
    }
    const json j = json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        why = "the verifier's output is not a JSON object";
        return std::nullopt;
    }
    VerifierReport r;
    auto text = [&](const char* field, std::string& into, bool required) {
        const auto it = j.find(field);
        if (it == j.end() || it->is_null()) {
            if (required) why = std::string("the verifier's ") + field + " is missing";
            return !required;
        }
        if (!it->is_string()) {
            why = std::string("the verifier's ") + field + " is not a string";
            return false;
        }
        into = it->get<std::string>();
        return true;
    };
    if (!text("verdict", r.verdict, true)) return std::nullopt;
    const int expected = r.verdict == "verified" ? 0 : r.verdict == "mismatch" ? 1 : r.verdict == "refused" ? 2 : -1;
    if (expected < 0) {
        why = "the verifier's verdict is not verified, mismatch or refused";
        return std::nullopt;
    }
    if (expected != exitStatus) {
        why = "the verifier said " + r.verdict + " but exited with status " + std::to_string(exitStatus);
        return std::nullopt;
    }
    if (!text("reason", r.reason, false) || !text("build", r.build, false)) return std::nullopt;
    if (r.verdict != "verified") {
        if (r.reason.empty()) r.reason = r.verdict;
        if (const auto it = j.find("firstMismatch"); it != j.end())
            if (const auto update = Integer(*it); update && *update >= 0) r.firstMismatch = *update;
        return r;
    }
    if (!text("course", r.course, true) || !text("courseHash", r.courseHash, true) ||
        !text("difficulty", r.difficulty, true) || !text("statesHash", r.statesHash, true))
        return std::nullopt;
    if (!ValidDifficulty(r.difficulty)) {
        why = "the verifier's difficulty is not easy, normal or hard";
        return std::nullopt;
    }
    if (!IsHex(r.statesHash) || r.statesHash.size() > 128) {
        why = "the verifier's statesHash is not hex";
        return std::nullopt;
    }
    const auto autopilot = j.find("autopilot");
    if (autopilot == j.end() || !autopilot->is_boolean()) {
        why = "the verifier's autopilot is missing or not true or false";
        return std::nullopt;
    }
    r.autopilot = autopilot->get<bool>();
    const auto time = j.find("timeMs");
    const auto t = time == j.end() ? std::nullopt : Integer(*time);
    if (!t || *t <= 0) {
        why = "the verifier's timeMs is not a positive whole number";
        return std::nullopt;
    }
    r.timeMs = *t;
    const auto laps = j.find("lapsMs");
    if (laps == j.end() || !laps->is_array() || laps->empty() || laps->size() > 99) {
        why = "the verifier's lapsMs is not a list of lap times";
        return std::nullopt;
    }
    for (const auto& lap : *laps) {
        const auto l = Integer(lap);
        if (!l || *l <= 0) {
            why = "the verifier's lapsMs holds something other than positive whole numbers";
            return std::nullopt;
        }
        r.lapsMs.push_back(*l);
    }
    return r;
}

}  // namespace server
