// Start and end of the crash library in the image that carries it. Runs with the image's static
// objects, inside the loader's call: nothing may leave it, and the loader-lock probe is told
// that the library is loading or unloading meanwhile.
#include "dispatch/win/LoaderLockProbe.h"
#include "startup/win/CrashLibrary.h"

namespace {

class TLibraryTransition {
public:
    TLibraryTransition() { SetLibraryTransition(true); }
    ~TLibraryTransition() { SetLibraryTransition(false); }
    TLibraryTransition(const TLibraryTransition&) = delete;
    TLibraryTransition& operator=(const TLibraryTransition&) = delete;
};

class TCrashLibraryStart {
public:
    TCrashLibraryStart()
    {
        const TLibraryTransition transition;
        try {
            StartCrashLibrary();
        } catch (...) {
            // The library stays inactive; the image loads all the same.
        }
    }

    ~TCrashLibraryStart()
    {
        const TLibraryTransition transition;
        try {
            StopCrashLibrary();
        } catch (...) {
            // Nothing may leave the loader's call.
        }
    }

    TCrashLibraryStart(const TCrashLibraryStart&) = delete;
    TCrashLibraryStart& operator=(const TCrashLibraryStart&) = delete;
};

const TCrashLibraryStart g_start;

} // namespace
