// Compares StableMath with the C library bit for bit over whole ranges of
// floats. Slow (minutes), so it is a program to run by hand, not a test:
//   stablemath-compare acos [THREADS]          every float in [-1, 1], as double
//   stablemath-compare sincos LIMIT [THREADS]  every float with |x| <= LIMIT
//   stablemath-compare sincos all [THREADS]    every float bit pattern
// It prints the count of inputs compared, the differing ones and a few examples.
#include "framework/StableMath.h"

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Called through pointers so the compiler cannot merge sin and cos into one
// sincos call behind our back; the game's own calls are compared as written.
float (*volatile cSin)(float) = [](float x) { return std::sin(x); };
float (*volatile cCos)(float) = [](float x) { return std::cos(x); };
double (*volatile cAcos)(double) = [](double x) { return std::acos(x); };
#ifdef __GLIBC__
// The compiler turns a sin and a cos of one float into this one call, so the
// game's old results came from it: it must agree with sin and cos.
void (*volatile cSinCos)(float, float*, float*) = sincosf;
#endif

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}
float FromBits(uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}
bool Same(float a, float b) { return Bits(a) == Bits(b) || (std::isnan(a) && std::isnan(b)); }

struct Tally {
    uint64_t compared = 0, sinDiffer = 0, cosDiffer = 0, sinCosDiffer = 0, acosDiffer = 0, libcSinCosDiffer = 0;
    uint64_t sinCorrectlyRounded = 0, cosCorrectlyRounded = 0;  // of the differences: ours nearer
    std::vector<std::string> examples;
    void Add(const Tally& o) {
        compared += o.compared;
        sinDiffer += o.sinDiffer;
        cosDiffer += o.cosDiffer;
        sinCosDiffer += o.sinCosDiffer;
        libcSinCosDiffer += o.libcSinCosDiffer;
        acosDiffer += o.acosDiffer;
        sinCorrectlyRounded += o.sinCorrectlyRounded;
        cosCorrectlyRounded += o.cosCorrectlyRounded;
        for (const auto& e : o.examples)
            if (examples.size() < 24) examples.push_back(e);
    }
};

// Which of two floats is nearer the true value, judged by the C library's
// extended precision function (64-bit significand, so 2^-40 of a float ulp):
// true when ours is at least as near. Only this judge uses long double.
bool OursNearer(long double truth, float ours, float theirs) {
    return std::fabs((long double)ours - truth) <= std::fabs((long double)theirs - truth);
}

void Example(Tally& t, const char* what, float x, float ours, float theirs, long double truth) {
    if (t.examples.size() >= 24) return;
    char line[200];
    std::snprintf(line, sizeof line, "%s(%.9g [0x%08" PRIx32 "]) ours %.9g [0x%08" PRIx32 "] libc %.9g [0x%08" PRIx32
                  "] true %.17g", what, double(x), Bits(x), double(ours), Bits(ours), double(theirs), Bits(theirs), double(truth));
    t.examples.push_back(line);
}

// Index i of the floats from +0 up to the bit pattern top, then -0 down to -top.
float Signed(uint64_t i, uint32_t top) {
    return FromBits(i <= top ? uint32_t(i) : uint32_t(i - top - 1) | 0x80000000u);
}

void SinCosRange(uint64_t begin, uint64_t end, uint32_t top, Tally& t) {
    for (uint64_t i = begin; i < end; ++i) {
        const float x = Signed(i, top);
        ++t.compared;
        const float s = StableMath::Sin(x), c = StableMath::Cos(x);
        float s2, c2;
        StableMath::SinCos(x, s2, c2);
        if (!Same(s, s2) || !Same(c, c2)) ++t.sinCosDiffer;
        const float ls = cSin(x), lc = cCos(x);
#ifdef __GLIBC__
        float ls2, lc2;
        cSinCos(x, &ls2, &lc2);
        if (!Same(ls, ls2) || !Same(lc, lc2)) ++t.libcSinCosDiffer;
#endif
        if (!Same(s, ls)) {
            ++t.sinDiffer;
            const long double truth = std::sin((long double)x);
            if (OursNearer(truth, s, ls)) ++t.sinCorrectlyRounded;
            else Example(t, "sin", x, s, ls, truth);
        }
        if (!Same(c, lc)) {
            ++t.cosDiffer;
            const long double truth = std::cos((long double)x);
            if (OursNearer(truth, c, lc)) ++t.cosCorrectlyRounded;
            else Example(t, "cos", x, c, lc, truth);
        }
    }
}

void AcosRange(uint64_t begin, uint64_t end, Tally& t) {
    for (uint64_t i = begin; i < end; ++i) {
        const float x = Signed(i, Bits(1.0f));
        ++t.compared;
        // As the game does: the float widened, the result narrowed.
        const float ours = static_cast<float>(StableMath::Acos(static_cast<double>(x)));
        const float theirs = static_cast<float>(cAcos(static_cast<double>(x)));
        if (!Same(ours, theirs)) {
            ++t.acosDiffer;
            Example(t, "acos", x, ours, theirs, cAcos(double(x)));
        }
    }
}

template <typename Work>
Tally Parallel(uint64_t count, int threads, Work work) {
    std::vector<Tally> parts(threads);
    std::vector<std::thread> pool;
    for (int k = 0; k < threads; ++k) {
        const uint64_t b = count * k / threads, e = count * (k + 1) / threads;
        pool.emplace_back([&, k, b, e] { work(b, e, parts[k]); });
    }
    for (auto& th : pool) th.join();
    Tally total;
    for (const auto& p : parts) total.Add(p);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s acos [THREADS] | sincos LIMIT|all [THREADS]\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    Tally t;
    if (mode == "acos") {
        const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
        t = Parallel(2ull * 0x3F800001u, threads, [](uint64_t b, uint64_t e, Tally& p) { AcosRange(b, e, p); });
        std::printf("acos: %" PRIu64 " floats in [-1, 1] compared, %" PRIu64 " differ\n", t.compared, t.acosDiffer);
    } else if (mode == "sincos" && argc > 2) {
        // "all" takes every pattern up to the last NaN, so both signs cover 2^32.
        const bool all = std::string(argv[2]) == "all";
        const float limit = std::fabs(std::strtof(argv[2], nullptr));
        const uint32_t top = all ? 0x7FFFFFFFu : Bits(limit);
        const int threads = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
        t = Parallel(2ull * (uint64_t(top) + 1), threads, [top](uint64_t b, uint64_t e, Tally& p) { SinCosRange(b, e, top, p); });
        std::printf("sin/cos: %" PRIu64 " floats compared (%s)\n", t.compared, all ? "every bit pattern" : argv[2]);
        std::printf("  sin differs on %" PRIu64 " (ours the nearer float on %" PRIu64 ")\n", t.sinDiffer, t.sinCorrectlyRounded);
        std::printf("  cos differs on %" PRIu64 " (ours the nearer float on %" PRIu64 ")\n", t.cosDiffer, t.cosCorrectlyRounded);
        std::printf("  SinCos differs from Sin/Cos on %" PRIu64 "\n", t.sinCosDiffer);
#ifdef __GLIBC__
        std::printf("  the C library's sincosf differs from its sinf/cosf on %" PRIu64 "\n", t.libcSinCosDiffer);
#endif
    } else {
        std::fprintf(stderr, "unknown mode\n");
        return 2;
    }
    for (const auto& e : t.examples) std::printf("  %s\n", e.c_str());
    return 0;
}
