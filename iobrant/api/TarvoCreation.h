#pragma once
// Creation of a Tarvo object behind a handle: an adapter on the Conduvex link (by window
// message or callback), a Vantel stack on it, the Tarvo object on the stack, and its entry
// in the handle table. Each returns the new handle, or 0 with the reason in the last error.
#include <cstdint>

// Kind 1 listens to the link by callback; any other kind by a hidden window of the
// calling thread (message 1091, sent), which then has to process messages.
constexpr int32_t kTarvoKindCallBack = 1;

// A new link from the connection string; it goes with the Tarvo object.
uint32_t CreateTarvoOnNewLink(const char* connectionString, const char* parameters, int32_t kind);
// The host's link; it stays with the host, which only loses Iobrant's registration.
uint32_t CreateTarvoOnHostLink(uint32_t ciHandle, const char* parameters, int32_t kind);
