#include "online/TokenFile.h"

#include "profile/Settings.h"
#include "profile/UserFiles.h"

#include <sys/stat.h>

#include <cstdio>
#include <sstream>

namespace TokenFile {

std::string DefaultPath() {
    const std::string config = UserFiles::ConfigDir();
    return config.empty() ? std::string() : config + "/token";
}

std::optional<ServerToken> Load(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::string text, error;
    if (UserFiles::Read(path, 1024, text, error) == UserFiles::ReadStatus::Missing) return std::nullopt;
    std::istringstream in(text);
    ServerToken t;
    std::string extra;
    const bool ok = static_cast<bool>(in >> t.server >> t.name >> t.token) && !(in >> extra) &&
                    Settings::ValidServer(t.server) && Settings::ValidPlayerName(t.name) && t.token.size() >= 16 &&
                    t.token.size() <= 128 &&
                    t.token.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (ok) return t;
    const std::string moved = UserFiles::SetAside(path);
    std::fprintf(stderr, "vorlan: token file %s is damaged; %s; the name is registered again\n", path.c_str(),
                 moved.empty() ? "it could not be moved aside" : ("set aside as " + moved).c_str());
    return std::nullopt;
}

bool Save(const std::string& path, const ServerToken& token, std::string& error) {
    if (path.empty()) {
        error = "no config folder (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    // The temporary file is made 0600 and keeps that mode through the rename.
    if (!UserFiles::WriteAtomically(path, token.server + " " + token.name + " " + token.token + "\n", error))
        return false;
    chmod(path.c_str(), 0600);
    return true;
}

}  // namespace TokenFile
