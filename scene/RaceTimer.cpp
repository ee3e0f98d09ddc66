#include "scene/RaceTimer.h"

#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/graphics/AxTextureCache.h"
#include "framework/platform/Platform.h"
#include "scene/HudSprite.h"

namespace {
constexpr int kCountdownStart = 7;
constexpr uint32_t kTickMs = 1000;
// The first minute leaves out the seven seconds the countdown lasts.
constexpr int kCountdownMs = 7000;
constexpr int kMinuteMs = 60000;
constexpr int kMaxMinutes = 9;
constexpr int kCappedTime = 59999;
constexpr float kGlyphFade = 0.01f;
constexpr float kGlyphFloor = 0.4f;

const AxRect kGlyphRects[4] = {{360, 0, 344, 131}, {270, 0, 90, 131}, {140, 0, 130, 131}, {0, 0, 140, 131}};
}  // namespace

RaceTimer::RaceTimer(AxTextureCache* textureCache) {
    capped = false;
    if (textureCache) {
        numberTex = textureCache->GetTexture("Data/Texture/Number.png");
        uiTex = textureCache->GetTexture("Data/Texture/NewUI.png");
        signTex = textureCache->GetTexture("Data/Texture/sg.png");
    }
    time = 0;
    minutes = 0;
    countdown = kCountdownStart;
    startTime = Platform().Milliseconds();
    lastTick = Platform().Milliseconds();
    countAlpha = 1.0f;
    countSound = std::make_shared<AxSoundEffect>();
    countSound->Load("Data/Sound/count.wav");
    countInst = countSound->CreateInstance(false);
    countInst->SetVolume(0.5f);
}

RaceTimer::~RaceTimer() {
    countInst.reset();
    countSound.reset();
}

void RaceTimer::Restart() {
    startTime = Platform().Milliseconds();
    lastTick = Platform().Milliseconds();
}

void RaceTimer::Shift(uint32_t ms) {
    startTime += ms;
    lastTick += ms;
}

void RaceTimer::Update() {
    // Race clock.
    if (countdown == 0) {
        const uint32_t now = Platform().Milliseconds();
        if (capped) {
            time = kCappedTime;
        } else {
            time = static_cast<int>(now - startTime);
            if (minutes < 1) time -= kCountdownMs;
            if (time > kMinuteMs) {
                minutes += 1;
                if (minutes > kMaxMinutes) {
                    minutes = kMaxMinutes;
                    capped = true;
                }
                startTime = Platform().Milliseconds();
            }
        }
    }
    // Countdown tick: measured from the last tick that fired, so a stall
    // gives one late tick and nothing is made up.
    if (Platform().Milliseconds() - lastTick >= kTickMs) {
        if (countdown > 0) {
            countdown -= 1;
            countAlpha = 1.0f;
            if (countdown == 3) countInst->Play(false, true);
        } else if (countdown < 0) {
            countdown = 0;
        }
        lastTick = Platform().Milliseconds();
    }
    // Glyph fade.
    countAlpha -= kGlyphFade;
    if (countdown != 0) {
        if (countAlpha < kGlyphFloor) countAlpha = kGlyphFloor;
    } else if (countAlpha < 0.0f) {
        countAlpha = 0.0f;
    }
}

void RaceTimer::Draw() {
    AxSpriteShader& sprite = AxShaderManager::GetInstance().spriteShader;
    sprite.Begin(false, true);
    if (countdown >= 1 && countdown <= 3) DrawHudSprite(HudAt(20.0f, 100.0f), signTex, kGlyphRects[countdown], countAlpha);
    if (countdown == 0 && countAlpha != 0.0f) DrawHudSprite(HudAt(20.0f, 100.0f), signTex, kGlyphRects[0], countAlpha);
    DrawHudSprite(HudHalfAt(-510.0f, 310.0f), uiTex, kTimeLabelRect);
    DrawTimeDigits(numberTex, time, -330.0f, 325.0f, 25.0f, true);
    DrawHudSprite(HudHalfAt(-465.0f, 325.0f), numberTex, DigitRect(minutes), 1.0f, 1.0f, 1.0f);
    sprite.End();
}

uint32_t RaceTimer::ElapsedMs() const {
    if (time < 0) return 0;
    // In the frame the minute turns, time still holds the whole minute
    // while minutes already counts it.
    const int fullMinutes = time > kMinuteMs && minutes > 0 ? minutes - 1 : minutes;
    return static_cast<uint32_t>(fullMinutes) * kMinuteMs + static_cast<uint32_t>(time);
}
