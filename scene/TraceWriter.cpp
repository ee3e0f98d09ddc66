#include "scene/TraceWriter.h"

#include "app/Scene_base.h"
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
    }
    line.EndObject();
}

void TraceWriter::WriteFrame(long long frame, uint32_t ms, const Scene_base* scene) {
    if (!file) return;
    BuildFrame(line, frame, ms, scene);
    std::fputs(line.Text().c_str(), file);
    std::fputc('\n', file);
}
