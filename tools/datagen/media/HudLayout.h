#pragma once
// Sprite cells of the HUD atlases. The game cuts its sprites with exactly these
// rectangles (x, y, width, height in texels, top row first), so the art must fit them.

#include <array>

namespace media::layout {

using Rect = std::array<int, 4>;

inline constexpr Rect kLogo{0, 0, 768, 147};
inline constexpr Rect kPushTitle{0, 0, 570, 46};
inline constexpr Rect kPushResult{0, 46, 570, 46};
inline constexpr Rect kTimeLabel{0, 0, 438, 84};
inline constexpr Rect kRankLabelRace{0, 84, 230, 84};
inline constexpr Rect kRankLabelResult{0, 84, 300, 84};
inline constexpr Rect kLapLabel{0, 168, 414, 84};
inline constexpr Rect kSign3{0, 0, 140, 131};
inline constexpr Rect kSign2{140, 0, 130, 131};
inline constexpr Rect kSign1{270, 0, 90, 131};
inline constexpr Rect kSignGo{360, 0, 344, 131};
inline constexpr Rect kFinish{0, 131, 714, 131};
inline constexpr Rect kRank{0, 0, 90, 97};
inline constexpr Rect kFade{0, 0, 1280, 720};
inline constexpr Rect Digit(int d) { return {0, 5 + 86 * d, 67, 64}; }

// Image sizes.
inline constexpr int kLogoW = 768, kLogoH = 147;
inline constexpr int kPushW = 570, kPushH = 92;
inline constexpr int kUiW = 438, kUiH = 252;
inline constexpr int kSignW = 714, kSignH = 262;
inline constexpr int kNumberW = 68, kNumberH = 848;
inline constexpr int kRankW = 90, kRankH = 97;
inline constexpr int kSmokeSize = 64;

}  // namespace media::layout
