#pragma once
// The in-memory calibration of module headers: a module's "ZEL"/"CALIBRATE" values go into its
// loaded optional header (code and data start, the three sizes).
#include <windows.h>

// False when the module carries no calibration that fits it, or the header could not be written.
bool CalibrateModule(HMODULE module);
// The main program, the library's own module and every loaded runtime package (".bpl").
void CalibrateAllModules();
