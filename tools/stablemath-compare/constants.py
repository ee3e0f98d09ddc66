#!/usr/bin/env python3
"""Prints the constants of framework/StableMath.cpp from exact integer arithmetic.

pi comes from Machin's formula in fixed point; the series coefficients are
exact fractions rounded once to the nearest double by Python's float().
Run it again to check the literals in StableMath.cpp.
"""
from fractions import Fraction
from math import factorial, comb

GUARD = 64
BITS = 448


def arctan_inv(n, one):
    # atan(1/n) * one, by its alternating series in integers.
    total, term, k, sign = 0, one // n, 1, 1
    n2 = n * n
    while term:
        total += sign * (term // k)
        term //= n2
        k += 2
        sign = -sign
    return total


one = 1 << (BITS + GUARD)
pi_fixed = 16 * arctan_inv(5, one) - 4 * arctan_inv(239, one)  # pi * 2^(BITS+GUARD)
pi = Fraction(pi_fixed, one)

# 2/pi as BITS fraction bits (2/pi < 1), truncated.
two_over_pi_bits = (2 << (2 * (BITS + GUARD))) // pi_fixed >> GUARD
words = [(two_over_pi_bits >> (BITS - 32 * (i + 1))) & 0xFFFFFFFF for i in range(BITS // 32)]
print("// 2/pi, 32 fraction bits a word, most significant first")
for i in range(0, len(words), 6):
    print("    " + ", ".join("0x%08X" % w for w in words[i:i + 6]) + ",")


def split(value):
    hi = float(value)
    lo = float(value - Fraction(hi))
    return hi, lo


print("pi/2  hi, lo: %r, %r" % split(pi / 2))
print("pi    hi, lo: %r, %r" % split(pi))

print("// sin: (-1)^n / (2n+1)!")
print(", ".join(repr(float(Fraction((-1) ** n, factorial(2 * n + 1)))) for n in range(1, 10)))
print("// cos: (-1)^n / (2n)!")
print(", ".join(repr(float(Fraction((-1) ** n, factorial(2 * n)))) for n in range(1, 11)))
print("// asin: C(2n, n) / (4^n (2n+1))")
print(", ".join(repr(float(Fraction(comb(2 * n, n), 4 ** n * (2 * n + 1)))) for n in range(1, 30)))
