#pragma once
// Whether the library is being unloaded. Then the system holds its loader lock and no
// thread can end until the unload is over: joins wait for a thread's body to finish and
// not for the thread itself.

void MarkLibraryUnloading();
bool LibraryUnloading();

// How long to wait for a thread whose body has finished to end: a moment normally, not
// at all during the unload.
unsigned long ThreadExitGraceMs();
