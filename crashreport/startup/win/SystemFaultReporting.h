#pragma once
// The system's own fault reporting (Windows 6 and later): an access violation in a module whose
// settings ask for it (WindowsLogo) is handed to it as well, and the host may not go on after it.
#include <windows.h>

using TReportFault = DWORD(WINAPI*)(EXCEPTION_POINTERS* pointers, DWORD mode);

// Loads the module and takes its "ReportFault" on Windows 6 and later, in place of what an
// earlier call took; false when there is none (the feature is skipped then).
bool LoadSystemFaultReporting(const wchar_t* moduleName = L"FaultRep.dll");

// Hands the fault over when the entry was found and the settings of the module holding the
// fault's address have WindowsLogo set; true when it was handed over.
bool ReportToSystem(const EXCEPTION_RECORD& record, const CONTEXT& context);
