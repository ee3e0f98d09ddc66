#include "model/GltfWriter.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>

namespace gen {
namespace {

using nlohmann::json;

struct BufferBuilder {
    std::vector<uint8_t> bytes;
    json views = json::array();
    json accessors = json::array();

    int Add(const void* data, size_t size, int target) {
        while (bytes.size() % 4) bytes.push_back(0);
        json view = {{"buffer", 0}, {"byteOffset", bytes.size()}, {"byteLength", size}, {"target", target}};
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        views.push_back(view);
        return int(views.size()) - 1;
    }
    int Accessor(int view, int componentType, size_t count, const char* type, json extra = json::object()) {
        json a = {{"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
        for (auto& [k, v] : extra.items()) a[k] = v;
        accessors.push_back(a);
        return int(accessors.size()) - 1;
    }
};

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

}  // namespace

bool WriteGltf(const std::filesystem::path& path, const Mesh& mesh) {
    BufferBuilder buf;
    json primitives = json::array();
    for (const Primitive& prim : mesh.Primitives()) {
        if (prim.vertices.empty() || prim.indices.size() < 3) continue;
        std::vector<float> pos, nrm, uv, col;
        float mn[3] = {1e30f, 1e30f, 1e30f}, mx[3] = {-1e30f, -1e30f, -1e30f};
        for (const Vertex& v : prim.vertices) {
            const float p[3] = {v.position.x, v.position.y, -v.position.z};
            for (int k = 0; k < 3; ++k) {
                pos.push_back(p[k]);
                mn[k] = std::min(mn[k], p[k]);
                mx[k] = std::max(mx[k], p[k]);
            }
            Vector3 n = v.normal.Normalized();
            if (n.LengthSquared() < 0.5f) n = {0, 1, 0};
            nrm.insert(nrm.end(), {n.x, n.y, -n.z});
            uv.insert(uv.end(), {v.uv.x, v.uv.y});
            col.insert(col.end(), {Clamp01(v.color.r), Clamp01(v.color.g), Clamp01(v.color.b), Clamp01(v.color.a)});
        }
        std::vector<uint32_t> idx;
        idx.reserve(prim.indices.size());
        for (size_t k = 0; k + 2 < prim.indices.size(); k += 3) {
            idx.push_back(prim.indices[k]);
            idx.push_back(prim.indices[k + 2]);
            idx.push_back(prim.indices[k + 1]);
        }
        const size_t n = prim.vertices.size();
        json attrs;
        attrs["POSITION"] = buf.Accessor(buf.Add(pos.data(), pos.size() * 4, 34962), 5126, n, "VEC3",
                                         {{"min", {mn[0], mn[1], mn[2]}}, {"max", {mx[0], mx[1], mx[2]}}});
        attrs["NORMAL"] = buf.Accessor(buf.Add(nrm.data(), nrm.size() * 4, 34962), 5126, n, "VEC3");
        attrs["TEXCOORD_0"] = buf.Accessor(buf.Add(uv.data(), uv.size() * 4, 34962), 5126, n, "VEC2");
        if (mesh.useColors)
            attrs["COLOR_0"] = buf.Accessor(buf.Add(col.data(), col.size() * 4, 34962), 5126, n, "VEC4");
        const int indices = buf.Accessor(buf.Add(idx.data(), idx.size() * 4, 34963), 5125, idx.size(), "SCALAR");
        primitives.push_back({{"attributes", attrs}, {"indices", indices}, {"material", prim.material}, {"mode", 4}});
    }

    json materials = json::array(), textures = json::array(), images = json::array();
    for (const Material& m : mesh.Materials()) {
        json pbr = {{"baseColorFactor", {m.baseColor.r, m.baseColor.g, m.baseColor.b, m.baseColor.a}},
                    {"metallicFactor", m.metallic},
                    {"roughnessFactor", m.roughness}};
        auto textureIndex = [&](const std::string& uri) {
            for (size_t i = 0; i < images.size(); ++i)
                if (images[i]["uri"] == uri) return int(i);
            images.push_back({{"uri", uri}});
            textures.push_back({{"sampler", 0}, {"source", int(images.size()) - 1}});
            return int(images.size()) - 1;
        };
        if (!m.texture.empty()) pbr["baseColorTexture"] = {{"index", textureIndex(m.texture)}};
        json mat = {{"name", m.name}, {"pbrMetallicRoughness", pbr}, {"doubleSided", true}};
        if (m.emissive.LengthSquared() > 0) mat["emissiveFactor"] = {m.emissive.x, m.emissive.y, m.emissive.z};
        if (!m.emissiveTexture.empty()) mat["emissiveTexture"] = {{"index", textureIndex(m.emissiveTexture)}};
        if (m.baseColor.a < 1.0f) mat["alphaMode"] = "BLEND";
        materials.push_back(mat);
    }

    const std::string binName = path.stem().string() + ".bin";
    json doc;
    doc["asset"] = {{"version", "2.0"}, {"generator", "vorlan-datagen"}};
    doc["scene"] = 0;
    doc["scenes"] = json::array({{{"nodes", {0}}}});
    doc["nodes"] = json::array({{{"name", path.stem().string()}, {"mesh", 0}}});
    doc["meshes"] = json::array({{{"name", path.stem().string()}, {"primitives", primitives}}});
    doc["materials"] = materials;
    if (!images.empty()) {
        doc["images"] = images;
        doc["textures"] = textures;
        doc["samplers"] = json::array({{{"magFilter", 9729}, {"minFilter", 9729}, {"wrapS", 10497}, {"wrapT", 10497}}});
    }
    doc["buffers"] = json::array({{{"uri", binName}, {"byteLength", buf.bytes.size()}}});
    doc["bufferViews"] = buf.views;
    doc["accessors"] = buf.accessors;

    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream bin(path.parent_path() / binName, std::ios::binary);
    bin.write(reinterpret_cast<const char*>(buf.bytes.data()), std::streamsize(buf.bytes.size()));
    std::ofstream out(path);
    out << doc.dump(1) << "\n";
    return bool(bin) && bool(out);
}

}  // namespace gen
