#include "framework/platform/Platform.h"

#include <time.h>

// Today on the machine's clock, in local time; the same with or without SDL.
std::string IPlatform::LocalDate() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[16];
    strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}
