#pragma once
// Whether the system's loader lock is held, so that nothing may wait for another thread (a
// thread that starts or ends needs that lock). True at once while the library itself is being
// loaded or unloaded; otherwise looks every 10 ms for at most the given time.
bool IsLoaderLocked(int milliseconds);

// Set by the library's start and end around the work they do inside the loader's call.
void SetLibraryTransition(bool inProgress);
