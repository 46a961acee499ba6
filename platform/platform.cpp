#include "platform/platform.h"

#include <cstdlib>

static Platform *g_platform = nullptr;

Platform &plat() {
    if (!g_platform) std::abort(); // a core call before start-up set the platform
    return *g_platform;
}

void setPlatform(Platform *p) {
    g_platform = p;
}
