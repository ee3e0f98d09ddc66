// vorlan-modelinfo [--render OUT.png [--yaw DEG]] FILE
// Runs the model loader's first stage on FILE and prints one JSON object as
// the last line of standard output; with --render it also draws the model
// with the game's own model program and race lighting, 640 x 480, offscreen.

#include "framework/ImageWrite.h"
#include "framework/Math.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxGLTFModel.h"
#include "framework/graphics/AxModel.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
using json = nlohmann::ordered_json;

json Floats(const float* values, int count) {
    json array = json::array();
    for (int i = 0; i < count; ++i) array.push_back(static_cast<double>(values[i]));
    return array;
}

json Describe(const std::string& file, const AxGLTFModel& model) {
    json out = {{"file", file}, {"ok", true}};
    json nodes = json::array();
    for (const auto& node : model.nodes) {
        json n = {{"name", node->name}, {"transform", Floats(&node->localTransform.m[0][0], 16)}};
        if (!node->isMesh) {
            n["mesh"] = nullptr;
        } else {
            float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
            if (!node->vertices.empty()) {
                for (int c = 0; c < 3; ++c) lo[c] = FLT_MAX, hi[c] = -FLT_MAX;
                for (const AxMeshVertex& v : node->vertices) {
                    const float p[3] = {v.position.x, v.position.y, v.position.z};
                    for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], p[c]), hi[c] = std::max(hi[c], p[c]);
                }
            }
            json subsets = json::array();
            for (const AxMeshSubset& s : node->subsets)
                subsets.push_back({{"materialNo", s.materialNo}, {"faceStart", s.faceStart}, {"faceCount", s.faceCount}});
            n["mesh"] = {{"vertices", node->vertices.size()}, {"faces", node->faces.size()}, {"subsets", subsets},
                         {"min", Floats(lo, 3)}, {"max", Floats(hi, 3)}};
        }
        nodes.push_back(n);
    }
    out["nodes"] = nodes;
    json materials = json::array();
    for (const AxGLTFMaterial& m : model.materials) {
        materials.push_back({{"name", m.name},
                             {"baseColor", Floats(m.baseColor, 4)},
                             {"metallic", static_cast<double>(m.metallic)},
                             {"roughness", static_cast<double>(m.roughness)},
                             {"emissive", Floats(m.emissive, 3)},
                             {"baseColorTexture", m.baseColorTexture},
                             {"metallicRoughnessTexture", m.metallicRoughnessTexture},
                             {"emissiveTexture", m.emissiveTexture}});
    }
    out["materials"] = materials;
    return out;
}

bool Render(const std::string& file, const std::string& outPath, float yawDegrees, std::string& error) {
    constexpr int kWidth = 640, kHeight = 480;
    SetHeadless(true);
    void* window = WindowBackend::Create(kWidth, kHeight, "vorlan-modelinfo", error);
    if (!window) return false;
    AxDirect3D& device = AxDirect3D::GetInstance();
    bool ok = device.Init(window, kWidth, kHeight, false, error);
    if (ok) {
        AxShaderManager& shaders = AxShaderManager::GetInstance();
        shaders.Init();
        {
            AxModel model;
            model.Load(file);
            const Matrix world = Matrix::CreateRotationY(yawDegrees * kDegToRad);

            // Fit a sphere around every drawn vertex, as the model program places them.
            Vector3 lo(FLT_MAX, FLT_MAX, FLT_MAX), hi(-FLT_MAX, -FLT_MAX, -FLT_MAX);
            bool any = false;
            for (const AxModelNode& node : model.nodes) {
                if (!node.mesh) continue;
                const Matrix m = node.transform * world;
                for (const Vector3& p : node.mesh->positions) {
                    const Vector3 q = Vector3::Transform(p, m);
                    if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) continue;
                    lo = {std::min(lo.x, q.x), std::min(lo.y, q.y), std::min(lo.z, q.z)};
                    hi = {std::max(hi.x, q.x), std::max(hi.y, q.y), std::max(hi.z, q.z)};
                    any = true;
                }
            }
            Vector3 centre;
            float radius = 1.0f;
            if (any) {
                centre = (lo + hi) * 0.5f;
                radius = std::max((hi - lo).Length() * 0.5f, 1e-3f);
            }
            // Front right, from above: the bike's +Z faces the viewer.
            const Vector3 direction = Vector3(1.0f, 0.75f, 1.0f).Normalized();
            const float distance = radius / std::sin(30.0f * kDegToRad) * 1.1f;
            const Vector3 eye = centre + direction * distance;
            cbCamera& camera = shaders.cb7Camera.data;
            camera.g_mV = Matrix::LookAtLH(eye, centre, Vector3(0, 1, 0));
            camera.g_mP = Matrix::PerspectiveFovLH(60.0f * kDegToRad, static_cast<float>(kWidth) / kHeight,
                                                   distance * 0.01f, distance + radius * 4.0f);
            camera.g_CamPos = eye;
            shaders.cb7Camera.dirty = true;
            shaders.cb7Camera.Write();
            cbLight& light = shaders.cb8Light.data;
            light.g_AmbientLight = Vector3(0.6f, 0.6f, 0.6f);
            light.g_DL_Dir = Vector3(0.0f, -1.0f, 0.3f).Normalized();
            light.g_DL_Color = Vector3(3.0f, 3.0f, 3.0f);
            shaders.cb8Light.dirty = true;
            shaders.cb8Light.Write();

            device.ClearBackBuffer(0.45f, 0.5f, 0.55f, 1.0f);
            device.ClearDepthStencil(1.0f, 0);
            shaders.modelShader.SetToDevice();
            shaders.modelShader.worldMatrix = world;
            shaders.modelShader.DrawModel(&model);

            std::vector<uint8_t> pixels;
            int w = 0, h = 0;
            ok = device.ReadBackBuffer(pixels, w, h) && WritePng(outPath, w, h, pixels.data());
            if (!ok) error = "cannot write " + outPath;
        }
        shaders.Release();
    }
    device.Release();
    WindowBackend::Destroy(window);
    return ok;
}

int Usage() {
    std::fprintf(stderr, "usage: vorlan-modelinfo [--render OUT.png [--yaw DEG]] FILE\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    std::string file, renderPath;
    float yaw = 0.0f;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--render" && i + 1 < argc) {
            renderPath = argv[++i];
        } else if (arg == "--yaw" && i + 1 < argc) {
            char* end = nullptr;
            yaw = std::strtof(argv[++i], &end);
            if (!end || *end != '\0' || !std::isfinite(yaw)) return Usage();
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return Usage();
        } else if (file.empty()) {
            file = arg;
        } else {
            return Usage();
        }
    }
    if (file.empty()) return Usage();

    std::shared_ptr<AxGLTFModel> model = AxLoadGLTFModel(file);
    if (!model) {
        std::printf("%s\n", json({{"file", file}, {"ok", false}}).dump().c_str());
        return 1;
    }
    const std::string line = Describe(file, *model).dump(-1, ' ', false, json::error_handler_t::replace);
    model.reset();
    if (!renderPath.empty()) {
        std::string error;
        if (!Render(file, renderPath, yaw, error)) {
            std::fprintf(stderr, "vorlan-modelinfo: %s\n", error.c_str());
            std::printf("%s\n", line.c_str());
            return 3;
        }
    }
    std::printf("%s\n", line.c_str());
    return 0;
}
