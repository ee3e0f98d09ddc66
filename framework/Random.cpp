#include "framework/Random.h"

void RandomGenerator::Seed(unsigned seed) {
    // Seeded by the minimal standard generator (16807 modulo 2^31 - 1, by
    // Schrage's method), then run 310 draws in to mix the table.
    if (seed == 0) seed = 1;
    state[0] = static_cast<int32_t>(seed);
    int32_t word = state[0];
    for (int i = 1; i < kDegree; ++i) {
        const int64_t hi = word / 127773;
        const int64_t lo = word % 127773;
        int64_t next = 16807 * lo - 2836 * hi;
        if (next < 0) next += 2147483647;
        word = static_cast<int32_t>(next);
        state[i] = word;
    }
    front = kSeparation;
    rear = 0;
    for (int i = 0; i < kDegree * 10; ++i) (void)Next();
}

int RandomGenerator::Next() {
    const uint32_t value = static_cast<uint32_t>(state[front]) + static_cast<uint32_t>(state[rear]);
    state[front] = static_cast<int32_t>(value);
    if (++front >= kDegree) front = 0;
    if (++rear >= kDegree) rear = 0;
    return static_cast<int>(value >> 1);
}

RandomState RandomGenerator::State() const {
    RandomState s;
    for (int i = 0; i < kDegree; ++i) s.words[i] = state[i];
    s.front = front;
    s.rear = rear;
    return s;
}

void RandomGenerator::SetState(const RandomState& s) {
    for (int i = 0; i < kDegree; ++i) state[i] = s.words[i];
    front = s.front;
    rear = s.rear;
}

namespace Random {
namespace {
RandomGenerator& Generator() {
    static RandomGenerator generator;
    return generator;
}
}  // namespace

void Seed(unsigned seed) { Generator().Seed(seed); }
int Next() { return Generator().Next(); }
RandomState State() { return Generator().State(); }
void SetState(const RandomState& s) { Generator().SetState(s); }
}  // namespace Random
