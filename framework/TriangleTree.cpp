#include "framework/TriangleTree.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr size_t kLeafFaces = 6;
constexpr int kMaxDepth = 40;

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
}  // namespace

TriangleTree::TriangleTree(const std::vector<Vector3>& positions, const uint32_t* faces, size_t faceCount) {
    std::vector<uint32_t> items;
    std::vector<float> centres(faceCount * 3), boxes(faceCount * 6);
    for (size_t f = 0; f < faceCount; ++f) {
        const uint32_t* idx = faces + 3 * f;
        if (idx[0] >= positions.size() || idx[1] >= positions.size() || idx[2] >= positions.size()) continue;
        float lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            const float c0 = (&positions[idx[0]].x)[a], c1 = (&positions[idx[1]].x)[a], c2 = (&positions[idx[2]].x)[a];
            lo[a] = std::min({c0, c1, c2});
            hi[a] = std::max({c0, c1, c2});
        }
        bool finite = true;
        for (int a = 0; a < 3; ++a) finite = finite && std::isfinite(lo[a]) && std::isfinite(hi[a]);
        if (!finite) {
            // No box holds it; a ray can meet it only through rounding, so it is always a candidate.
            for (int a = 0; a < 3; ++a) {
                lo[a] = -INFINITY;
                hi[a] = INFINITY;
            }
        }
        for (int a = 0; a < 3; ++a) {
            // Wide against the test's rounding (about 1e-7 of the coordinates).
            const float margin = 1e-3f + 1e-4f * std::max(std::fabs(lo[a]), std::fabs(hi[a]));
            boxes[f * 6 + a] = lo[a] - margin;
            boxes[f * 6 + 3 + a] = hi[a] + margin;
            centres[f * 3 + a] = finite ? 0.5f * (lo[a] + hi[a]) : 0.0f;
        }
        items.push_back(static_cast<uint32_t>(f));
    }
    if (items.empty()) return;
    nodes.reserve(2 * items.size() / kLeafFaces + 1);
    Build(items, 0, items.size(), centres, boxes, 0);
    order = std::move(items);
}

uint32_t TriangleTree::Build(std::vector<uint32_t>& items, size_t first, size_t count,
                             const std::vector<float>& centres, const std::vector<float>& boxes, int depth) {
    const uint32_t index = static_cast<uint32_t>(nodes.size());
    nodes.emplace_back();
    Node node;
    for (int a = 0; a < 3; ++a) {
        node.lo[a] = INFINITY;
        node.hi[a] = -INFINITY;
    }
    float clo[3] = {INFINITY, INFINITY, INFINITY}, chi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t i = first; i < first + count; ++i) {
        const uint32_t f = items[i];
        for (int a = 0; a < 3; ++a) {
            node.lo[a] = std::min(node.lo[a], boxes[f * 6 + a]);
            node.hi[a] = std::max(node.hi[a], boxes[f * 6 + 3 + a]);
            clo[a] = std::min(clo[a], centres[f * 3 + a]);
            chi[a] = std::max(chi[a], centres[f * 3 + a]);
        }
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a)
        if (chi[a] - clo[a] > chi[axis] - clo[axis]) axis = a;
    if (count <= kLeafFaces || depth >= kMaxDepth || !(chi[axis] > clo[axis])) {
        node.first = static_cast<uint32_t>(first);
        node.count = static_cast<uint32_t>(count);
        nodes[index] = node;
        return index;
    }
    // Halves by the middle face along the widest spread of centres; ties by
    // index, so the tree is the same on every machine.
    const size_t half = count / 2;
    std::nth_element(items.begin() + first, items.begin() + first + half, items.begin() + first + count,
                     [&centres, axis](uint32_t a, uint32_t b) {
                         const float ca = centres[a * 3 + axis], cb = centres[b * 3 + axis];
                         return ca < cb || (ca == cb && a < b);
                     });
    Build(items, first, half, centres, boxes, depth + 1);
    node.right = Build(items, first + half, count - half, centres, boxes, depth + 1);
    nodes[index] = node;
    return index;
}

void TriangleTree::Candidates(const Vector3& origin, const Vector3& direction, std::vector<uint32_t>& out) const {
    out.clear();
    if (nodes.empty() || !Finite(origin) || !Finite(direction)) return;
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {direction.x, direction.y, direction.z};
    uint32_t stack[2 * kMaxDepth + 8];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const uint32_t index = stack[--top];
        const Node& node = nodes[index];
        // The ray's stretch inside the box, from the origin on.
        float enter = 0.0f, leave = INFINITY;
        bool inside = true;
        for (int a = 0; a < 3 && inside; ++a) {
            if (d[a] == 0.0f) {
                inside = o[a] >= node.lo[a] && o[a] <= node.hi[a];
                continue;
            }
            float t0 = (node.lo[a] - o[a]) / d[a], t1 = (node.hi[a] - o[a]) / d[a];
            if (t0 > t1) std::swap(t0, t1);
            enter = std::max(enter, t0);
            leave = std::min(leave, t1);
            inside = enter <= leave;
        }
        if (!inside) continue;
        if (node.count > 0) {
            out.insert(out.end(), order.begin() + node.first, order.begin() + node.first + node.count);
            continue;
        }
        stack[top++] = node.right;
        stack[top++] = index + 1;
    }
    std::sort(out.begin(), out.end());
}
