#pragma once
// Everything read from a client or from the verifier, checked before the
// services see it. Each parser takes bytes and gives a value or one line
// naming the field at fault; none throws.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace server {

constexpr size_t kMaxRaceFileBytes = 256 * 1024;
constexpr size_t kMaxPlayerBodyBytes = 1024;
constexpr const char* kRaceFileFirstLine = "vorlan-moto-race 1";
constexpr int kMaxBoardLimit = 100;

// 3 to 16 of A-Z a-z 0-9 _ -.
bool ValidPlayerName(const std::string& name);

// {"name": NAME} -> NAME; else why ("name: ...").
std::optional<std::string> ParsePlayerBody(const std::string& body, std::string& why);

// "Bearer TOKEN" with TOKEN 64 lowercase hex digits; nullopt otherwise.
std::optional<std::string> ParseBearer(const std::string& header);

// Empty when body is a race file as far as the server looks (text, and the
// first line the format's), else why.
std::string CheckRaceFile(const std::string& body);

// A positive decimal id that fits, else nullopt ("12", not "012", "+1", "1e3").
std::optional<int64_t> ParseId(const std::string& text);

bool ValidDifficulty(const std::string& difficulty);

struct BoardQuery {
    std::string difficulty = "normal";
    int limit = 50;
    std::string around;  // a player's name, or empty
};
// The query parameters of a board read; unknown parameters are ignored.
std::optional<BoardQuery> ParseBoardQuery(const std::multimap<std::string, std::string>& params, std::string& why);

// The verifier's one JSON line, read as it said it.
struct VerifierReport {
    std::string verdict;  // verified, mismatch, refused
    std::string reason;
    std::string course, courseHash, difficulty;
    bool autopilot = false;
    int64_t timeMs = 0;
    std::vector<int64_t> lapsMs;
    std::string statesHash;
    std::string build;
    int64_t firstMismatch = -1;  // the first update that differed, when the verifier says
};
// stdout is what the verifier printed, exitStatus how it ended. Anything
// but one well-formed line whose verdict agrees with the status is refused
// with why.
std::optional<VerifierReport> ParseVerifierOutput(const std::string& stdout, int exitStatus, std::string& why);

}  // namespace server
