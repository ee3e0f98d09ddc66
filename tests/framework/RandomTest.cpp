// The game's generator draws what the C library's rand() draws after
// srand(seed), for any seed and after reseeding, so the races of every seed
// stay as they were; and the C library's generator cannot move it.

#include "framework/Random.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

TEST(Random, DrawsTheCLibrarySequenceForAnySeedAndAfterReseeding) {
    static_assert(RandomGenerator::kMax == RAND_MAX);
    for (unsigned seed : {0u, 1u, 2u, 7u, 42u, 4242u, 16807u, 127773u, 0x7fffffffu, 0x80000000u, 0xdeadbeefu, UINT_MAX}) {
        RandomGenerator ours(seed);
        std::srand(seed);
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(ours.Next(), std::rand()) << "seed " << seed << " draw " << i;
    }
    // Reseeded part way, it starts the seed's sequence again.
    RandomGenerator ours(5);
    for (int i = 0; i < 77; ++i) ours.Next();
    ours.Seed(9);
    std::srand(9);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(ours.Next(), std::rand()) << i;
}

TEST(Random, TheGamesGeneratorIgnoresTheCLibrarysOne) {
    Random::Seed(11);
    const int first = Random::Next();
    std::srand(3);
    for (int i = 0; i < 50; ++i) (void)std::rand();
    const int second = Random::Next();
    RandomGenerator expected(11);
    EXPECT_EQ(first, expected.Next());
    EXPECT_EQ(second, expected.Next());
}
