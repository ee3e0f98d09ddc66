#include "stage/Course.h"

#include "bike/CollisionHelper.h"
#include "framework/Random.h"
#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/MotionBlend.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/graphics/AxTextureCache.h"
#include "scene/Game.h"
#include "stage/ChaseCamera.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr Vector2 kCornerUV[4] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}};
constexpr float kWhiteSmokeFade = 0.1f;
constexpr float kWhiteSmokeDrift = 0.05f;
constexpr float kSandSmokeFade = 0.05f;
constexpr float kSandSmokeGrowth = 15.0f;
constexpr float kExhaustIdleCut = 0.15f;  // an idling bike's puffs are this much smaller than its speed
constexpr unsigned kEffectStride = sizeof(AxEffectVertex);

void SetCorners(Vector3 (&corners)[4], float s) {
    corners[0] = {-s, s, 0.0f};
    corners[1] = {s, s, 0.0f};
    corners[2] = {-s, -s, 0.0f};
    corners[3] = {s, -s, 0.0f};
}

void BuildVertices(AxEffectVertex (&vertices)[4], const Vector3 (&corners)[4], float alpha) {
    for (int i = 0; i < 4; ++i) vertices[i] = {corners[i], kCornerUV[i], Vector4(1.0f, 1.0f, 1.0f, alpha)};
}

void PlaceVertices(AxEffectVertex (&out)[4], const AxEffectVertex (&vertices)[4], const Matrix& world) {
    for (int i = 0; i < 4; ++i) {
        out[i] = vertices[i];
        out[i].position = Vector3::Transform(vertices[i].position, world);
    }
}

// The camera's rotation only, so a quad in the XY plane faces the viewer.
Matrix Billboard(const Game& game) {
    if (!game.camera) return Matrix();
    // Every puff of an update faces the same camera: the inverse is worked
    // out once for each view, not once for each puff.
    static Matrix lastView, lastBillboard;
    static bool known = false;
    const Matrix& view = game.camera->view;
    if (known && std::memcmp(&view, &lastView, sizeof view) == 0) return lastBillboard;
    Matrix m = view.Invert();
    m.m[3][0] = m.m[3][1] = m.m[3][2] = 0.0f;
    lastView = view;
    lastBillboard = m;
    known = true;
    return m;
}

void DrawQuad(AxTexture* texture, const AxEffectVertex (&vertices)[4], const Matrix& world) {
    AxDirect3D& device = AxDirect3D::GetInstance();
    AxEffectShader& shader = AxShaderManager::GetInstance().effectShader;
    device.SetShaderResource(0, texture ? texture->srv : nullptr);
    shader.cb0.data.g_mW = world;
    shader.cb0.dirty = true;
    shader.cb0.Write();
    device.DrawVertexBuffer(AxTopology::TriangleStrip, 4, vertices, kEffectStride);
}

AxTexture* LoadTexture(AxTextureCache* cache, const char* path) { return cache ? cache->GetTexture(path) : nullptr; }

}  // namespace

void EffectBatch::Add(AxTexture* quadTexture, const AxEffectVertex (&corners)[4]) {
    if (quadTexture != texture) Flush();
    texture = quadTexture;
    // The strip's triangles 0-1-2 and 2-1-3 keep one winding.
    vertices.push_back(corners[0]);
    vertices.push_back(corners[1]);
    vertices.push_back(corners[2]);
    vertices.push_back(corners[2]);
    vertices.push_back(corners[1]);
    vertices.push_back(corners[3]);
}

void EffectBatch::Flush() {
    if (vertices.empty()) return;
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.SetShaderResource(0, texture ? texture->srv : nullptr);
    device.DrawVertexBuffer(AxTopology::TriangleList, static_cast<unsigned>(vertices.size()), vertices.data(),
                            kEffectStride);
    vertices.clear();
    ++draws;
}

// --- Smoke ---

void Smoke::Reset(AxTexture* quadTexture, float size) {
    texture = quadTexture;
    // A puff taken again from the pool starts afresh in the pictures too.
    Motion().Jump(this);
    alpha = 1.0f;
    alive = true;
    billboard = Matrix();
    scale = Matrix();
    SetCorners(corners, size);
    BuildVertices(vertices, corners, alpha);
}

void Smoke::Age(float fade, float growth, const Vector3& at) {
    alpha -= fade;
    if (alpha < 0.0f) alive = false;
    BuildVertices(vertices, corners, alpha);
    billboard = Billboard(game);
    const float grown = (1.0f - alpha) * growth;
    scale = Matrix::CreateScale(grown, grown, 0.0f);
    world = scale * billboard * Matrix::CreateTranslation(at);
}

void Smoke::Draw() { DrawQuad(texture, vertices, Motion().World(this, world)); }

void Smoke::WorldCorners(AxEffectVertex (&out)[4]) const { PlaceVertices(out, vertices, Motion().World(this, world)); }

// --- WhiteSmoke ---

WhiteSmoke::WhiteSmoke(Game& game, AxTextureCache* textureCache, const Matrix& bikeWorld, const Vector3& offset,
                       float size, bool accelerating)
    : Smoke(game) {
    Spawn(textureCache, bikeWorld, offset, size, accelerating);
}

void WhiteSmoke::Spawn(AxTextureCache* textureCache, const Matrix& bikeWorld, const Vector3& offset, float size,
                       bool /*accelerating: already folded into size by the caller*/) {
    Reset(LoadTexture(textureCache, "Data/Texture/WhiteSmoke.png"), size);
    // Just behind and above the bike's centre, 0.6 to 1.1 back.
    const float ox = 0.08f + 0.005f * static_cast<float>(Random::Next() % 5);
    const float oy = 0.25f + 0.005f * static_cast<float>(Random::Next() % 5);
    const float oz = -0.6f + 0.05f * static_cast<float>(Random::Next() % 11 - 10);
    world = Matrix::CreateTranslation(offset + Vector3(ox, oy, oz)) * bikeWorld;
    const float p = 0.5f * static_cast<float>(Random::Next() % 3 - 1);
    const float q = 0.5f * static_cast<float>(Random::Next() % 3 - 1);
    velocity = (Vector3::Transform(Vector3(p, q, -3.0f), bikeWorld) - bikeWorld.Translation()).Normalized() *
               kWhiteSmokeDrift;
}

void WhiteSmoke::Update() { Age(kWhiteSmokeFade, 1.0f, world.Translation() + velocity); }

// --- SandSmoke ---

SandSmoke::SandSmoke(Game& game, AxTextureCache* textureCache, const Matrix& bikeWorld, float size) : Smoke(game) {
    Spawn(textureCache, bikeWorld, size);
}

void SandSmoke::Spawn(AxTextureCache* textureCache, const Matrix& bikeWorld, float size) {
    Reset(LoadTexture(textureCache, "Data/Texture/SandSmoke.png"), size);
    // At the rear wheel's distance behind the bike.
    const float ox = 0.01f * static_cast<float>(Random::Next() % 51 - 25);
    const float oy = 0.01f * static_cast<float>(Random::Next() % 51 - 25);
    world = Matrix::CreateTranslation(ox, oy, -0.56f) * bikeWorld;
}

void SandSmoke::Update() { Age(kSandSmokeFade, kSandSmokeGrowth, world.Translation()); }

// --- BikeShadow ---

BikeShadow::BikeShadow(AxTextureCache* textureCache, const Matrix& headingWorld)
    : texture(LoadTexture(textureCache, "Data/Texture/shadow.png")), world(headingWorld) {
    // 0.6 wide, from 1.5 ahead of the bike's centre to 1.2 behind it.
    corners[0] = {-0.3f, 0.0f, 1.5f};
    corners[1] = {0.3f, 0.0f, 1.5f};
    corners[2] = {-0.3f, 0.0f, -1.2f};
    corners[3] = {0.3f, 0.0f, -1.2f};
    BuildVertices(vertices, corners, 1.0f);
}

void BikeShadow::Update(const Matrix& headingWorld) { world = headingWorld; }

void BikeShadow::Draw() { DrawQuad(texture, vertices, Motion().World(this, world)); }

void BikeShadow::WorldCorners(AxEffectVertex (&out)[4]) const { PlaceVertices(out, vertices, Motion().World(this, world)); }

// --- Course ---

Course::Course(Game& game, AxModelCache& modelCache, const std::string& roadPath, const std::string& groundPath)
    : game(game) {
    roadModel = modelCache.GetModel(roadPath);
    groundModel = modelCache.GetModel(groundPath);
    for (int i = 0; i < 3; ++i) {
        dirtVolumes[i] = 1.0f;
        dirtSounds[i] = std::make_shared<AxSoundEffect>();
        dirtSounds[i]->Load("Data/Sound/dart.wav");
        dirtInstances[i] = dirtSounds[i]->CreateInstance(i != 0);
        if (i != 0) dirtInstances[i]->SetCurveDistanceScaler(kDirtCurveDistance);
        dirtInstances[i]->SetVolume(dirtVolumes[i]);
        onSand[i] = false;
    }
    AxDirect3D& device = AxDirect3D::GetInstance();
    depthNoWrite = device.CreateDepthStencilState(true, false);
    depthWrite = device.CreateDepthStencilState(true, true);
}

Course::~Course() {
    whiteSmokes.Clear();
    sandSmokes.Clear();
    for (BikeShadow*& shadow : shadows) {
        delete shadow;
        shadow = nullptr;
    }
    for (auto& instance : dirtInstances) {
        if (instance) instance->Stop();
        instance.reset();
    }
    for (auto& sound : dirtSounds) sound.reset();
}

size_t Course::WhiteSmokeCount() const { return whiteSmokes.live.size(); }
size_t Course::SandSmokeCount() const { return sandSmokes.live.size(); }

void Course::SpawnExhaust(AxTextureCache* textureCache, const Bike_base& bike, const Vector3& first,
                          const Vector3& second) {
    for (uint32_t i = 0; i < smokePairsPerFrame; ++i) {
        const float size = bike.accelerating ? bike.speed : std::max(bike.speed - kExhaustIdleCut, 0.0f);
        whiteSmokes.Add(game, textureCache, bike.world, first, size, bike.accelerating);
        whiteSmokes.Add(game, textureCache, bike.world, second, size, bike.accelerating);
    }
}

void Course::GroundTest(AxTextureCache* textureCache, Bike_base& bike, int i, bool sandNeedsSpeed) {
    Vector3 normal;
    const bool road = CollisionHelper::GetInstance().RayToModel(roadModel, world, bike.position,
                                                                bike.RotateByYaw(Vector3(0.0f, -1.0f, 0.0f)),
                                                                bike.hitDistance, normal);
    if (!road && (!sandNeedsSpeed || bike.speed > 0.0f)) {
        if (bike.speed > kSandSpeedCap) bike.speed = kSandSpeedCap;
        sandSmokes.Add(game, textureCache, bike.world, bike.speed);
        if (!onSand[i]) {
            // Once the player has finished, the player's own sand is silent; a
            // computer bike's goes on at full volume, since Play3D always plays
            // at 1.0 whatever was set before it. Its volume of 0 only counts
            // when it leaves the sand: then it falls silent at once.
            dirtVolumes[i] = game.player && game.player->lap >= game.FinishLap() ? 0.0f : 1.0f;
            dirtInstances[i]->SetVolume(dirtVolumes[i]);
            if (i == 0) dirtInstances[i]->Play(true, true);
            else dirtInstances[i]->Play3D(bike.world.Translation(), true, true);
            onSand[i] = true;
        }
    } else {
        onSand[i] = false;
        // Faded, not stopped: the next stay on sand restarts it.
        dirtVolumes[i] = std::max(dirtVolumes[i] - kDirtFade, 0.0f);
        dirtInstances[i]->SetVolume(dirtVolumes[i]);
    }
}

void Course::Update(AxTextureCache* textureCache) {
    Player* player = game.player;
    Enemy* first = game.enemies[0];
    Enemy* second = game.enemies[1];
    if (player) {
        SpawnExhaust(textureCache, *player, Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, -0.05f));
        GroundTest(textureCache, *player, 0, true);
    }
    if (first) {
        SpawnExhaust(textureCache, *first, Vector3(0.04f, 0.0f, 0.0f), Vector3(-0.2f, 0.0f, 0.0f));
        dirtInstances[1]->SetPosition(first->world.Translation());
        dirtInstances[1]->Apply3D();
        GroundTest(textureCache, *first, 1, false);
    }
    if (second) {
        SpawnExhaust(textureCache, *second, Vector3(0.07f, 0.0f, -0.15f), Vector3(0.07f, -0.1f, -0.15f));
        dirtInstances[2]->SetPosition(second->world.Translation());
        dirtInstances[2]->Apply3D();
        GroundTest(textureCache, *second, 2, false);
    }
    whiteSmokes.Update();
    sandSmokes.Update();
    Bike_base* bikes[3] = {player, first, second};
    if (!shadowsCreated && player && first && second) {
        for (int i = 0; i < 3; ++i) shadows[i] = new BikeShadow(textureCache, bikes[i]->headingWorld);
        shadowsCreated = true;
    }
    for (int i = 0; i < 3; ++i)
        if (shadows[i] && bikes[i]) shadows[i]->Update(bikes[i]->headingWorld);
}

void Course::Draw() {
    DrawSurfaces();
    DrawEffects(true);
}

void Course::DrawSurfaces() {
    AxModelShader& modelShader = AxShaderManager::GetInstance().modelShader;
    modelShader.worldMatrix = world;
    modelShader.DrawModel(roadModel, nullptr);
    modelShader.worldMatrix = world;
    modelShader.DrawModel(groundModel, nullptr);
}

void Course::DrawEffects(bool batched) {
    AxDirect3D& device = AxDirect3D::GetInstance();
    AxEffectShader& shader = AxShaderManager::GetInstance().effectShader;
    // Puffs are see-through: tested against the scene but never hiding each other.
    device.SetDepthStencilState(depthNoWrite, 0);
    shader.SetToDevice();
    if (batched) {
        shader.cb0.data.g_mW = Matrix();
        shader.cb0.dirty = true;
        shader.cb0.Write();
        AxEffectVertex placed[4];
        for (BikeShadow* shadow : shadows) {
            if (!shadow) continue;
            shadow->WorldCorners(placed);
            batch.Add(shadow->texture, placed);
        }
        for (WhiteSmoke* smoke : whiteSmokes.live) {
            smoke->WorldCorners(placed);
            batch.Add(smoke->texture, placed);
        }
        for (SandSmoke* smoke : sandSmokes.live) {
            smoke->WorldCorners(placed);
            batch.Add(smoke->texture, placed);
        }
        batch.Flush();
    } else {
        for (BikeShadow* shadow : shadows)
            if (shadow) shadow->Draw();
        for (WhiteSmoke* smoke : whiteSmokes.live) smoke->Draw();
        for (SandSmoke* smoke : sandSmokes.live) smoke->Draw();
    }
    device.SetDepthStencilState(depthWrite, 0);
}
