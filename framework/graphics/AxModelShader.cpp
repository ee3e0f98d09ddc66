#include "framework/graphics/AxModelShader.h"

#include "framework/graphics/AxModel.h"
#include "framework/graphics/AxShaderManager.h"

#include <epoxy/gl.h>

#include <string>
#include <utility>

const char* const kAxCameraBlockGlsl = R"(
layout(std140, row_major) uniform cbCamera {
    mat4 g_mV;
    mat4 g_mP;
    vec3 g_CamPos;
    int g_DistanceFogEnable;
    vec3 g_DistanceFogColor;
    float g_DistanceFogDensity;
};
)";

const char* const kAxLightBlockGlsl = R"(
struct PointLight {
    vec3 color;
    float radius;
    vec3 pos;
    float tmp4;
};
layout(std140, row_major) uniform cbLight {
    vec3 g_AmbientLight;
    vec3 g_DL_Dir;
    vec3 g_DL_Color;
    PointLight g_PL[100];
    int g_PL_Num;
};
)";

namespace {
const char* const kObjectBlock = R"(
layout(std140, row_major) uniform cbObject {
    mat4 g_mW;
    vec2 g_UVOffset;
    vec2 g_UVTiling;
    int g_LightEnable;
    float g_AlphaTestThreshold;
};
)";

const char* const kMaterialBlock = R"(
layout(std140, row_major) uniform cbMaterial {
    vec4 BaseColor;
    vec3 Emissive;
    float Metallic;
    float Roughness;
};
// A zero vector stays zero, so a missing normal lights nothing.
vec3 SafeNormalize(vec3 v) {
    float l = length(v);
    return l > 0.0 ? v / l : vec3(0.0);
}
)";

const char* const kVertexMain = R"(
in vec4 POSITION;
in vec2 TEXCOORD;
in vec3 NORMAL;
in vec4 COLOR;
out vec2 vUV;
out vec3 vNormal;
out vec4 vColor;
out vec3 vWorldPos;
void main() {
    vec4 worldPos = POSITION * g_mW;
    gl_Position = worldPos * g_mV * g_mP;
#if REMAP_DEPTH
    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;
#endif
    vUV = TEXCOORD * g_UVTiling + g_UVOffset;
    vNormal = SafeNormalize(NORMAL * mat3(g_mW));
    vColor = COLOR;
    vWorldPos = worldPos.xyz;
}
)";

const char* const kPixelMain = R"(
uniform sampler2D g_baseTex;
uniform sampler2D g_emissiveTex;
uniform sampler2D g_mrTex;
in vec2 vUV;
in vec3 vNormal;
in vec4 vColor;
in vec3 vWorldPos;
out vec4 SV_Target0;
const float PI = 3.14159265;
// Materials without textures hold the device's white one, which reads 1.
#if TEXTURED
#define SAMPLE(tex) texture(tex, vUV)
#else
#define SAMPLE(tex) vec4(1.0)
#endif
#if SURFACE_MAPS
#define SAMPLE_MAP(tex) texture(tex, vUV)
#else
#define SAMPLE_MAP(tex) vec4(1.0)
#endif
void main() {
    vec4 albedo = SAMPLE(g_baseTex) * BaseColor * vColor;
#if ALPHA_TEST
    if (g_AlphaTestThreshold >= albedo.a) discard;
#endif
    vec3 toCam = g_CamPos - vWorldPos;
    float dist = length(toCam);
    vec3 color;
#if LIGHTING == 2
    bool lit = g_LightEnable != 0;
#else
    const bool lit = LIGHTING == 1;
#endif
    if (!lit) {
        color = albedo.rgb * BaseColor.a;
    } else {
        vec3 V = dist > 0.0 ? toCam / dist : vec3(0.0);
        vec3 N = SafeNormalize(vNormal);
        vec4 mr = SAMPLE_MAP(g_mrTex);
        float metallic = mr.b * Metallic;
        float roughness = mr.g * Roughness;
        vec3 diffuseColor = albedo.rgb * (1.0 - metallic);
        vec3 F0 = vec3(0.04) + metallic * (albedo.rgb - vec3(0.04));
        float specPower = exp2(13.0 * (1.0 - roughness));
        float specNorm = (specPower + 2.0) / (2.0 * PI);

        vec3 L = -g_DL_Dir;
        vec3 diffuse = clamp(dot(N, L), 0.0, 1.0) / PI * g_DL_Color * diffuseColor;
        vec3 H = SafeNormalize(V + L);
        vec3 specular = pow(clamp(dot(N, H), 0.0, 1.0), specPower) * specNorm * g_DL_Color * F0;
#if POINT_LIGHTS
        int count = min(g_PL_Num, 100);
        for (int i = 0; i < count; ++i) {
            vec3 Lvec = g_PL[i].pos - vWorldPos;
            float d = length(Lvec);
            if (d < g_PL[i].radius) {
                vec3 Lp = Lvec / d;
                float atten = clamp(1.0 - d / g_PL[i].radius, 0.0, 1.0);
                diffuse += clamp(dot(N, Lp), 0.0, 1.0) / PI * atten * g_PL[i].color * diffuseColor;
                vec3 Hp = SafeNormalize(V + Lp);
                specular += pow(clamp(dot(N, Hp), 0.0, 1.0), specPower) * specNorm * atten * g_PL[i].color * F0;
            }
        }
#endif
        vec3 ambient = albedo.rgb * g_AmbientLight;
        vec3 emissive = SAMPLE_MAP(g_emissiveTex).rgb * Emissive;
        color = (diffuse + specular + ambient + emissive) * BaseColor.a;
    }
#if FOG == 2
    bool fog = g_DistanceFogEnable != 0;
#else
    const bool fog = FOG == 1;
#endif
    if (fog) {
        float f = min(exp(-dist * g_DistanceFogDensity), 1.0);
        color = g_DistanceFogColor + f * (color - g_DistanceFogColor);
    }
    SV_Target0 = vec4(color, albedo.a);
}
)";
}  // namespace

bool AxModelShader::Init() {
    Release();
    inputLayout = {
        {"POSITION", 3, GL_FLOAT, false, 0},
        {"TEXCOORD", 2, GL_FLOAT, false, 12},
        {"NORMAL", 3, GL_FLOAT, false, 20},
        {"COLOR", 4, GL_UNSIGNED_BYTE, true, 32},
    };
    // Lighting and fog 2: as g_LightEnable and g_DistanceFogEnable say.
    if (!BuildProgram(program, "#define LIGHTING 2\n#define ALPHA_TEST 1\n#define TEXTURED 1\n#define SURFACE_MAPS 1\n"
                               "#define FOG 2\n#define POINT_LIGHTS 1\n")) {
        Release();
        return false;
    }
    if (!cb0.Create() || !cb1.Create()) {
        Release();
        return false;
    }
    return true;
}

bool AxModelShader::BuildProgram(AxShaderProgram& target, const std::string& defines) {
    const std::string common = std::string(kObjectBlock) + kAxCameraBlockGlsl + kMaterialBlock;
    const std::string vs = common + kVertexMain;
    const std::string fs = defines + common + kAxLightBlockGlsl + kPixelMain;
    return target.Build(vs.c_str(), fs.c_str(), inputLayout,
                        {{"cbObject", 0}, {"cbMaterial", 1}, {"cbCamera", 7}, {"cbLight", 8}},
                        {{"g_baseTex", 0}, {"g_emissiveTex", 1}, {"g_mrTex", 2}});
}

unsigned AxModelShader::VariantProgram(int v) {
    if (v < 0 || v >= kVariants || !program.program) return program.program;
    // Built when first drawn with: a race uses a handful of the 64, and each
    // costs the driver memory.
    if (!variantTried[v]) {
        variantTried[v] = true;
        std::string defines;
        for (const auto& [bit, name] : {std::pair{kLit, "LIGHTING"}, std::pair{kAlphaTest, "ALPHA_TEST"},
                                        std::pair{kTextured, "TEXTURED"}, std::pair{kSurfaceMaps, "SURFACE_MAPS"},
                                        std::pair{kFog, "FOG"}, std::pair{kPointLights, "POINT_LIGHTS"}})
            defines += std::string("#define ") + name + ((v & bit) ? " 1\n" : " 0\n");
        if (!BuildProgram(variants[v], defines)) variants[v].Release();
        ++builtCount;
    }
    // The general program draws the same, only slower.
    return variants[v].program ? variants[v].program : program.program;
}

void AxModelShader::Release() {
    program.Release();
    for (AxShaderProgram& variant : variants) variant.Release();
    for (bool& tried : variantTried) tried = false;
    cb0.Release();
    cb1.Release();
}

void AxModelShader::SetToDevice() {
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.SetProgram(program.program);
    device.SetInputLayout(&inputLayout);
    device.SetConstantBuffer(0, &cb0.buffer);
    device.SetConstantBuffer(1, &cb1.buffer);
}

namespace {
// The device's white texture reads 1 everywhere (an unset one reads 0).
bool IsWhite(const AxTexture* texture) {
    return texture && texture == AxDirect3D::GetInstance().whiteTex.get();
}
}  // namespace

// Scene-wide switches: the fog, and whether any point light shines.
int AxModelShader::SceneSwitches() const {
    const AxShaderManager& shaders = AxShaderManager::GetInstance();
    return (shaders.cb7Camera.data.g_DistanceFogEnable != 0 ? kFog : 0) |
           (shaders.cb8Light.data.g_PL_Num > 0 ? kPointLights : 0);
}

int AxModelShader::SubsetVariant(const AxModel& model, const AxModelNode& node, int materialNo, int lit, int scene,
                                 const Vector4& tintNow) const {
    // Without a material of its own the subset keeps the previous one's
    // (textures included), blended and alpha tested.
    if (materialNo == -1) return lit | scene | kAlphaTest | kTextured | kSurfaceMaps;
    const AxMaterial& m = model.materials[static_cast<size_t>(materialNo)];
    // Alpha 1 everywhere (texture, factor with the tint, and vertex
    // colours): the pixels come out the same unblended, and cost less.
    const bool opaque = m.baseColor[3] * tintNow.w == 1.0f && m.baseColorTex && m.baseColorTex->opaque &&
                        node.mesh->opaqueColors;
    // Alpha 1 never falls to a threshold below 1: no discard, so the
    // depth test can run before the shading.
    const bool alphaTest = !opaque || cb0.data.g_AlphaTestThreshold >= 1.0f;
    const bool textured = !IsWhite(m.baseColorTex.get());
    const bool maps = !IsWhite(m.emissiveTex.get()) || !IsWhite(m.metallicRoughnessTex.get());
    return lit | scene | (alphaTest ? kAlphaTest : 0) | (textured ? kTextured : 0) | (maps ? kSurfaceMaps : 0);
}

void AxModelShader::Prepare(const AxModel* model) {
    if (!model || !program.program) return;
    const int scene = SceneSwitches();
    const Vector4 seeThrough(1.0f, 1.0f, 1.0f, 0.5f);
    for (const AxModelNode& node : model->nodes) {
        if (!node.mesh) continue;
        for (const AxMeshSubset& subset : node.mesh->subsets) {
            if (subset.faceCount == 0) continue;
            if (subset.materialNo < -1 || (subset.materialNo >= 0 &&
                                           static_cast<size_t>(subset.materialNo) >= model->materials.size()))
                continue;
            for (int lit : {0, static_cast<int>(kLit)})
                for (const Vector4& tintNow : {Vector4(1.0f, 1.0f, 1.0f, 1.0f), seeThrough})
                    VariantProgram(SubsetVariant(*model, node, subset.materialNo, lit, scene, tintNow));
        }
    }
}

void AxModelShader::DrawModel(const AxModel* model, const std::vector<Matrix>* nodeTransforms) {
    if (!model || model->nodes.empty()) return;
    AxDirect3D& device = AxDirect3D::GetInstance();
    const int lit = cb0.data.g_LightEnable != 0 ? kLit : 0;
    const int scene = SceneSwitches();
    for (size_t i = 0; i < model->nodes.size(); ++i) {
        const AxModelNode& node = model->nodes[i];
        if (!node.mesh) continue;
        node.mesh->SetToDevice();
        const Matrix& nodeMatrix =
            nodeTransforms && i < nodeTransforms->size() ? (*nodeTransforms)[i] : node.transform;
        cb0.data.g_mW = nodeMatrix * worldMatrix;
        cb0.dirty = true;
        cb0.Write();
        for (size_t j = 0; j < node.mesh->subsets.size(); ++j) {
            const AxMeshSubset& subset = node.mesh->subsets[j];
            if (subset.faceCount == 0) continue;
            // Without a material of its own the subset keeps the previous one's
            // (textures included), blended and alpha tested.
            if (subset.materialNo == -1) {
                device.SetBlendEnabled(true);
                device.SetProgram(VariantProgram(SubsetVariant(*model, node, -1, lit, scene, tint)));
            }
            if (subset.materialNo != -1) {
                // A material number the model does not have would read past its list.
                if (subset.materialNo < 0 || static_cast<size_t>(subset.materialNo) >= model->materials.size())
                    continue;
                const AxMaterial& m = model->materials[static_cast<size_t>(subset.materialNo)];
                cb1.data.BaseColor = Vector4(m.baseColor[0] * tint.x, m.baseColor[1] * tint.y, m.baseColor[2] * tint.z,
                                               m.baseColor[3] * tint.w);
                cb1.data.Emissive = Vector3(m.emissive[0], m.emissive[1], m.emissive[2]);
                cb1.data.Metallic = m.metallic;
                cb1.data.Roughness = m.roughness;
                cb1.dirty = true;
                cb1.Write();
                device.SetShaderResource(0, m.baseColorTex ? m.baseColorTex->srv : nullptr);
                device.SetShaderResource(1, m.emissiveTex ? m.emissiveTex->srv : nullptr);
                device.SetShaderResource(2, m.metallicRoughnessTex ? m.metallicRoughnessTex->srv : nullptr);
                // Opaque (see SubsetVariant): drawn unblended, which costs less.
                device.SetBlendEnabled(!(cb1.data.BaseColor.w == 1.0f && m.baseColorTex && m.baseColorTex->opaque &&
                                         node.mesh->opaqueColors));
                device.SetProgram(VariantProgram(SubsetVariant(*model, node, subset.materialNo, lit, scene, tint)));
            }
            node.mesh->DrawSubset(static_cast<int>(j));
        }
    }
    device.SetBlendEnabled(true);
}
