#include "app/FrameLog.h"

FrameLog::~FrameLog() { Close(); }

bool FrameLog::Open(const std::string& path) {
    file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fprintf(file, "# present_ms updates fraction shown_ms render_scale\n");
    return true;
}

void FrameLog::Picture(double presentMs, int updates, float fraction, double shownMs, float renderScale) {
    if (!file) return;
    if (std::fprintf(file, "%.3f %d %.4f %.3f %.3f\n", presentMs, updates, fraction, shownMs, renderScale) < 0)
        failed = true;
}

bool FrameLog::Close() {
    if (!file) return !failed;
    if (std::fclose(file) != 0) failed = true;
    file = nullptr;
    return !failed;
}
