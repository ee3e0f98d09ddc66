#pragma once
// The race screens' one way of drawing: a source rectangle of an atlas at its
// own size, placed by a transform, white times an alpha, around a pivot
// ((0.5, 0.5) centres it, (1, 1) puts its top-right corner on the point).

#include "framework/Math.h"
#include "framework/graphics/AxSpriteShader.h"

class AxTexture;

// Rectangles shared by the clock and the result panel.
inline constexpr AxRect kTimeLabelRect{0, 0, 438, 84};
// Digit d (0 to 9) of Number.png.
AxRect DigitRect(int d);

inline Matrix HudAt(float x, float y) { return Matrix::CreateTranslation(x, y, 0.0f); }
inline Matrix HudHalfAt(float x, float y) { return Matrix::CreateScale(0.5f, 0.5f, 1.0f) * HudAt(x, y); }

void DrawHudSprite(const Matrix& transform, AxTexture* texture, const AxRect& rect, float alpha = 1.0f,
                   float pivotX = 0.5f, float pivotY = 0.5f);
// value as at least five zero-padded digits, drawn from the last: the k-th
// from the right has its top-right corner at (rightX - step * k, y).
void DrawTimeDigits(AxTexture* numbers, int value, float rightX, float y, float step, bool half);
