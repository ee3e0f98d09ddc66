#pragma once
// The race's one random generator. It draws exactly what the C library's
// rand() draws after srand(seed) (glibc's additive feedback generator), so a
// seed races as it always raced; being the game's own, nothing else in the
// process (a sound server's client, say) can move it.

#include <cstdint>

// Where the generator stands: its table and its two places in it.
struct RandomState {
    static constexpr int kWords = 31;
    int32_t words[kWords] = {};
    int front = 3;
    int rear = 0;
};

class RandomGenerator {
public:
    static constexpr int kMax = 2147483647;  // RAND_MAX

    explicit RandomGenerator(unsigned seed = 1) { Seed(seed); }
    void Seed(unsigned seed);
    // 0 to kMax.
    int Next();
    RandomState State() const;
    // Places must be as a generator leaves them: rear three behind front.
    void SetState(const RandomState& s);

private:
    static constexpr int kDegree = 31;
    static constexpr int kSeparation = 3;
    int32_t state[kDegree] = {};
    int front = kSeparation;
    int rear = 0;
};

// The generator every random draw of the game comes from. Before the first
// Seed it stands where the C library's does before any srand (seed 1).
namespace Random {
void Seed(unsigned seed);
int Next();
RandomState State();
void SetState(const RandomState& s);
}  // namespace Random
