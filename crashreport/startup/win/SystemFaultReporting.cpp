#include "startup/win/SystemFaultReporting.h"

#include <versionhelpers.h>

#include <mutex>

#include "settings/win/ZeSettings.h"

namespace {

std::mutex lock;
TReportFault reportFault = nullptr;

TReportFault Entry()
{
    const std::lock_guard guard(lock);
    return reportFault;
}

} // namespace

bool LoadSystemFaultReporting(const wchar_t* moduleName)
{
    TReportFault entry = nullptr;
    if (IsWindowsVistaOrGreater()) {
        // Kept loaded for the rest of the process, like the system's own modules.
        if (const HMODULE module = LoadLibraryW(moduleName))
            entry = reinterpret_cast<TReportFault>(reinterpret_cast<void (*)()>(GetProcAddress(module, "ReportFault")));
    }
    const std::lock_guard guard(lock);
    reportFault = entry;
    return entry != nullptr;
}

bool ReportToSystem(const EXCEPTION_RECORD& record, const CONTEXT& context)
{
    const TReportFault entry = Entry();
    if (!entry)
        return false;
    const TSettingsRef settings = GetSettingsOfAddress(record.ExceptionAddress);
    if (!settings || !settings->WindowsLogo())
        return false;
    EXCEPTION_RECORD recordCopy = record;
    CONTEXT contextCopy = context;
    EXCEPTION_POINTERS pointers{&recordCopy, &contextCopy};
    entry(&pointers, 0);
    return true;
}
