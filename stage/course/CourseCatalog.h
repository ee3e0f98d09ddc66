#pragma once
// The courses a player can race: the built-in ones under the game's Data
// folder first (the desert leading), then the player's own, each in a folder named by its id.
// A course that is refused is left out with one line; the others stay.
// No GL, AL or SDL here.

#include "stage/course/CourseData.h"

#include <functional>
#include <string>
#include <vector>

class CourseCatalog {
public:
    // Further checks a player's course must pass (its models load and the
    // places sit on it): empty when it passes, else "FIELD: why". Built-in
    // courses are not put through it.
    using Check = std::function<std::string(const CourseData&)>;

    // builtInRoot holds the game's courses (Data/Courses), userRoot the
    // player's (may be empty or missing). Every refusal goes to refusals.
    void Scan(const std::string& builtInRoot, const std::string& userRoot, const Check& check,
              std::vector<std::string>& refusals);

    const CourseData* Find(const std::string& id) const;
    // The playable ids, in order, comma separated.
    std::string Ids() const;
    // The course after (step 1) or before (step -1) id, going round.
    const CourseData* Step(const std::string& id, int step) const;

    std::vector<CourseData> courses;

    static constexpr size_t kMaxFolders = 200;
    // The built-in course listed first, before the others in name order.
    static constexpr const char* kFirstCourse = "desert";
};
