#include "scene/Game.h"

#include "app/FrameStats.h"
#include "bike/Enemy.h"
#include "bike/EngineSound.h"
#include "bike/GhostBike.h"
#include "bike/Player.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/MotionBlend.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/graphics/AxTextureCache.h"
#include "framework/platform/Platform.h"
#include "scene/GameSettings.h"
#include "scene/HudSprite.h"
#include "scene/OnlineHud.h"
#include "profile/PlayerRecords.h"
#include "profile/UserFiles.h"
#include "scene/PointFile.h"
#include "scene/RaceTimer.h"
#include "scene/RecordsHud.h"
#include "scene/SettingsApply.h"
#include "stage/ChaseCamera.h"
#include "stage/Course.h"
#include "stage/DashPanel.h"
#include "stage/ObstacleManager.h"
#include "stage/Sky.h"
#include "stage/WallSet.h"
#include "stage/course/CourseCatalog.h"
#include "profile/CourseStamp.h"
#include "scene/CourseChoice.h"
#include "scene/CourseTitle.h"
#include "stage/CoursePlaces.h"

#include <cstdio>


bool enterLatch = false;

namespace {
constexpr int kStartWait = 60;
constexpr float kTitleVolume = 0.2f;
constexpr float kTitleFade = 0.003f;
constexpr float kFinalLapPitch = 0.3f;
constexpr float kBlinkStep = 0.01f;
constexpr float kBlinkLow = 0.3f;
constexpr float kFadeOutStep = 0.05f;
constexpr float kFadeInStep = 0.1f;

const AxRect kTitleRect{0, 0, 768, 147};
const AxRect kTitlePromptRect{0, 0, 570, 46};
const AxRect kResultPromptRect{0, 46, 570, 46};
const AxRect kLapLabelRect{0, 168, 414, 84};
const AxRect kRaceRankLabelRect{0, 84, 230, 84};
const AxRect kResultRankLabelRect{0, 84, 300, 84};
const AxRect kFinishRect{0, 131, 714, 131};
const AxRect kRankRect{0, 0, 90, 97};
const AxRect kFullScreenRect{0, 0, 1280, 720};

bool EnterDown() { return Platform().IsKeyDown(Key::Enter); }

AxSpriteShader& Sprite() { return AxShaderManager::GetInstance().spriteShader; }
}  // namespace

Game::Game() {
    if (const CourseData* first = Courses().FirstPlayable()) courseData = *first;
    Init();
}

Game::Game(const CourseData& course) : courseData(course) { Init(); }

Game::~Game() {
    ReleaseCourse();
    delete recordsHud;
    recordsHud = nullptr;
    delete records;
    records = nullptr;
    titleInst.reset();
    titleSound.reset();
    bgmInst.reset();
    bgmSound.reset();
    bikeHitInst.reset();
    bikeHitSound.reset();
    // The next scene starts from the game's own volumes and keys.
    ResetVolumesAndKeys();
}

void Game::Init() {
    titleTex = textureCache->GetTexture("Data/Texture/name.png");
    numberTex = textureCache->GetTexture("Data/Texture/Number.png");
    uiTex = textureCache->GetTexture("Data/Texture/NewUI.png");
    signTex = textureCache->GetTexture("Data/Texture/sg.png");
    pushTex = textureCache->GetTexture("Data/Texture/push.png");
    optionsTex = textureCache->GetTexture("Data/Texture/options.png");
    rankTex[0] = textureCache->GetTexture("Data/Texture/Rank/rank1.png");
    rankTex[1] = textureCache->GetTexture("Data/Texture/Rank/rank2.png");
    rankTex[2] = textureCache->GetTexture("Data/Texture/Rank/rank3.png");

    LoadCourse();
    records = new PlayerRecords;
    LoadRecords();
    recordsHud = new RecordsHud(textureCache);
    PreparePrograms();  // the ghost's, the sky's and the panels' too
    fadeOut = false;
    fadeAlpha = 0.0f;

    auto loadSound = [](std::shared_ptr<AxSoundEffect>& sound, std::shared_ptr<AxSoundInstance>& instance,
                        const char* path, float volume) {
        sound = std::make_shared<AxSoundEffect>();
        sound->Load(path);
        instance = sound->CreateInstance(false);
        instance->SetVolume(volume);
    };
    loadSound(bikeHitSound, bikeHitInst, "Data/Sound/bikehit.wav", 1.0f);
    loadSound(bgmSound, bgmInst, courseData.look.music.c_str(), bgmVolume);
    loadSound(titleSound, titleInst, "Data/Sound/Title.WAV", titleVolume);
    bgmInst->SetCategory(AxSoundCategory::Music);
    titleInst->SetCategory(AxSoundCategory::Music);

    options.onChange = [this](int line) {
        ApplySettings();
        if (line == OptionsScreen::kPlayer && online) online->SetPlayer(settings.player);
        // A sound at the new level, so the player hears what they chose.
        if (line == OptionsScreen::kEffects) pressInst->Play(false, true);
    };
    options.onClose = [this] { return SaveSettings(); };
}

void Game::LoadSettings(const std::string& path) {
    settingsPath = path;
    LoadPlayerSettings(settings, path);
    ApplySettings();
}

void Game::ApplySettings() {
    const Settings inForce = overrides.Apply(settings);
    ApplyVolumesAndKeys(inForce);
    for (Enemy* enemy : enemies)
        if (enemy) enemy->maxSpeed = Settings::EnemyTopSpeed(inForce.difficulty);
    if (records) records->SetDifficulty(inForce.difficulty);
    // Only a change moves the window, so F11 holds until the line changes.
    if (setFullscreen && inForce.fullscreen != shownFullscreen) setFullscreen(inForce.fullscreen);
    shownFullscreen = inForce.fullscreen;
    seenFullscreen = isFullscreen ? isFullscreen() : shownFullscreen;
    // Likewise the ghost (G holds) and the render scale.
    if (records && inForce.ghost != appliedGhost) records->SetGhostShown(inForce.ghost);
    appliedGhost = inForce.ghost;
    // With the scale on auto the application sizes the scene.
    if (!inForce.renderScaleAuto && (inForce.renderScale != appliedRenderScale || appliedRenderScaleAuto))
        AxDirect3D::GetInstance().SetRenderScale(inForce.renderScale);
    appliedRenderScale = inForce.renderScale;
    appliedRenderScaleAuto = inForce.renderScaleAuto;
}

// F11, Alt+Enter and G are the player's own choices: the lines follow them.
void Game::FollowPlayerSwitches() {
    if (isFullscreen) {
        const bool now = isFullscreen();
        if (now != seenFullscreen) {
            seenFullscreen = shownFullscreen = settings.fullscreen = now;
            overrides.fullscreen.reset();
        }
    }
    if (records && records->GhostShown() != appliedGhost) {
        appliedGhost = settings.ghost = records->GhostShown();
        overrides.ghost.reset();
    }
}

bool Game::SaveSettings() {
    // Demos, scripted and replayed runs keep the changes for this run only.
    if (!UserFiles::WritesAllowed()) return true;
    std::string error;
    if (settings.Save(settingsPath, error)) return true;
    // Once: the settings still hold for this run.
    if (!saveFailureReported) std::fprintf(stderr, "vorlan: settings kept for this run only: %s\n", error.c_str());
    saveFailureReported = true;
    return false;
}

void Game::SetLights() { SetLights(CourseLook{}); }

void Game::SetLights(const CourseLook& look) {
    AxConstantBuffer<cbLight>& lights = AxShaderManager::GetInstance().cb8Light;
    lights.data.g_DL_Dir = ToVector(look.sunDirection).Normalized();
    lights.data.g_DL_Color = ToVector(look.sunColour);
    lights.data.g_AmbientLight = ToVector(look.ambient);
    lights.dirty = true;
    lights.Write();
}

// The course's lights, checkpoints, stage, dash panels, sky and the ghost's bike.
void Game::LoadCourse() {
    SetLights(courseData.look);
    modelCache = new AxModelCache;
    for (const Vector3& point : ReadPointFile(courseData.gameplay.checkpointFile, kMaxCheckpoints))
        checkpoints.push_back(new Checkpoint(point));
    LoadStage();
    for (const CoursePlace& place : courseData.gameplay.dashPanels)
        dashPanels.push_back(new DashPanel(*this, *modelCache, courseData.gameplay.dashModel,
                                           Matrix::CreateTranslation(ToVector(place.at)), place.angle));
    sky = new Sky(*modelCache, courseData.look.skyModel);
    ghostBike = new GhostBike(*modelCache);
}

void Game::ReleaseCourse() {
    ReleaseStage();
    for (DashPanel* panel : dashPanels) delete panel;
    dashPanels.clear();
    delete sky;
    sky = nullptr;
    delete ghostBike;
    ghostBike = nullptr;
    for (Checkpoint* checkpoint : checkpoints) delete checkpoint;
    checkpoints.clear();
    // Every model of the course goes with its cache.
    delete modelCache;
    modelCache = nullptr;
}

void Game::SwitchCourse(const CourseData& next) {
    ReleaseCourse();
    courseData = next;
    LoadCourse();
    LoadRecords();
    PreparePrograms();  // nothing of the new course is compiled in its race
    bgmInst->Stop();
    bgmInst.reset();
    bgmSound = std::make_shared<AxSoundEffect>();
    bgmSound->Load(courseData.look.music);
    bgmInst = bgmSound->CreateInstance(false);
    bgmInst->SetVolume(bgmVolume);
    bgmInst->SetCategory(AxSoundCategory::Music);
    ApplySettings();
}

void Game::LoadRecords() {
    // A fresh set for the course; whether the ghost shows is the player's, not the course's.
    const bool shown = records->GhostShown();
    const bool record = records->RecordGhostShown();
    *records = PlayerRecords();
    records->today = [] { return Platform().LocalDate(); };
    records->SetGhostShown(shown);
    records->SetRecordChosen(record);
    records->laps = courseData.laps;
    const std::string folder = CourseRecordsFolder(courseData.id);
    bool changed = false;
    if (!courseData.gameplayHash.empty()) {
        changed = CourseStamp::SetAsideIfChanged(folder, courseData.id, courseData.gameplayHash);
        records->courseStamp = CourseStamp::Text(courseData.id, courseData.gameplayHash);
    }
    records->Load(folder, !changed);
}

void Game::ChooseCourse() {
    IPlatform& keys = Platform();
    const bool left = keys.IsKeyDown(Key::Left), right = keys.IsKeyDown(Key::Right);
    if (!left && !right) {
        courseKeyLatch = false;
        return;
    }
    if (courseKeyLatch || TitleScreenOpen() || fadeOut) return;
    courseKeyLatch = true;
    const CourseData* next = Courses().catalog.Step(courseData.id, right ? 1 : -1);
    if (!next || next->id == courseData.id) return;
    SwitchCourse(*next);
    settings.course = courseData.id;
    SaveSettings();
}

void Game::LoadStage() {
    // A new stage: no picture blends with the old one's.
    Motion().Jump();
    const CourseGameplay& gameplay = courseData.gameplay;
    player = new Player(*this, *modelCache, ToVector(gameplay.grid[0].at), gameplay.grid[0].angle);
    enemies[0] = new Enemy(*this, *modelCache, 1, ToVector(gameplay.grid[1].at), gameplay.grid[1].angle);
    enemies[1] = new Enemy(*this, *modelCache, 2, ToVector(gameplay.grid[2].at), gameplay.grid[2].angle);
    player->finishLap = FinishLap();
    for (Enemy* enemy : enemies) {
        enemy->maxSpeed = Settings::EnemyTopSpeed(DifficultyInForce());
        enemy->finishLap = FinishLap();
    }
    course = new Course(*this, *modelCache, gameplay.roadModel, gameplay.groundModel);
    walls = new WallSet(*this, *modelCache, gameplay);
    obstacles = new ObstacleManager(*this, *modelCache, courseData);
    raceTimer = new RaceTimer(textureCache);
    camera = new ChaseCamera(*this);
    engineSound = new EngineSound(*this);
    PreparePrograms();
    // No race file goes on from the old stage's title.
    raceRecorder.StageLoaded(*this);
}

// Every program the stage's models may be drawn with, built while it loads
// rather than the first time a race shows one.
void Game::PreparePrograms() {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    modelCache->ForEach([&shader](const AxModel& model) { shader.Prepare(&model); });
}

void Game::ReleaseStage() {
    delete camera;
    camera = nullptr;
    delete course;
    course = nullptr;
    delete player;
    player = nullptr;
    delete enemies[0];
    enemies[0] = nullptr;
    delete enemies[1];
    enemies[1] = nullptr;
    if (walls) walls->Release();
    delete walls;
    walls = nullptr;
    if (obstacles) obstacles->Release();
    delete obstacles;
    obstacles = nullptr;
    delete raceTimer;
    raceTimer = nullptr;
    delete engineSound;
    engineSound = nullptr;
}

bool Game::PlayerFinished() const { return player && player->lap >= FinishLap(); }

int Game::Countdown() const { return raceTimer ? raceTimer->countdown : 0; }

void Game::ShiftClock(uint32_t ms) {
    raceRecorder.ShiftClock(ms);
    if (raceTimer) raceTimer->Shift(ms);
}

// One frame, in a fixed order: the mode part (title or race: music, engine,
// camera, timer), the bikes and their contacts, the stage objects, the blink,
// Enter on the result screen, the fade out with the reload, the fade in.
void Game::Update() {
    if (mode == 0) {
        titleVolume -= kTitleFade;
        titleInst->SetVolume(titleVolume);
        if (titleVolume <= 0.0f) titleInst->Stop();
        if (raceTimer && static_cast<float>(raceTimer->time) > 1.0f && !bgmStarted) {
            bgmInst->Play(true, true);
            bgmStarted = true;
        }
        bgmInst->SetPitch(player && player->lap == FinishLap() - 1 ? kFinalLapPitch : 0.0f);
        if (engineSound && startWait <= 0) engineSound->Update();
        if (startWait > 0) startWait -= 1;
        if (camera) camera->Update();
        if (!PlayerFinished() && raceTimer) raceTimer->Update();
        // A steering key still held when the title comes back chooses nothing.
        courseKeyLatch = Platform().IsKeyDown(Key::Left) || Platform().IsKeyDown(Key::Right);
    } else {
        if (!titleBgmStarted) {
            titleInst->Play(true, true);
            titleBgmStarted = true;
        }
        ChooseCourse();
        if (!enterLatch && EnterDown() && !options.open && !coursesScreen.OwnsKeys()) {
            pressInst->Play(false, true);
            mode = 0;
            titleBgmStarted = false;
            startWait = kStartWait;
            Motion().Jump();  // the race starts from where the pictures stand
            // The countdown and the clock count from this press, not from
            // the stage load before the title screen.
            if (raceTimer) raceTimer->Restart();
            if (online) online->RaceBegun();
        }
    }

    if (player) player->Update();
    for (int i = 0; i < 2; ++i) {
        if (!enemies[i]) continue;
        enemies[i]->Update();
        if (player) {
            Vector3 centre = player->world.Translation();
            enemyHit[i] = enemies[i]->HitBike(centre, player->radius);
            player->position = centre;
            if (enemyHit[i]) {
                if (!enemyHitLatch[i]) {
                    bikeHitInst->Play(false, true);
                    enemyHitLatch[i] = true;
                }
            } else {
                enemyHitLatch[i] = false;
            }
        }
        if (i == 0 && enemies[1]) {
            Vector3 centre = enemies[1]->world.Translation();
            enemies[0]->HitBike(centre, enemies[1]->radius);
            enemies[1]->position = centre;
        }
    }

    if (course) course->Update(textureCache);
    if (obstacles) obstacles->Update(*modelCache);
    if (walls) walls->Update();
    for (DashPanel* panel : dashPanels) panel->Update();

    if (PlayerFinished() || mode == 1) {
        if (!blinkRising) {
            blinkAlpha -= kBlinkStep;
            if (blinkAlpha <= kBlinkLow) blinkRising = true;
        }
        if (blinkRising) {
            blinkAlpha += kBlinkStep;
            if (blinkAlpha >= 1.0f) blinkRising = false;
        }
    }

    if (EnterDown()) {
        if (PlayerFinished() && !enterLatch) {
            enterLatch = true;
            fadeOut = true;
            pressInst->Play(false, true);
        }
    } else {
        enterLatch = false;
    }

    if (PlayerFinished() && fadeOut) {
        fadeAlpha += kFadeOutStep;
        if (fadeAlpha >= 1.0f) {
            ReleaseStage();
            LoadStage();
            fadeOut = false;
            mode = 1;
            titleVolume = kTitleVolume;
            titleInst->SetVolume(titleVolume);
            bgmInst->Stop();
            bgmStarted = false;
        }
    }

    if (!fadeOut && fadeAlpha > 0.0f) {
        fadeAlpha -= kFadeInStep;
        if (fadeAlpha < 0.0f) fadeAlpha = 0.0f;
    }
    UpdateRecords();
}

void Game::KeepFinishedRace() {
    const std::optional<RaceFile> race = raceRecorder.TakeFinished();
    if (!race) return;
    const std::string text = race->Text();
    if (!saveRunPath.empty() && !runSaved) {
        runSaved = true;
        std::string error;
        if (!UserFiles::WriteAtomically(saveRunPath, text, error))
            std::fprintf(stderr, "vorlan: --save-run: %s\n", error.c_str());
    }
    // Beside the ghost it set, when the race was the best.
    if (records) records->KeepRaceFile(text);
    // Demos and scripted runs without a profile of their own send nothing.
    if (online && UserFiles::WritesAllowed()) online->SendRace(text);
}

void Game::UpdateRecords() {
    if (!records) return;
    records->GhostKey(Platform().IsKeyDown(Key::Ghost), options.OwnsKeys() || coursesScreen.OwnsKeys());
    PlayerRecords::RaceState state;
    state.racing = mode == 0 && player && raceTimer;
    if (state.racing) {
        state.countdown = raceTimer->countdown;
        state.raceMs = raceTimer->ElapsedMs();
        state.lap = player->lap;
        state.player = {player->position.x, player->position.y, player->position.z, player->yaw, player->lean};
    }
    records->Frame(state);
}

void Game::Step() {
    const bool updating = !paused;
    if (updating) raceRecorder.BeginUpdate(*this);
    if (updating) {
        FrameStats::Section section(FrameStats::kUpdate);
        // Before the title reads Enter, so Enter on an open screen stays there.
        options.Update(Platform(), mode == 1 && !fadeOut && !coursesScreen.open, rawKeys);
        coursesScreen.Update(Platform(), mode == 1 && !fadeOut && !options.open, online.get());
        UpdateOnline();
        Update();
        // The camera's history is game state, moved once per update; a pause must not move it.
        if (camera && player) camera->SetFromTarget(player->headingWorld);
    }
    FollowPlayerSwitches();
    // The race display's rank is worked out once per update, where the
    // display used to ask for it, so how often pictures are drawn cannot move it.
    if (mode == 0 && player) player->GetRank();
    if (updating) {
        raceRecorder.EndUpdate(*this);
        KeepFinishedRace();
    }
    takesEscape = options.HoldsEscape() || coursesScreen.HoldsEscape();
    ownsKeys = options.OwnsKeys() || coursesScreen.OwnsKeys();
    // A gamepad's Start pauses a race under way and stands for Enter elsewhere.
    startPauses = mode == 0 && !PlayerFinished();
}

// The 3D scene between the last two updates, the screens as the last update left them.
void Game::Picture() {
    FrameStats::Section section(FrameStats::kDraw);
    const int programsBefore = AxShaderManager::GetInstance().modelShader.BuiltCount();
    const bool racing = mode == 0;
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.BeginScene3D();  // at the render scale; the 2D screens at full size
    ClearTargets();
    if (camera && player) camera->DrawView(player->headingWorld);
    Draw();
    device.EndScene3D();
    if (mode == 0) DrawRaceHUD();
    else if (options.open) DrawOptions();
    else if (coursesScreen.open) DrawCourses();
    else DrawTitle();
    if (racing)
        FrameStats::Get().programsBuiltInRace += AxShaderManager::GetInstance().modelShader.BuiltCount() - programsBefore;
}

void Game::DrawOptions() {
    Sprite().Begin(true, true);
    options.Draw(optionsTex);
    Sprite().End();
}

void Game::DrawCourses() {
    Sprite().Begin(true, true);
    coursesScreen.Draw(optionsTex, online.get());
    Sprite().End();
}

// What the client finished since the last update; a course it installed
// joins the catalogue; the ghost key may step on to the world record's line.
void Game::UpdateOnline() {
    if (!online) return;
    online->Poll();
    if (const std::optional<std::string> id = online->TakeInstalled()) Courses().Rescan();
    if (const std::optional<std::string> why = online->TakeNameRefusal()) options.ShowText(why->c_str());
    if (records)
        records->OfferRecordGhost(online->RecordGhost(courseData.id, courseData.gameplayHash,
                                                    Settings::DifficultyName(DifficultyInForce())));
}

void Game::Draw() {
    AxShaderManager::GetInstance().modelShader.SetToDevice();
    if (player) player->Draw();
    if (enemies[0]) enemies[0]->Draw();
    if (enemies[1]) enemies[1]->Draw();
    if (walls) walls->Draw();
    if (obstacles) obstacles->Draw();
    for (DashPanel* panel : dashPanels) panel->Draw();
    // Near to far, so the depth test spares the shading of hidden pixels: the
    // sky dome only fills what the course leaves free (it is farther than
    // anything on the course), and the see-through effects come last.
    if (course) course->DrawSurfaces();
    if (sky) sky->Draw();
    if (course) course->DrawEffects(true);
    if (ghostBike && records && records->GhostShown())
        if (const std::optional<GhostPose> pose = records->GhostNow()) ghostBike->Draw(*pose);
}

void Game::DrawTitle() {
    Sprite().Begin(false, true);
    DrawHudSprite(HudAt(0.0f, 200.0f), titleTex, kTitleRect);
    DrawHudSprite(Matrix(), pushTex, kTitlePromptRect, blinkAlpha);
    std::optional<uint32_t> best;
    if (records && records->records.best) best = records->records.best->ms;
    DrawCourseTitle(optionsTex, courseData.name, Courses().catalog.courses.size() > 1, best);
    if (online)
        if (const auto standing = online->Standing(courseData.id, courseData.gameplayHash,
                                                   Settings::DifficultyName(DifficultyInForce())))
            DrawOnlineTitle(optionsTex, *standing);
    DrawFade();
    Sprite().End();
}

void Game::DrawRaceHUD() {
    Sprite().Begin(false, true);
    if (player && !PlayerFinished()) {
        if (raceTimer) {
            raceTimer->Draw();
            Sprite().Begin(false, true);  // the timer closed the batch
        }
        DrawHudSprite(HudHalfAt(-495.0f, 260.0f), uiTex, kLapLabelRect);
        DrawHudSprite(HudHalfAt(-467.0f, 272.0f), numberTex, DigitRect(static_cast<int>(player->lap)), 1.0f, 1.0f,
               1.0f);
        DrawHudSprite(HudHalfAt(-420.0f, 272.0f), numberTex, DigitRect(courseData.laps), 1.0f, 1.0f, 1.0f);
        DrawHudSprite(HudAt(380.0f, 300.0f), uiTex, kRaceRankLabelRect);
        DrawHudSprite(HudAt(570.0f, 305.0f), RankTexture(player->rank), kRankRect);
        if (recordsHud && records) recordsHud->DrawRace(*records);
    } else if (player) {
        DrawHudSprite(HudAt(0.0f, 200.0f), signTex, kFinishRect);
        DrawHudSprite(HudAt(-80.0f, 15.0f), uiTex, kResultRankLabelRect);
        DrawHudSprite(HudAt(140.0f, 20.0f), RankTexture(player->rank), kRankRect);
        DrawHudSprite(HudAt(0.0f, -100.0f), uiTex, kTimeLabelRect);
        const int time = raceTimer ? raceTimer->time : 0;
        const int minutes = raceTimer ? raceTimer->minutes : 0;
        DrawTimeDigits(numberTex, time, 370.0f, -75.0f, 53.0f, false);
        DrawHudSprite(HudAt(90.0f, -75.0f), numberTex, DigitRect(minutes), 1.0f, 1.0f, 1.0f);
        DrawHudSprite(HudAt(0.0f, -250.0f), pushTex, kResultPromptRect, blinkAlpha);
        if (recordsHud && records) recordsHud->DrawResult(*records);
        if (online) DrawOnlineResult(optionsTex, online->Race());
    }
    DrawFade();
    Sprite().End();
}

// The black overlay of the fade; fully clear it changes no pixel, so most
// frames leave out a whole blended screen of work.
void Game::DrawFade() {
    if (fadeAlpha > 0.0f) DrawHudSprite(Matrix(), fadeTex, kFullScreenRect, fadeAlpha);
}

AxTexture* Game::RankTexture(uint32_t rank) const { return rank >= 1 && rank <= 3 ? rankTex[rank - 1] : nullptr; }
