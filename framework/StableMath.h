#pragma once
// Sine, cosine and arc cosine that give the same bits on every machine. The race
// steers and moves with them, and a replay or a recorded trace only holds if
// every build computes them alike, whatever its compiler, flags, CPU or C
// library. They use IEEE double + - * / and sqrt alone (no C library
// transcendental, no long double, no state). StableMath.cpp is built with
// -ffp-contract=off so that no compiler fuses a multiply into an add there.
//
// For |x| < 120, Sin and Cos give the bits of the C library the game's traces
// were made with (Debian 12's, on a machine with fused multiply-add): its
// polynomials with every fused step an explicit std::fma, rounded once on
// every machine. Beyond, they work in double (relative error under 2^-50) and
// round once to float, so they give the nearest float to the true value except
// where the true value lies within about 2^-26 of an ulp from a float
// midpoint: the reduction by pi/2 is exact to over 100 bits for every finite
// float, so 1e30f gets the sine of that very float. NaN and infinities give
// NaN, as the C library does.
//
// Acos is the double arc cosine to about one double ulp, in [0, pi]; NaN, or an
// argument outside [-1, 1], gives NaN. acos(1) is exactly 0.

namespace StableMath {

float Sin(float x);
float Cos(float x);
// Both at once, the same bits as Sin(x) and Cos(x).
void SinCos(float x, float& sine, float& cosine);

double Acos(double x);

namespace Detail {
// The double values that Sin and Cos round to float beyond 120 (the series
// for any x), for tests of the margin that makes the rounding land on the
// nearest float.
void SinCosBeforeRounding(float x, double& sine, double& cosine);
}  // namespace Detail

}  // namespace StableMath
