#include "ServerFuzzTargets.h"

#include "server/Requests.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

using namespace server;

namespace {
void Require(bool promise) {
    if (!promise) std::abort();
}
std::string Bytes(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }
}  // namespace

void FuzzServerPlayerBody(const uint8_t* data, size_t size) {
    std::string why;
    const auto name = ParsePlayerBody(Bytes(data, size), why);
    Require(name ? ValidPlayerName(*name) : !why.empty());
}

void FuzzServerAuthorization(const uint8_t* data, size_t size) {
    const auto token = ParseBearer(Bytes(data, size));
    if (!token) return;
    Require(token->size() == 64 && token->find_first_not_of("0123456789abcdef") == std::string::npos);
}

void FuzzServerRaceFile(const uint8_t* data, size_t size) {
    const std::string body = Bytes(data, size);
    if (!CheckRaceFile(body).empty()) return;
    Require(body.size() <= kMaxRaceFileBytes && body.rfind(kRaceFileFirstLine, 0) == 0 &&
            body.find('\0') == std::string::npos);
}

void FuzzServerBoardQuery(const uint8_t* data, size_t size) {
    std::multimap<std::string, std::string> params;
    std::istringstream in(Bytes(data, size));
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        params.emplace(line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1));
    }
    std::string why;
    const auto q = ParseBoardQuery(params, why);
    if (!q) return;
    Require(ValidDifficulty(q->difficulty) && q->limit >= 1 && q->limit <= kMaxBoardLimit &&
            (q->around.empty() || ValidPlayerName(q->around)));
}

void FuzzServerVerifierOutput(const uint8_t* data, size_t size) {
    if (size == 0) return;
    std::string why;
    const auto report = ParseVerifierOutput(Bytes(data + 1, size - 1), data[0] % 4, why);
    if (!report) {
        Require(!why.empty());
        return;
    }
    if (report->verdict != "verified") return;
    Require(report->timeMs > 0 && !report->lapsMs.empty() && ValidDifficulty(report->difficulty));
    for (int64_t lap : report->lapsMs) Require(lap > 0);
}
