#include "course/Description.h"

#include "course/TrackParts.h"
#include "models/ExcavatorModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace coursemake {
namespace {

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

bool IdCharacter(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (!first && (c == '-' || c == '_'));
}

// A number word: finite, whole word used, within range.
bool Number(const std::string& word, double low, double high, double& value) {
    if (word.empty() || word.size() > 24) return false;
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

std::string Segment::Name(size_t index) const {
    return "segment " + std::to_string(index + 1) + " (line " + std::to_string(line) + ", " +
           (turn == 0.0f ? "straight " + Num(length) : "arc " + Num(length) + " " + Num(turn)) + ")";
}

Vector3 Sample::Right() const {
    const float r = heading * kDegToRad;
    return {std::cos(r), 0, -std::sin(r)};
}

const std::vector<std::string>& Themes() {
    static const std::vector<std::string> themes = {"desert", "meadow", "dusk"};
    return themes;
}

bool Parse(const std::string& text, const std::string& file, Description& d, std::string& error) {
    d = Description{};
    d.file = file;
    auto fail = [&](int line, const std::string& why) {
        error = file + ": line " + std::to_string(line) + ": " + why;
        return false;
    };
    if (text.size() > kMaxDescriptionBytes)
        return fail(0, "the description is larger than " + std::to_string(kMaxDescriptionBytes) + " bytes");
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (const size_t hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
        for (unsigned char c : raw)
            if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7f) return fail(lineNo, "holds a control character");
        std::istringstream words(raw);
        std::string key;
        if (!(words >> key)) continue;
        std::string rest;
        std::getline(words, rest);
        const size_t a = rest.find_first_not_of(" \t\r"), b = rest.find_last_not_of(" \t\r");
        rest = a == std::string::npos ? "" : rest.substr(a, b - a + 1);
        std::vector<std::string> args;
        {
            std::istringstream split(rest);
            for (std::string w; split >> w;) args.push_back(w);
        }
        auto want = [&](size_t n, const char* form) {
            if (args.size() == n) return true;
            error = file + ": line " + std::to_string(lineNo) + ": " + key + ": write it as '" + form + "'";
            return false;
        };
        double v = 0, w = 0;
        if (key == "id") {
            if (!want(1, "id NAME")) return false;
            d.id = args[0];
            if (d.id.size() > 32) return fail(lineNo, "id: longer than 32 characters");
            for (size_t i = 0; i < d.id.size(); ++i)
                if (!IdCharacter(d.id[i], i == 0))
                    return fail(lineNo, "id: may hold only a-z, 0-9, - and _, starting with a letter or digit");
        } else if (key == "name" || key == "author") {
            if (rest.size() > (key == "name" ? 40u : 60u)) return fail(lineNo, key + ": too long");
            if (key == "name") {
                if (rest.empty()) return fail(lineNo, "name: is empty");
                if (rest.find('"') != std::string::npos || rest.find('\\') != std::string::npos)
                    return fail(lineNo, "name: may not hold \" or \\");
                d.name = rest;
            } else {
                d.author = rest;
            }
        } else if (key == "theme") {
            if (!want(1, "theme desert|meadow|dusk")) return false;
            if (std::find(Themes().begin(), Themes().end(), args[0]) == Themes().end())
                return fail(lineNo, "theme: '" + args[0] + "' is not one of desert, meadow, dusk");
            d.theme = args[0];
        } else if (key == "width") {
            if (!want(1, "width METRES")) return false;
            if (!Number(args[0], kMinWidth, kMaxWidth, v))
                return fail(lineNo, "width: must be a number of metres from " + Num(kMinWidth) + " to " + Num(kMaxWidth));
            d.width = float(v);
        } else if (key == "laps") {
            if (!want(1, "laps N")) return false;
            if (!Number(args[0], 1, 9, v) || v != std::floor(v)) return fail(lineNo, "laps: must be a whole number from 1 to 9");
            d.laps = int(v);
        } else if (key == "straight") {
            if (!want(1, "straight LENGTH")) return false;
            if (!Number(args[0], 1, kMaxLap, v)) return fail(lineNo, "straight: the length must be a number of metres from 1 to " + Num(kMaxLap));
            if (d.segments.size() >= kMaxSegments) return fail(lineNo, "more than " + std::to_string(kMaxSegments) + " segments");
            d.segments.push_back({lineNo, float(v), 0.0f});
        } else if (key == "arc") {
            if (!want(2, "arc RADIUS DEGREES")) return false;
            if (!Number(args[0], 1, kMaxLap, v)) return fail(lineNo, "arc: the radius must be a number of metres from 1 to " + Num(kMaxLap));
            if (!Number(args[1], -360, 360, w) || std::fabs(w) < 1.0)
                return fail(lineNo, "arc: the angle must be degrees from 1 to 360, negative to turn left");
            if (d.segments.size() >= kMaxSegments) return fail(lineNo, "more than " + std::to_string(kMaxSegments) + " segments");
            d.segments.push_back({lineNo, float(v), float(w)});
        } else if (key == "dash" || key == "switch" || key == "gate" || key == "excavator") {
            const bool gate = key == "gate", excavator = key == "excavator";
            const std::string form = gate ? "gate DISTANCE" : excavator ? "excavator DISTANCE left|right" : key + " DISTANCE left|centre|right|METRES";
            if (!want(gate ? 1 : 2, form.c_str())) return false;
            Placed o;
            o.line = lineNo;
            o.kind = key;
            if (!Number(args[0], -1e6, 1e6, v)) return fail(lineNo, key + ": the distance must be a number of metres");
            o.distance = float(v);
            // left and right are set once the width is known
            if (gate) o.offset = 0.0f;
            else if (excavator && args[1] != "left" && args[1] != "right") return fail(lineNo, "excavator: the side must be left or right");
            else if (excavator) o.offset = args[1] == "left" ? -1.0f : 1.0f;
            else if (args[1] == "left") o.offset = -1e9f;
            else if (args[1] == "right") o.offset = 1e9f;
            else if (args[1] == "centre" || args[1] == "center") o.offset = 0.0f;
            else if (Number(args[1], -1e6, 1e6, w)) o.offset = float(w);
            else return fail(lineNo, key + ": the side must be left, centre, right or metres to the right");
            if (key == "dash" && std::count_if(d.objects.begin(), d.objects.end(), [](const Placed& p) { return p.kind == "dash"; }) >=
                                     long(kMaxDashPanels))
                return fail(lineNo, "dash: more than " + std::to_string(kMaxDashPanels) + " dash panels");
            if (key != "dash" && std::any_of(d.objects.begin(), d.objects.end(), [&](const Placed& p) { return p.kind == key; }))
                return fail(lineNo, key + ": a course has one " + (key == "switch" ? std::string("floor switch") : key));
            d.objects.push_back(o);
        } else {
            return fail(lineNo, "'" + key + "' is not id, name, author, theme, width, laps, straight, arc, dash, switch, gate or excavator");
        }
    }
    if (d.id.empty()) return fail(lineNo, "id: is missing");
    if (d.name.empty()) return fail(lineNo, "name: is missing");
    if (d.theme.empty()) return fail(lineNo, "theme: is missing");
    if (d.segments.size() < 3) return fail(lineNo, "the centre line needs at least three segments");
    // Sides in the middle of each half of the road.
    for (Placed& o : d.objects) {
        if (o.kind == "excavator") continue;
        if (o.offset <= -1e8f) o.offset = -d.HalfWidth() * 0.5f;
        if (o.offset >= 1e8f) o.offset = d.HalfWidth() * 0.5f;
    }
    error.clear();
    return true;
}

Sample CentreLine::At(float s) const { return track::Interpolate(samples, s); }

float CentreLine::Distance(float x, float z) const {
    float best = 1e30f;
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        const Vector3 a = samples[i].p, b = samples[i + 1].p;
        const float dx = b.x - a.x, dz = b.z - a.z, len2 = dx * dx + dz * dz;
        float t = len2 > 0 ? ((x - a.x) * dx + (z - a.z) * dz) / len2 : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const float ex = a.x + dx * t - x, ez = a.z + dz * t - z;
        best = std::min(best, ex * ex + ez * ez);
    }
    return std::sqrt(best);
}

void CentreLine::Bounds(float& minX, float& minZ, float& maxX, float& maxZ) const {
    minX = minZ = 1e30f, maxX = maxZ = -1e30f;
    for (const Sample& s : samples) {
        minX = std::min(minX, s.p.x), minZ = std::min(minZ, s.p.z);
        maxX = std::max(maxX, s.p.x), maxZ = std::max(maxZ, s.p.z);
    }
}

bool Build(const Description& d, CentreLine& line, std::string& error) {
    line.samples.clear();
    auto fail = [&](const std::string& what, const std::string& why) {
        error = d.file + ": " + what + ": " + why;
        return false;
    };
    const auto& segs = d.segments;
    if (segs.size() < 3) return fail("centre line", "needs at least three segments");
    // The grid stands on a straight through the start line.
    if (segs.front().turn != 0.0f || segs.front().length < kStartStraight)
        return fail(segs.front().Name(0), "the line must start with a straight of at least " + Num(kStartStraight) + " m");
    if (segs.back().turn != 0.0f || segs.back().length < kEndStraight)
        return fail(segs.back().Name(segs.size() - 1), "the line must end with a straight of at least " + Num(kEndStraight) +
                                                           " m into the start line");
    double total = 0;
    for (size_t i = 0; i < segs.size(); ++i) {
        const Segment& g = segs[i];
        if (g.turn != 0.0f && g.length < kMinRadius)
            return fail(g.Name(i), "the radius is tighter than the computer bikes can take (at least " + Num(kMinRadius) + " m)");
        total += g.turn == 0.0f ? g.length : g.length * std::fabs(g.turn) * M_PI / 180.0;
    }
    if (total < kMinLap || total > kMaxLap)
        return fail("centre line", "the lap is " + Num(total) + " m; it must be " + Num(kMinLap) + " to " + Num(kMaxLap) + " m");
    // Samples of the line as written, in double precision.
    std::vector<Sample>& out = line.samples;
    track::Walker w;
    out.push_back({0.0f, {0, 0, 0}, 0.0f, 0.0f, 0});
    for (size_t i = 0; i < segs.size(); ++i) {
        bool tooFar = false;
        track::WalkSegment(w, segs[i].length, segs[i].turn, kSampleStep, [&](double k) { out.back().curvature = float(k); },
                           [&](double k) {
                               out.push_back({float(w.s), {float(w.x), 0, float(w.z)}, float(w.h), float(k), int(i)});
                               tooFar = tooFar || std::hypot(w.x, w.z) > kMaxReach;
                           });
        if (tooFar) return fail(segs[i].Name(i), "the road goes more than " + Num(kMaxReach) + " m from the start line");
    }
    const double x = w.x, z = w.z, h = w.h, s = w.s;
    // Two parts of the road may not come closer than their fences allow
    // (checked first: a line that crosses itself seldom closes either).
    const float L = float(s);
    const float gapNeeded = 2.0f * (d.FenceOffset() + 0.3f);
    const float along = 1.6f * gapNeeded;
    std::vector<size_t> coarse;
    for (size_t i = 0; i + 1 < out.size(); i += 4) coarse.push_back(i);
    // The closest pair of far-apart places names the fault.
    float closest = gapNeeded;
    size_t first = 0, second = 0;
    for (size_t a = 0; a < coarse.size(); ++a)
        for (size_t b = a + 1; b < coarse.size(); ++b) {
            const Sample &p = out[coarse[a]], &q = out[coarse[b]];
            const float ds = std::min(q.s - p.s, L - (q.s - p.s));
            if (ds <= along) continue;
            const float dist = std::hypot(p.p.x - q.p.x, p.p.z - q.p.z);
            if (dist < closest) closest = dist, first = coarse[a], second = coarse[b];
        }
    if (closest < gapNeeded) {
        const size_t one = size_t(out[first].segment), two = size_t(out[second].segment);
        if (closest < 1.0f) return fail(segs[two].Name(two), "crosses " + segs[one].Name(one));
        return fail(segs[two].Name(two), "comes within " + Num(closest) + " m of " + segs[one].Name(one) +
                                              "; the fences need " + Num(gapNeeded) + " m between the centre lines");
    }
    // It must come back to the start line, heading north after one turn round.
    const double turns = h / 360.0;
    const double gap = std::hypot(x, z);
    if (gap > 0.5 || std::fabs(turns - std::round(turns)) > 0.5 / 360.0 || std::fabs(std::round(turns)) != 1.0) {
        std::string how = "it ends " + Num(std::fabs(x)) + " m " + (x >= 0 ? "east" : "west") + " and " + Num(std::fabs(z)) +
                          " m " + (z >= 0 ? "north" : "south") + " of the start line, heading " + Num(std::remainder(h, 360.0)) +
                          " degrees; it must end on the start line heading north after turning once round (360 or -360 degrees in all, now " +
                          Num(h) + ")";
        // The one-number fix, when there is one: a straight along the last heading.
        if (std::fabs(std::remainder(h, 360.0)) < 0.5 && std::fabs(x) < 0.5 && gap > 0.5) {
            how += z < 0 ? "; lengthen the last straight by " + Num(-z) + " m" : "; shorten the last straight by " + Num(z) + " m";
        }
        return fail("centre line", "does not close: " + how);
    }
    // Close exactly: spread the small remaining gap along the lap.
    for (Sample& p : out) {
        const float t = p.s / L;
        p.p.x -= float(x) * t;
        p.p.z -= float(z) * t;
    }
    out.back().p = out.front().p;
    out.back().heading = out.front().heading + 360.0f * float(std::round(turns));
    // Objects on the road, clear of the start grid.
    const Placed* gate = nullptr;
    for (const Placed& o : d.objects)
        if (o.kind == "gate") gate = &o;
    auto name = [](const Placed& o) { return o.kind + " (line " + std::to_string(o.line) + ")"; };
    for (const Placed& o : d.objects) {
        const std::string what = name(o);
        if (o.distance < 0 || o.distance >= L)
            return fail(what, Num(o.distance) + " m is not on the lap (0 to " + Num(L) + " m)");
        if (o.distance < 8.0f || o.distance > L - 8.0f) return fail(what, "stands on the start line or the grid");
        if (o.kind == "gate") {
            if (o.distance - kGateBefore < 8.0f || o.distance + kGateAfter > L - 8.0f)
                return fail(what, "stands too near the start line: its switches need " + Num(kGateBefore) + " m before it, and " +
                                      Num(kGateAfter) + " m after it must be clear of the grid");
            if (d.width < kGateMinWidth)
                return fail(what, "needs a road at least " + Num(kGateMinWidth) + " m wide to pass it; this one is " + Num(d.width));
            for (const Sample& p : out)
                if (p.s >= o.distance - kGateBefore && p.s <= o.distance + kGateAfter && segs[size_t(p.segment)].turn != 0.0f)
                    return fail(what, "must stand on a straight, from " + Num(kGateBefore) + " m before it to " + Num(kGateAfter) +
                                          " m after it; " + segs[size_t(p.segment)].Name(size_t(p.segment)) + " bends there");
            continue;
        }
        if (o.kind == "excavator") {
            // Every part of the body's footprint outside the fences, wherever the road runs.
            const Matrix move = PlaceExcavator(d, line, o).FromDesert();
            const Vector3 h = gen::kExcavatorHinge;
            for (float across : {gen::kExcavatorBodyNear, gen::kExcavatorBodyMiddle, gen::kExcavatorBodyFar})
                for (float along : {-gen::kExcavatorBodyHalfLength, 0.0f, gen::kExcavatorBodyHalfLength}) {
                    const Vector3 p = Vector3::Transform({h.x - across, 0.0f, h.z + along}, move);
                    const float dist = line.Distance(p.x, p.z);
                    if (dist < d.FenceOffset() + 0.5f)
                        return fail(what, "its body would stand " + Num(dist) + " m from the centre line, inside the fence (" +
                                              Num(d.FenceOffset()) + " m); place it where the road has room beside it");
                }
            continue;
        }
        if (gate && o.distance >= gate->distance - kGateBefore - 2.0f && o.distance <= gate->distance + kGateAfter + 2.0f)
            return fail(what, "stands in the way of the " + name(*gate));
        if (o.kind == "switch" && gate && gate->distance + kGateAfter >= o.distance + 20.0f &&
            gate->distance - kGateBefore <= o.distance + 58.0f)
            return fail(what, "its boxes would fall by the " + name(*gate) + "; keep 20 to 58 m after the switch clear of it");
        const float room = d.HalfWidth() - (o.kind == "dash" ? 1.5f : 1.2f);
        if (std::fabs(o.offset) > room)
            return fail(what, "is off the road: " + Num(o.offset) + " m from the centre line, the road allows " + Num(room));
    }
    error.clear();
    return true;
}

ExcavatorPlace PlaceExcavator(const Description& d, const CentreLine& line, const Placed& o) {
    const Sample a = line.At(o.distance);
    const float side = o.offset < 0.0f ? -1.0f : 1.0f;
    ExcavatorPlace at;
    at.towardsBody = a.Right() * side;
    // The body keeps the desert's distance from the fence, however wide the road.
    const float across = gen::kExcavatorHingeAcross - (d.FenceOffset() - course::kFenceOffset);
    at.hinge = a.p - at.towardsBody * across;
    at.hinge.y = gen::kExcavatorHinge.y;
    // The desert's body stands to the right of a road heading south (turn 0).
    at.turn = std::fmod(a.heading + (side > 0.0f ? 180.0f : 0.0f), 360.0f);
    if (at.turn < 0.0f) at.turn += 360.0f;
    return at;
}

Vector3 ExcavatorPlace::BodyCentre() const { return hinge + towardsBody * gen::kExcavatorBodyMiddle; }

Matrix ExcavatorPlace::FromDesert() const {
    return Matrix::CreateTranslation(-gen::kExcavatorHinge) * Matrix::CreateRotationYDegrees(turn) * Matrix::CreateTranslation(hinge);
}

bool Read(const std::string& text, const std::string& file, Description& out, CentreLine& line, std::string& error) {
    return Parse(text, file, out, error) && Build(out, line, error);
}

}  // namespace coursemake
