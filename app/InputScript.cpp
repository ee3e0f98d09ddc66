#include "app/InputScript.h"

#include <charconv>
#include <fstream>
#include <sstream>

bool ParseKeyName(const std::string& name, Key& key) {
    static const struct { const char* name; Key key; } kNames[] = {
        {"Z", Key::Z},         {"Left", Key::Left}, {"Right", Key::Right},
        {"Enter", Key::Enter}, {"Escape", Key::Escape}, {"P", Key::Pause}, {"Pause", Key::Pause},
        {"Up", Key::Up},       {"Down", Key::Down},  {"O", Key::Options}, {"G", Key::Ghost},
        {"C", Key::Courses}};
    for (const auto& entry : kNames) {
        if (name == entry.name) {
            key = entry.key;
            return true;
        }
    }
    return false;
}

namespace {
bool ParseFrame(const std::string& word, long long& value) {
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end && value >= 0;
}
}  // namespace

bool InputScript::Parse(const std::string& text, std::string& error) {
    ranges.clear();
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string first, last;
        if (!(words >> first) || first[0] == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        Range range;
        if (!ParseFrame(first, range.first)) {
            error = where + "bad first frame '" + first + "'";
            return false;
        }
        if (!(words >> last) || !ParseFrame(last, range.last)) {
            error = where + "bad last frame '" + last + "'";
            return false;
        }
        if (range.last < range.first) {
            error = where + "last frame " + last + " is before first frame " + first;
            return false;
        }
        std::string keyName;
        while (words >> keyName) {
            Key key;
            if (!ParseKeyName(keyName, key)) {
                error = where + "unknown key '" + keyName + "' (keys: Z Left Right Enter Escape P Up Down O G)";
                return false;
            }
            range.keys |= 1u << static_cast<unsigned>(key);
        }
        if (range.keys == 0) {
            error = where + "no keys";
            return false;
        }
        ranges.push_back(range);
    }
    return true;
}

bool InputScript::LoadFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream buffer;
    buffer << file.rdbuf();
    if (!Parse(buffer.str(), error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool InputScript::IsDown(long long frame, Key key) const {
    const unsigned bit = 1u << static_cast<unsigned>(key);
    for (const Range& range : ranges) {
        if ((range.keys & bit) && frame >= range.first && frame <= range.last) return true;
    }
    return false;
}
