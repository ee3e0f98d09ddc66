#pragma once
// Small glTF files built in code: a binary buffer embedded as base64 and the
// JSON around it.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class GltfBuilder {
public:
    // Appends raw values to the buffer (4-byte aligned) and returns the offset.
    template <class T>
    size_t Append(const std::vector<T>& values) {
        while (bytes.size() % 4) bytes.push_back(0);
        const size_t offset = bytes.size();
        bytes.resize(offset + values.size() * sizeof(T));
        std::memcpy(bytes.data() + offset, values.data(), values.size() * sizeof(T));
        return offset;
    }
    int View(size_t offset, size_t length, size_t stride = 0) {
        nlohmann::json v = {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}};
        if (stride) v["byteStride"] = stride;
        doc["bufferViews"].push_back(v);
        return static_cast<int>(doc["bufferViews"].size()) - 1;
    }
    int Accessor(int view, size_t byteOffset, int componentType, size_t count, const char* type,
                 bool normalized = false) {
        nlohmann::json a = {{"bufferView", view}, {"byteOffset", byteOffset}, {"componentType", componentType},
                            {"count", count}, {"type", type}};
        if (normalized) a["normalized"] = true;
        doc["accessors"].push_back(a);
        return static_cast<int>(doc["accessors"].size()) - 1;
    }
    // Float VEC3 positions in their own view.
    int Positions(const std::vector<float>& xyz) {
        const size_t offset = Append(xyz);
        return Accessor(View(offset, xyz.size() * 4), 0, 5126, xyz.size() / 3, "VEC3");
    }
    int Indices(const std::vector<uint16_t>& indices) {
        const size_t offset = Append(indices);
        return Accessor(View(offset, indices.size() * 2), 0, 5123, indices.size(), "SCALAR");
    }
    std::string Text() {
        nlohmann::json out = doc;
        out["asset"] = {{"version", "2.0"}};
        if (!bytes.empty())
            out["buffers"] = nlohmann::json::array(
                {{{"byteLength", bytes.size()}, {"uri", "data:application/octet-stream;base64," + Base64(bytes)}}});
        return out.dump(1);
    }
    // The same model as a binary file: JSON chunk, then the buffer as BIN chunk.
    std::string Binary() {
        nlohmann::json out = doc;
        out["asset"] = {{"version", "2.0"}};
        std::vector<uint8_t> bin = bytes;
        while (bin.size() % 4) bin.push_back(0);
        if (!bin.empty()) out["buffers"] = nlohmann::json::array({{{"byteLength", bytes.size()}}});
        std::string json = out.dump();
        while (json.size() % 4) json += ' ';
        std::string glb;
        auto u32 = [&glb](uint32_t v) { glb.append(reinterpret_cast<const char*>(&v), 4); };
        u32(0x46546C67);
        u32(2);
        u32(static_cast<uint32_t>(12 + 8 + json.size() + (bin.empty() ? 0 : 8 + bin.size())));
        u32(static_cast<uint32_t>(json.size()));
        u32(0x4E4F534A);
        glb += json;
        if (!bin.empty()) {
            u32(static_cast<uint32_t>(bin.size()));
            u32(0x004E4942);
            glb.append(reinterpret_cast<const char*>(bin.data()), bin.size());
        }
        return glb;
    }
    static std::string Base64(const std::vector<uint8_t>& data) {
        static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (size_t i = 0; i < data.size(); i += 3) {
            uint32_t n = static_cast<uint32_t>(data[i]) << 16;
            if (i + 1 < data.size()) n |= static_cast<uint32_t>(data[i + 1]) << 8;
            if (i + 2 < data.size()) n |= data[i + 2];
            out += table[(n >> 18) & 63];
            out += table[(n >> 12) & 63];
            out += i + 1 < data.size() ? table[(n >> 6) & 63] : '=';
            out += i + 2 < data.size() ? table[n & 63] : '=';
        }
        return out;
    }

    nlohmann::json doc = nlohmann::json::object();
    std::vector<uint8_t> bytes;
};
