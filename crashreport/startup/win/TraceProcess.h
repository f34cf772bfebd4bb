#pragma once
// The trace of every thread of the process, on demand of a tool outside it: written into the
// mapping the caller made, or put on the clipboard.
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "text/ZelTypes.h"

inline constexpr wchar_t kGlobalTraceMapping[] = L"Global\\zelTraceProcessMap";
inline constexpr wchar_t kLocalTraceMapping[] = L"zelTraceProcessMap";

// The process trace as the bug report's text of every thread.
UnicodeString TraceProcessText();
// Copies at most size - 1 characters and a NUL into the view, never past the end of its region
// (the view's region size caps size); false when the view is null or size is below 1.
bool CopyTraceIntoView(void* view, int32_t size, std::string_view text);
// True while a process trace is being made.
bool TracingProcess();

extern "C" int32_t WINAPI zelTraceProcess(int32_t size);
