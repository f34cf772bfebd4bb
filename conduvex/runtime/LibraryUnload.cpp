#include "runtime/LibraryUnload.h"

#include <atomic>

namespace {

std::atomic<bool> unloading{false};
constexpr unsigned long kThreadExitGraceMs = 1000;

} // namespace

void MarkLibraryUnloading()
{
    unloading = true;
}

bool LibraryUnloading()
{
    return unloading;
}

unsigned long ThreadExitGraceMs()
{
    return unloading ? 0 : kThreadExitGraceMs;
}
