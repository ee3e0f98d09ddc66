// The options screen on the title, driven key by key like a player: it
// changes the settings at once, refuses bad key bindings with a note, keeps
// Escape for itself and writes the file when closed.

#include "GameFixture.h"
#include "profile/PlayerRecords.h"
#include "profile/UserFiles.h"

#include "bike/Enemy.h"
#include "framework/platform/KeyBindings.h"
#include "scene/OptionsLayout.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class Options : public GameFixture {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-options-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        if (const char* value = std::getenv("XDG_CONFIG_HOME")) saved = value;
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
        GameFixture::SetUp();
        UserFiles::SetWritesAllowed(true);  // the player's own screen saves
        file = root / "vorlan-moto/settings.ini";
    }
    void TearDown() override {
        GameFixture::TearDown();
        if (saved.empty()) unsetenv("XDG_CONFIG_HOME");
        else setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        fs::remove_all(root);
    }
    // One press: down for a frame, then up for a frame.
    void Tap(Key key) {
        Press(key);
        Step();
        Release(key);
        Step();
    }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<uint8_t> RenderOptions() {
        AxDirect3D& device = AxDirect3D::GetInstance();
        device.SetSubmitEnabled(true);
        device.ClearBackBuffer(0.2f, 0.5f, 0.3f, 1.0f);
        device.ClearDepthStencil(1.0f, 0);
        game->DrawOptions();
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(device.ReadBackBuffer(rgba, w, h));
        device.SetSubmitEnabled(false);
        return rgba;
    }

    fs::path root, file;
    std::string saved;
};
}  // namespace

TEST_F(Options, ChangesTakeEffectAtOnceAndClosingWritesTheFile) {
    game->LoadSettings(Settings::DefaultPath());
    Step();
    Tap(Key::Options);
    ASSERT_TRUE(game->options.open);
    EXPECT_EQ(game->options.line, OptionsScreen::kGhost);
    // Up from the first line wraps to the last.
    Tap(Key::Up);
    EXPECT_EQ(game->options.line, OptionsScreen::kLineCount - 1);
    Tap(Key::Down);
    Tap(Key::Down);
    ASSERT_EQ(game->options.line, OptionsScreen::kDifficulty);
    Tap(Key::Right);
    EXPECT_EQ(game->settings.difficulty, Difficulty::Hard);
    EXPECT_FLOAT_EQ(game->enemies[0]->maxSpeed, 0.43f);
    EXPECT_FLOAT_EQ(game->enemies[1]->maxSpeed, 0.43f);
    Tap(Key::Right);  // no further than hard
    EXPECT_EQ(game->settings.difficulty, Difficulty::Hard);

    Tap(Key::Down);
    for (int i = 0; i < 12; ++i) Tap(Key::Left);
    EXPECT_EQ(game->settings.music, 0);
    EXPECT_EQ(AxAudioManager::GetInstance().CategoryVolume(AxSoundCategory::Music), 0.0f);
    EXPECT_EQ(game->titleInst->MixerGain(), 0.0f) << "the title music falls silent while the screen is open";
    Tap(Key::Down);
    Press(Key::Left);
    // An effects change is heard at its new level.
    EXPECT_TRUE(Played(Step(), "Data/Sound/press.wav"));
    Release(Key::Left);
    Step();
    EXPECT_FLOAT_EQ(AxAudioManager::GetInstance().CategoryVolume(AxSoundCategory::Effects), 0.9f);

    // Enter does not start the race under the screen.
    Tap(Key::Enter);
    EXPECT_EQ(game->mode, 1);
    EXPECT_FALSE(fs::exists(file)) << "written on closing, not before";
    Tap(Key::Options);
    EXPECT_FALSE(game->options.open);
    const std::string text = Slurp(file);
    EXPECT_NE(text.find("difficulty = hard\n"), std::string::npos) << text;
    EXPECT_NE(text.find("music = 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("effects = 9\n"), std::string::npos) << text;

    // The next stage (after a race) keeps the difficulty.
    game->ReleaseStage();
    game->LoadStage();
    EXPECT_FLOAT_EQ(game->enemies[0]->maxSpeed, 0.43f);
    // Reopened: the first line again.
    Tap(Key::Options);
    EXPECT_EQ(game->options.line, 0);
}

TEST_F(Options, EscapeGoesBackAndBelongsToTheScreenUntilLetGo) {
    game->LoadSettings(Settings::DefaultPath());
    Step();
    EXPECT_FALSE(game->takesEscape);
    Tap(Key::Options);
    EXPECT_TRUE(game->takesEscape);
    Press(Key::Escape);
    Step();
    EXPECT_FALSE(game->options.open);
    EXPECT_TRUE(game->takesEscape) << "the held Escape must not quit on the next frame";
    Step();
    EXPECT_TRUE(game->takesEscape);
    Release(Key::Escape);
    Step();
    EXPECT_FALSE(game->takesEscape);
    EXPECT_TRUE(fs::exists(file));
    // O does nothing once the race is under way.
    Tap(Key::Enter);
    ASSERT_EQ(game->mode, 0);
    Tap(Key::Options);
    EXPECT_FALSE(game->options.open);
}

TEST_F(Options, KeyLinesWaitForAKeyAndRefuseEnterEscapeAndKeysBoundTwice) {
    game->LoadSettings(Settings::DefaultPath());
    Step();
    Tap(Key::Options);
    for (int i = 0; i < OptionsScreen::kThrottle; ++i) Tap(Key::Down);
    Tap(Key::Right);
    ASSERT_TRUE(game->options.waitingForKey);
    Tap(Key::Left);  // already steers left
    EXPECT_FALSE(game->options.waitingForKey);
    EXPECT_EQ(game->options.note, options_layout::kBoundTwice);
    EXPECT_EQ(game->settings.keyThrottle, "Z");
    Tap(Key::Enter);
    ASSERT_TRUE(game->options.waitingForKey);
    Tap(Key::Escape);
    EXPECT_EQ(game->options.note, options_layout::kFixedKeys);
    EXPECT_TRUE(game->options.open) << "Escape while waiting is refused, it does not close";
    EXPECT_EQ(CurrentKeyBindings().throttle, SDL_SCANCODE_Z);

    Tap(Key::Right);
    Tap(Key::Ghost);  // the ghost's own key
    EXPECT_EQ(game->options.note, options_layout::kBoundTwice);
    Tap(Key::Right);
    Tap(Key::Down);
    EXPECT_EQ(game->settings.keyThrottle, "Down");
    EXPECT_EQ(CurrentKeyBindings().throttle, SDL_SCANCODE_DOWN);
    // The note gives way to the hint after a while.
    for (int i = 0; i < 200; ++i) Step();
    EXPECT_EQ(game->options.note, options_layout::kHint);
    // A key taken from the keyboard itself.
    game->rawKeys = true;
    Tap(Key::Down);
    Tap(Key::Right);
    NoteKeyPressed(SDL_SCANCODE_A);
    Step();
    EXPECT_EQ(game->settings.keyLeft, "A");
    EXPECT_EQ(CurrentKeyBindings().left, SDL_SCANCODE_A);
    Tap(Key::Options);
    EXPECT_NE(Slurp(file).find("key_left = A\n"), std::string::npos);
    // Leaving the game puts the usual keys back.
    game.reset();
    EXPECT_EQ(CurrentKeyBindings().throttle, SDL_SCANCODE_Z);
}

TEST_F(Options, BindingsThatCannotWorkInTheFileAreIgnoredAsAWhole) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "key_left = Z\nkey_right = Nonsense\n";
    testing::internal::CaptureStderr();
    game->LoadSettings(Settings::DefaultPath());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("line 2"), std::string::npos) << said;
    EXPECT_NE(said.find("key bindings ignored"), std::string::npos) << said;
    EXPECT_EQ(CurrentKeyBindings().left, SDL_SCANCODE_LEFT);
    EXPECT_EQ(CurrentKeyBindings().throttle, SDL_SCANCODE_Z);
    EXPECT_EQ(game->settings.keyLeft, "Left");
}

TEST_F(Options, TheScreenIsDrawnAndTheChosenLineIsMarked) {
    game->LoadSettings(Settings::DefaultPath());
    Step();
    Tap(Key::Options);
    const std::vector<uint8_t> first = RenderOptions();
    Tap(Key::Down);
    const std::vector<uint8_t> second = RenderOptions();
    auto pixel = [](const std::vector<uint8_t>& p, int x, int y) { return &p[(static_cast<size_t>(y) * kWidth + x) * 4]; };
    // The panel darkens the middle of the picture; the corner is untouched.
    EXPECT_LT(pixel(first, 640, 690)[1], 100);
    EXPECT_GT(pixel(first, 5, 5)[1], 120);
    // Only the bands of lines 0 and 1 differ between the two pictures.
    int minY = kHeight, maxY = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (std::abs(int(pixel(first, x, y)[2]) - int(pixel(second, x, y)[2])) > 8) {
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_GE(minY, 360 - 200 - 26);
    EXPECT_LE(maxY, 360 - 154 + 26);
    EXPECT_GT(maxY - minY, 60);
}

// The ghost and render scale lines steer the game: from the file at start,
// and at once when changed; a G press holds until the setting itself changes.
TEST_F(Options, GhostAndRenderScaleFollowTheSettings) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "ghost = off\nrender_scale = 0.5\n";
    game->LoadSettings(Settings::DefaultPath());
    EXPECT_FALSE(game->records->GhostShown());
    EXPECT_EQ(AxDirect3D::GetInstance().RenderScale(), 0.5f);

    game->settings.ghost = true;
    game->settings.renderScale = 1.0f;
    game->ApplySettings();
    EXPECT_TRUE(game->records->GhostShown());
    EXPECT_EQ(AxDirect3D::GetInstance().RenderScale(), 1.0f);
    game->records->SetGhostShown(false);  // as G does
    game->settings.music = 3;
    game->ApplySettings();
    EXPECT_FALSE(game->records->GhostShown()) << "another line's change leaves the ghost as G left it";
}

// While open the screen has the keys: the arrows change values whatever
// steer-left is bound to, and a key pressed there (G waiting for a binding)
// moves nothing else; the app leaves pause and fullscreen alone meanwhile.
TEST_F(Options, TheScreenOwnsItsKeysWhateverTheBindings) {
    game->LoadSettings(Settings::DefaultPath());
    game->settings.keyLeft = "A";
    game->ApplySettings();
    ASSERT_EQ(CurrentKeyBindings().left, SDL_SCANCODE_A);
    Step();
    Tap(Key::Options);
    EXPECT_TRUE(game->ownsKeys);
    Tap(Key::Down);
    Tap(Key::Down);
    ASSERT_EQ(game->options.line, OptionsScreen::kMusic);

    SetPlatform(nullptr);  // the real keyboard through SDL's event queue
    auto tap = [&](SDL_Scancode code) {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event event{};
            event.type = type;
            event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            event.key.keysym.scancode = code;
            event.key.keysym.sym = SDL_GetKeyFromScancode(code);
            SDL_PushEvent(&event);
        }
        WindowBackend::PumpEvents();
        game->Frame();
        WindowBackend::PumpEvents();
        game->Frame();
    };
    tap(SDL_SCANCODE_LEFT);
    EXPECT_EQ(game->settings.music, 9) << "Left lowers the volume though A steers left";
    tap(SDL_SCANCODE_A);
    EXPECT_EQ(game->settings.music, 9) << "A is no menu key";
    tap(SDL_SCANCODE_RIGHT);
    EXPECT_EQ(game->settings.music, 10);
    SetPlatform(&platform);

    // G pressed while the throttle line waits for a key: refused, and the
    // ghost stays as it was.
    const bool ghost = game->records->GhostShown();
    for (int i = OptionsScreen::kMusic; i < OptionsScreen::kThrottle; ++i) Tap(Key::Down);
    Tap(Key::Right);
    ASSERT_TRUE(game->options.waitingForKey);
    Tap(Key::Ghost);
    EXPECT_EQ(game->settings.keyThrottle, "Z");
    EXPECT_EQ(game->records->GhostShown(), ghost);
    // Held over the closing, G still does nothing until pressed again.
    Press(Key::Ghost);
    Tap(Key::Options);
    EXPECT_FALSE(game->ownsKeys);
    Step();
    EXPECT_EQ(game->records->GhostShown(), ghost);
    Release(Key::Ghost);
    Step();
    Tap(Key::Ghost);
    EXPECT_NE(game->records->GhostShown(), ghost);
}

// The lines show what is in force: the window after F11, G's ghost, and this
// run's command-line values, marked and never saved.
TEST_F(Options, TheLinesShowWhatIsInForceAndCommandLineValuesAreNotSaved) {
    bool fullscreen = false;
    game->setFullscreen = [&](bool on) { fullscreen = on; };
    game->isFullscreen = [&] { return fullscreen; };
    game->overrides.renderScale = 0.5f;
    game->overrides.ghost = false;
    game->LoadSettings(Settings::DefaultPath());
    EXPECT_EQ(AxDirect3D::GetInstance().RenderScale(), 0.5f);
    EXPECT_FALSE(game->records->GhostShown());
    Step();
    fullscreen = true;  // F11 or Alt+Enter, handled by the window
    Step();
    Tap(Key::Options);
    const Settings shown = game->overrides.Apply(game->settings);
    EXPECT_TRUE(shown.fullscreen) << "the fullscreen line reads ON";
    EXPECT_FALSE(game->overrides.fullscreen);
    EXPECT_FALSE(shown.ghost);
    EXPECT_FLOAT_EQ(shown.renderScale, 0.5f);
    // The marked lines: ghost and render scale, and nothing else, carry the mark.
    const std::vector<uint8_t> marked = RenderOptions();
    game->overrides.ghost.reset();
    game->overrides.renderScale.reset();
    const std::vector<uint8_t> plain = RenderOptions();
    game->overrides.ghost = false;
    game->overrides.renderScale = 0.5f;
    int rows[720] = {};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                if (marked[(size_t(y) * kWidth + x) * 4 + c] != plain[(size_t(y) * kWidth + x) * 4 + c]) rows[y] = 1;
    auto lineDiffers = [&](int line) {
        const int centre = 360 - (200 - 46 * line);
        for (int y = centre - 18; y <= centre + 18; ++y)
            if (rows[y]) return true;
        return false;
    };
    EXPECT_TRUE(lineDiffers(OptionsScreen::kGhost));
    EXPECT_TRUE(lineDiffers(OptionsScreen::kRenderScale));
    EXPECT_FALSE(lineDiffers(OptionsScreen::kFullscreen));
    EXPECT_FALSE(lineDiffers(OptionsScreen::kMusic));

    Tap(Key::Options);  // saved: the player's own values only
    std::string text = Slurp(file);
    EXPECT_NE(text.find("fullscreen = on\n"), std::string::npos) << text;
    EXPECT_NE(text.find("render_scale = auto\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ghost = on\n"), std::string::npos) << text;

    // Changing a marked line starts from the value shown and makes it the player's.
    Tap(Key::Options);
    for (int i = 0; i < OptionsScreen::kRenderScale; ++i) Tap(Key::Down);
    Tap(Key::Right);
    EXPECT_FALSE(game->overrides.renderScale);
    EXPECT_FLOAT_EQ(game->settings.renderScale, 0.55f);
    EXPECT_EQ(AxDirect3D::GetInstance().RenderScale(), 0.55f);
    Tap(Key::Options);
    text = Slurp(file);
    EXPECT_NE(text.find("render_scale = 0.55\n"), std::string::npos) << text;
}

// Auto sits past 100 % on the render scale line: Left from it fixes full
// size, Right from 100 % goes back to auto and no further; while auto, the
// settings leave the scene's size to the application.
TEST_F(Options, RenderScaleAutoSitsPastFullSize) {
    ASSERT_TRUE(game->settings.renderScaleAuto);
    AxDirect3D::GetInstance().SetRenderScale(0.75f);  // as the application's auto sizing may leave it
    Tap(Key::Options);
    for (int i = 0; i < OptionsScreen::kRenderScale; ++i) Tap(Key::Down);
    ASSERT_EQ(game->options.line, OptionsScreen::kRenderScale);
    Tap(Key::Right);
    EXPECT_TRUE(game->settings.renderScaleAuto) << "nothing past auto";
    Tap(Key::Left);
    EXPECT_FALSE(game->settings.renderScaleAuto);
    EXPECT_EQ(game->settings.renderScale, 1.0f);
    EXPECT_EQ(AxDirect3D::GetInstance().RenderScale(), 1.0f) << "a fixed scale is put in force at once";
    Tap(Key::Left);
    EXPECT_FLOAT_EQ(game->settings.renderScale, 0.95f);
    Tap(Key::Right);
    Tap(Key::Right);
    EXPECT_TRUE(game->settings.renderScaleAuto);
    AxDirect3D::GetInstance().SetRenderScale(0.5f);
    game->settings.music = 4;
    game->ApplySettings();
    EXPECT_EQ(AxDirect3D::GetInstance().RenderScale(), 0.5f) << "auto: the settings do not size the scene";
    AxDirect3D::GetInstance().SetRenderScale(1.0f);
}

TEST_F(Options, ThePlayerLineTakesANameTypedOnTheKeyboardAndRefusesOneTheServerWouldNot) {
    game->LoadSettings(Settings::DefaultPath());
    game->rawKeys = true;
    Step();
    Tap(Key::Options);
    Tap(Key::Up);  // the last line
    ASSERT_EQ(game->options.line, OptionsScreen::kPlayer);
    Tap(Key::Enter);
    ASSERT_TRUE(game->options.editingName);
    auto type = [&](int scancode) {
        NoteKeyPressed(scancode);
        Step();
    };
    for (int code : {SDL_SCANCODE_R, SDL_SCANCODE_I, SDL_SCANCODE_D, SDL_SCANCODE_E, SDL_SCANCODE_X, SDL_SCANCODE_BACKSPACE,
                     SDL_SCANCODE_SPACE, SDL_SCANCODE_7, SDL_SCANCODE_SLASH})
        type(code);
    EXPECT_EQ(game->options.nameDraft, "RIDE_7");
    type(SDL_SCANCODE_RETURN);
    EXPECT_FALSE(game->options.editingName);
    EXPECT_EQ(game->settings.player, "RIDE_7");
    Tap(Key::Enter);
    type(SDL_SCANCODE_BACKSPACE);
    type(SDL_SCANCODE_BACKSPACE);
    type(SDL_SCANCODE_BACKSPACE);
    type(SDL_SCANCODE_BACKSPACE);
    type(SDL_SCANCODE_RETURN);  // "RI": too short for the server
    EXPECT_EQ(game->settings.player, "RIDE_7");
    EXPECT_NE(game->options.textNote.find("3 TO 16"), std::string::npos);
    Tap(Key::Options);
    EXPECT_FALSE(game->options.open);
    EXPECT_NE(Slurp(file).find("player = RIDE_7\n"), std::string::npos);
}
