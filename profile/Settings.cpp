#include "profile/Settings.h"

#include "profile/UserFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <filesystem>
#include <set>

namespace {
constexpr size_t kMaxFileBytes = 1u << 20;  // a settings file is a few hundred bytes
const char* const kKeys[] = {"music",     "effects",   "difficulty", "fullscreen", "render_scale",
                             "ghost",     "key_throttle", "key_left", "key_right",  "key_pause",
                             "vsync",     "course",    "server",     "player"};

// Written only once set: an offline player's file keeps no empty lines for them.
bool Optional(const std::string& key) { return key == "course" || key == "server" || key == "player"; }

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool Known(const std::string& key) {
    return std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return key == k; }) !=
           std::end(kKeys);
}

bool ParseInt(const std::string& text, long long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec == std::errc::result_out_of_range) {
        value = text[0] == '-' ? -1000000 : 1000000;
        return true;
    }
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseFloat(const std::string& text, float& value) {
    // strtof takes "inf" and "nan"; neither is a scale.
    if (text.empty() || text.size() > 32) return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
    value = static_cast<float>(std::clamp(parsed, -1.0e6, 1.0e6));
    return true;
}

bool ParseBool(const std::string& text, bool& value) {
    const std::string t = Lower(text);
    if (t == "on" || t == "true" || t == "yes" || t == "1") value = true;
    else if (t == "off" || t == "false" || t == "no" || t == "0") value = false;
    else return false;
    return true;
}

std::string FormatScale(float scale) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", scale);
    return text;
}
}  // namespace

std::string Settings::DefaultPath() {
    const std::string dir = UserFiles::ConfigDir();
    return dir.empty() ? std::string() : dir + "/settings.ini";
}

const char* Settings::DifficultyName(Difficulty difficulty) {
    switch (difficulty) {
        case Difficulty::Easy: return "easy";
        case Difficulty::Hard: return "hard";
        case Difficulty::Normal: break;
    }
    return "normal";
}

float Settings::EnemyTopSpeed(Difficulty difficulty) {
    switch (difficulty) {
        case Difficulty::Easy: return 0.37f;
        case Difficulty::Hard: return 0.43f;
        case Difficulty::Normal: break;
    }
    return 0.4f;
}

void Settings::Load(const std::string& path, const std::function<bool(const std::string&)>& isKeyName) {
    loadedPath = path;
    std::string text, error;
    const UserFiles::ReadStatus status = UserFiles::Read(path, kMaxFileBytes, text, error);
    Parse(status == UserFiles::ReadStatus::Ok ? text : std::string(), isKeyName);
    if (status == UserFiles::ReadStatus::TooBig) {
        problems.push_back("is too big to be settings, defaults used");
        unreadableLines = true;
    } else if (status == UserFiles::ReadStatus::Unreadable) {
        // There but not readable now (permissions, an I/O error): what it
        // holds may be fine, so it is never written over.
        problems.push_back("cannot be read (" + error + "), defaults used");
        unreadableFile = true;
    }
}

void Settings::Parse(const std::string& text, const std::function<bool(const std::string&)>& isKeyName) {
    const std::string path = loadedPath;
    *this = Settings();
    loadedPath = path;
    std::set<std::string> seen;
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string raw = text.substr(start, end - start);
        start = end + 1;
        ++number;
        auto problem = [&](const std::string& what) {
            problems.push_back("line " + std::to_string(number) + ": " + what);
        };
        auto bad = [&](const std::string& what) {
            problem(what + ", ignored");
            unreadableLines = true;
        };
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') {
            lines.push_back({{}, raw});
            continue;
        }
        if (raw.find('\0') != std::string::npos || raw.size() > 256) {
            bad("unreadable text");
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            bad("'" + line + "' is not 'key = value'");
            continue;
        }
        const std::string key = Lower(Trim(line.substr(0, equals)));
        const std::string value = Trim(line.substr(equals + 1));
        if (key.empty()) {
            bad("no key before '='");
            continue;
        }
        if (!Known(key)) {
            lines.push_back({{}, raw});  // someone else's, kept
            continue;
        }
        if (!seen.insert(key).second) {
            bad(key + " given again");
            continue;
        }
        if (value.empty()) {
            bad(key + " has no value");
            continue;
        }
        long long whole = 0;
        bool ok = true;
        if (key == "music" || key == "effects") {
            ok = ParseInt(value, whole);
            if (ok) {
                const long long clamped = std::clamp<long long>(whole, 0, kMaxVolume);
                if (clamped != whole) problem(key + " " + value + " is out of 0 to 10, " + std::to_string(clamped) + " used");
                (key == "music" ? music : effects) = static_cast<int>(clamped);
            }
        } else if (key == "difficulty") {
            const std::string v = Lower(value);
            if (v == "easy") difficulty = Difficulty::Easy;
            else if (v == "normal") difficulty = Difficulty::Normal;
            else if (v == "hard") difficulty = Difficulty::Hard;
            else ok = false;
        } else if (key == "fullscreen") {
            ok = ParseBool(value, fullscreen);
        } else if (key == "ghost") {
            ok = ParseBool(value, ghost);
        } else if (key == "vsync") {
            ok = ParseBool(value, vsync);
        } else if (key == "render_scale" && Lower(value) == "auto") {
            renderScaleAuto = true;
        } else if (key == "render_scale") {
            renderScaleAuto = false;
            float scale = 1.0f;
            ok = ParseFloat(value, scale);
            if (ok) {
                renderScale = std::clamp(scale, kMinRenderScale, kMaxRenderScale);
                if (renderScale != scale)
                    problem("render_scale " + value + " is out of 0.25 to 1, " + FormatScale(renderScale) + " used");
            }
        } else if (key == "course") {
            // Whether such a course exists is for the game to say.
            ok = value.size() <= 32 && value.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") == std::string::npos;
            if (ok) course = value;
        } else if (key == "server") {
            // Empty is offline; the online client says what it cannot reach.
            ok = value.empty() || Settings::ValidServer(value);
            if (ok) server = value;
        } else if (key == "player") {
            ok = value.empty() || Settings::ValidPlayerName(value);
            if (ok) player = value;
        } else {
            ok = !isKeyName || isKeyName(value);
            if (ok) {
                if (key == "key_throttle") keyThrottle = value;
                else if (key == "key_left") keyLeft = value;
                else if (key == "key_right") keyRight = value;
                else keyPause = value;
            }
        }
        if (!ok) {
            bad(key + " '" + value + "' is not a value it takes");
            continue;
        }
        lines.push_back({key, raw});
    }
}

bool Settings::ValidServer(const std::string& url) {
    const bool scheme = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
    if (!scheme || url.size() > kMaxServerChars) return false;
    for (unsigned char c : url)
        if (c <= ' ' || c >= 127) return false;
    return true;
}

bool Settings::ValidPlayerName(const std::string& name) {
    if (name.empty() || name.size() > kMaxPlayerChars) return false;
    for (unsigned char c : name)
        if (!std::isalnum(c) && c != '_' && c != '-') return false;
    return true;
}

std::string Settings::ProblemReport() const {
    std::string report;
    const std::string name = loadedPath.empty() ? "settings.ini" : loadedPath;
    for (const std::string& problem : problems) report += "vorlan: " + name + " " + problem + "\n";
    return report;
}

std::string Settings::ValueOf(const std::string& key) const {
    if (key == "music") return std::to_string(music);
    if (key == "effects") return std::to_string(effects);
    if (key == "difficulty") return DifficultyName(difficulty);
    if (key == "fullscreen") return fullscreen ? "on" : "off";
    if (key == "render_scale") return renderScaleAuto ? "auto" : FormatScale(renderScale);
    if (key == "vsync") return vsync ? "on" : "off";
    if (key == "ghost") return ghost ? "on" : "off";
    if (key == "key_throttle") return keyThrottle;
    if (key == "key_left") return keyLeft;
    if (key == "key_right") return keyRight;
    if (key == "course") return course;
    if (key == "server") return server;
    if (key == "player") return player;
    return keyPause;
}

std::string Settings::Text() const {
    std::string text;
    if (lines.empty()) text += "# Vorlan Moto settings: key = value; the options screen on the title writes them.\n";
    std::set<std::string> written;
    for (const Line& line : lines) {
        if (line.key.empty()) {
            text += line.text + "\n";
        } else {
            text += line.key + " = " + ValueOf(line.key) + "\n";
            written.insert(line.key);
        }
    }
    for (const char* key : kKeys)
        if (!written.count(key) && !(Optional(key) && ValueOf(key).empty())) text += std::string(key) + " = " + ValueOf(key) + "\n";
    return text;
}

bool Settings::Save(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no folder for settings (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    if (unreadableFile && path == loadedPath) {
        error = path + " could not be read, so it is not written over";
        return false;
    }
    const std::string text = Text();
    // The unreadable file goes beside the new one rather than being lost.
    std::error_code exists;
    if (unreadableLines && path == loadedPath && std::filesystem::exists(path, exists)) {
        if (UserFiles::SetAside(path).empty()) {
            error = "cannot keep the unreadable " + path + " aside";
            return false;
        }
    }
    if (!UserFiles::WriteAtomically(path, text, error)) return false;
    unreadableLines = false;
    loadedPath = path;
    return true;
}
