#include "app/FrameStats.h"

#include "framework/platform/Platform.h"

#include <algorithm>
#include <cmath>

FrameStats& FrameStats::Get() {
    static FrameStats instance;
    return instance;
}

void FrameStats::EndFrame() {
    for (int k = 0; k < kKindCount; ++k) {
        samples[k].push_back(current[k]);
        current[k] = 0.0;
    }
    programsBuiltInRace = 0;
}

void FrameStats::Reset() {
    for (int k = 0; k < kKindCount; ++k) {
        samples[k].clear();
        current[k] = 0.0;
    }
}

FrameStats::Summary FrameStats::Summarise(Kind kind) const {
    Summary summary;
    std::vector<double> sorted = samples[kind];
    if (sorted.empty()) return summary;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    summary.median = n % 2 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
    // Nearest-rank percentile.
    const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(n)));
    summary.p95 = sorted[std::clamp<size_t>(rank, 1, n) - 1];
    summary.max = sorted.back();
    return summary;
}

FrameStats::Section::Section(Kind k) : kind(k), start(PerfMilliseconds()) {}
FrameStats::Section::~Section() { FrameStats::Get().Add(kind, PerfMilliseconds() - start); }
