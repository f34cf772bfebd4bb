#pragma once
// Whether the calling thread holds the system loader's lock (it runs a library's start or end):
// a thread created now could not start, so nothing may wait for one.
bool IsLoaderLocked();
