#pragma once
// The request handling as the handling thread and the start-up see it, without the exception
// object's types.
#include <windows.h>

#include <array>
#include <cstdint>
#include <span>

#include "dispatch/win/HandlingRequest.h"

// Handles the request with the process's request handler.
void HandleRequest(const THandlingRequest& request, TRequestCopies& copies);
// The due test of AutoRestart or AutoClose of that value, now.
bool AutoEndDue(int32_t value);
// Whether the thread builds or sends the report being handled.
bool IsReportThread(DWORD threadId);
// The history of handled exceptions as handed to a restarted process, and its taking over.
std::array<uint8_t, 80> SaveExceptionHistory();
void LoadExceptionHistory(std::span<const uint8_t> state);
