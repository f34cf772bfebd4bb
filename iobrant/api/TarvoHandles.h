#pragma once
// The process's one table of Tarvo handles, from library attach to detach.
#include "api/TarvoIntfHandler.h"

void CreateTarvoHandles();
// Frees the table, and with it every Tarvo object, its stack and its link (Conduvex's
// registrations included).
void FreeTarvoHandles();
// At process exit Conduvex may already be gone: nothing is freed and nothing is called.
void AbandonTarvoHandles();

// The table; raises a critical error outside attach..detach.
TTarvoIntfHandler& TarvoHandles();
