#pragma once
#include "app/AxWindow.h"
#include "app/CommandLine.h"
#include "app/FramePacer.h"
#include "app/Pause.h"
#include "app/SimulatedDisplay.h"

#include <functional>
#include <memory>
#include <string>

class AudioCapture;
class Game;
class HarnessPlatform;
class TraceWriter;
class IPlatform;
class InputScript;
class Replay;
class ReplayRecorder;
struct ReplayHeader;
struct CourseData;
class Scene_base;

// Brings the services up in order, runs the frame loop, takes them down.
class App {
public:
    static App& GetInstance();

    bool Init(int width, int height);
    // The process's exit status: 0 after a normal end, 1 when start-up failed,
    // 2 when the run's inputs were unusable (a replay that went out of step too).
    int Run();
    // --list-courses: the playable courses, the player's own from their profile.
    int ListCourses();

    AxWindow window;
    int fps = 0;
    int maxFps = 60;
    bool endFlag = false;

    RunOptions options;
    // Makes the scene the game starts with; the race scene unless a test says otherwise.
    std::function<Scene_base*()> makeScene;

    PauseControl pause;

private:
    App() = default;
    bool PrepareInputs(InputScript& script, Replay& replay, ReplayRecorder& recorder);
    bool PrepareProfile();
    void UpdatePause(IPlatform& platform);
    bool OpenAudioOut(AudioCapture& capture);
    FramePacer::Skip SkipMode() const;
    bool RunUpdate(long long frame, HarnessPlatform& platform, Replay& replay, TraceWriter& trace);
    struct PictureSetup {
        double periodMs = 1000.0 / 60.0;
        std::unique_ptr<SimulatedDisplay> display;
    };
    PictureSetup SetUpPictures(IPlatform& platform, const Game* game);
    bool AutoScaleInForce(const Game* game) const;
    std::string courseId;  // for --stats
    PauseOverlay pauseOverlay;
};
