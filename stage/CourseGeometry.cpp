#include "stage/CourseGeometry.h"

#include "framework/Math.h"
#include "framework/graphics/AxGLTFModel.h"

#include <vector>

namespace {
struct Triangle {
    Vector3 a, b, c;
};

// The model's triangles in course coordinates; false when it does not load.
bool Triangles(const std::string& path, std::vector<Triangle>& out) {
    const AxGLTFQuiet quiet;
    const std::shared_ptr<AxGLTFModel> model = AxLoadGLTFModel(path);
    if (!model) return false;
    for (const auto& node : model->nodes) {
        if (!node) continue;
        const size_t n = node->vertices.size();
        for (const AxMeshFace& f : node->faces) {
            if (f.idx[0] >= n || f.idx[1] >= n || f.idx[2] >= n) continue;
            out.push_back({Vector3::Transform(node->vertices[f.idx[0]].position, node->localTransform),
                           Vector3::Transform(node->vertices[f.idx[1]].position, node->localTransform),
                           Vector3::Transform(node->vertices[f.idx[2]].position, node->localTransform)});
        }
    }
    return true;
}

// Seen from above, some triangle lies under the point.
bool Over(const std::vector<Triangle>& triangles, float x, float z) {
    const auto side = [](const Vector3& p, const Vector3& q, float x, float z) {
        return (q.x - p.x) * (z - p.z) - (q.z - p.z) * (x - p.x);
    };
    for (const Triangle& t : triangles) {
        const float d1 = side(t.a, t.b, x, z), d2 = side(t.b, t.c, x, z), d3 = side(t.c, t.a, x, z);
        const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
        const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
        if (!(negative && positive)) return true;
    }
    return false;
}
}  // namespace

std::string CheckCourseGeometry(const CourseData& c) {
    const CourseGameplay& g = c.gameplay;
    std::vector<Triangle> floor;
    const std::pair<const char*, const std::string*> colliders[] = {
        {"gameplay.road", &g.roadModel},         {"gameplay.ground", &g.groundModel},
        {"gameplay.wall", &g.wallModel},         {"gameplay.gate.model", &g.gateModel},
        {"gameplay.dashPanels.model", &g.dashModel}, {"gameplay.floorSwitch.boxModel", &g.boxModel}};
    for (const auto& [field, path] : colliders) {
        std::vector<Triangle> triangles;
        if (!Triangles(*path, triangles)) return std::string(field) + ": does not load as a glTF model";
        if (triangles.empty()) return std::string(field) + ": has no triangles to collide with";
        if (path == &g.roadModel || path == &g.groundModel) floor.insert(floor.end(), triangles.begin(), triangles.end());
    }
    const std::pair<const char*, const std::string*> looks[] = {{"look.sky", &c.look.skyModel},
                                                                {"look.excavator.body", &c.look.excavatorBody},
                                                                {"look.excavator.arm", &c.look.excavatorArm},
                                                                {"look.excavator.cable", &c.look.excavatorCable}};
    for (const auto& [field, path] : looks) {
        std::vector<Triangle> triangles;
        if (!Triangles(*path, triangles)) return std::string(field) + ": does not load as a glTF model";
    }
    const auto off = [&](const CoursePoint& p) { return !Over(floor, p.x, p.z); };
    const std::string why = ": stands off the course (over neither road nor ground)";
    for (size_t i = 0; i < g.grid.size(); ++i)
        if (off(g.grid[i].at)) return "gameplay.grid[" + std::to_string(i) + "].position" + why;
    for (size_t i = 0; i < g.checkpoints.size(); ++i)
        if (off(g.checkpoints[i])) return "gameplay.checkpoints: point " + std::to_string(i + 1) + why;
    for (size_t i = 0; i < g.dashPanels.size(); ++i)
        if (off(g.dashPanels[i].at)) return "gameplay.dashPanels.places[" + std::to_string(i) + "].position" + why;
    if (off(g.floorSwitch)) return "gameplay.floorSwitch.position" + why;
    for (size_t i = 0; i < g.boxes.size(); ++i)
        if (off(g.boxes[i])) return "gameplay.floorSwitch.boxes: box " + std::to_string(i + 1) + why;
    if (off(g.gate.at)) return "gameplay.gate.position" + why;
    for (size_t i = 0; i < 2; ++i)
        if (off(g.wallSwitches[i])) return "gameplay.gate.switches[" + std::to_string(i) + "]" + why;
    return {};
}
