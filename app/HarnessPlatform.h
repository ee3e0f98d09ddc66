#pragma once
// The platform as the command line shapes it: scripted keys instead of the
// keyboard, a virtual clock that moves 16 ms a frame, no sleeping; and
// recording a run, or playing a recording back in place of keys and clock.

#include "app/InputScript.h"
#include "app/Replay.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

class HarnessPlatform final : public IPlatform {
public:
    static constexpr uint32_t kFixedStepMs = 16;

    HarnessPlatform(IPlatform& real, const InputScript* script, bool fixedClock, bool noSleep,
                    ReplayRecorder* recorder = nullptr, Replay* replay = nullptr)
        : real(real), script(script), fixedClock(fixedClock), noSleep(noSleep), recorder(recorder),
          replay(replay) {}

    bool IsKeyDown(Key key) override {
        if (replay) return replay->IsDown(key);
        const bool down = script ? script->IsDown(frame, key) : real.IsKeyDown(key);
        if (recorder && down) recorder->NoteKey(key);
        return down;
    }
    bool IsMenuKeyDown(Key key) override {
        if (replay) return replay->IsMenuDown(key);
        const bool down = script ? script->IsDown(frame, key) : real.IsMenuKeyDown(key);
        if (recorder) recorder->NoteMenuKey(key, down);
        return down;
    }
    std::string LocalDate() override {
        if (replay) {
            const std::string date = replay->TakeDate();
            if (!date.empty()) return date;  // older recordings kept none
        }
        const std::string date = real.LocalDate();
        if (recorder) recorder->NoteDate(date);
        return date;
    }
    uint32_t Milliseconds() override {
        if (replay) return replay->NextReading();
        const uint32_t ms = fixedClock ? virtualMs : real.Milliseconds();
        if (recorder) recorder->NoteReading(ms);
        return ms;
    }
    int TakeKeyPressed() override {
        if (replay) return replay->TakePressed();
        const int code = real.TakeKeyPressed();
        if (recorder && code > 0) recorder->NotePressed(code);
        return code;
    }
    void Sleep(uint32_t ms) override {
        if (!noSleep && !fixedClock) real.Sleep(ms);
    }
    // Pictures pace on the virtual clock too when it runs; nothing records
    // this clock, since no update reads it.
    double PaceMilliseconds() override { return fixedClock ? static_cast<double>(virtualMs) : real.PaceMilliseconds(); }
    void PaceSleep(double ms) override {
        if (!noSleep && !fixedClock) real.PaceSleep(ms);
    }

    // Window events that steer the run go through here too. Scripted runs
    // keep going when the window loses focus; a replay adds the recorded
    // events to the real ones, so the viewer can still close it.
    void FilterWindowEvents(WindowBackend::Events& events) {
        if (replay) {
            events.close = events.close || (replay->Flags() & ReplayStep::kClose) != 0;
            events.focusLost = (replay->Flags() & ReplayStep::kFocusLost) != 0;
            return;
        }
        if (script) events.focusLost = false;
        if (recorder)
            recorder->NoteFlags((events.close ? ReplayStep::kClose : 0u) |
                                (events.focusLost ? ReplayStep::kFocusLost : 0u));
    }

    void SetFrame(long long index) {
        frame = index;
        if (recorder) recorder->NextStep();
        if (replay) replay->NextStep();
    }
    // Called at the end of every frame: the virtual clock moves on.
    void EndFrame() {
        if (fixedClock) virtualMs += kFixedStepMs;
    }

private:
    IPlatform& real;
    const InputScript* script;
    bool fixedClock;
    bool noSleep;
    ReplayRecorder* recorder;
    Replay* replay;
    long long frame = 0;
    uint32_t virtualMs = 0;
};
