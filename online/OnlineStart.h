#pragma once
// The leaderboard client of a run, from the server and name in force, with
// its files in the player's folders; none when the run plays offline (no
// server) or may not touch the player's files (demos, scripted runs without
// a profile folder of their own).

#include "scene/OnlineLink.h"

#include <memory>
#include <string>

std::unique_ptr<OnlineLink> StartOnline(const std::string& server, const std::string& player);
