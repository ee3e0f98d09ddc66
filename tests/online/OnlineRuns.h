#pragma once
// The real game run against servers on loopback for the online tests:
// headless, scripted keys, every file in a profile folder of the run's own.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace online_test {

struct GameRun {
    int status = -1;
    std::string errors;  // standard error without the model loader's lines
    std::vector<nlohmann::json> trace;
};

std::filesystem::path NewFolder(const std::string& tag);
std::string Slurp(const std::filesystem::path& path);
// The desert race the online tests drive: scripted keys, not the autopilot, so it is ranked.
// Two of them (another seed, another race: the server takes no race twice).
std::string DesertKeys(int which = 1);
int DesertSeed(int which = 1);

// ./vorlan ARGUMENTS in the build folder; the trace is read back when traced.
GameRun RunGame(const std::string& arguments, const std::filesystem::path& trace = {});
// The scripted desert race, its files in profile, with --server url when given.
GameRun DesertRace(const std::filesystem::path& profile, const std::string& server, long frames,
                   const std::filesystem::path& trace, int which = 1);
// Starts the game and stops it (SIGTERM, as a window closed) once done() holds or after seconds.
int RunUntil(const std::string& arguments, const std::function<bool()>& done, int seconds, std::string* errors = nullptr);

// Every field of a trace line but the online client's.
nlohmann::json GameFields(const nlohmann::json& line);
// The race files waiting in a profile's outbox, and those with the server's run number.
int Waiting(const std::filesystem::path& profile, const char* ext = ".race");

}  // namespace online_test
