#include "scene/HudSprite.h"

#include "framework/graphics/AxShaderManager.h"

#include <cstdio>

AxRect DigitRect(int d) {
    if (d < 0 || d > 9) d = 0;
    return {0, 5 + 86 * d, 67, 64};
}

void DrawHudSprite(const Matrix& transform, AxTexture* texture, const AxRect& rect, float alpha, float pivotX,
                   float pivotY) {
    AxSpriteShader& sprite = AxShaderManager::GetInstance().spriteShader;
    sprite.cb0.data.g_mTransform = transform;
    sprite.cb0.dirty = true;
    const float color[4] = {1.0f, 1.0f, 1.0f, alpha};
    const float pivot[2] = {pivotX, pivotY};
    sprite.DrawTex(texture, 0, 0, rect.width, rect.height, &rect, color, pivot);
}

void DrawTimeDigits(AxTexture* numbers, int value, float rightX, float y, float step, bool half) {
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%05d", value);
    for (int k = 0; k < length; ++k) {
        const float x = rightX - step * static_cast<float>(k);
        DrawHudSprite(half ? HudHalfAt(x, y) : HudAt(x, y), numbers, DigitRect(digits[length - 1 - k] - '0'), 1.0f,
                      1.0f, 1.0f);
    }
}
