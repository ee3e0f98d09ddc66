#include "framework/graphics/AxGLTFModel.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {
// Where one accessor's elements sit, after checking they all lie inside
// their buffer view and buffer.
struct AccessorView {
    const unsigned char* data = nullptr;
    size_t stride = 0;
    size_t count = 0;
    int componentType = 0;
    int componentSize = 0;
    int components = 0;
    int type = 0;
};

int ComponentSize(int componentType) {
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    default: return 0;
    }
}

bool GetAccessor(const tinygltf::Model& model, int index, AccessorView& out, std::string& why) {
    if (index < 0 || static_cast<size_t>(index) >= model.accessors.size()) {
        why = "accessor " + std::to_string(index) + " does not exist";
        return false;
    }
    const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(index)];
    why = "accessor " + std::to_string(index) + " ";
    if (a.bufferView < 0 || static_cast<size_t>(a.bufferView) >= model.bufferViews.size()) {
        why += "has no buffer view";
        return false;
    }
    const tinygltf::BufferView& bv = model.bufferViews[static_cast<size_t>(a.bufferView)];
    if (bv.buffer < 0 || static_cast<size_t>(bv.buffer) >= model.buffers.size()) {
        why += "has no buffer";
        return false;
    }
    const std::vector<unsigned char>& buffer = model.buffers[static_cast<size_t>(bv.buffer)].data;
    const int size = ComponentSize(a.componentType);
    const int components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type));
    if (size == 0 || components <= 0) {
        why += "has an unknown component type";
        return false;
    }
    const size_t elementSize = static_cast<size_t>(size) * static_cast<size_t>(components);
    const size_t stride = bv.byteStride ? bv.byteStride : elementSize;
    if (stride < elementSize) {
        why += "has a stride shorter than its elements";
        return false;
    }
    if (bv.byteOffset > buffer.size() || bv.byteLength > buffer.size() - bv.byteOffset) {
        why += "has a buffer view outside its buffer";
        return false;
    }
    out.stride = stride;
    out.count = a.count;
    out.componentType = a.componentType;
    out.componentSize = size;
    out.components = components;
    out.type = a.type;
    if (a.count == 0) return true;
    if (a.byteOffset > bv.byteLength || bv.byteLength - a.byteOffset < elementSize ||
        (a.count - 1) > (bv.byteLength - a.byteOffset - elementSize) / stride) {
        why += "reaches past its buffer view";
        return false;
    }
    out.data = buffer.data() + bv.byteOffset + a.byteOffset;
    return true;
}

// Component c of element k by its component type; normalised integer types
// scale to 0..1 (unsigned) or -1..1 (signed), other types give 0.
float ReadFloat(const AccessorView& v, size_t k, int c) {
    if (c >= v.components) return 0.0f;
    const unsigned char* p = v.data + k * v.stride + static_cast<size_t>(c) * v.componentSize;
    switch (v.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: { float f; std::memcpy(&f, p, 4); return f; }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return static_cast<float>(*p) / 255.0f;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: { uint16_t s; std::memcpy(&s, p, 2); return static_cast<float>(s) / 65535.0f; }
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        int8_t b; std::memcpy(&b, p, 1); return std::max(static_cast<float>(b) / 127.0f, -1.0f);
    }
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t s; std::memcpy(&s, p, 2); return std::max(static_cast<float>(s) / 32767.0f, -1.0f);
    }
    default: return 0.0f;
    }
}

int64_t ReadInt(const AccessorView& v, size_t k) {
    const unsigned char* p = v.data + k * v.stride;
    switch (v.componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: { int8_t b; std::memcpy(&b, p, 1); return b; }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return *p;
    case TINYGLTF_COMPONENT_TYPE_SHORT: { int16_t s; std::memcpy(&s, p, 2); return s; }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: { uint16_t s; std::memcpy(&s, p, 2); return s; }
    case TINYGLTF_COMPONENT_TYPE_INT: { int32_t i; std::memcpy(&i, p, 4); return i; }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: { uint32_t i; std::memcpy(&i, p, 4); return i; }
    default: return 0;
    }
}

std::string TextureUri(const tinygltf::Model& model, int textureIndex) {
    if (textureIndex < 0 || static_cast<size_t>(textureIndex) >= model.textures.size()) return "";
    const int source = model.textures[static_cast<size_t>(textureIndex)].source;
    if (source < 0 || static_cast<size_t>(source) >= model.images.size()) return "";
    return model.images[static_cast<size_t>(source)].uri;
}

struct GLTFPrimitive {
    std::vector<AxMeshVertex> vertices;
    std::vector<AxMeshFace> faces;
    int materialNo = 0;
    std::map<std::string, int> attributes;
};

// Checks that only ask whether a model loads keep standard output clean.
thread_local int quietDepth = 0;

template <class... Args>
void Say(const char* format, Args... args) {
    if (quietDepth != 0) return;
    if constexpr (sizeof...(Args) == 0) std::fputs(format, stdout);
    else std::printf(format, args...);
}

void Warn(const std::string& text) { Say("Warn: %s\n", text.c_str()); }

bool FindAttribute(const tinygltf::Model& model, const tinygltf::Primitive& prim, const char* name,
                   size_t vertexCount, AccessorView& view, bool& present, std::string& why) {
    present = false;
    const auto it = prim.attributes.find(name);
    if (it == prim.attributes.end()) return true;
    if (!GetAccessor(model, it->second, view, why)) return false;
    if (view.count < vertexCount) {
        why = std::string(name) + " has fewer elements than POSITION";
        return false;
    }
    present = true;
    return true;
}

// Reads one triangle primitive; false (with the reason) when its data does not fit.
bool ReadPrimitive(const tinygltf::Model& model, const tinygltf::Primitive& prim, GLTFPrimitive& out,
                   std::string& why) {
    const auto pos = prim.attributes.find("POSITION");
    if (pos == prim.attributes.end()) {
        why = "no POSITION";
        return false;
    }
    AccessorView positions;
    if (!GetAccessor(model, pos->second, positions, why)) return false;
    const size_t vertexCount = positions.count;
    if (vertexCount > std::numeric_limits<uint32_t>::max()) {
        why = "too many vertices";
        return false;
    }
    AccessorView normals, uvs, colours;
    bool hasNormal = false, hasUV = false, hasColour = false;
    if (!FindAttribute(model, prim, "NORMAL", vertexCount, normals, hasNormal, why) ||
        !FindAttribute(model, prim, "TEXCOORD_0", vertexCount, uvs, hasUV, why) ||
        !FindAttribute(model, prim, "COLOR_0", vertexCount, colours, hasColour, why))
        return false;

    AccessorView indices;
    const bool indexed = prim.indices >= 0;
    if (indexed) {
        if (!GetAccessor(model, prim.indices, indices, why)) return false;
        for (size_t k = 0; k < indices.count / 3 * 3; ++k) {
            const int64_t index = ReadInt(indices, k);
            if (index < 0 || static_cast<uint64_t>(index) >= vertexCount) {
                why = "index " + std::to_string(index) + " is outside its " + std::to_string(vertexCount) + " vertices";
                return false;
            }
        }
    }

    out.vertices.resize(vertexCount);
    for (size_t k = 0; k < vertexCount; ++k) {
        AxMeshVertex& v = out.vertices[k];
        v.position = {ReadFloat(positions, k, 0), ReadFloat(positions, k, 1), -ReadFloat(positions, k, 2)};
        if (hasNormal) v.normal = {ReadFloat(normals, k, 0), ReadFloat(normals, k, 1), -ReadFloat(normals, k, 2)};
        if (hasUV) v.uv = {ReadFloat(uvs, k, 0), ReadFloat(uvs, k, 1)};
        if (hasColour && (colours.type == TINYGLTF_TYPE_VEC3 || colours.type == TINYGLTF_TYPE_VEC4)) {
            float rgba[4] = {ReadFloat(colours, k, 0), ReadFloat(colours, k, 1), ReadFloat(colours, k, 2), 1.0f};
            if (colours.type == TINYGLTF_TYPE_VEC4) rgba[3] = ReadFloat(colours, k, 3);
            uint32_t packed = 0;
            for (int c = 0; c < 4; ++c) {
                const float f = std::clamp(rgba[c], 0.0f, 1.0f);  // NaN stays out of range below
                const uint32_t byte = f >= 0.0f && f <= 1.0f ? static_cast<uint32_t>(f * 255.0f) : 0u;
                packed |= byte << (8 * c);
            }
            v.color = packed;
        }
    }
    const size_t faceCount = (indexed ? indices.count : vertexCount) / 3;
    out.faces.resize(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        uint32_t i0, i1, i2;
        if (indexed) {
            i0 = static_cast<uint32_t>(ReadInt(indices, 3 * f));
            i1 = static_cast<uint32_t>(ReadInt(indices, 3 * f + 1));
            i2 = static_cast<uint32_t>(ReadInt(indices, 3 * f + 2));
        } else {
            i0 = static_cast<uint32_t>(3 * f);
            i1 = static_cast<uint32_t>(3 * f + 1);
            i2 = static_cast<uint32_t>(3 * f + 2);
        }
        // The Z flip mirrors the triangles; swapping two corners keeps them facing out.
        out.faces[f].idx[0] = i0;
        out.faces[f].idx[1] = i2;
        out.faces[f].idx[2] = i1;
    }
    out.attributes = prim.attributes;
    return true;
}

// The parser recurses once per nesting level of "extras" and "extensions"
// values, so a file of nothing but brackets overflows the stack. No model
// needs more than a handful of levels.
constexpr int kMaxJsonDepth = 64;
// Far beyond any model of the game.
constexpr size_t kMaxModelBytes = 512u << 20;

bool JsonNestsTooDeep(const unsigned char* text, size_t size) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = text[i];
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

// The JSON of a .glb is its first chunk (12-byte header, then length and type).
bool GlbJsonNestsTooDeep(const std::vector<unsigned char>& bytes) {
    if (bytes.size() < 20) return false;  // too short for the parser to accept
    const size_t length = static_cast<size_t>(bytes[12]) | static_cast<size_t>(bytes[13]) << 8 |
                          static_cast<size_t>(bytes[14]) << 16 | static_cast<size_t>(bytes[15]) << 24;
    return JsonNestsTooDeep(bytes.data() + 20, std::min(length, bytes.size() - 20));
}

// Read here rather than by the parser, so the text can be checked before it
// is parsed.
bool ReadModelFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& why) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        why = "cannot open " + path;
        return false;
    }
    unsigned char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kMaxModelBytes)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) why = "cannot read " + path;
    else if (bytes.empty()) why = path + " is empty";
    else if (bytes.size() > kMaxModelBytes) why = path + " is too large";
    else return true;
    return false;
}

// Images are loaded by the model itself, beside the file: skip decoding here.
bool SkipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
    return true;
}
}  // namespace

std::string AxGetDirFromPath(const std::string& path) {
    const size_t back = path.rfind('\\');
    const size_t slash = path.rfind('/');
    size_t last = std::string::npos;
    if (back != std::string::npos) last = back;
    if (slash != std::string::npos && (last == std::string::npos || slash > last)) last = slash;
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::shared_ptr<AxGLTFModel> AxLoadGLTFModel(const std::string& path) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(SkipImage, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    const size_t dot = path.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    // Where the parser looks for external buffers, as it does when it opens the file itself.
    const size_t separator = path.find_last_of("/\\");
    const std::string baseDir = separator == std::string::npos ? std::string() : path.substr(0, separator);
    const bool binary = ext == "glb";
    Say("%s\n", binary ? "Reading binary glTF" : "Reading ASCII glTF");
    std::vector<unsigned char> bytes;
    bool ok = ReadModelFile(path, bytes, err);
    if (ok && (binary ? GlbJsonNestsTooDeep(bytes) : JsonNestsTooDeep(bytes.data(), bytes.size()))) {
        err = "JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
        ok = false;
    }
    if (ok) {
        const unsigned int size = static_cast<unsigned int>(bytes.size());
        ok = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, bytes.data(), size, baseDir)
                    : loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(bytes.data()),
                                                 size, baseDir);
    }
    if (!warn.empty()) Say("Warn: %s\n", warn.c_str());
    if (!err.empty()) Say("Err: %s\n", err.c_str());
    if (!ok) {
        Say("Failed to parse glTF\n");
        std::fflush(stdout);
        return nullptr;
    }

    auto result = std::make_shared<AxGLTFModel>();
    for (const tinygltf::Material& m : model.materials) {
        AxGLTFMaterial mat;
        mat.name = m.name;
        const tinygltf::PbrMetallicRoughness& pbr = m.pbrMetallicRoughness;
        if (pbr.baseColorFactor.size() == 4)
            for (int c = 0; c < 4; ++c) mat.baseColor[c] = static_cast<float>(pbr.baseColorFactor[c]);
        mat.metallic = static_cast<float>(pbr.metallicFactor);
        mat.roughness = static_cast<float>(pbr.roughnessFactor);
        if (m.emissiveFactor.size() == 3)
            for (int c = 0; c < 3; ++c) mat.emissive[c] = static_cast<float>(m.emissiveFactor[c]);
        mat.baseColorTexture = TextureUri(model, pbr.baseColorTexture.index);
        mat.metallicRoughnessTexture = TextureUri(model, pbr.metallicRoughnessTexture.index);
        mat.emissiveTexture = TextureUri(model, m.emissiveTexture.index);
        result->materials.push_back(std::move(mat));
    }
    if (result->materials.empty()) result->materials.emplace_back();

    for (size_t i = 0; i < model.nodes.size(); ++i) result->nodes.push_back(std::make_shared<AxGLTFNode>());
    for (size_t i = 0; i < model.nodes.size(); ++i) {
        const tinygltf::Node& src = model.nodes[i];
        AxGLTFNode& node = *result->nodes[i];
        node.name = src.name;
        Matrix s, r, t;
        if (src.scale.size() >= 3)
            s = Matrix::CreateScale(static_cast<float>(src.scale[0]), static_cast<float>(src.scale[1]),
                                    static_cast<float>(src.scale[2]));
        if (src.rotation.size() >= 4)
            r = Matrix::CreateFromQuaternion({static_cast<float>(src.rotation[0]), static_cast<float>(src.rotation[1]),
                                              static_cast<float>(src.rotation[2]), static_cast<float>(src.rotation[3])});
        if (src.translation.size() >= 3)
            t = Matrix::CreateTranslation(static_cast<float>(src.translation[0]), static_cast<float>(src.translation[1]),
                                          static_cast<float>(src.translation[2]));
        if (src.matrix.size() == 16)
            for (int e = 0; e < 16; ++e) s.m[e / 4][e % 4] = static_cast<float>(src.matrix[static_cast<size_t>(e)]);
        Matrix local = s * r * t;
        local.m[0][2] = -local.m[0][2];
        local.m[1][2] = -local.m[1][2];
        local.m[2][0] = -local.m[2][0];
        local.m[2][1] = -local.m[2][1];
        local.m[3][2] = -local.m[3][2];
        node.localTransform = local;
        node.isMesh = src.mesh >= 0;
        if (node.isMesh && static_cast<size_t>(src.mesh) >= model.meshes.size()) {
            Warn("node " + std::to_string(i) + " names mesh " + std::to_string(src.mesh) + ", which does not exist");
            node.isMesh = false;
        }
    }

    for (size_t i = 0; i < model.nodes.size(); ++i) {
        AxGLTFNode& node = *result->nodes[i];
        if (!node.isMesh) continue;
        const int meshIndex = model.nodes[i].mesh;
        const tinygltf::Mesh& mesh = model.meshes[static_cast<size_t>(meshIndex)];
        std::vector<std::shared_ptr<GLTFPrimitive>> prims;
        for (size_t p = 0; p < mesh.primitives.size(); ++p) {
            const tinygltf::Primitive& prim = mesh.primitives[p];
            if (prim.mode != TINYGLTF_MODE_TRIANGLES) continue;
            auto out = std::make_shared<GLTFPrimitive>();
            out->materialNo = prim.material < 1 ? 0 : prim.material;
            if (static_cast<size_t>(out->materialNo) >= result->materials.size()) {
                Warn("mesh " + std::to_string(meshIndex) + " primitive " + std::to_string(p) + " names material " +
                     std::to_string(prim.material) + ", which does not exist; using material 0");
                out->materialNo = 0;
            }
            std::string why;
            if (!ReadPrimitive(model, prim, *out, why)) {
                Warn("mesh " + std::to_string(meshIndex) + " primitive " + std::to_string(p) + " skipped: " + why);
                continue;
            }
            prims.push_back(std::move(out));
        }
        std::stable_sort(prims.begin(), prims.end(),
                         [](const auto& a, const auto& b) { return a->materialNo < b->materialNo; });
        uint32_t faceStart = 0;
        for (const auto& prim : prims) {
            const size_t base = node.vertices.size();
            if (base + prim->vertices.size() > std::numeric_limits<uint32_t>::max() ||
                node.faces.size() + prim->faces.size() > std::numeric_limits<uint32_t>::max() / 3) {
                Warn("mesh " + std::to_string(meshIndex) + " is too large; the rest is skipped");
                break;
            }
            node.vertices.insert(node.vertices.end(), prim->vertices.begin(), prim->vertices.end());
            for (AxMeshFace f : prim->faces) {
                for (uint32_t& index : f.idx) index += static_cast<uint32_t>(base);
                node.faces.push_back(f);
            }
            AxMeshSubset subset;
            subset.materialNo = prim->materialNo;
            subset.faceCount = static_cast<uint32_t>(prim->faces.size());
            subset.faceStart = faceStart;
            faceStart += subset.faceCount;
            node.subsets.push_back(subset);
        }
    }
    std::fflush(stdout);
    return result;
}

AxGLTFQuiet::AxGLTFQuiet() { ++quietDepth; }
AxGLTFQuiet::~AxGLTFQuiet() { --quietDepth; }
