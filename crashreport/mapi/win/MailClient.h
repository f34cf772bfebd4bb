#pragma once
// Hooks of the engine that the mail-client roads need: whether the loader lock is held (a
// dialog could deadlock there) and the pause of the freeze watchdog while a mail program runs.
#include <functional>

struct TMailClientHooks {
    std::function<bool()> loaderLocked;
    std::function<void(bool pause)> pauseWatchdog;
};
