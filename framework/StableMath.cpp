#include "framework/StableMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// The constants below are printed by tools/stablemath-compare/constants.py from
// exact integer arithmetic; each is the nearest double to what it names.

namespace {

// 2/pi to 448 fraction bits, 32 a word, most significant first: enough to
// reduce the largest float (2^128) with 128 bits left over past the point.
constexpr uint32_t kTwoOverPi[] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041,
    0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C,
    0xFE1DEB1C, 0xB129A73E,
};
constexpr int kTwoOverPiWords = int(sizeof(kTwoOverPi) / sizeof(kTwoOverPi[0]));

constexpr double kPiOver2 = 1.5707963267948966;
constexpr double kPiOver2Low = 6.123233995736766e-17;  // pi/2 - kPiOver2
constexpr double kPi = 3.141592653589793;
constexpr double kPiLow = 1.2246467991473532e-16;  // pi - kPi
constexpr double kQuarterPi = 0.7853981633974483;

// Word k of 2/pi with one zero word in front, so that bits before the point read 0.
uint32_t TwoOverPiWord(int k) { return k <= 0 || k > kTwoOverPiWords ? 0u : kTwoOverPi[k - 1]; }

// The 32 bits of 2/pi of weights 2^-first .. 2^-(first+31); weights of 2^0 and
// above are 0. first >= -31.
uint32_t TwoOverPiBits(int first) {
    const int q = first - 1 + 32;  // bit offset into the zero-fronted words
    const int w = q / 32, shift = q % 32;
    if (shift == 0) return TwoOverPiWord(w);
    return (TwoOverPiWord(w) << shift) | (TwoOverPiWord(w + 1) >> (32 - shift));
}

// x = quadrant * pi/2 + r with |r| <= about pi/4; returns the quadrant mod 4.
// A float is M * 2^E with M a 24-bit integer, so x * 2/pi modulo 4 only needs
// the bits of 2/pi from weight 2^-(E-1) on: earlier bits give multiples of 4.
// Taking 128 of them leaves an error below 2^-102, far under the closest any
// float comes to a multiple of pi/2. Plain 32-bit words keep it the same on
// every target, 128-bit integers or not.
int Reduce(float x, double& r) {
    const double ax = std::fabs(double(x));
    if (ax <= kQuarterPi) {
        r = double(x);
        return 0;
    }
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int biased = int((bits >> 23) & 0xFF);  // >= 126 here: no subnormals
    const uint64_t mantissa = (bits & 0x7FFFFF) | 0x800000;
    const int exponent = biased - 127 - 23;  // x = +-mantissa * 2^exponent
    // The window W of bits of weight 2^-(E-1) .. 2^-(E+126) gives
    // x * 2/pi = mantissa * W * 2^-126 up to multiples of 4. The product's low
    // 128 bits, in words p[0] (top) .. p[3]: its top 2 bits are the quadrant,
    // the 126 below the fraction of a quadrant.
    uint32_t p[4];
    uint64_t carry = 0;
    for (int j = 3; j >= 0; --j) {
        const uint64_t partial = mantissa * TwoOverPiBits(exponent - 1 + 32 * j) + carry;
        p[j] = uint32_t(partial);
        carry = partial >> 32;
    }
    unsigned quadrant = p[0] >> 30;
    p[0] &= 0x3FFFFFFFu;
    // Round to the nearest quadrant, the fraction then in [-1/2, 1/2].
    bool negative = false;
    if (p[0] >> 29) {
        // 2^126 - fraction, in two's complement over the four words.
        uint64_t borrow = 1;
        for (int j = 3; j >= 0; --j) {
            const uint64_t v = uint64_t(uint32_t(~p[j])) + borrow;
            p[j] = uint32_t(v);
            borrow = v >> 32;
        }
        p[0] &= 0x3FFFFFFFu;
        negative = true;
        quadrant = (quadrant + 1) & 3u;
    }
    // Two exact halves, each converted rounded to nearest: a relative error
    // near 2^-53, as is the product with pi/2.
    const uint64_t high = (uint64_t(p[0]) << 32) | p[1];
    const uint64_t low = (uint64_t(p[2]) << 32) | p[3];
    const double fraction = double(high) * 0x1p-62 + double(low) * 0x1p-126;
    double t = fraction * kPiOver2;
    if (negative) t = -t;
    if (std::signbit(x)) {
        t = -t;
        quadrant = (4u - quadrant) & 3u;
    }
    r = t;
    return int(quadrant);
}

// Taylor series of sin and cos on |r| <= pi/4; the first term left out is
// below 2^-60 of the result.
double SinKernel(double r) {
    if (r == 0.0) return r;  // keeps the sign of zero, which the sum would lose
    const double r2 = r * r;
    double p = -8.22063524662433e-18;  // -1/19!, then +-1/n! for odd n down to 3
    p = p * r2 + 2.8114572543455206e-15;
    p = p * r2 - 7.647163731819816e-13;
    p = p * r2 + 1.6059043836821613e-10;
    p = p * r2 - 2.505210838544172e-08;
    p = p * r2 + 2.7557319223985893e-06;
    p = p * r2 - 0.0001984126984126984;
    p = p * r2 + 0.008333333333333333;
    p = p * r2 - 0.16666666666666666;
    const double r3 = r2 * r;
    return r + r3 * p;
}

double CosKernel(double r) {
    const double r2 = r * r;
    double p = 4.110317623312165e-19;
    p = p * r2 - 1.5619206968586225e-16;
    p = p * r2 + 4.779477332387385e-14;
    p = p * r2 - 1.1470745597729725e-11;
    p = p * r2 + 2.08767569878681e-09;
    p = p * r2 - 2.755731922398589e-07;
    p = p * r2 + 2.48015873015873e-05;
    p = p * r2 - 0.001388888888888889;
    p = p * r2 + 0.041666666666666664;
    p = p * r2 - 0.5;
    return 1.0 + r2 * p;
}

// asin z for |z| <= 1/2 by its series: sum C(2n,n) / (4^n (2n+1)) z^(2n+1).
// At 1/2 the terms shrink by a quarter each, so 26 of them reach 2^-60.
double AsinSeries(double z) {
    static constexpr double kTerms[] = {
        0.16666666666666666, 0.075, 0.044642857142857144, 0.030381944444444444,
        0.022372159090909092, 0.017352764423076924, 0.01396484375, 0.011551800896139705,
        0.009761609529194078, 0.008390335809616815, 0.0073125258735988454, 0.006447210311889649,
        0.005740037670841924, 0.005153309682319905, 0.004660143486915096, 0.004240907093679363,
        0.003880964558837669, 0.0035692053938259347, 0.003297059503473485, 0.0030578216492580306,
        0.002846178401108942, 0.00265787063820729, 0.0024894486782468836, 0.002338091892111975,
        0.0022014739737101384, 0.0020776610325181676,
    };
    constexpr int n = int(sizeof(kTerms) / sizeof(kTerms[0]));
    const double z2 = z * z;
    double p = kTerms[n - 1];
    for (int i = n - 2; i >= 0; --i) p = p * z2 + kTerms[i];
    const double z3 = z2 * z;
    return z + z3 * p;
}

// The float sine and cosine the game's traces were first made with: those of
// the C library of Debian 12 (glibc 2.36, whose sincosf is Arm's
// optimized-routines, MIT licence) on a machine with fused multiply-add. Its
// reduction and polynomials are written out here with each fused step an
// explicit std::fma, which IEEE 754 rounds once on every machine, with or
// without the instruction: the same bits everywhere, and the old traces' bits.
// False outside |x| < 120 (and for non-finite x), where the exact reduction
// and the correctly rounded series above take over.
struct SinCosTable {
    double sign[4];
    double c0, c1, c2, c3, c4, s1, s2, s3;
};
constexpr double kHalfPiInverse = 0x1.45F306DC9C883p+23;  // 2/pi * 2^24
constexpr double kHalfPi = 0x1.921FB54442D18p0;
constexpr SinCosTable kSinCos[2] = {
    {{1.0, -1.0, -1.0, 1.0},
     0x1p0, -0x1.ffffffd0c621cp-2, 0x1.55553e1068f19p-5, -0x1.6c087e89a359dp-10, 0x1.99343027bf8c3p-16,
     -0x1.555545995a603p-3, 0x1.1107605230bc4p-7, -0x1.994eb3774cf24p-13},
    {{1.0, -1.0, -1.0, 1.0},
     -0x1p0, 0x1.ffffffd0c621cp-2, -0x1.55553e1068f19p-5, 0x1.6c087e89a359dp-10, -0x1.99343027bf8c3p-16,
     -0x1.555545995a603p-3, 0x1.1107605230bc4p-7, -0x1.994eb3774cf24p-13},
};

uint32_t TopBits(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits >> 20) & 0x7ff;  // exponent and three bits of mantissa, no sign
}

void SinCosPolynomial(double x, double x2, const SinCosTable& t, int n, float& sine, float& cosine) {
    const double x4 = x2 * x2, x3 = x2 * x;
    const double c2 = std::fma(x2, t.c4, t.c3);
    const double s1 = std::fma(x2, t.s3, t.s2);
    const double c1 = std::fma(x2, t.c1, t.c0);
    const double x5 = x3 * x2, x6 = x4 * x2;
    const double s = std::fma(x3, t.s1, x);
    const double c = std::fma(x4, t.c2, c1);
    // Odd quadrants swap the two.
    (n & 1 ? cosine : sine) = float(std::fma(x5, s1, s));
    (n & 1 ? sine : cosine) = float(std::fma(x6, c2, c));
}

bool SinCosAsTheCLibrary(float y, float& sine, float& cosine) {
    const uint32_t top = TopBits(y);
    if (top >= TopBits(120.0f)) return false;  // large, infinite or NaN
    const double x = y;
    if (top < TopBits(0x1p-12f)) {
        sine = y;
        cosine = 1.0f;
        return true;
    }
    if (top < TopBits(0x1.921fb6p-1f)) {
        SinCosPolynomial(x, x * x, kSinCos[0], 0, sine, cosine);
        return true;
    }
    const double r = x * kHalfPiInverse;
    const int n = (static_cast<int32_t>(r) + 0x800000) >> 24;
    const double reduced = std::fma(-static_cast<double>(n), kHalfPi, x);
    const double sign = kSinCos[0].sign[n & 3];
    SinCosPolynomial(reduced * sign, reduced * reduced, kSinCos[(n & 2) ? 1 : 0], n, sine, cosine);
    return true;
}

}  // namespace

namespace StableMath {

namespace Detail {
void SinCosBeforeRounding(float x, double& sine, double& cosine) {
    if (!std::isfinite(x)) {
        sine = cosine = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    double r;
    const int quadrant = Reduce(x, r);
    const double s = SinKernel(r), c = CosKernel(r);
    switch (quadrant) {
        case 0: sine = s; cosine = c; break;
        case 1: sine = c; cosine = -s; break;
        case 2: sine = -s; cosine = -c; break;
        default: sine = -c; cosine = s; break;
    }
}
}  // namespace Detail

void SinCos(float x, float& sine, float& cosine) {
    if (SinCosAsTheCLibrary(x, sine, cosine)) return;
    double s, c;
    Detail::SinCosBeforeRounding(x, s, c);
    sine = float(s);
    cosine = float(c);
}

float Sin(float x) {
    float sine, cosine;
    if (SinCosAsTheCLibrary(x, sine, cosine)) return sine;
    if (!std::isfinite(x)) return std::numeric_limits<float>::quiet_NaN();
    double r;
    switch (Reduce(x, r)) {
        case 0: return float(SinKernel(r));
        case 1: return float(CosKernel(r));
        case 2: return float(-SinKernel(r));
        default: return float(-CosKernel(r));
    }
}

float Cos(float x) {
    float sine, cosine;
    if (SinCosAsTheCLibrary(x, sine, cosine)) return cosine;
    if (!std::isfinite(x)) return std::numeric_limits<float>::quiet_NaN();
    double r;
    switch (Reduce(x, r)) {
        case 0: return float(CosKernel(r));
        case 1: return float(-SinKernel(r));
        case 2: return float(-CosKernel(r));
        default: return float(SinKernel(r));
    }
}

double Acos(double x) {
    if (!(std::fabs(x) <= 1.0)) return std::numeric_limits<double>::quiet_NaN();
    if (std::fabs(x) <= 0.5) return kPiOver2 - (AsinSeries(x) - kPiOver2Low);
    // Near +-1 the half-angle form keeps its precision: 1 - |x| is exact here.
    const double half = 2.0 * AsinSeries(std::sqrt((1.0 - std::fabs(x)) * 0.5));
    if (x > 0.0) return half;
    return kPi - (half - kPiLow);
}

}  // namespace StableMath
