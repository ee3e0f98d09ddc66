#pragma once
// Everything a course file says, checked and with every file it names
// resolved to the path the game opens. The gameplay part decides how a race
// goes (and is what the gameplay hash covers); the look part only how it is
// drawn and heard. No GL, AL or SDL here.

#include <array>
#include <string>
#include <vector>

struct CoursePoint {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// A place on the course and the heading (degrees about the up axis) of what stands there.
struct CoursePlace {
    CoursePoint at;
    float angle = 0.0f;
};

struct CourseGameplay {
    std::array<CoursePlace, 3> grid;  // the player, then the two computer bikes
    std::string checkpointFile;
    std::vector<CoursePoint> checkpoints;  // as read from checkpointFile
    std::string dashModel;
    std::vector<CoursePlace> dashPanels;
    CoursePoint floorSwitch;
    std::string boxFile;
    std::vector<CoursePoint> boxes;  // as read from boxFile
    std::string boxModel;
    CoursePlace gate;
    std::string gateModel;
    std::array<CoursePoint, 2> wallSwitches;
    CoursePoint excavatorHinge;
    std::string roadModel;
    std::string groundModel;
    std::string wallModel;
};

struct CourseLook {
    std::string skyModel;
    std::string excavatorBody;
    std::string excavatorArm;
    std::string excavatorCable;
    float excavatorAngle = 0.0f;  // turns the arm's swing about the up axis, degrees
    CoursePoint sunDirection{0.0f, -1.0f, 0.3f};
    CoursePoint sunColour{3.0f, 3.0f, 3.0f};
    CoursePoint ambient{0.6f, 0.6f, 0.6f};
    std::string music;
};

struct CourseData {
    int format = 1;
    std::string id;
    std::string name;
    std::string author;
    int laps = 3;
    CourseGameplay gameplay;
    CourseLook look;

    std::string file;    // the course file itself
    std::string folder;  // the folder it lives in
    bool builtIn = false;
    std::string gameplayHash;  // 16 hex digits

    // The lap a bike has finished the race on reaching.
    unsigned FinishLap() const { return static_cast<unsigned>(laps) + 1; }
};
