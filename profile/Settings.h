#pragma once
// The player's settings, kept in settings.ini in the config folder:
// "key = value" lines and "#" comments, readable and editable by hand.
// Reading never fails: what cannot be read keeps its default and is
// reported once. The file is only written when the player saves, and keeps
// the lines it does not know. No GL, AL or SDL here.

#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class Difficulty { Easy, Normal, Hard };

class Settings {
public:
    static constexpr int kMaxVolume = 10;
    static constexpr float kMinRenderScale = 0.25f;
    static constexpr float kMaxRenderScale = 1.0f;

    int music = kMaxVolume;    // 0..10; 10 is the game's own volume
    int effects = kMaxVolume;  // 0..10
    Difficulty difficulty = Difficulty::Normal;
    bool fullscreen = false;
    float renderScale = 1.0f;  // 0.25..1.0, in force when renderScaleAuto is off
    bool renderScaleAuto = true;  // "auto": the size follows the machine
    bool vsync = true;            // presenting waits for the display's refresh
    bool ghost = true;
    // Keyboard keys by their names ("Z", "Left", "Space").
    std::string keyThrottle = "Z";
    std::string keyLeft = "Left";
    std::string keyRight = "Right";
    std::string keyPause = "P";
    // The course chosen on the title, by id; empty: the first built-in one.
    std::string course;
    // The leaderboard server (http:// or https://); empty: offline.
    std::string server;
    // The name races are sent under; registered on first use.
    std::string player;
    static constexpr size_t kMaxServerChars = 200;
    static constexpr size_t kMaxPlayerChars = 24;
    static bool ValidServer(const std::string& url);
    // Letters, digits, '_' and '-', as the server takes them.
    static bool ValidPlayerName(const std::string& name);

    // $XDG_CONFIG_HOME/vorlan-moto/settings.ini; empty without a folder.
    static std::string DefaultPath();

    // Reads path; a missing file reads as the defaults without a word. Lines
    // that cannot be used (and clamped values) are listed in Problems. A key
    // name is checked with isKeyName when one is given.
    void Load(const std::string& path, const std::function<bool(const std::string&)>& isKeyName = nullptr);
    // Reads text as the file's contents.
    void Parse(const std::string& text, const std::function<bool(const std::string&)>& isKeyName = nullptr);
    const std::vector<std::string>& Problems() const { return problems; }
    // "settings.ini line 3: ..." lines, one per problem; empty when none.
    std::string ProblemReport() const;

    // Writes the settings to path atomically, keeping comments and unknown
    // keys of the file read. A file that had unreadable lines is first set
    // aside beside it. False with error when it cannot be written.
    bool Save(const std::string& path, std::string& error);
    // The text Save writes.
    std::string Text() const;

    static const char* DifficultyName(Difficulty difficulty);
    // The computer bikes' top speed.
    static float EnemyTopSpeed(Difficulty difficulty);

private:
    struct Line {
        std::string key;   // empty: comment, blank line or unknown text kept as is
        std::string text;  // the line as read, for kept lines
    };
    std::string ValueOf(const std::string& key) const;

    std::vector<Line> lines;
    std::vector<std::string> problems;
    bool unreadableLines = false;
    bool unreadableFile = false;
    std::string loadedPath;
};

// This run's values that are not the player's settings: the command line's
// (--fullscreen, --render-scale, --no-ghost) and a replay's difficulty. The
// options screen shows them for what they are; they are never saved.
struct SettingsOverrides {
    std::optional<bool> fullscreen;
    std::optional<float> renderScale;  // a fixed scale, which turns the auto scale off
    std::optional<bool> renderScaleAuto;
    std::optional<bool> ghost;
    std::optional<Difficulty> difficulty;

    // The settings in force: the player's with this run's values over them.
    Settings Apply(const Settings& settings) const {
        Settings inForce = settings;
        if (fullscreen) inForce.fullscreen = *fullscreen;
        if (renderScale) {
            inForce.renderScale = *renderScale;
            inForce.renderScaleAuto = false;
        }
        if (renderScaleAuto) inForce.renderScaleAuto = *renderScaleAuto;
        if (ghost) inForce.ghost = *ghost;
        if (difficulty) inForce.difficulty = *difficulty;
        return inForce;
    }
};
