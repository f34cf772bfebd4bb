#pragma once
// The process's one table of link handles, from library attach to detach.
#include "links/CommIntfHandler.h"

void CreateGlobalHandles();
// Frees the table and with it every link nothing else holds.
void FreeGlobalHandles();
// At process exit the links' threads are already gone and cannot be joined: the table
// and its links are left to the operating system.
void AbandonGlobalHandles();

// The table; raises a critical error outside attach..detach.
TCommIntfHandler& GlobalHandles();
