#include "stage/course/CourseReader.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace CourseReader {
namespace {

// Thrown inside the parser only, to stop at the first fault with its field.
struct Fault {
    std::string field;
    std::string why;
};

[[noreturn]] void Fail(const std::string& field, const std::string& why) { throw Fault{field, why}; }

const json& Member(const json& object, const std::string& key, const std::string& field) {
    if (!object.is_object()) Fail(field, "is not an object");
    const auto it = object.find(key);
    if (it == object.end()) Fail(field.empty() ? key : field + "." + key, "is missing");
    return *it;
}


double Number(const json& value, const std::string& field, double low, double high) {
    if (!value.is_number()) Fail(field, "is not a number");
    const double v = value.get<double>();
    if (!std::isfinite(v) || v < low || v > high)
        Fail(field, "is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    return v;
}

int Integer(const json& value, const std::string& field, int low, int high) {
    if (!value.is_number_integer()) Fail(field, "is not a whole number");
    const long long v = value.get<long long>();
    if (v < low || v > high) Fail(field, "is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    return static_cast<int>(v);
}

std::string Text(const json& value, const std::string& field, size_t minBytes, size_t maxBytes) {
    if (!value.is_string()) Fail(field, "is not a string");
    const std::string s = value.get<std::string>();
    if (s.size() < minBytes) Fail(field, "is empty");
    if (s.size() > maxBytes) Fail(field, "is longer than " + std::to_string(maxBytes) + " bytes");
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7f) Fail(field, "holds a control character");
    return s;
}

CoursePoint Point(const json& value, const std::string& field) {
    if (!value.is_array() || value.size() != 3) Fail(field, "is not three numbers [x, y, z]");
    CoursePoint p;
    p.x = static_cast<float>(Number(value[0], field + "[0]", -kMaxCoordinate, kMaxCoordinate));
    p.y = static_cast<float>(Number(value[1], field + "[1]", -kMaxCoordinate, kMaxCoordinate));
    p.z = static_cast<float>(Number(value[2], field + "[2]", -kMaxCoordinate, kMaxCoordinate));
    return p;
}

float Angle(const json& value, const std::string& field) {
    return static_cast<float>(Number(value, field, -360.0, 360.0));
}

bool IdCharacter(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (!first && (c == '-' || c == '_'));
}

// The path the game opens for a path written in the course file: inside the
// course's folder, or for a built-in course one of the game's own files.
std::string FilePath(const json& value, const std::string& field, const std::string& folder, bool builtIn) {
    const std::string path = Text(value, field, 1, 200);
    if (path.front() == '/') Fail(field, "is an absolute path; paths start in the course's folder");
    if (path.find('\\') != std::string::npos) Fail(field, "holds a backslash; separate folders with /");
    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part == ".." || part == "." || part.empty()) Fail(field, "leaves or wanders in the course's folder ('" + path + "')");
    if (path.back() == '/') Fail(field, "names a folder, not a file");
    if (builtIn && path.rfind("Data/", 0) == 0) return path;
    return folder.empty() ? path : folder + "/" + path;
}

std::string ModelPath(const json& value, const std::string& field, const std::string& folder, bool builtIn) {
    std::string path = FilePath(value, field, folder, builtIn);
    const auto ends = [&](const char* tail) {
        const std::string t = tail;
        return path.size() >= t.size() && path.compare(path.size() - t.size(), t.size(), t) == 0;
    };
    if (!ends(".gltf") && !ends(".glb")) Fail(field, "is not a glTF model (.gltf or .glb)");
    return path;
}

void ParseInto(const std::string& text, const std::string& folder, bool builtIn, CourseData& c) {
    if (text.size() > kMaxFileBytes) Fail("", "is larger than " + std::to_string(kMaxFileBytes) + " bytes");
    json root;
    try {
        root = json::parse(text, nullptr, true, false);
    } catch (const json::exception& e) {
        Fail("", std::string("is not JSON: ") + e.what());
    }
    if (!root.is_object()) Fail("", "is not a JSON object");
    c.format = Integer(Member(root, "format", ""), "format", 1, 1000000);
    if (c.format != kFormat) Fail("format", "is " + std::to_string(c.format) + "; this game reads format " + std::to_string(kFormat));
    c.id = Text(Member(root, "id", ""), "id", 1, 32);
    for (size_t i = 0; i < c.id.size(); ++i)
        if (!IdCharacter(c.id[i], i == 0)) Fail("id", "may hold only a-z, 0-9, - and _, starting with a letter or digit");
    c.name = Text(Member(root, "name", ""), "name", 1, 40);
    c.author = Text(Member(root, "author", ""), "author", 0, 60);
    c.laps = Integer(Member(root, "laps", ""), "laps", 1, kMaxLaps);

    const json& g = Member(root, "gameplay", "");
    if (!g.is_object()) Fail("gameplay", "is not an object");
    CourseGameplay& gp = c.gameplay;
    const json& grid = Member(g, "grid", "gameplay");
    if (!grid.is_array() || grid.size() != 3) Fail("gameplay.grid", "is not a list of three start places");
    for (size_t i = 0; i < 3; ++i) {
        const std::string f = "gameplay.grid[" + std::to_string(i) + "]";
        gp.grid[i].at = Point(Member(grid[i], "position", f), f + ".position");
        gp.grid[i].angle = Angle(Member(grid[i], "heading", f), f + ".heading");
    }
    gp.checkpointFile = FilePath(Member(g, "checkpoints", "gameplay"), "gameplay.checkpoints", folder, builtIn);
    gp.roadModel = ModelPath(Member(g, "road", "gameplay"), "gameplay.road", folder, builtIn);
    gp.groundModel = ModelPath(Member(g, "ground", "gameplay"), "gameplay.ground", folder, builtIn);
    gp.wallModel = ModelPath(Member(g, "wall", "gameplay"), "gameplay.wall", folder, builtIn);

    const json& dash = Member(g, "dashPanels", "gameplay");
    gp.dashModel = ModelPath(Member(dash, "model", "gameplay.dashPanels"), "gameplay.dashPanels.model", folder, builtIn);
    const json& places = Member(dash, "places", "gameplay.dashPanels");
    if (!places.is_array()) Fail("gameplay.dashPanels.places", "is not a list");
    if (places.size() > kMaxDashPanels) Fail("gameplay.dashPanels.places", "has more than " + std::to_string(kMaxDashPanels) + " panels");
    for (size_t i = 0; i < places.size(); ++i) {
        const std::string f = "gameplay.dashPanels.places[" + std::to_string(i) + "]";
        CoursePlace p;
        p.at = Point(Member(places[i], "position", f), f + ".position");
        p.angle = Angle(Member(places[i], "angle", f), f + ".angle");
        gp.dashPanels.push_back(p);
    }

    const json& fs = Member(g, "floorSwitch", "gameplay");
    gp.floorSwitch = Point(Member(fs, "position", "gameplay.floorSwitch"), "gameplay.floorSwitch.position");
    gp.boxFile = FilePath(Member(fs, "boxes", "gameplay.floorSwitch"), "gameplay.floorSwitch.boxes", folder, builtIn);
    gp.boxModel = ModelPath(Member(fs, "boxModel", "gameplay.floorSwitch"), "gameplay.floorSwitch.boxModel", folder, builtIn);

    const json& gate = Member(g, "gate", "gameplay");
    gp.gate.at = Point(Member(gate, "position", "gameplay.gate"), "gameplay.gate.position");
    gp.gate.angle = Angle(Member(gate, "angle", "gameplay.gate"), "gameplay.gate.angle");
    gp.gateModel = ModelPath(Member(gate, "model", "gameplay.gate"), "gameplay.gate.model", folder, builtIn);
    const json& switches = Member(gate, "switches", "gameplay.gate");
    if (!switches.is_array() || switches.size() != 2) Fail("gameplay.gate.switches", "is not a list of two positions");
    for (size_t i = 0; i < 2; ++i)
        gp.wallSwitches[i] = Point(switches[i], "gameplay.gate.switches[" + std::to_string(i) + "]");

    const json& excavator = Member(g, "excavator", "gameplay");
    gp.excavatorHinge = Point(Member(excavator, "hinge", "gameplay.excavator"), "gameplay.excavator.hinge");

    const json& l = Member(root, "look", "");
    if (!l.is_object()) Fail("look", "is not an object");
    CourseLook& look = c.look;
    look.skyModel = ModelPath(Member(l, "sky", "look"), "look.sky", folder, builtIn);
    const json& ex = Member(l, "excavator", "look");
    look.excavatorBody = ModelPath(Member(ex, "body", "look.excavator"), "look.excavator.body", folder, builtIn);
    look.excavatorArm = ModelPath(Member(ex, "arm", "look.excavator"), "look.excavator.arm", folder, builtIn);
    look.excavatorCable = ModelPath(Member(ex, "cable", "look.excavator"), "look.excavator.cable", folder, builtIn);
    if (ex.contains("angle")) look.excavatorAngle = Angle(ex["angle"], "look.excavator.angle");
    const json& sun = Member(l, "sun", "look");
    const auto colour = [](const json& v, const std::string& f) {
        const CoursePoint p = Point(v, f);
        for (float x : {p.x, p.y, p.z})
            if (x < 0.0f || x > 10.0f) Fail(f, "has a part out of range (0 to 10)");
        return p;
    };
    look.sunDirection = Point(Member(sun, "direction", "look.sun"), "look.sun.direction");
    if (std::abs(look.sunDirection.x) + std::abs(look.sunDirection.y) + std::abs(look.sunDirection.z) < 1e-3f)
        Fail("look.sun.direction", "has no length");
    look.sunColour = colour(Member(sun, "colour", "look.sun"), "look.sun.colour");
    look.ambient = colour(Member(l, "ambient", "look"), "look.ambient");
    look.music = FilePath(Member(l, "music", "look"), "look.music", folder, builtIn);
}

bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<unsigned long long>(size) > maxBytes) return false;
    in.seekg(0);
    text.assign(static_cast<size_t>(size), '\0');
    return static_cast<bool>(in.read(text.data(), size)) || size == 0;
}

// The folder a resolved path must stay inside: the course's own, or the
// game's Data folder for the game's own files.
std::string RootOf(const std::string& path, const CourseData& c) {
    if (c.builtIn && path.rfind("Data/", 0) == 0) return "Data";
    return c.folder;
}

// There, a regular file (links followed), inside its root once every link is
// followed, and not too big.
std::string CheckFile(const std::string& path, const std::string& root) {
    std::error_code ec;
    const fs::path canonicalRoot = fs::canonical(root, ec);
    if (ec) return "its folder cannot be read";
    const fs::path target = fs::canonical(path, ec);
    if (ec) return "names a file that is not there ('" + path + "')";
    const auto [a, b] = std::mismatch(canonicalRoot.begin(), canonicalRoot.end(), target.begin(), target.end());
    if (a != canonicalRoot.end()) return "leads out of the course's folder through a link ('" + path + "')";
    if (!fs::is_regular_file(target, ec)) return "does not name a regular file ('" + path + "')";
    const auto size = fs::file_size(target, ec);
    if (ec || size > kMaxNamedFileBytes) return "names a file that is too big ('" + path + "')";
    return {};
}

// The JSON part of a .gltf or .glb model, for the files it names itself.
bool ModelJson(const std::string& bytes, json& doc) {
    std::string text = bytes;
    if (bytes.size() >= 20 && bytes.compare(0, 4, "glTF") == 0) {
        uint32_t length = 0;
        std::memcpy(&length, bytes.data() + 12, 4);
        if (bytes.compare(16, 4, "JSON") != 0 || length > bytes.size() - 20) return false;
        text = bytes.substr(20, length);
    }
    doc = json::parse(text, nullptr, false);
    return doc.is_object();
}

// The buffers and images a model names: each inside the root. Their paths
// (buffers only, or all) are added to files.
std::string ModelFiles(const std::string& model, const std::string& root, bool withImages,
                       std::vector<std::string>& files) {
    std::string bytes;
    if (!ReadSmallFile(model, kMaxNamedFileBytes, bytes)) return "cannot be read ('" + model + "')";
    json doc;
    if (!ModelJson(bytes, doc)) return "is not a glTF model ('" + model + "')";
    const std::string dir = fs::path(model).parent_path().string();
    for (const char* list : {"buffers", "images"}) {
        const auto it = doc.find(list);
        if (it == doc.end() || !it->is_array()) continue;
        for (const json& entry : *it) {
            if (!entry.is_object() || !entry.contains("uri") || !entry["uri"].is_string()) continue;
            const std::string uri = entry["uri"].get<std::string>();
            if (uri.rfind("data:", 0) == 0) continue;
            if (uri.empty() || uri.front() == '/' || uri.find("..") != std::string::npos || uri.find(':') != std::string::npos)
                return "names a file outside its folder ('" + uri + "' in '" + model + "')";
            const std::string path = dir.empty() ? uri : dir + "/" + uri;
            const std::string why = CheckFile(path, root);
            // A missing image only leaves the model white; a missing buffer is a broken model.
            if (!why.empty() && (std::string(list) == "buffers" || why.find("not there") == std::string::npos))
                return why;
            if (std::string(list) == "buffers" || withImages) files.push_back(path);
        }
    }
    return {};
}

std::string LoadPointFile(const std::string& path, size_t maxPoints, std::vector<CoursePoint>& points) {
    std::string text;
    if (!ReadSmallFile(path, kMaxFileBytes, text)) return "cannot be read or is too big ('" + path + "')";
    std::string why;
    if (!ParsePoints(text, maxPoints, points, why)) return why + " ('" + path + "')";
    return {};
}

void Fnv(uint64_t& h, const std::string& bytes) {
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
}

std::string Num(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g ", static_cast<double>(v));
    return buffer;
}
std::string Num(const CoursePoint& p) { return Num(p.x) + Num(p.y) + Num(p.z); }

}  // namespace

bool Parse(const std::string& text, const std::string& file, const std::string& folder, bool builtIn,
           CourseData& out, std::string& error) {
    CourseData c;
    try {
        ParseInto(text, folder, builtIn, c);
    } catch (const Fault& fault) {
        error = file + ": " + (fault.field.empty() ? std::string() : fault.field + ": ") + fault.why;
        return false;
    } catch (const std::exception& e) {
        error = file + ": " + e.what();
        return false;
    }
    c.file = file;
    c.folder = folder;
    c.builtIn = builtIn;
    out = std::move(c);
    return true;
}

bool ParsePoints(const std::string& text, size_t maxPoints, std::vector<CoursePoint>& points, std::string& why) {
    points.clear();
    std::istringstream in(text);
    std::string word;
    if (!(in >> word)) {
        why = "has no point count";
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || errno != 0 || count < 0 || static_cast<unsigned long>(count) > maxPoints) {
        why = "has a point count that is not a number from 0 to " + std::to_string(maxPoints);
        return false;
    }
    for (long i = 0; i < count; ++i) {
        float v[3];
        for (float& x : v) {
            if (!(in >> word)) {
                why = "has fewer points than its count";
                return false;
            }
            errno = 0;
            const double d = std::strtod(word.c_str(), &end);
            if (end == word.c_str() || *end != '\0' || errno != 0 || !std::isfinite(d) || std::abs(d) > kMaxCoordinate) {
                why = "has point " + std::to_string(i + 1) + " that is not three numbers within " +
                      std::to_string(static_cast<int>(kMaxCoordinate));
                return false;
            }
            x = static_cast<float>(d);
        }
        points.push_back({v[0], v[1], v[2]});
    }
    return true;
}

bool LineCrossesItself(const std::vector<CoursePoint>& p) {
    const size_t n = p.size();
    if (n < 4) return false;
    const auto side = [](const CoursePoint& a, const CoursePoint& b, const CoursePoint& c) {
        const double v = (double(b.x) - a.x) * (double(c.z) - a.z) - (double(b.z) - a.z) * (double(c.x) - a.x);
        return (v > 0) - (v < 0);
    };
    for (size_t i = 0; i < n; ++i) {
        const CoursePoint& a = p[i];
        const CoursePoint& b = p[(i + 1) % n];
        for (size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) continue;  // neighbours through the finish
            const CoursePoint& c = p[j];
            const CoursePoint& d = p[(j + 1) % n];
            const int s1 = side(a, b, c), s2 = side(a, b, d), s3 = side(c, d, a), s4 = side(c, d, b);
            if (s1 * s2 < 0 && s3 * s4 < 0) return true;
        }
    }
    return false;
}

bool Load(const std::string& folder, bool builtIn, CourseData& out, std::string& error) {
    const std::string file = folder + "/" + kFileName;
    std::string text;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        error = file + ": is missing";
        return false;
    }
    if (const std::string why = CheckFile(file, folder); !why.empty()) {
        error = file + ": " + why;
        return false;
    }
    if (!ReadSmallFile(file, kMaxFileBytes, text)) {
        error = file + ": cannot be read or is larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    CourseData c;
    if (!Parse(text, file, folder, builtIn, c, error)) return false;
    const auto fail = [&](const std::string& field, const std::string& why) {
        error = file + ": " + field + ": " + why;
        return false;
    };
    CourseGameplay& g = c.gameplay;
    // The game's own content is trusted: a missing or damaged file it names
    // leaves that object out at load, as it always has, and refuses nothing.
    // Only the course file itself is checked for a built-in course.
    if (builtIn) {
        std::string ignored;
        if (!LoadPointFile(g.checkpointFile, kMaxCheckpoints, g.checkpoints).empty()) g.checkpoints.clear();
        if (!LoadPointFile(g.boxFile, kMaxBoxes, g.boxes).empty()) g.boxes.clear();
        c.gameplayHash = GameplayHash(c, ignored);
        out = std::move(c);
        return true;
    }
    const std::pair<const char*, const std::string*> named[] = {
        {"gameplay.checkpoints", &g.checkpointFile},   {"gameplay.road", &g.roadModel},
        {"gameplay.ground", &g.groundModel},           {"gameplay.wall", &g.wallModel},
        {"gameplay.dashPanels.model", &g.dashModel},   {"gameplay.floorSwitch.boxes", &g.boxFile},
        {"gameplay.floorSwitch.boxModel", &g.boxModel}, {"gameplay.gate.model", &g.gateModel},
        {"look.sky", &c.look.skyModel},                {"look.excavator.body", &c.look.excavatorBody},
        {"look.excavator.arm", &c.look.excavatorArm},  {"look.excavator.cable", &c.look.excavatorCable},
        {"look.music", &c.look.music}};
    for (const auto& [field, path] : named) {
        const std::string root = RootOf(*path, c);
        if (const std::string why = CheckFile(*path, root); !why.empty()) return fail(field, why);
        const std::string p = *path;
        if (p.size() > 5 && (p.compare(p.size() - 5, 5, ".gltf") == 0 || p.compare(p.size() - 4, 4, ".glb") == 0)) {
            std::vector<std::string> files;
            if (const std::string why = ModelFiles(p, root, true, files); !why.empty()) return fail(field, why);
        }
    }
    if (const std::string why = LoadPointFile(g.checkpointFile, kMaxCheckpoints, g.checkpoints); !why.empty())
        return fail("gameplay.checkpoints", why);
    if (g.checkpoints.size() < kMinCheckpoints)
        return fail("gameplay.checkpoints", "has fewer than " + std::to_string(kMinCheckpoints) + " checkpoints");
    // The finish is the origin: the line runs from the last point back to it.
    std::vector<CoursePoint> loop = g.checkpoints;
    loop.push_back({});
    if (LineCrossesItself(loop)) return fail("gameplay.checkpoints", "the checkpoint line crosses itself");
    if (const std::string why = LoadPointFile(g.boxFile, kMaxBoxes, g.boxes); !why.empty())
        return fail("gameplay.floorSwitch.boxes", why);
    std::string why;
    c.gameplayHash = GameplayHash(c, why);
    if (c.gameplayHash.empty()) return fail("gameplay", why);
    out = std::move(c);
    return true;
}

std::string GameplayHash(const CourseData& c, std::string& why) {
    uint64_t h = 14695981039346656037ull;
    const CourseGameplay& g = c.gameplay;
    std::string fields = "vorlan course gameplay 1\nlaps " + std::to_string(c.laps) + "\ngrid ";
    for (const CoursePlace& p : g.grid) fields += Num(p.at) + Num(p.angle);
    fields += "\ndash ";
    for (const CoursePlace& p : g.dashPanels) fields += Num(p.at) + Num(p.angle);
    fields += "\nfloor " + Num(g.floorSwitch) + "\ngate " + Num(g.gate.at) + Num(g.gate.angle) + "\nswitches " +
              Num(g.wallSwitches[0]) + Num(g.wallSwitches[1]) + "\nhinge " + Num(g.excavatorHinge) + "\n";
    Fnv(h, fields);
    // The bytes, not the names: a copy of a course in another folder races the same.
    const std::string* files[] = {&g.checkpointFile, &g.boxFile,  &g.roadModel, &g.groundModel,
                                  &g.wallModel,      &g.gateModel, &g.dashModel, &g.boxModel};
    for (const std::string* path : files) {
        std::vector<std::string> parts{*path};
        const std::string p = *path;
        if (p.size() > 5 && (p.compare(p.size() - 5, 5, ".gltf") == 0 || p.compare(p.size() - 4, 4, ".glb") == 0)) {
            why = ModelFiles(p, RootOf(p, c), false, parts);
            if (!why.empty() && !c.builtIn) return {};
            // A damaged model of the game's own is hashed as the bytes it has.
            if (!why.empty()) parts.assign(1, p);
            why.clear();
        }
        for (const std::string& part : parts) {
            std::string bytes;
            if (!ReadSmallFile(part, kMaxNamedFileBytes, bytes)) {
                if (c.builtIn) {
                    Fnv(h, "missing\n");
                    continue;
                }
                why = "cannot read '" + part + "'";
                return {};
            }
            Fnv(h, std::to_string(bytes.size()) + "\n");
            Fnv(h, bytes);
        }
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

}  // namespace CourseReader
