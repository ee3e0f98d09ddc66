#include "GraphicsTestSupport.h"

#include "framework/graphics/AxModel.h"

#include <epoxy/gl.h>

#include <cmath>
#include <memory>

namespace {
// GL's own view of a block: its size and the offset of each named member.
GLint BlockSize(GLuint program, const char* block) {
    const GLuint index = glGetUniformBlockIndex(program, block);
    if (index == GL_INVALID_INDEX) return -1;
    GLint size = -1;
    glGetActiveUniformBlockiv(program, index, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
    return size;
}
GLint Offset(GLuint program, const char* name) {
    GLuint index = GL_INVALID_INDEX;
    glGetUniformIndices(program, 1, &name, &index);
    if (index == GL_INVALID_INDEX) return -1;
    GLint offset = -1;
    glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_OFFSET, &offset);
    return offset;
}

// A flat quad facing the default camera (which looks along +Z from z = -5).
std::unique_ptr<AxModel> Quad(float x0, float y0, float x1, float y1, float z, float r, float g, float b, float a) {
    auto model = std::make_unique<AxModel>();
    std::vector<AxMeshVertex> v(4);
    const float xs[4] = {x0, x0, x1, x1}, ys[4] = {y0, y1, y1, y0};
    for (int i = 0; i < 4; ++i) {
        v[i].position = {xs[i], ys[i], z};
        v[i].normal = {0, 0, -1};
        v[i].uv = {0.5f, 0.5f};
    }
    std::vector<AxMeshFace> faces(2);
    faces[0].idx[0] = 0, faces[0].idx[1] = 1, faces[0].idx[2] = 2;
    faces[1].idx[0] = 0, faces[1].idx[1] = 2, faces[1].idx[2] = 3;
    std::vector<AxMeshSubset> subsets(1);
    subsets[0].materialNo = 0;
    subsets[0].faceCount = 2;
    model->materials.resize(1);
    const float colour[4] = {r, g, b, a};
    for (int c = 0; c < 4; ++c) model->materials[0].baseColor[c] = colour[c];
    model->nodes.resize(1);
    model->nodes[0].mesh = std::make_shared<AxMesh>();
    model->nodes[0].mesh->Create(v, faces, subsets);
    return model;
}

// A one-texel texture of the given colour; null when it cannot be made.
std::shared_ptr<AxTexture> OneTexel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t texel[4] = {r, g, b, a};
    AxSubresourceData data;
    data.pSysMem = texel;
    data.SysMemPitch = 4;
    auto texture = std::make_shared<AxTexture>();
    return texture->Create(1, 1, AxFormat::R8G8B8A8_UNORM, 1, &data) ? texture : nullptr;
}

class ShaderTest : public GraphicsTest {
public:
    void SetUp() override {
        GraphicsTest::SetUp();
        AxShaderManager& s = AxShaderManager::GetInstance();
        s.cb7Camera.data.g_CamPos = {0, 0, -5};
        s.cb7Camera.dirty = true;
        s.cb7Camera.Write();
    }
    void Draw(const AxModel& model, const Matrix& world = Matrix(), const std::vector<Matrix>* nodes = nullptr) {
        AxShaderManager& s = AxShaderManager::GetInstance();
        s.cb7Camera.Write();
        s.cb8Light.Write();
        s.modelShader.SetToDevice();
        s.modelShader.worldMatrix = world;
        s.modelShader.DrawModel(&model, nodes);
    }
};
}  // namespace

TEST_F(ShaderTest, BlockLayoutsMatchTheCpuRecords) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    const GLuint model = s.modelShader.program.program, effect = s.effectShader.program.program,
                 sprite = s.spriteShader.program.program;
    ASSERT_NE(model, 0u) << s.modelShader.program.log;
    ASSERT_NE(effect, 0u) << s.effectShader.program.log;
    ASSERT_NE(sprite, 0u) << s.spriteShader.program.log;
    EXPECT_EQ(BlockSize(model, "cbObject"), 96);
    EXPECT_EQ(BlockSize(model, "cbMaterial"), 48);
    EXPECT_EQ(BlockSize(model, "cbCamera"), 160);
    EXPECT_EQ(BlockSize(model, "cbLight"), 3264);
    EXPECT_EQ(BlockSize(effect, "cbPerObject"), 96);
    EXPECT_EQ(BlockSize(sprite, "cbSprite"), 80);
    EXPECT_EQ(BlockSize(sprite, "cbProjection"), 64);

    EXPECT_EQ(Offset(model, "g_UVOffset"), 64);
    EXPECT_EQ(Offset(model, "g_UVTiling"), 72);
    EXPECT_EQ(Offset(model, "g_LightEnable"), 80);
    EXPECT_EQ(Offset(model, "g_AlphaTestThreshold"), 84);
    EXPECT_EQ(Offset(model, "Emissive"), 16);
    EXPECT_EQ(Offset(model, "Metallic"), 28);
    EXPECT_EQ(Offset(model, "Roughness"), 32);
    EXPECT_EQ(Offset(model, "g_mP"), 64);
    EXPECT_EQ(Offset(model, "g_CamPos"), 128);
    EXPECT_EQ(Offset(model, "g_DistanceFogEnable"), 140);
    EXPECT_EQ(Offset(model, "g_DistanceFogColor"), 144);
    EXPECT_EQ(Offset(model, "g_DistanceFogDensity"), 156);
    EXPECT_EQ(Offset(model, "g_DL_Dir"), 16);
    EXPECT_EQ(Offset(model, "g_DL_Color"), 32);
    EXPECT_EQ(Offset(model, "g_PL[0].color"), 48);
    EXPECT_EQ(Offset(model, "g_PL[1].radius"), 48 + 32 + 12);
    EXPECT_EQ(Offset(model, "g_PL[99].pos"), 48 + 99 * 32 + 16);
    EXPECT_EQ(Offset(model, "g_PL_Num"), 3248);
    EXPECT_EQ(Offset(effect, "g_AlphaTestThreshold"), 80);
    EXPECT_EQ(Offset(sprite, "g_color"), 64);
}

TEST_F(ShaderTest, DefaultsOfInit) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    const Matrix& p = s.cb7Camera.data.g_mP;
    EXPECT_NEAR(p.m[0][0], 1.7320508f, 1e-5f);  // aspect 1 here
    EXPECT_NEAR(p.m[1][1], 1.7320508f, 1e-5f);
    EXPECT_NEAR(p.m[2][2], 1.00001f, 1e-6f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_NEAR(p.m[3][2], -0.0100001f, 1e-7f);
    EXPECT_EQ(s.cb7Camera.data.g_mV.m[3][2], 5.0f);
    EXPECT_EQ(s.cb8Light.data.g_DL_Dir, Vector3(0, -1, 0));
    EXPECT_EQ(s.cb8Light.data.g_PL[99].color, Vector3(3, 3, 3));
    EXPECT_EQ(s.modelShader.cb0.data.g_UVTiling, Vector2(1, 1));
    EXPECT_EQ(s.modelShader.cb0.data.g_LightEnable, 1);
    // For the game's own back buffer the aspect is 16:9.
    const Matrix wide = Matrix::PerspectiveFovLH(60.0f * kDegToRad, 1280.0f / 720.0f, 0.01f, 1000.0f);
    EXPECT_NEAR(wide.m[0][0], 1.7320508f / 1.7777778f, 1e-5f);
}

TEST_F(ShaderTest, LitQuadLandsWhereTheCameraSays) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    s.cb8Light.data.g_DL_Dir = {0, 0, 1};  // shining straight at the quad's face
    s.cb8Light.dirty = true;
    auto quad = Quad(0, -1, 1, 1, 0, 1, 0, 0, 1);
    quad->materials[0].roughness = 1.0f;
    Draw(*quad);
    // Diffuse 1/pi of the albedo plus a small specular term (roughness 1).
    EXPECT_TRUE(Near(Pixel(38, 32), 86, 5, 5)) << Pixel(38, 32);
    EXPECT_TRUE(Near(Pixel(20, 32), 0, 0, 255, 0)) << Pixel(20, 32);
    EXPECT_TRUE(Near(Pixel(38, 5), 0, 0, 255, 0)) << Pixel(38, 5);

    // Ambient adds albedo x ambient.
    s.cb8Light.data.g_AmbientLight = {0.5f, 0.5f, 0.5f};
    s.cb8Light.dirty = true;
    Draw(*quad);
    EXPECT_TRUE(Near(Pixel(38, 32), 213, 5, 5)) << Pixel(38, 32);
}

TEST_F(ShaderTest, PointLightsOnlyWithinTheirRadius) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    s.cb8Light.data.g_DL_Color = {0, 0, 0};
    s.cb8Light.data.g_PL_Num = 1;
    s.cb8Light.data.g_PL[0].pos = {0.5f, 0, -1};
    s.cb8Light.data.g_PL[0].radius = 0;  // the default lights nothing
    s.cb8Light.dirty = true;
    auto quad = Quad(0, -1, 1, 1, 0, 1, 1, 1, 1);
    Draw(*quad);
    EXPECT_TRUE(Near(Pixel(38, 32), 0, 0, 0, 1)) << Pixel(38, 32);
    s.cb8Light.data.g_PL[0].radius = 2;
    s.cb8Light.dirty = true;
    Draw(*quad);
    EXPECT_GT(Pixel(38, 32).r, 60);
}

TEST_F(ShaderTest, DistanceFogKeepsExpOfMinusDensityTimesDistance) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    s.modelShader.cb0.data.g_LightEnable = 0;
    s.cb7Camera.data.g_DistanceFogEnable = 1;
    s.cb7Camera.data.g_DistanceFogColor = {0, 1, 0};
    s.cb7Camera.data.g_DistanceFogDensity = 0.2f;
    s.cb7Camera.dirty = true;
    auto quad = Quad(0, -1, 1, 1, 0, 1, 0, 0, 1);
    Draw(*quad);
    // The pixel's surface point lies 5.03 units from the camera: f = 0.365.
    EXPECT_TRUE(Near(Pixel(38, 32), 93, 162, 0)) << Pixel(38, 32);
}

TEST_F(ShaderTest, AlphaTestDiscardsAtOrBelowTheThreshold) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    s.modelShader.cb0.data.g_LightEnable = 0;
    s.modelShader.cb0.data.g_AlphaTestThreshold = 0.5f;
    auto kept = Quad(-1, -1, 0, 1, 0, 1, 0, 0, 0.6f);
    auto dropped = Quad(0, -1, 1, 1, 0, 1, 0, 0, 0.5f);
    Draw(*kept);
    Draw(*dropped);
    // Unlit colour is albedo x alpha, then blended by alpha over blue.
    EXPECT_TRUE(Near(Pixel(26, 32), 92, 0, 102)) << Pixel(26, 32);
    EXPECT_TRUE(Near(Pixel(38, 32), 0, 0, 255, 0)) << Pixel(38, 32);
    // With threshold 0 only alpha 0 goes.
    s.modelShader.cb0.data.g_AlphaTestThreshold = 0.0f;
    auto invisible = Quad(0, -1, 1, 1, 0, 1, 1, 1, 0.0f);
    Draw(*invisible);
    EXPECT_TRUE(Near(Pixel(38, 32), 0, 0, 255, 0)) << Pixel(38, 32);
}

TEST_F(ShaderTest, NodeMatrixComesBeforeTheWorldMatrix) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    s.modelShader.cb0.data.g_LightEnable = 0;
    auto quad = Quad(-0.25f, -0.25f, 0.25f, 0.25f, 0, 1, 0, 0, 1);
    quad->nodes[0].transform = Matrix::CreateTranslation(1, 0, 0);
    quad->nodes.insert(quad->nodes.begin(), AxModelNode{});  // a node without a mesh draws nothing
    Draw(*quad, Matrix::CreateTranslation(0, 1, 0));
    EXPECT_TRUE(Near(Pixel(43, 21), 255, 0, 0)) << Pixel(43, 21);
    EXPECT_TRUE(Near(Pixel(32, 21), 0, 0, 255)) << Pixel(32, 21);

    // Fewer node transforms than nodes: the rest keep their own.
    AxDirect3D::GetInstance().ClearBackBuffer(0, 0, 1, 1);
    const std::vector<Matrix> one{Matrix()};
    Draw(*quad, Matrix::CreateTranslation(0, 1, 0), &one);
    EXPECT_TRUE(Near(Pixel(43, 21), 255, 0, 0)) << Pixel(43, 21);
    const std::vector<Matrix> two{Matrix(), Matrix()};
    AxDirect3D::GetInstance().ClearBackBuffer(0, 0, 1, 1);
    Draw(*quad, Matrix::CreateTranslation(0, 1, 0), &two);
    EXPECT_TRUE(Near(Pixel(32, 21), 255, 0, 0)) << Pixel(32, 21);
    EXPECT_TRUE(Near(Pixel(43, 21), 0, 0, 255)) << Pixel(43, 21);
}

TEST_F(ShaderTest, EmptySubsetsAndMissingModelsDrawNothing) {
    auto quad = Quad(-1, -1, 1, 1, 0, 1, 0, 0, 1);
    quad->nodes[0].mesh->subsets.insert(quad->nodes[0].mesh->subsets.begin(), AxMeshSubset{0, 0, 0});
    AxShaderManager& s = AxShaderManager::GetInstance();
    s.modelShader.cb0.data.g_LightEnable = 0;
    const auto before = AxDirect3D::GetInstance().drawCount;
    Draw(*quad);
    EXPECT_EQ(AxDirect3D::GetInstance().drawCount, before + 1);  // the empty subset is skipped
    EXPECT_TRUE(Near(Pixel(32, 32), 255, 0, 0));
    AxModel empty;
    Draw(empty);
    s.modelShader.DrawModel(nullptr);
    EXPECT_EQ(AxDirect3D::GetInstance().drawCount, before + 1);
}

namespace {
// Two overlapping quads, far one drawn last; returns the picture and one depth.
std::vector<uint8_t> DepthScene(float& depth) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    AxDirect3D& d = AxDirect3D::GetInstance();
    d.ClearBackBuffer(0, 0, 1, 1);
    d.ClearDepthStencil(1, 0);
    s.modelShader.cb0.data.g_LightEnable = 0;
    auto nearQuad = Quad(-1, -1, 0.5f, 1, 0, 1, 0, 0, 1);
    auto farQuad = Quad(-0.5f, -1, 3, 1, 3, 0, 1, 0, 1);
    s.modelShader.SetToDevice();
    s.modelShader.DrawModel(nearQuad.get());
    s.modelShader.DrawModel(farQuad.get());
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    d.ReadBackBuffer(rgba, w, h);
    glReadPixels(32, 32, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return rgba;
}
}  // namespace

TEST_F(ShaderTest, DepthRemapMatchesClipControl) {
    float depthA = 0, depthB = 0;
    const std::vector<uint8_t> a = DepthScene(depthA);
    // The nearer quad wins where they overlap although drawn first.
    EXPECT_TRUE(Near(Pixel(32, 32), 255, 0, 0)) << Pixel(32, 32);
    EXPECT_TRUE(Near(Pixel(50, 32), 0, 255, 0)) << Pixel(50, 32);
    // z = 0 seen from 5 units away: (1.00001 x 5 - 0.0100001) / 5.
    EXPECT_NEAR(depthA, 0.998f, 1e-4f);

    TearDown();
    AxDirect3D::GetInstance().forceDepthRemap = true;
    SetUp();
    EXPECT_TRUE(AxDirect3D::GetInstance().depthRemap);
    const std::vector<uint8_t> b = DepthScene(depthB);
    AxDirect3D::GetInstance().forceDepthRemap = false;
    EXPECT_EQ(a, b);
    EXPECT_NEAR(depthA, depthB, 1e-5f);
}

TEST_F(ShaderTest, SubmitOffDrawsNothingButKeepsConstants) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    AxShaderManager& s = AxShaderManager::GetInstance();
    d.SetSubmitEnabled(false);
    s.modelShader.cb0.data.g_LightEnable = 0;
    auto quad = Quad(-1, -1, 1, 1, 0, 1, 0, 0, 1);
    const auto before = d.drawCount;
    Draw(*quad);
    EXPECT_EQ(d.drawCount, before + 1);
    EXPECT_FALSE(s.modelShader.cb0.dirty);
    d.SetSubmitEnabled(true);
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 255, 0)) << Pixel(32, 32);
}

TEST_F(ShaderTest, EffectProgramDrawsTexturedVertexColouredQuads) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    AxDirect3D& d = AxDirect3D::GetInstance();
    s.cb7Camera.Write();
    s.effectShader.SetToDevice();
    s.effectShader.cb0.data.g_mW = Matrix::CreateTranslation(0.5f, 0, 0);
    s.effectShader.cb0.dirty = true;
    s.effectShader.cb0.Write();
    d.SetShaderResource(0, d.whiteTex->srv);
    // A strip left half red-ish, alpha 0.5 over the blue clear.
    const AxEffectVertex strip[4] = {
        {{-0.5f, -0.5f, 0}, {0, 1}, {1, 0, 0, 0.5f}},
        {{-0.5f, 0.5f, 0}, {0, 0}, {1, 0, 0, 0.5f}},
        {{0.5f, -0.5f, 0}, {1, 1}, {1, 0, 0, 0.5f}},
        {{0.5f, 0.5f, 0}, {1, 0}, {1, 0, 0, 0.5f}},
    };
    d.DrawVertexBuffer(AxTopology::TriangleStrip, 4, strip, sizeof(AxEffectVertex));
    // Centred at x = 0.5: pixels 32 to 43 across; the fragment is blended, not lit or fogged.
    EXPECT_TRUE(Near(Pixel(38, 32), 128, 0, 128, 2)) << Pixel(38, 32);
    EXPECT_TRUE(Near(Pixel(28, 32), 0, 0, 255, 0)) << Pixel(28, 32);
    // Alpha at or below the threshold is discarded.
    s.effectShader.cb0.data.g_AlphaTestThreshold = 0.5f;
    s.effectShader.cb0.data.g_mW = Matrix::CreateTranslation(-0.5f, 0, 0);
    s.effectShader.cb0.dirty = true;
    s.effectShader.cb0.Write();
    d.DrawVertexBuffer(AxTopology::TriangleStrip, 4, strip, sizeof(AxEffectVertex));
    EXPECT_TRUE(Near(Pixel(26, 32), 0, 0, 255, 0)) << Pixel(26, 32);
}

TEST_F(ShaderTest, SeeThroughSurfacesBlendAndOpaqueOnesLookTheSameUnblended) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    AxDirect3D& device = AxDirect3D::GetInstance();
    s.modelShader.cb0.data.g_LightEnable = 0;
    // Opaque: the colour replaces the blue, and blending is on again after.
    auto opaque = Quad(-1, -1, 0, 1, 0, 1, 0, 0, 1);
    Draw(*opaque);
    EXPECT_TRUE(device.IsBlendEnabled());
    const Rgba solid = Pixel(26, 32);
    EXPECT_TRUE(Near(solid, 255, 0, 0, 0)) << solid;
    EXPECT_EQ(solid.a, 255);

    // Half alpha in the texture: blended over the blue.
    auto texture = OneTexel(255, 0, 0, 128);
    ASSERT_TRUE(texture);
    auto textured = Quad(0, -1, 1, 1, 0, 1, 1, 1, 1);
    textured->materials[0].baseColorTex = texture;
    Draw(*textured);
    EXPECT_TRUE(Near(Pixel(38, 32), 128, 0, 127, 2)) << Pixel(38, 32);

    // Half alpha in the vertex colours: blended as well.
    device.ClearBackBuffer(0, 0, 1, 1);
    device.ClearDepthStencil(1, 0);
    auto faded = Quad(-1, -1, 0, 1, 0, 1, 0, 0, 1);
    std::vector<AxMeshVertex> v(4);
    const float xs[4] = {-1, -1, 0, 0}, ys[4] = {-1, 1, 1, -1};
    for (int i = 0; i < 4; ++i) {
        v[i].position = {xs[i], ys[i], 0};
        v[i].normal = {0, 0, -1};
        v[i].color = 0x80ffffffu;
    }
    const AxMesh& mesh = *faded->nodes[0].mesh;
    const std::vector<AxMeshFace> faces = mesh.faces;
    const std::vector<AxMeshSubset> subsets = mesh.subsets;
    faded->nodes[0].mesh->Create(v, faces, subsets);
    Draw(*faded);
    EXPECT_TRUE(Near(Pixel(26, 32), 128, 0, 127, 2)) << Pixel(26, 32);
    EXPECT_TRUE(device.IsBlendEnabled());
}

// DrawModel picks a program with lighting, alpha test, texturing and fog fixed
// for each subset; redrawing the same subset with the general program, whose
// switches are read at run time, must give the same pixels.
TEST_F(ShaderTest, FixedProgramsDrawWhatTheGeneralOneDraws) {
    AxShaderManager& s = AxShaderManager::GetInstance();
    AxDirect3D& device = AxDirect3D::GetInstance();
    s.cb8Light.data.g_DL_Dir = Vector3(0.3f, -0.2f, 1).Normalized();
    s.cb8Light.data.g_AmbientLight = {0.2f, 0.2f, 0.2f};
    s.cb8Light.dirty = true;
    auto ochre = OneTexel(200, 180, 90, 255);
    // Read as metal/roughness (green, blue) and as glow.
    auto surface = OneTexel(60, 120, 200, 255);
    ASSERT_TRUE(ochre && surface);
    struct Case {
        const char* name;
        int lightEnable;
        float alpha;
        bool baseMap;
        bool surfaceMaps;
        bool fog = false;
    };
    for (const Case& c : {Case{"lit, untextured", 1, 1.0f, false, false},
                          Case{"lit, base colour map", 1, 1.0f, true, false},
                          Case{"lit, metal/roughness and glow maps", 1, 1.0f, false, true},
                          Case{"lit, every map", 1, 1.0f, true, true}, Case{"unlit", 0, 1.0f, true, true},
                          Case{"see-through", 1, 0.5f, false, false}, Case{"fogged", 1, 1.0f, true, false, true}}) {
        SCOPED_TRACE(c.name);
        s.modelShader.cb0.data.g_LightEnable = c.lightEnable;
        s.cb7Camera.data.g_DistanceFogEnable = c.fog ? 1 : 0;
        s.cb7Camera.data.g_DistanceFogColor = {0.1f, 0.6f, 0.9f};
        s.cb7Camera.data.g_DistanceFogDensity = 0.5f;
        s.cb7Camera.dirty = true;
        auto quad = Quad(-1, -1, 1, 1, 0, 0.9f, 0.5f, 0.3f, c.alpha);
        AxMaterial& m = quad->materials[0];
        m.metallic = 0.4f;
        m.roughness = 0.3f;
        m.emissive[0] = 0.1f;
        if (c.baseMap) m.baseColorTex = ochre;
        if (c.surfaceMaps) m.emissiveTex = m.metallicRoughnessTex = surface;
        device.ClearBackBuffer(0, 0, 1, 1);
        device.ClearDepthStencil(1, 0);
        Draw(*quad);
        const Rgba fixed = Pixel(32, 32);
        // Constants and textures are still bound: draw the subset again alone.
        device.ClearBackBuffer(0, 0, 1, 1);
        device.ClearDepthStencil(1, 0);
        device.SetProgram(s.modelShader.program.program);
        quad->nodes[0].mesh->SetToDevice();
        quad->nodes[0].mesh->DrawSubset(0);
        EXPECT_TRUE(Near(Pixel(32, 32), fixed.r, fixed.g, fixed.b, 1)) << Pixel(32, 32) << " vs " << fixed;
        EXPECT_GT(int(fixed.r) + fixed.g, 40);  // something was drawn
    }
}
