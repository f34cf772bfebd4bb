// Start and end of the crash library in the image that carries it: the main settings of the
// process and the shared thread-name list. Runs with the image's static objects, before the
// image's own entry; a failure leaves the library inactive and the image goes on loading.
#include <windows.h>

#include "engine/win/ProcessLists.h"
#include "settings/win/ZeSettings.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

class TCrashLibraryStart {
public:
    TCrashLibraryStart()
    {
        try {
            TSettingsRef main = GetModuleSettings(CrashLibraryModule());
            const bool hasResource = main && FindSettingsResource(main->Module());
            SetMainSettings(std::move(main));
            if (hasResource && ThreadNameBuffer().Open() == TBufferOpen::Created)
                NameMainThread();
        } catch (...) {
            // Without its settings the library stays inactive; the image loads all the same.
        }
    }

    ~TCrashLibraryStart()
    {
        try {
            SetMainSettings(nullptr);
            ThreadNameBuffer().Close();
        } catch (...) {
            // Nothing may leave the loader's call.
        }
    }

    TCrashLibraryStart(const TCrashLibraryStart&) = delete;
    TCrashLibraryStart& operator=(const TCrashLibraryStart&) = delete;

private:
    static void NameMainThread()
    {
        const std::vector<uint32_t> threads = EnumerateThreads();
        NameThread(threads.empty() ? GetCurrentThreadId() : threads.front(), u"main thread");
    }
};

const TCrashLibraryStart g_start;

} // namespace
