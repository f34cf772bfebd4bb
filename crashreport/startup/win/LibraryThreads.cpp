#include "LibraryThreads.h"

#include "dispatch/win/HandlingThread.h"
#include "handlers/win/FreezeWatchdog.h"

std::vector<uint32_t> LibraryThreadIds()
{
    std::vector<uint32_t> ids;
    if (HandlingThread().Running())
        ids.push_back(HandlingThread().ThreadId());
    if (const DWORD watchdog = FreezeWatchdog().ThreadId())
        ids.push_back(watchdog);
    return ids;
}
