// Courses a player adds: listed, raced with --course, chosen on the title
// with Left and Right (remembered in settings.ini), with records and ghost
// of their own that a change to the course's gameplay sets aside, and
// recordings a changed course refuses to replay.

#include "CourseCopy.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
struct Outcome {
    int status = -1;
    std::string out, err;
};

class CourseSelectTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-course-select-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        // The player's folders of these runs: scripted runs keep files only in a profile.
        data = root / "profile";
        // Run from the build folder, where the copies take the desert's files.
        fs::current_path(VORLAN_BINARY_DIR);
        // A one-lap copy, so a race is over in a few hundred frames.
        course_copy::CopyDesert(data / "courses" / "sprint", "sprint", "Sprint",
                                [](nlohmann::json& c) { c["laps"] = 1; });
    }
    void TearDown() override { fs::remove_all(root); }

    Outcome Vorlan(const std::string& args) {
        const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && XDG_DATA_HOME=" +
                                    (root / "data").string() + " XDG_CONFIG_HOME=" + (root / "config").string() +
                                    " ./vorlan --profile " + data.string() + " " + args + " >" + (root / "out").string() + " 2>" +
                                    (root / "err").string();
        Outcome run;
        const int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = Read(root / "out");
        run.err = Read(root / "err");
        return run;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string Script(const std::string& name, const std::string& text) {
        std::ofstream(root / name) << text;
        return (root / name).string();
    }
    // The courseId of every trace line.
    std::vector<std::string> CourseIds(const fs::path& trace) {
        std::vector<std::string> ids;
        std::ifstream in(trace);
        std::string line;
        while (std::getline(in, line)) ids.push_back(nlohmann::json::parse(line)["courseId"]);
        return ids;
    }
    void MoveDashPanel() {
        const fs::path file = data / "courses" / "sprint" / "course.json";
        nlohmann::json course = course_copy::ReadJson(file);
        course["gameplay"]["dashPanels"]["places"][0]["position"][0] = -19.0;
        course_copy::WriteJson(file, course);
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("Reading", 0) != 0 && !line.empty()) lines.push_back(line);
        return lines;
    }

    fs::path root, data;
    const std::string quick = "--headless --no-render --fixed-clock --uncapped --seed 1 ";
};
}  // namespace

TEST_F(CourseSelectTest, ListedAndPickedOnTheCommandLine) {
    Outcome list = Vorlan("--list-courses");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "desert\tDesert\t3\ncanyon\tCanyon\t3\nriverside\tRiverside\t3\nsprint\tSprint\t1\n");
    EXPECT_EQ(list.err, "");
    // Without a profile, a player's courses are in the data folder's courses/.
    fs::create_directories(root / "data" / "vorlan-moto");
    fs::copy(data / "courses", root / "data" / "vorlan-moto" / "courses", fs::copy_options::recursive);
    const std::string xdg = "cd " + std::string(VORLAN_BINARY_DIR) + " && XDG_DATA_HOME=" + (root / "data").string() +
                            " ./vorlan --list-courses >" + (root / "xdg-out").string();
    ASSERT_EQ(std::system(xdg.c_str()), 0);
    EXPECT_EQ(Read(root / "xdg-out"), list.out);

    Outcome unknown = Vorlan(quick + "--course nowhere --frames 5");
    EXPECT_EQ(unknown.status, 2);
    const auto lines = Lines(unknown.err);
    ASSERT_EQ(lines.size(), 1u) << unknown.err;
    EXPECT_NE(lines[0].find("nowhere"), std::string::npos);
    EXPECT_NE(lines[0].find("desert, canyon, riverside, sprint"), std::string::npos);

    const fs::path trace = root / "picked.jsonl";
    ASSERT_EQ(Vorlan(quick + "--course sprint --frames 3 --trace " + trace.string()).status, 0);
    EXPECT_EQ(CourseIds(trace), std::vector<std::string>(3, "sprint"));
}

TEST_F(CourseSelectTest, LeftAndRightOnTheTitleChooseAndTheChoiceIsKept) {
    // Left (round to the last course), then Right, then Left again, each held for a few frames.
    const std::string keys = Script("keys.txt", "3 6 Left\n10 12 Right\n20 20 Left\n");
    const fs::path trace = root / "title.jsonl";
    ASSERT_EQ(Vorlan(quick + "--frames 25 --input " + keys + " --trace " + trace.string()).status, 0);
    const auto ids = CourseIds(trace);
    EXPECT_EQ(ids[2], "desert");
    EXPECT_EQ(ids[3], "sprint");
    EXPECT_EQ(ids[9], "sprint");  // held: one step per press
    EXPECT_EQ(ids[10], "desert");
    EXPECT_EQ(ids[20], "sprint");
    EXPECT_NE(Read(data / "settings.ini").find("course = sprint"), std::string::npos);

    // The next run starts on the course chosen last.
    const fs::path again = root / "again.jsonl";
    ASSERT_EQ(Vorlan(quick + "--frames 2 --trace " + again.string()).status, 0);
    EXPECT_EQ(CourseIds(again)[0], "sprint");

    // A course that has gone falls back to the first built-in one, with one line.
    fs::remove_all(data / "courses" / "sprint");
    const fs::path fallback = root / "fallback.jsonl";
    Outcome run = Vorlan(quick + "--frames 2 --trace " + fallback.string());
    EXPECT_EQ(CourseIds(fallback)[0], "desert");
    const auto lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("course 'sprint'"), std::string::npos);
}

TEST_F(CourseSelectTest, RecordsAreKeptPerCourseAndSetAsideWhenItsGameplayChanges) {
    const std::string start = Script("start.txt", "5 5 Enter\n");
    ASSERT_EQ(Vorlan(quick + "--autopilot --course sprint --frames 1700 --input " + start).status, 0);
    const fs::path records = data / "records" / "sprint";
    ASSERT_TRUE(fs::exists(records / "records.txt"));
    EXPECT_TRUE(fs::exists(records / "ghost.txt"));
    EXPECT_TRUE(fs::exists(records / "course.txt"));
    EXPECT_FALSE(fs::exists(data / "records.txt")) << "the desert's records stay apart";

    // A recording names the course; once the course changes it is refused.
    const fs::path recording = root / "run.rec";
    ASSERT_EQ(Vorlan(quick + "--course sprint --frames 20 --record " + recording.string()).status, 0);
    EXPECT_NE(Read(recording).find("\ncourse sprint "), std::string::npos);
    EXPECT_EQ(Vorlan("--headless --no-render --replay " + recording.string()).status, 0);

    // Only the look changes: the records stay.
    {
        const fs::path file = data / "courses" / "sprint" / "course.json";
        nlohmann::json course = course_copy::ReadJson(file);
        course["look"]["ambient"] = nlohmann::json::array({0.2, 0.2, 0.3});
        course_copy::WriteJson(file, course);
    }
    Outcome repainted = Vorlan(quick + "--course sprint --frames 2");
    EXPECT_TRUE(Lines(repainted.err).empty()) << repainted.err;
    EXPECT_TRUE(fs::exists(records / "records.txt"));

    MoveDashPanel();
    Outcome moved = Vorlan(quick + "--course sprint --frames 2");
    const auto lines = Lines(moved.err);
    ASSERT_EQ(lines.size(), 1u) << moved.err;
    EXPECT_NE(lines[0].find("'sprint' has changed"), std::string::npos);
    EXPECT_FALSE(fs::exists(records / "records.txt"));
    EXPECT_FALSE(fs::exists(records / "ghost.txt"));
    EXPECT_TRUE(fs::exists(records / "records.txt.bad"));

    Outcome replay = Vorlan("--headless --no-render --replay " + recording.string());
    EXPECT_EQ(replay.status, 2);
    const auto replayLines = Lines(replay.err);
    ASSERT_EQ(replayLines.size(), 1u) << replay.err;
    EXPECT_NE(replayLines[0].find("'sprint' has changed"), std::string::npos);

    fs::remove_all(data / "courses" / "sprint");
    Outcome missing = Vorlan("--headless --no-render --replay " + recording.string());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("'sprint', which is not here"), std::string::npos);
}
