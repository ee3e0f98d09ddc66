#pragma once
// Mesh building in game coordinates (left-handed, +Y up). A triangle (a, b, c)
// faces the side that (b - a) x (c - a) points to; the glTF writer mirrors Z
// and the winding so the game's loader gets exactly these triangles back.

#include "framework/Math.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gen {

struct Color {
    float r = 1, g = 1, b = 1, a = 1;
};

struct Vertex {
    Vector3 position;
    Vector3 normal;
    Vector2 uv;
    Color color;
};

struct Material {
    std::string name;
    Color baseColor;
    float metallic = 0.0f;
    float roughness = 0.8f;
    Vector3 emissive;
    std::string texture;  // PNG file name beside the model, or empty
    std::string emissiveTexture;
};

inline Material Mat(std::string name, Color c, float roughness = 0.8f, std::string texture = "", Vector3 emissive = {},
                    std::string emissiveTexture = "") {
    Material m;
    m.name = std::move(name);
    m.baseColor = c;
    m.roughness = roughness;
    m.texture = std::move(texture);
    m.emissive = emissive;
    m.emissiveTexture = std::move(emissiveTexture);
    return m;
}

struct Primitive {
    int material = 0;
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
};

// One model = one node with one mesh; every material gets its own primitive.
class Mesh {
public:
    int AddMaterial(const Material& m);
    Primitive& Prim(int material);
    const std::vector<Material>& Materials() const { return materials; }
    const std::vector<Primitive>& Primitives() const { return prims; }
    bool useColors = false;  // write COLOR_0

    // Flat polygon (convex, listed so the front face is seen clockwise).
    void Face(int mat, const std::vector<Vector3>& pts, const std::vector<Vector2>& uvs = {}, Color c = {});
    void Quad(int mat, Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector2 uv0 = {0, 0}, Vector2 uv1 = {1, 1}, Color col = {});
    // Axis-aligned box; uvScale maps world units to texture repeats (0: each face 0..1).
    void Box(int mat, Vector3 mn, Vector3 mx, float uvScale = 0.0f, bool bottom = true);
    // Box from a to b (its long axis), with the given cross-section; `up` picks the height axis.
    void Beam(int mat, Vector3 a, Vector3 b, float width, float height, Vector3 up = {0, 1, 0});
    // Cylinder between two points, smooth sides, flat caps.
    void Cylinder(int mat, Vector3 a, Vector3 b, float radius, int segments, bool caps = true, float radius2 = -1.0f);
    // Whole mesh transformed (for reusing parts).
    void Append(const Mesh& other, const Matrix& transform);

private:
    std::vector<Material> materials;
    std::vector<Primitive> prims;
};

Vector3 FaceNormal(Vector3 a, Vector3 b, Vector3 c);

}  // namespace gen
