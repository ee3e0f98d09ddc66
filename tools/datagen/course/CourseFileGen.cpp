// The desert's course file: the places that were constants in the stage
// classes, and the files the game has always used, named where they are.

#include "Generator.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace {
using json = nlohmann::ordered_json;

json Place(double x, double y, double z) { return json::array({x, y, z}); }

bool GenerateDesertCourse(const GenContext& ctx) {
    const std::filesystem::path dir = ctx.dataDir / "Courses" / "desert";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    json course;
    course["format"] = 1;
    course["id"] = "desert";
    course["name"] = "Desert";
    course["author"] = "Vorlan Moto";
    course["laps"] = 3;
    json& g = course["gameplay"];
    g["grid"] = json::array({{{"position", Place(0.0, 0.2, -2.0)}, {"heading", 0}},
                             {{"position", Place(2.0, 0.2, -2.0)}, {"heading", 0}},
                             {{"position", Place(-2.0, 0.2, -2.0)}, {"heading", 0}}});
    g["checkpoints"] = "Data/Txt/check.txt";
    g["road"] = "Data/Course/Road/road.gltf";
    g["ground"] = "Data/Course/Ground/ground01.gltf";
    g["wall"] = "Data/Course/Wall/wall.gltf";
    g["dashPanels"] = {{"model", "Data/Obstacle/Dash/Dash.gltf"},
                       {"places", json::array({{{"position", Place(-18.5, 0.05, 72.0)}, {"angle", 0}},
                                               {{"position", Place(-50.0, 0.05, 30.0)}, {"angle", 180}}})}};
    g["floorSwitch"] = {{"position", Place(-50.0, 0.1, 60.0)},
                        {"boxes", "Data/Txt/Box.txt"},
                        {"boxModel", "Data/Obstacle/WoodBox/WoodBox.gltf"}};
    g["gate"] = {{"position", Place(-18.0, 0.0, -30.0)},
                 {"angle", 90},
                 {"model", "Data/Course/Wall/wall02.gltf"},
                 {"switches", json::array({Place(-27.0, 0.0, -25.0), Place(-27.0, 0.0, -33.5)})}};
    g["excavator"] = {{"hinge", Place(-46.2, 14.779, 23.25)}};
    json& l = course["look"];
    l["sky"] = "Data/Sky/sky.gltf";
    l["excavator"] = {{"body", "Data/Obstacle/Excavator/excavator.gltf"},
                      {"arm", "Data/Obstacle/Excavator/ExcavatorArm00.gltf"},
                      {"cable", "Data/Obstacle/Excavator/cable.gltf"}};
    l["sun"] = {{"direction", Place(0.0, -1.0, 0.3)}, {"colour", Place(3.0, 3.0, 3.0)}};
    l["ambient"] = Place(0.6, 0.6, 0.6);
    l["music"] = "Data/Sound/BGM.wav";
    std::ofstream out(dir / "course.json");
    out << course.dump(2) << "\n";
    return static_cast<bool>(out);
}
}  // namespace

VORLAN_REGISTER_GENERATOR("course-file", 50, GenerateDesertCourse);
