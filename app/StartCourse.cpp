#include "app/StartCourse.h"

#include "app/Replay.h"
#include "profile/Settings.h"
#include "scene/CourseChoice.h"

#include <cstdio>

bool ChooseStartCourse(const RunOptions& options, const ReplayHeader* recorded, const CourseData*& course) {
    const CourseCatalog& catalog = Courses().catalog;
    if (recorded) {
        // Recordings from before courses were files all raced the desert.
        const std::string id = recorded->course.empty() ? "desert" : recorded->course;
        course = catalog.Find(id);
        if (!course) {
            std::fprintf(stderr, "vorlan: %s: recorded on the course '%s', which is not here (playable: %s)\n",
                         options.replayFile.c_str(), id.c_str(), catalog.Ids().c_str());
            return false;
        }
        if (!recorded->courseHash.empty() && recorded->courseHash != course->gameplayHash) {
            std::fprintf(stderr, "vorlan: %s: the course '%s' has changed since the recording (gameplay hash %s, recorded %s)\n",
                         options.replayFile.c_str(), id.c_str(), course->gameplayHash.c_str(),
                         recorded->courseHash.c_str());
            return false;
        }
        return true;
    }
    if (!options.course.empty()) {
        course = catalog.Find(options.course);
        if (!course) {
            std::fprintf(stderr, "vorlan: --course %s: no playable course of that id; playable: %s\n",
                         options.course.c_str(), catalog.Ids().c_str());
            return false;
        }
        return true;
    }
    Settings chosen;
    chosen.Load(Settings::DefaultPath());
    if (!chosen.course.empty()) {
        course = catalog.Find(chosen.course);
        if (!course && Courses().FirstPlayable())
            std::fprintf(stderr, "vorlan: settings.ini: course '%s' is not a playable course; racing %s\n",
                         chosen.course.c_str(), Courses().FirstPlayable()->id.c_str());
    }
    if (!course) course = Courses().FirstPlayable();
    return true;
}
