// The 2D screens drawn over the 3D view: each element is found where the
// layout puts it by rendering the frame with and without its texture and
// boxing the pixels that differ.

#include "GameFixture.h"

#include "bike/Player.h"
#include "scene/RaceTimer.h"

#include <cstdlib>

namespace {
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool Empty() const { return x1 < 0; }
    int Width() const { return x1 - x0 + 1; }
    int Height() const { return y1 - y0 + 1; }
};

// Screen pixels (x right, y down) of a sprite centred on layout point (cx, cy).
struct Rect {
    double x0, y0, x1, y1;
};
Rect Centred(double cx, double cy, double w, double h) {
    return {640 + cx - w / 2, 360 - cy - h / 2, 640 + cx + w / 2, 360 - cy + h / 2};
}

class Hud : public GameFixture {
protected:
    // The 2D screen of the mode over a plain clear: the 3D view under it is
    // the same with and without the element, and costs llvmpipe a lot.
    std::vector<uint8_t> Render() {
        AxDirect3D& device = AxDirect3D::GetInstance();
        device.SetSubmitEnabled(true);
        device.ClearBackBuffer(0.2f, 0.5f, 0.3f, 1.0f);
        device.ClearDepthStencil(1.0f, 0);
        if (game->mode == 0) game->DrawRaceHUD();
        else game->DrawTitle();
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(AxDirect3D::GetInstance().ReadBackBuffer(rgba, w, h));
        EXPECT_EQ(w, kWidth);
        AxDirect3D::GetInstance().SetSubmitEnabled(false);
        return rgba;
    }
    static Box Diff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        Box box;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
                int d = 0;
                for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(a[i + c]) - int(b[i + c])));
                if (d <= 8) continue;
                box.x0 = std::min(box.x0, x), box.y0 = std::min(box.y0, y);
                box.x1 = std::max(box.x1, x), box.y1 = std::max(box.y1, y);
            }
        return box;
    }
    // The element drawn with `texture` lies inside `where` and fills a good part of it.
    void ExpectElement(AxTexture*& texture, Rect where, const char* what) {
        const auto with = Render();
        AxTexture* saved = texture;
        texture = nullptr;
        const auto without = Render();
        texture = saved;
        const Box box = Diff(with, without);
        ASSERT_FALSE(box.Empty()) << what << " not drawn";
        EXPECT_GE(box.x0, where.x0 - 1) << what;
        EXPECT_GE(box.y0, where.y0 - 1) << what;
        EXPECT_LE(box.x1, where.x1 + 1) << what;
        EXPECT_LE(box.y1, where.y1 + 1) << what;
        EXPECT_GE(box.Width(), (where.x1 - where.x0) * 0.5) << what;
        EXPECT_GE(box.Height(), (where.y1 - where.y0) * 0.3) << what;
    }
    void ExpectBlackAtFullFade() {
        game->fadeAlpha = 1.0f;
        const auto black = Render();
        game->fadeAlpha = 0.0f;
        for (int y = 0; y < kHeight; y += 37)
            for (int x = 0; x < kWidth; x += 41) {
                const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
                ASSERT_LE(black[i] + black[i + 1] + black[i + 2], 3) << x << "," << y;
            }
    }
};
}  // namespace

TEST_F(Hud, TitleScreen) {
    Step();
    ExpectElement(game->titleTex, Centred(0, 200, 768, 147), "logo");
    ExpectElement(game->pushTex, Centred(0, 0, 570, 46), "prompt");
    ExpectBlackAtFullFade();
}

TEST_F(Hud, RaceDisplayDuringTheCountdown) {
    Press(Key::Enter);
    Step();
    Release(Key::Enter);
    game->raceTimer->countdown = 3;
    game->raceTimer->countAlpha = 1.0f;
    ExpectElement(game->raceTimer->signTex, Centred(20, 100, 140, 131), "countdown glyph 3");
    // Clock (minutes and five digits) and lap digits, half size, top-right pivots.
    ExpectElement(game->raceTimer->numberTex, {640 - 465 - 33.5, 35, 640 - 330, 35 + 32}, "clock digits");
    ExpectElement(game->numberTex, {640 - 467 - 33.5, 360 - 272, 640 - 420, 360 - 272 + 32}, "lap digits");
    const uint32_t rank = game->player->GetRank();
    ExpectElement(game->rankTex[rank - 1], Centred(570, 305, 90, 97), "rank image");
    ExpectBlackAtFullFade();
}

TEST_F(Hud, ResultPanel) {
    Press(Key::Enter);
    Step();
    Release(Key::Enter);
    game->player->lap = 4;
    game->raceTimer->time = 7;
    game->raceTimer->minutes = 2;
    ExpectElement(game->signTex, Centred(0, 200, 714, 131), "finish banner");
    ExpectElement(game->pushTex, Centred(0, -250, 570, 46), "result prompt");
    // Final time 00007 ending at x 370 and minutes at x 90, full size.
    ExpectElement(game->numberTex, {640 + 90 - 67, 360 + 75, 640 + 370, 360 + 75 + 64}, "result digits");
    const uint32_t rank = game->player->GetRank();
    ExpectElement(game->rankTex[rank - 1], Centred(140, 20, 90, 97), "result rank");
    ExpectBlackAtFullFade();
}
