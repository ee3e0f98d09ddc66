#include "app/Scene_base.h"

#include "app/FrameStats.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxTextureCache.h"

Scene_base::Scene_base() {
    textureCache = new AxTextureCache;
    fadeTex = textureCache->GetTexture("Data/Texture/black.png");
    fadeOut = false;
    pressSound = std::make_shared<AxSoundEffect>();
    pressSound->Load("Data/Sound/press.wav");
    pressInst = pressSound->CreateInstance(false);
    if (pressInst) pressInst->SetVolume(2.0f);
}

Scene_base::~Scene_base() {
    delete textureCache;
    textureCache = nullptr;
    pressInst.reset();
    pressSound.reset();
}

void Scene_base::ClearTargets() {
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.ClearBackBuffer(0.0f, 0.0f, 1.0f, 1.0f);
    device.ClearDepthStencil(1.0f, 0);
}

void Scene_base::Step() {
    if (paused) return;
    FrameStats::Section section(FrameStats::kUpdate);
    Update();
}

void Scene_base::Picture() {
    FrameStats::Section section(FrameStats::kDraw);
    ClearTargets();
    Draw();
}

void Scene_base::Frame() {
    Step();
    Picture();
}
