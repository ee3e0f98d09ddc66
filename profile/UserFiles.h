#pragma once
// Where the files a player keeps live, and how they are written: under the
// freedesktop data and config folders, atomically, and a damaged one is put
// aside rather than lost. No GL, AL or SDL here.

#include <optional>
#include <string>

namespace UserFiles {
// $XDG_DATA_HOME/vorlan-moto (default ~/.local/share/vorlan-moto) and
// $XDG_CONFIG_HOME/vorlan-moto (default ~/.config/vorlan-moto). A relative
// XDG value is ignored, as the freedesktop rules say. Empty when neither the
// variable nor HOME gives a folder. Both are the profile folder when one is used.
std::string DataDir();
std::string ConfigDir();

// No player's folders at all (the verifier): nothing is read or written.
void UseNoFolders();

// Every file a player keeps goes to dir instead of the XDG folders (the
// --profile option). The folder is made if missing; false with error when it
// is not a folder, or cannot be read or written.
bool UseProfile(const std::string& dir, std::string& error);

// Whether this run may write the player's files: only a race a person drives
// does (or any run with its own profile folder). The files are still read.
void SetWritesAllowed(bool allowed);
bool WritesAllowed();

// The whole file, or nothing when it cannot be read (missing included).
// Files larger than maxBytes are refused too: nothing a player keeps is big.
std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes = 64u << 20);

// As ReadFile, telling a file that is not there from one that is there but
// cannot be read (permissions, an I/O error, a folder) and one too big to be ours.
enum class ReadStatus { Ok, Missing, Unreadable, TooBig };
ReadStatus Read(const std::string& path, size_t maxBytes, std::string& text, std::string& error);

// Holds the folder (made if missing) against other copies of the game for
// its lifetime, so a read, merge and write is not interleaved with theirs.
class FolderLock {
public:
    explicit FolderLock(const std::string& dir);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd = -1;
};

// Writes text to path through a temporary file in the same folder and a
// rename, creating the folder (and its parents) first. A reader sees either
// the old file or the whole new one. On failure the old file is untouched
// and error says why.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& error);

// Renames a damaged file to "<path>.bad" (or .bad-2, .bad-3 ... if taken) so
// that nothing is lost; returns the new name, or empty if it could not move.
std::string SetAside(const std::string& path, const std::string& suffix = ".bad");
}  // namespace UserFiles
