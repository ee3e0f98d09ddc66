#include "scene/TraceWriter.h"

#include "app/Scene_base.h"
#include "framework/audio/AxAudioManager.h"
#include "scene/Game.h"

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
    }
    line.EndObject();
}

void TraceWriter::WriteFrame(long long frame, uint32_t ms, const Scene_base* scene) {
    if (!file) return;
    BuildFrame(line, frame, ms, scene);
    std::fputs(line.Text().c_str(), file);
    std::fputc('\n', file);
}
