#pragma once
// Diagnostic trace: with the switch DST on the host's command line, every buffer a link
// writes (kind 1) or reads (kind 2) is copied to an external terminal window.
#include "ICommunicationInterface.h"

#include <cstdint>
#include <string>
#include <vector>

using TTraceHook = void (*)(ICommunicationInterface* link, const std::string& bytes,
                            uint8_t kind);

// Process-wide; set once at start-up, read without a lock. Null when tracing is off.
TTraceHook GetTraceHook();
void SetTraceHook(TTraceHook hook);

// True when an argument (the program path included), trimmed, with one leading "/" or
// "-" dropped, reads "DST" in any letter case.
bool HasTraceSwitch(const std::vector<std::string>& arguments);
// Sets the hook to TerminalTrace when the arguments carry the switch; returns whether.
bool ScanCommandLineForTrace(const std::vector<std::string>& arguments);
// The same over this process's real command line; called once when the library loads.
bool ScanProcessCommandLineForTrace();

// Sends a non-empty buffer, led by its kind byte, as WM_COPYDATA to the terminal's
// top-level window of class "TfMainVantelTerm"; does nothing when there is none.
void TerminalTrace(ICommunicationInterface* link, const std::string& bytes, uint8_t kind);
