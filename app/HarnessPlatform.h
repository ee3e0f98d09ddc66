#pragma once
// The platform as the command line shapes it: scripted keys instead of the
// keyboard, a virtual clock that moves 16 ms a frame, no sleeping.

#include "app/InputScript.h"
#include "framework/platform/Platform.h"

class HarnessPlatform final : public IPlatform {
public:
    static constexpr uint32_t kFixedStepMs = 16;

    HarnessPlatform(IPlatform& real, const InputScript* script, bool fixedClock, bool noSleep)
        : real(real), script(script), fixedClock(fixedClock), noSleep(noSleep) {}

    bool IsKeyDown(Key key) override { return script ? script->IsDown(frame, key) : real.IsKeyDown(key); }
    uint32_t Milliseconds() override { return fixedClock ? virtualMs : real.Milliseconds(); }
    void Sleep(uint32_t ms) override {
        if (!noSleep && !fixedClock) real.Sleep(ms);
    }

    void SetFrame(long long index) { frame = index; }
    // Called at the end of every frame: the virtual clock moves on.
    void EndFrame() {
        if (fixedClock) virtualMs += kFixedStepMs;
    }

private:
    IPlatform& real;
    const InputScript* script;
    bool fixedClock;
    bool noSleep;
    long long frame = 0;
    uint32_t virtualMs = 0;
};
