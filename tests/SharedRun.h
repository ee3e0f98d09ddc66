#pragma once
// A game run that several tests check, made once per build of the game: the
// first test program that asks for it plays it, every later one (in this or
// another process, also while ctest runs tests side by side) reads its files.
// The runs are deterministic (fixed clock, scripted keys, seed), so a kept
// run is the run the test would have made.

#include <filesystem>
#include <map>
#include <string>

struct SharedRunResult {
    std::filesystem::path dir;  // the run's folder: its input files and whatever the arguments wrote there
    int status = -1;            // the game's exit status
};

// Plays `./vorlan ARGUMENTS` in the build folder once, with `{dir}` in the
// arguments standing for the run's folder, the input files written there
// first, and player files kept in fresh folders of the run's own. NAME keeps
// runs apart; a change of arguments, inputs, game or content makes a new run.
SharedRunResult SharedRun(const std::string& name, const std::map<std::string, std::string>& inputs,
                          const std::string& arguments);
