#pragma once
// Draws AxModels: per node the world matrix, per subset the material and its
// three textures, lit by the shared camera and light buffers.

#include "framework/Math.h"
#include "framework/graphics/AxConstantBuffer.h"
#include "framework/graphics/AxShaderProgram.h"

#include <cstddef>
#include <string>
#include <vector>

class AxModel;
struct AxModelNode;

struct cbObject {
    Matrix g_mW;
    Vector2 g_UVOffset{0.0f, 0.0f};
    Vector2 g_UVTiling{1.0f, 1.0f};
    int g_LightEnable = 1;
    float g_AlphaTestThreshold = 0.0f;
    float pad[2] = {0, 0};
};
static_assert(sizeof(cbObject) == 96 && offsetof(cbObject, g_UVOffset) == 64 && offsetof(cbObject, g_UVTiling) == 72 &&
              offsetof(cbObject, g_LightEnable) == 80 && offsetof(cbObject, g_AlphaTestThreshold) == 84);

struct cbMaterial {
    Vector4 BaseColor;
    Vector3 Emissive;
    float Metallic = 0.0f;
    float Roughness = 0.0f;
    float pad[3] = {0, 0, 0};
};
static_assert(sizeof(cbMaterial) == 48 && offsetof(cbMaterial, Emissive) == 16 && offsetof(cbMaterial, Metallic) == 28 &&
              offsetof(cbMaterial, Roughness) == 32);

class AxModelShader {
public:
    bool Init();
    void Release();
    // Program, vertex layout and the object/material buffers (slots 0 and 1).
    void SetToDevice();
    // nodeTransforms, when given, replaces the transforms of the first nodes.
    void DrawModel(const AxModel* model, const std::vector<Matrix>* nodeTransforms = nullptr);

    // Lighting, fog and point lights as g_LightEnable, g_DistanceFogEnable and
    // g_PL_Num say, alpha test on, textures sampled: the program SetToDevice binds.
    AxShaderProgram program;
    // The same with each switch fixed when built, chosen per subset by
    // DrawModel: a software rasteriser pays for both sides of a branch, a
    // program that may discard shades pixels before it can trust the depth
    // test, and a material need not sample the white textures it lacks (the
    // base colour map, and the metal/roughness and glow maps apart), nor
    // work out a distance fog that is off or point lights there are none of
    // (a loop runs its body once even when it has nothing to do).
    enum { kLit = 1, kAlphaTest = 2, kTextured = 4, kSurfaceMaps = 8, kFog = 16, kPointLights = 32, kVariants = 64 };
    // The variant's program, built the first time it is asked for; the
    // general one when it cannot be built.
    unsigned VariantProgram(int v);
    // Builds every variant the model's subsets may be drawn with (lit or
    // not, plain or tinted see-through, in the scene's fog and lights as they
    // stand), so that none is built mid-race: a driver's compile is a hitch.
    void Prepare(const AxModel* model);
    // Variant programs built so far (measurement: --stats).
    int BuiltCount() const { return builtCount; }
    AxInputLayout inputLayout;
    Matrix worldMatrix;
    // Multiplies every material's base colour (alpha included): a see-through
    // model is drawn with a tint below one. White leaves materials as they are.
    Vector4 tint{1.0f, 1.0f, 1.0f, 1.0f};
    AxConstantBuffer<cbObject> cb0;
    AxConstantBuffer<cbMaterial> cb1;

private:
    // defines: the pixel program's switches, one #define line each.
    bool BuildProgram(AxShaderProgram& target, const std::string& defines);
    // The variant a subset is drawn with (see DrawModel).
    int SubsetVariant(const AxModel& model, const AxModelNode& node, int materialNo, int lit, int scene,
                      const Vector4& tintNow) const;
    int SceneSwitches() const;
    AxShaderProgram variants[kVariants];
    int builtCount = 0;
    bool variantTried[kVariants] = {};
};

// GLSL declarations of the shared camera and light blocks.
extern const char* const kAxCameraBlockGlsl;
extern const char* const kAxLightBlockGlsl;
