#pragma once
// A shared course's folder as the server sends it (a .tar.gz of ID/...),
// unpacked with care: regular files and folders only (no links, devices or
// anything else), no absolute names and no "..", everything under the one
// folder named by the course's id, and bounds on the number of entries and
// on the bytes, packed and unpacked. Nothing is written outside the folder
// it is unpacked into.

#include <cstddef>
#include <string>

namespace CourseArchive {
inline constexpr size_t kMaxPackedBytes = 16u << 20;
inline constexpr size_t kMaxUnpackedBytes = 64u << 20;
inline constexpr size_t kMaxEntries = 256;

// Unpacks archive into dest (a new, empty folder): true with the course's id
// in id, or false with one line in error naming the entry at fault.
bool Unpack(const std::string& archive, const std::string& dest, std::string& id, std::string& error);

// Unpacks into a fresh folder beside coursesDir, then moves the course in
// whole as coursesDir/ID (a copy already there goes to courses-replaced/ID), where the game checks it like any
// player's course. wantedId: the id the server listed it under.
bool Install(const std::string& archive, const std::string& coursesDir, const std::string& wantedId,
             std::string& error);
}  // namespace CourseArchive
