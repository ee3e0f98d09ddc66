#include "framework/StableMath.h"

#include "framework/Math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

// The race's replays and traces hold only if these functions give the same
// float on every machine. Below 120 in size, sine and cosine give what the C
// library the game's traces were made with gives (its float functions, which
// miss the nearest float by one on a few inputs: within one of it here);
// beyond, and arc cosine everywhere, the nearest float. The reference is the
// C library's double function: at float precision it does not misround,
// except where the true value sits on a float midpoint.

namespace {
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

// ours is the float nearest to reference, or reference lies so close to the
// midpoint between two floats that a double cannot tell which is nearer.
bool NearestFloat(float ours, double reference) {
    const float rounded = static_cast<float>(reference);
    if (Bits(ours) == Bits(rounded)) return true;
    if (std::nextafter(rounded, ours) != ours) return false;
    const double midpoint = (double(ours) + double(rounded)) / 2;
    const double ulp = std::fabs(double(ours) - double(rounded));
    return std::fabs(reference - midpoint) <= ulp * 0x1p-20;
}

// ours is the nearest float to reference or one of its two neighbours.
bool WithinOneFloat(float ours, double reference) {
    const float rounded = static_cast<float>(reference);
    return Bits(ours) == Bits(rounded) || std::nextafter(rounded, INFINITY) == ours ||
           std::nextafter(rounded, -INFINITY) == ours;
}

uint64_t Fnv(uint64_t h, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        h ^= (v >> (8 * i)) & 0xffu;
        h *= 1099511628211ull;
    }
    return h;
}

// Every float from low to high, both included.
template <typename Check>
int EveryFloat(float low, float high, Check check) {
    int count = 0;
    for (float x = low; x <= high; x = std::nextafter(x, INFINITY), ++count) check(x);
    return count;
}

// Within 2^-50 of reference, relatively: a float rounding then misses the
// nearest float only within 2^-26 of its ulp from a midpoint. A slip in a
// series term or in the reduction shows here long before it shows in floats.
bool DoubleMargin(double ours, double reference) {
    return std::fabs(ours - reference) <= std::fabs(reference) * 0x1p-50;
}

// Counts the arguments whose sine or cosine is not the nearest float, or whose
// double value before rounding strays; the first few are reported, the rest
// would only bury them.
struct NearestCheck {
    int compared = 0, misses = 0;
    void operator()(float x) {
        ++compared;
        const float s = StableMath::Sin(x), c = StableMath::Cos(x);
        double ds, dc;
        StableMath::Detail::SinCosBeforeRounding(x, ds, dc);
        const double rs = std::sin(double(x)), rc = std::cos(double(x));
        const bool asTheCLibrary = std::fabs(x) < 120.0f;
        const bool close = asTheCLibrary ? WithinOneFloat(s, rs) && WithinOneFloat(c, rc)
                                         : NearestFloat(s, rs) && NearestFloat(c, rc);
        if (close && DoubleMargin(ds, rs) && DoubleMargin(dc, rc)) return;
        if (misses++ < 5)
            ADD_FAILURE() << std::hexfloat << "x " << x << " sin " << s << " (" << ds << ", C " << rs << ") cos " << c
                          << " (" << dc << ", C " << rc << ")";
    }
};

// As the game calls it: the float widened, the result narrowed.
float GameAcos(float x) { return static_cast<float>(StableMath::Acos(static_cast<double>(x))); }
}  // namespace

TEST(StableMath, ExactPointsAndSymmetries) {
    EXPECT_EQ(Bits(StableMath::Sin(0.0f)), Bits(0.0f));
    EXPECT_EQ(Bits(StableMath::Sin(-0.0f)), Bits(-0.0f));
    EXPECT_EQ(StableMath::Cos(0.0f), 1.0f);
    EXPECT_EQ(StableMath::Cos(-0.0f), 1.0f);
    // Near a multiple of pi/2 everything hangs on the reduction: the float
    // nearest pi is pi - 8.74e-8, so its sine is that gap, negated.
    EXPECT_EQ(Bits(StableMath::Sin(3.14159274f)), 0xB3BBBD2Eu);
    EXPECT_EQ(Bits(StableMath::Cos(1.57079637f)), 0xB33BBD2Eu);
    EXPECT_EQ(StableMath::Sin(1.57079637f), 1.0f);
    EXPECT_EQ(StableMath::Cos(3.14159274f), -1.0f);
    // Tiny arguments: sin x rounds to x, down to the smallest subnormal.
    for (const float tiny : {1e-30f, FLT_MIN, std::numeric_limits<float>::denorm_min()}) {
        EXPECT_EQ(StableMath::Sin(tiny), tiny);
        EXPECT_EQ(StableMath::Sin(-tiny), -tiny);
        EXPECT_EQ(StableMath::Cos(tiny), 1.0f);
    }

    EXPECT_EQ(Bits(static_cast<float>(StableMath::Acos(1.0))), Bits(0.0f));
    EXPECT_EQ(StableMath::Acos(-1.0), 3.141592653589793);
    EXPECT_EQ(StableMath::Acos(0.0), 1.5707963267948966);
    EXPECT_EQ(StableMath::Acos(-0.0), 1.5707963267948966);
    EXPECT_EQ(Bits(GameAcos(0.5f)), 0x3F860A92u);  // pi/3
    EXPECT_EQ(GameAcos(-0.5f), static_cast<float>(2.0 * 3.141592653589793 / 3.0));

    // Odd and even, over a sweep that crosses every quadrant many times.
    for (float x = 0.0f; x < 2000.0f; x += 0.37f) {
        EXPECT_EQ(Bits(StableMath::Sin(-x)), Bits(-StableMath::Sin(x))) << x;
        EXPECT_EQ(Bits(StableMath::Cos(-x)), Bits(StableMath::Cos(x))) << x;
    }
    // Monotonic through the places where the method changes: the quadrant
    // edge at pi/4 for sine, the half-angle switch at +-1/2 for acos.
    float previous = StableMath::Sin(0.7f);
    EveryFloat(0.7f, 0.9f, [&](float x) {
        const float s = StableMath::Sin(x);
        ASSERT_GE(s, previous) << x;
        previous = s;
    });
    for (const float edge : {-0.5f, 0.5f}) {
        float before = GameAcos(edge - 0.01f);
        EveryFloat(edge - 0.01f, edge + 0.01f, [&](float x) {
            const float a = GameAcos(x);
            ASSERT_LE(a, before) << x;
            before = a;
        });
    }
}

TEST(StableMath, AgreesWithTheCLibraryOnDenseSamples) {
    NearestCheck check;
    // Every float in stretches around the quadrant edges and multiples of
    // pi/2, near and far from 0.
    const struct {
        float low, high;
    } kStretches[] = {{0.78f, 0.79f},   {1.565f, 1.575f},   {3.13f, 3.15f},
                      {-4.72f, -4.70f}, {99.9f, 100.1f},    {1570.7f, 1570.9f}, {-31415.0f, -31414.0f}};
    for (const auto& stretch : kStretches) EveryFloat(stretch.low, stretch.high, std::ref(check));
    // Below 0.01 floats are dense beyond counting: a stride through them.
    for (uint32_t b = Bits(1e-6f); b <= Bits(0.01f); b += 97) {
        check(FromBits(b));
        check(-FromBits(b));
    }
    // The game's headings: multiples of half a degree, turned to radians with
    // its own factor, through many turns either way.
    for (int half = -20000; half <= 20000; ++half) check(half * 0.5f * kDegToRad);
    // Arguments far out: the reduction keeps every bit, up to the largest float.
    for (int e = -20; e <= 127; ++e) {
        check(std::ldexp(1.0f, e));
        check(std::ldexp(1.0f, e) * 1.2345678f);
    }
    check(FLT_MAX);
    EXPECT_GT(check.compared, 2000000);
    EXPECT_EQ(check.misses, 0);
    EXPECT_EQ(Bits(StableMath::Sin(1e30f)), 0xBF4A89B0u);
    EXPECT_EQ(Bits(StableMath::Cos(1e30f)), 0xBF1C9222u);

    // acos of a float dot product, the game's use: near +-1 (heading almost
    // onto the checkpoint, or away), around the method's switch, and a stride
    // through the rest.
    int acosMisses = 0;
    const auto expectAcos = [&](float x) {
        if (NearestFloat(GameAcos(x), std::acos(static_cast<double>(x)))) return;
        if (acosMisses++ < 5) ADD_FAILURE() << "acos " << x << " = " << GameAcos(x);
    };
    EveryFloat(0.999f, 1.0f, expectAcos);
    EveryFloat(-1.0f, -0.999f, expectAcos);
    EveryFloat(0.49f, 0.51f, expectAcos);
    EveryFloat(-0.51f, -0.49f, expectAcos);
    for (float x = -1.0f; x <= 1.0f; x += 1.0f / 4096) expectAcos(x);
    // And the double itself, through every part of the method.
    for (double x = -1.0; x < 1.0; x += 1.0 / 65536 + 1e-12) {
        if (DoubleMargin(StableMath::Acos(x), std::acos(x))) continue;
        if (acosMisses++ < 5) ADD_FAILURE() << std::hexfloat << "acos " << x << " = " << StableMath::Acos(x);
    }
    EXPECT_EQ(acosMisses, 0);
}

// The bits of the C library (glibc 2.36's sincosf with fused multiply-add,
// which made the game's desert traces) over the game's headings and a sweep
// to 120, as digests: the same on every machine, whatever its own C library.
TEST(StableMath, SineAndCosineAreTheBitsTheTracesWereMadeWith) {
    // Every half degree up to 6850 either way (19 turns, just under 120).
    uint64_t headings = 14695981039346656037ull;
    for (int half = -13700; half <= 13700; ++half) {
        float s, c;
        StableMath::SinCos(static_cast<float>(half) * 0.5f * kDegToRad, s, c);
        headings = Fnv(Fnv(headings, Bits(s)), Bits(c));
    }
    EXPECT_EQ(headings, 0xde9d5c56fc4a0980ull);
    uint64_t sweep = 14695981039346656037ull;
    for (float x = 0.7f; x <= 119.9f; x += 0.0137f)
        sweep = Fnv(Fnv(sweep, Bits(StableMath::Sin(x))), Bits(StableMath::Cos(x)));
    EXPECT_EQ(sweep, 0x04b4de7bd1fa690bull);
    // One of the headings the C library rounds away from the nearest float:
    // 9 degrees' sine.
    EXPECT_EQ(Bits(StableMath::Sin(9.0f * kDegToRad)), 0x3e203060u);
}

TEST(StableMath, NonFiniteAndOutOfRangeGiveNaN) {
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                            INFINITY, -INFINITY}) {
        EXPECT_TRUE(std::isnan(StableMath::Sin(bad)));
        EXPECT_TRUE(std::isnan(StableMath::Cos(bad)));
        float s = 0.0f, c = 0.0f;
        StableMath::SinCos(bad, s, c);
        EXPECT_TRUE(std::isnan(s) && std::isnan(c));
    }
    for (const double bad : {std::nextafter(1.0, 2.0), std::nextafter(-1.0, -2.0), 1.0000001, -2.0, 1e300,
                             static_cast<double>(INFINITY), -static_cast<double>(INFINITY),
                             std::numeric_limits<double>::quiet_NaN()})
        EXPECT_TRUE(std::isnan(StableMath::Acos(bad))) << bad;
    // The largest finite floats still give a sine and cosine on the circle.
    for (const float big : {FLT_MAX, -FLT_MAX, std::nextafter(FLT_MAX, 0.0f)}) {
        const double s = StableMath::Sin(big), c = StableMath::Cos(big);
        EXPECT_NEAR(s * s + c * c, 1.0, 1e-6) << big;
    }
}

TEST(StableMath, SameInputSameBitsHoweverCalled) {
    std::vector<float> inputs;
    for (int i = -300; i <= 300; ++i) inputs.push_back(i * 7.3f);
    for (const float x : {0.785398185f, 1e30f, -1e-30f, 12345.678f}) inputs.push_back(x);

    std::vector<uint32_t> first;
    for (const float x : inputs) {
        float s, c;
        StableMath::SinCos(x, s, c);
        // One call for both gives what the two calls give.
        EXPECT_EQ(Bits(s), Bits(StableMath::Sin(x))) << x;
        EXPECT_EQ(Bits(c), Bits(StableMath::Cos(x))) << x;
        first.push_back(Bits(s));
        first.push_back(Bits(c));
    }
    // Again in the opposite order, and through a pointer the compiler cannot see through.
    float (*volatile sine)(float) = StableMath::Sin;
    float (*volatile cosine)(float) = StableMath::Cos;
    for (size_t i = inputs.size(); i-- > 0;) {
        EXPECT_EQ(Bits(cosine(inputs[i])), first[2 * i + 1]) << inputs[i];
        EXPECT_EQ(Bits(sine(inputs[i])), first[2 * i]) << inputs[i];
    }
    // The degree form and the rotation matrices share the same results.
    float s, c;
    SinCosDegrees(33.5f, s, c);
    EXPECT_EQ(Bits(s), Bits(StableMath::Sin(33.5f * kDegToRad)));
    EXPECT_EQ(Bits(c), Bits(StableMath::Cos(33.5f * kDegToRad)));
    const Matrix y = Matrix::CreateRotationY(2.5f);
    EXPECT_EQ(Bits(y.m[2][0]), Bits(StableMath::Sin(2.5f)));
    EXPECT_EQ(Bits(y.m[0][0]), Bits(StableMath::Cos(2.5f)));

    double (*volatile arcCosine)(double) = StableMath::Acos;
    for (double x = -1.0; x <= 1.0; x += 0.001) EXPECT_EQ(arcCosine(x), StableMath::Acos(x)) << x;
}
