#pragma once
// render_scale = auto: the 3D scene's size follows the machine. While
// pictures take longer to make than the display's period, the scale steps
// down (not below kMin); when a step up would still leave room, it steps up.
// A machine that draws in time stays at 1. Fed the time each picture took
// to make (drawing and presenting, without any wait for the display).

class RenderScaleControl {
public:
    static constexpr float kMin = 0.5f;
    static constexpr float kMax = 1.0f;
    static constexpr float kStep = 0.125f;
    // Pictures measured before each decision.
    static constexpr int kWindow = 20;

    explicit RenderScaleControl(double periodMs) : period(periodMs) {}

    // One picture's cost at the current scale; returns the scale for the next ones.
    float Picture(double costMs);
    float Scale() const { return scale; }

private:
    double period;
    float scale = kMax;
    double total = 0.0;
    int count = 0;
    int skipNext = 0;            // pictures after a change, while the new target settles
    int upHeldFor = 0;           // decisions a step up waits after a step down
    int upHoldAfterDown = 2;     // grows each time a step up had to be taken back
    bool lastWasUp = false;
};
