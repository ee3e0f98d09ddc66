#pragma once
// The road and the ground, the per-bike road/sand test, and the stage's
// short-lived effects: exhaust puffs, sand clouds and bike shadows.

#include "framework/Math.h"
#include "framework/graphics/AxEffectShader.h"
#include "framework/graphics/AxRenderStates.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AxModel;
class AxModelCache;
class AxTexture;
class AxTextureCache;
class AxSoundEffect;
class AxSoundInstance;
class Bike_base;
class Game;

// Collects effect quads and draws every run of quads that share a texture
// with one draw. The quads arrive already in world space (g_mW = identity),
// so a batch looks exactly like the same quads drawn one by one.
class EffectBatch {
public:
    EffectBatch() { vertices.reserve(kReservedQuads * 6); }
    // corners in strip order (the corners' texture coordinates 0,0 / 1,0 /
    // 0,1 / 1,1); stored as two listed triangles of the same winding.
    void Add(AxTexture* texture, const AxEffectVertex (&corners)[4]);
    void Flush();
    size_t Draws() const { return draws; }

private:
    static constexpr size_t kReservedQuads = 512;
    std::vector<AxEffectVertex> vertices;
    AxTexture* texture = nullptr;
    size_t draws = 0;
};

// What the exhaust puffs and sand clouds share: a quad that faces the
// camera, grows while it fades, and dies when its alpha passes 0.
class Smoke {
public:
    // Alone: a strip of its four vertices placed by world in g_mW.
    void Draw();
    // Its four vertices already placed by world.
    void WorldCorners(AxEffectVertex (&out)[4]) const;

    AxTexture* texture = nullptr;
    Matrix world;
    Matrix billboard;
    Matrix scale;
    AxEffectVertex vertices[4];
    Vector3 corners[4];
    float alpha = 1.0f;
    bool alive = true;

protected:
    explicit Smoke(Game& game) : game(game) {}
    // A fresh quad of the given size: full alpha, alive, no transform yet.
    void Reset(AxTexture* quadTexture, float size);
    // One update: fade, turn to the camera and grow by growth * (1 - alpha), at `at`.
    void Age(float fade, float growth, const Vector3& at);

    Game& game;
};

// Exhaust puff: grows from nothing to its size while it fades out over ten
// updates, drifting away from the bike.
class WhiteSmoke : public Smoke {
public:
    WhiteSmoke(Game& game, AxTextureCache* textureCache, const Matrix& bikeWorld, const Vector3& offset, float size,
               bool accelerating);
    // Starts a pooled puff again, drawing the same random numbers as a new one.
    void Spawn(AxTextureCache* textureCache, const Matrix& bikeWorld, const Vector3& offset, float size,
               bool accelerating);
    void Update();

    Vector3 velocity;
};

// Sand cloud behind a bike on sand: stands still, grows to fifteen times its
// size and fades over twenty updates.
class SandSmoke : public Smoke {
public:
    SandSmoke(Game& game, AxTextureCache* textureCache, const Matrix& bikeWorld, float size);
    void Spawn(AxTextureCache* textureCache, const Matrix& bikeWorld, float size);
    void Update();
};

class BikeShadow {
public:
    BikeShadow(AxTextureCache* textureCache, const Matrix& headingWorld);
    void Update(const Matrix& headingWorld);
    void Draw();
    void WorldCorners(AxEffectVertex (&out)[4]) const;

    AxTexture* texture = nullptr;
    Matrix world;
    AxEffectVertex vertices[4];
    Vector3 corners[4];
};

// Live effects in creation order over a store of reusable objects: a dead
// effect goes back to the spare list and is started again by a later spawn,
// so a running race allocates nothing for its effects.
template <class T>
class EffectPool {
public:
    template <class... Args>
    void Add(Game& game, AxTextureCache* textureCache, Args&&... args) {
        if (spare.empty()) {
            store.push_back(std::make_unique<T>(game, textureCache, args...));
            live.push_back(store.back().get());
        } else {
            T* effect = spare.back();
            spare.pop_back();
            effect->Spawn(textureCache, args...);
            live.push_back(effect);
        }
    }
    // Updates every live effect in order and drops the ones that died,
    // keeping the order of the rest.
    void Update() {
        size_t kept = 0;
        for (T* effect : live) {
            effect->Update();
            if (effect->alive) live[kept++] = effect;
            else spare.push_back(effect);
        }
        live.resize(kept);
    }
    void Clear() {
        live.clear();
        spare.clear();
        store.clear();
    }

    std::vector<T*> live;

private:
    std::vector<T*> spare;
    std::vector<std::unique_ptr<T>> store;
};

class Course {
public:
    Course(Game& game, AxModelCache& modelCache, const std::string& roadPath, const std::string& groundPath);
    ~Course();
    Course(const Course&) = delete;
    Course& operator=(const Course&) = delete;
    void Update(AxTextureCache* textureCache);
    // The opaque road and ground, then the effects.
    void Draw();
    void DrawSurfaces();
    // Shadows, then puffs, then sand clouds. Batched: one draw per run of
    // one texture; otherwise each effect on its own as a strip with its world
    // in g_mW, the picture the batches have to match.
    void DrawEffects(bool batched);

    // Live effect counts (the trace reads them).
    size_t WhiteSmokeCount() const;
    size_t SandSmokeCount() const;

    AxModel* roadModel = nullptr;
    AxModel* groundModel = nullptr;
    Matrix world;
    EffectPool<WhiteSmoke> whiteSmokes;
    uint32_t smokePairsPerFrame = 5;
    EffectPool<SandSmoke> sandSmokes;
    BikeShadow* shadows[3] = {nullptr, nullptr, nullptr};
    bool shadowsCreated = false;
    std::shared_ptr<AxSoundEffect> dirtSounds[3];
    std::shared_ptr<AxSoundInstance> dirtInstances[3];
    float dirtVolumes[3] = {1.0f, 1.0f, 1.0f};
    bool onSand[3] = {false, false, false};

    static constexpr float kSandSpeedCap = 0.15f;
    static constexpr float kDirtFade = 0.1f;
    static constexpr float kDirtCurveDistance = 3.0f;

private:
    void SpawnExhaust(AxTextureCache* textureCache, const Bike_base& bike, const Vector3& first,
                      const Vector3& second);
    // The road test of bike i; standing still counts as on the road for the
    // player only.
    void GroundTest(AxTextureCache* textureCache, Bike_base& bike, int i, bool sandNeedsSpeed);

    Game& game;
    EffectBatch batch;
    AxDepthStencilStatePtr depthNoWrite;
    AxDepthStencilStatePtr depthWrite;
};
