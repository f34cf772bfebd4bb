#pragma once
// A boundary that catches everything (an export's frame) reports what the capture turned from an
// operating-system exception into an object, before it goes on with its own handling: such a
// fault is a crash of the library's code even when the boundary survives it.

// Reports the exception being handled (inside a catch) when it is an operating-system exception;
// the library's own errors and everything else are left to the boundary. Continuing is allowed.
void ReportCaughtSystemException() noexcept;
