// Ten races in a row through the result screen, the fade and the reload:
// each stage is released and loaded again, and the heap does not grow from
// race to race (leaks themselves are LeakSanitizer's, at exit).

#include "Sanitizers.h"
#include "scene/GameFixture.h"

#include "CourseCopy.h"
#include "framework/graphics/AxModelCache.h"
#include "scene/CourseChoice.h"

#include "bike/Player.h"
#include "scene/RaceTimer.h"

#include <malloc.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

#if defined(VORLAN_ASAN)
// From the sanitizer runtime (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {
size_t HeapInUse() {
#if defined(VORLAN_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

using Reload = GameFixture;
}  // namespace

TEST_F(Reload, TenRacesKeepTheHeapFlat) {
    game->autopilot = true;
    std::vector<size_t> heap;
    for (int race = 0; race < 10; ++race) {
        Press(Key::Enter);
        Step();
        Release(Key::Enter);
        ASSERT_EQ(game->mode, 0);
        // Through the countdown and some racing with every effect alive.
        StepUntil([&] { return game->raceTimer->countdown == 0; });
        for (int i = 0; i < 200; ++i) Step();
        game->player->lap = 4;  // a shortcut to the result screen
        Step();
        Press(Key::Enter);
        Step();
        Release(Key::Enter);
        ASSERT_EQ(StepUntil([&] { return game->mode == 1; }, 100), 19) << race;
        StepUntil([&] { return game->fadeAlpha == 0.0f; }, 100);
        EXPECT_EQ(game->player->lap, 1u);
        heap.push_back(HeapInUse());
    }
    // The first races warm up caches and pools; after that nothing accumulates.
    EXPECT_LT(heap[9], heap[2] + 512 * 1024) << heap[2] << " -> " << heap[9];
}

// Changing course on the title twenty times, back and forth between the
// desert and a player's copy of it: each switch frees the old course's
// models with their cache, and the heap ends where the first switches left it.
TEST_F(Reload, TwentyCourseSwitchesFreeTheOldModelsAndKeepTheHeapFlat) {
    const char* data = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr);
    course_copy::CopyDesert(std::string(data) + "/vorlan-moto/courses/copy", "copy", "Copy");
    Courses().Rescan();
    ASSERT_EQ(Courses().catalog.Ids(), "desert, canyon, riverside, copy");
    std::vector<size_t> heap;
    const size_t models = game->modelCache->Size();
    for (int i = 0; i < 20; ++i) {
        // Left from the desert goes round to the last course, the copy.
        Press(i % 2 == 0 ? Key::Left : Key::Right);
        Step();
        Release(i % 2 == 0 ? Key::Left : Key::Right);
        Step();
        ASSERT_EQ(game->courseData.id, i % 2 == 0 ? "copy" : "desert") << i;
        // The copy's models are its own files: a cache that kept the old ones would hold both sets.
        EXPECT_EQ(game->modelCache->Size(), models) << i;
        heap.push_back(HeapInUse());
    }
    EXPECT_EQ(game->mode, 1) << "still on the title";
    EXPECT_LT(heap[19], heap[3] + 512 * 1024) << heap[3] << " -> " << heap[19];
    fs::remove_all(std::string(data) + "/vorlan-moto/courses");
    Courses().Rescan();
}
