#pragma once
// Race files waiting for the server, in $XDG_DATA_HOME/vorlan-moto/outbox/:
// NAME.race as the race was kept, and once the server took it NAME.id with
// the server's run number, so a file is never sent twice: one with its id is
// only asked after, one without is sent. Both go when the verdict is in; a
// file the server refused as unreadable is set aside, never lost.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Outbox {
public:
    struct Entry {
        std::string name;  // NAME, without .race
        std::optional<int64_t> runId;
    };

    // folder empty: the data folder's outbox/.
    explicit Outbox(std::string folder = {});
    const std::string& Folder() const { return folder; }

    // Keeps a race file; its NAME, or empty (with error) when it cannot be written.
    std::string Add(const std::string& raceFile, std::string& error);
    // A NAME for a race to keep, in the order races are kept, and keeping it there.
    static std::string NewName();
    bool Write(const std::string& name, const std::string& raceFile, std::string& error);
    // Every waiting file, oldest first.
    std::vector<Entry> Waiting() const;
    std::optional<std::string> Read(const std::string& name) const;
    bool SetRunId(const std::string& name, int64_t id, std::string& error);
    // The verdict is in: the file and its id go.
    void Done(const std::string& name);
    // Refused by the server as it stands: kept beside as NAME.race.refused.
    void SetAside(const std::string& name);

    static constexpr size_t kMaxFiles = 1000;

private:
    std::string Path(const std::string& name, const char* ext) const { return folder + "/" + name + ext; }
    std::string folder;
};
