#pragma once
#include "app/AxWindow.h"
#include "app/CommandLine.h"
#include "app/FramePacer.h"
#include "app/Pause.h"

#include <functional>
#include <string>

class AudioCapture;
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
    void UpdatePause(IPlatform& platform);
    bool OpenAudioOut(AudioCapture& capture);
    FramePacer::Skip SkipMode() const;
    // The course to start on: a replay's own (false, with one line, when it
    // is missing or has changed), --course (false when unknown), or the
    // settings' choice with a fallback to the first playable course.
    bool StartCourse(const ReplayHeader* recorded, const CourseData*& course) const;
    std::string courseId;  // for --stats
    PauseOverlay pauseOverlay;
};
