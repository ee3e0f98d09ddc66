#pragma once
// The player's server token, kept in $XDG_CONFIG_HOME/vorlan-moto/token
// (mode 0600, written atomically): "SERVER NAME TOKEN" on one line, so a
// token is only ever sent to the server that gave it, for the name it was
// given. It goes into no trace, log or recording.

#include <optional>
#include <string>

struct ServerToken {
    std::string server, name, token;
};

namespace TokenFile {
std::string DefaultPath();
// Nothing when missing; a damaged file is set aside with one line.
std::optional<ServerToken> Load(const std::string& path);
bool Save(const std::string& path, const ServerToken& token, std::string& error);
}  // namespace TokenFile
