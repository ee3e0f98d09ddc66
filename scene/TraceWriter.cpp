#include "scene/TraceWriter.h"

#include "app/Scene_base.h"
#include "framework/audio/AxAudioManager.h"
#include "bike/Enemy.h"
#include "bike/Player.h"
#include "profile/PlayerRecords.h"
#include "scene/Game.h"
#include "scene/GameSettings.h"
#include "scene/RaceTimer.h"
#include "stage/ChaseCamera.h"
#include "stage/Course.h"
#include "stage/DashPanel.h"
#include "stage/ObstacleManager.h"
#include "stage/WallSet.h"

namespace {
void Vec(JsonLine& line, const char* key, const Vector3& v) { line.Vec3(key, v.x, v.y, v.z); }

void WriteBike(JsonLine& line, const Bike_base& bike) {
    line.BeginObject();
    Vec(line, "pos", bike.position);
    line.Number("yaw", bike.yaw).Number("lean", bike.lean).Number("speed", bike.speed);
    line.Integer("lap", bike.lap).Integer("checkpointIndex", bike.checkpointIndex);
    line.Integer("steerTolerance", bike.steerTolerance);
    line.Bool("accelerating", bike.accelerating).Bool("hitWall", bike.hitWall);
    line.EndObject();
}

void WriteRecords(JsonLine& line, const PlayerRecords* records) {
    if (!records) {
        line.Null("records").Null("ghost");
        return;
    }
    line.BeginObject("records");
    if (records->records.best) line.Integer("best", records->records.best->ms);
    else line.Null("best");
    if (records->records.bestLap) line.Integer("bestLap", records->records.bestLap->ms);
    else line.Null("bestLap");
    line.Bool("newRecord", records->newRecord).EndObject();
    line.BeginObject("ghost").Bool("visible", records->GhostShown());
    if (const std::optional<GhostPose> pose = records->GhostNow()) line.Vec3("pos", pose->x, pose->y, pose->z);
    else line.Null("pos");
    line.EndObject();
}

void WriteGame(JsonLine& line, const Game& game) {
    line.Integer("mode", game.mode).Bool("enterLatch", enterLatch);
    line.Number("blinkAlpha", game.blinkAlpha).Number("titleVolume", game.titleVolume);
    line.Bool("bgmStarted", game.bgmStarted).Integer("startWait", game.startWait);
    if (const RaceTimer* t = game.raceTimer) {
        line.BeginObject("timer").Integer("countdown", t->countdown).Integer("time", t->time);
        line.Integer("minutes", t->minutes).Bool("capped", t->capped).Number("countAlpha", t->countAlpha);
        line.EndObject();
    } else {
        line.Null("timer");
    }
    if (game.player) line.Integer("rank", game.player->rank);
    else line.Null("rank");
    if (game.player && game.enemies[0] && game.enemies[1]) {
        line.BeginArray("bikes");
        WriteBike(line, *game.player);
        WriteBike(line, *game.enemies[0]);
        WriteBike(line, *game.enemies[1]);
        line.EndArray();
    } else {
        line.Null("bikes");
    }
    if (const ChaseCamera* c = game.camera) {
        line.BeginObject("camera");
        Vec(line, "eye", c->eye);
        Vec(line, "target", c->target);
        line.Number("eyeOffsetZ", c->eyeOffsetZ).Number("fov", c->fov).EndObject();
    } else {
        line.Null("camera");
    }
    if (const Course* c = game.course) {
        line.BeginObject("course");
        line.Integer("whiteSmokes", static_cast<long long>(c->WhiteSmokeCount()));
        line.Integer("sandSmokes", static_cast<long long>(c->SandSmokeCount()));
        line.BeginArray("onSand");
        for (bool b : c->onSand) line.Bool(nullptr, b);
        line.EndArray().BeginArray("dirtVolumes");
        for (float v : c->dirtVolumes) line.Number(nullptr, v);
        line.EndArray().EndObject();
    } else {
        line.Null("course");
    }
    if (const ObstacleManager* o = game.obstacles) {
        line.BeginObject("obstacles");
        line.Bool("switchOn", o->switchOn).Number("armAngle", o->ArmAngle()).Bool("armMoving", o->ArmMoving());
        line.BeginArray("boxes");
        for (size_t i = 0; i < o->boxes.size(); ++i) {
            line.BeginObject();
            Vec(line, "pos", o->BoxPosition(i));
            line.Bool("active", i < ObstacleManager::kMaxBoxes && o->boxActive[i]).EndObject();
        }
        line.EndArray().Integer("fragments", static_cast<long long>(o->fragments.size())).EndObject();
    } else {
        line.Null("obstacles");
    }
    if (const WallSet* w = game.walls; w && w->movingWall) {
        line.BeginObject("walls").Number("offset", w->movingWall->offset);
        line.Bool("raising", w->movingWall->raising).Bool("lowering", w->movingWall->lowering);
        line.BeginArray("switchOn").Bool(nullptr, w->switchOn[0]).Bool(nullptr, w->switchOn[1]).EndArray();
        line.EndObject();
    } else {
        line.Null("walls");
    }
    line.BeginArray("dashPanels");
    for (const DashPanel* panel : game.dashPanels) {
        line.BeginObject().BeginArray("bikeOnPanel");
        for (bool b : panel->bikeOnPanel) line.Bool(nullptr, b);
        line.EndArray().EndObject();
    }
    line.EndArray();
    WriteRecords(line, game.records);
    line.BeginObject("settings").Integer("music", game.settings.music).Integer("effects", game.settings.effects);
    line.String("difficulty", Settings::DifficultyName(game.DifficultyInForce())).EndObject();
    line.BeginObject("options").Bool("open", game.options.open).Integer("line", game.options.line).EndObject();
    // Last: what the server made of the race is no game field.
    static const OnlineRaceState offline;
    const OnlineRaceState& race = game.online ? game.online->Race() : offline;
    line.BeginObject("online").String("state", OnlineRaceState::Name(race.state));
    if (race.rank) line.Integer("rank", *race.rank);
    else line.Null("rank");
    if (race.of) line.Integer("of", *race.of);
    else line.Null("of");
    line.Bool("recordGhost", game.records && game.records->RecordGhostShown());
    line.BeginObject("courses").Bool("open", game.coursesScreen.open).Integer("line", game.coursesScreen.line);
    line.Integer("shared", game.online ? static_cast<long long>(game.online->Courses().size()) : 0).EndObject();
    line.EndObject();
}
}  // namespace

bool TraceWriter::Open(const std::string& path) {
    Close();
    if (path == "-") {
        file = stdout;
        ownsFile = false;
    } else {
        file = std::fopen(path.c_str(), "wb");
        ownsFile = true;
    }
    return file != nullptr;
}

void TraceWriter::Close() {
    if (file && ownsFile) std::fclose(file);
    else if (file) std::fflush(file);
    file = nullptr;
    ownsFile = false;
}

void TraceWriter::BuildFrame(JsonLine& line, long long frame, uint32_t ms, const Scene_base* scene) {
    line.Clear();
    line.BeginObject();
    line.Integer("frame", frame).Integer("ms", ms);
    if (const Game* game = dynamic_cast<const Game*>(scene)) line.String("courseId", game->courseData.id);
    if (scene) {
        line.Bool("fadeOut", scene->fadeOut).Number("fadeAlpha", scene->fadeAlpha);
        // What the audio manager recorded since this frame's Update.
        line.BeginArray("sounds");
        for (const AxSoundPlayRecord& play : AxAudioManager::GetInstance().GetFramePlays()) {
            line.BeginObject().String("file", play.file).Bool("3d", play.is3D);
            if (play.is3D) line.Vec3("pos", play.pos.x, play.pos.y, play.pos.z);
            line.EndObject();
        }
        line.EndArray();
        if (const Game* game = dynamic_cast<const Game*>(scene)) WriteGame(line, *game);
    }
    line.EndObject();
}

void TraceWriter::WriteFrame(long long frame, uint32_t ms, const Scene_base* scene) {
    if (!file) return;
    BuildFrame(line, frame, ms, scene);
    std::fputs(line.Text().c_str(), file);
    std::fputc('\n', file);
}
