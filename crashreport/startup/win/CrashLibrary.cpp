#include "CrashLibrary.h"

#include <windows.h>

#include "capture/win/CurrentExceptionReport.h"
#include "capture/win/SystemExceptions.h"
#include "capture/win/TerminateReport.h"
#include "dialog/box/win/DialogEnvironment.h"
#include "dispatch/win/EmergencyReserve.h"
#include "dispatch/win/RequestEntry.h"
#include "engine/win/LibraryFolders.h"
#include "engine/win/ProcessLists.h"
#include "handlers/win/FreezeWatchdog.h"
#include "handlers/win/MainThreadHandlers.h"
#include "plugins/win/ListPlugins.h"
#include "settings/win/SettingPlaceholders.h"
#include "settings/win/SharedSettings.h"
#include "settings/win/ZeSettings.h"
#include "startup/win/HookInstallation.h"
#include "startup/win/ModuleCalibration.h"
#include "startup/win/ModuleChecksum.h"
#include "startup/win/PackageStartUp.h"
#include "startup/win/RestartTakeOver.h"
#include "startup/win/SinkInstallation.h"
#include "startup/win/SystemFaultReporting.h"
#include "startup/win/ThreadNamingAhead.h"
#include "text/ZelException.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"
#include "win32/CurrentExceptionReport.h"

namespace {

bool active = false;
TLibraryState lastState = TLibraryState::Inactive;
constexpr char kSupportAddress[] = "support@conduvex.example";

void NameMainThread()
{
    const std::vector<uint32_t> threads = EnumerateThreads();
    NameThread(threads.empty() ? GetCurrentThreadId() : threads.front(), u"main thread");
}

// A corrupt file of the main program ends the process; of a library, fails the load of the image
// that carries the library.
bool ModuleFileSound(HMODULE module, IZEModuleSettings& settings)
{
    if (!IsModuleFileCorrupt(module))
        return true;
    TSettingPlaceholders values(module, TExceptionPlaceholders::Unchanged());
    const UnicodeString text = ExpandPlaceholders(settings.BitFaultMsg(), values);
    MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text.c_str()), nullptr, MB_ICONERROR);
    if (module == GetModuleHandleW(nullptr))
        ExitProcess(0);
    return false;
}

bool ModulesSound(const TSettingsRef& main)
{
    if (!main->Enabled() || !main->CheckFileCrc())
        return true;
    if (!ModuleFileSound(CrashLibraryModule(), *main))
        return false;
    return main->Module() == CrashLibraryModule() || ModuleFileSound(main->Module(), *main);
}

void StartCapture(IZEModuleSettings& main)
{
    LoadSystemFaultReporting();
    SetCurrentExceptionReport(&ReportCurrentToSink);
    InstallExceptionHooks();
    RegisterListPlugins();
    InstallSystemExceptionCapture();
    InstallThreadNamingAhead();
    InstallTerminateReport();
    StartExceptionDispatch();
    if (MainThreadHandlers().Start())
        DialogEnvironment().mainThreadId = MainThreadHandlers().ThreadId();
    if (main.CheckFreeze())
        StartFreezeWatch(main.FreezeTimeout());
    EmergencyReserve().Reserve();
}

// The thread-name buffer that every copy shares; without it the library stays inactive (the
// process goes on). An existing buffer that cannot be opened is told at once, a new one that
// cannot be mapped only when the library would have been enabled.
bool ThreadNameBufferOpen(bool enabled)
{
    switch (ThreadNameBuffer().Open()) {
    case TBufferOpen::Created:
        NameMainThread();
        return true;
    case TBufferOpen::Opened:
        return true;
    case TBufferOpen::Failed:
        ShowInternalMessage("internal error (opening global buffer)");
        return false;
    case TBufferOpen::NewUnmapped:
        if (enabled)
            ShowInternalMessage(AnsiString("internal error. please notify ") + kSupportAddress);
        return false;
    }
    return false;
}

// A library that runs as a runtime package starts the checkers its modules' settings ask for.
void StartAsPackage()
{
    if (!RunsAsRuntimePackage(CrashLibraryModule()))
        return;
    std::vector<HMODULE> modules;
    for (const TModuleEntry& entry : EnumerateModules())
        modules.push_back(entry.module);
    StartPackageCheckers(modules, LeakCheckLibrary());
}

TLibraryState StartWithModuleChecks()
{
    InstallExceptionClass();
    if (const auto history = TakeOverRestart())
        LoadExceptionHistory(*history);
    EmptyLibraryTempFolder();
    StartAsPackage();
    TSettingsRef main = GetModuleSettings(CrashLibraryModule());
    if (!main)
        return TLibraryState::Inactive;
    const bool hasResource = FindSettingsResource(main->Module()) != nullptr;
    if (hasResource && !ModulesSound(main))
        return TLibraryState::Corrupt;
    CalibrateAllModules();
    SetMainSettings(main);
    if (!hasResource) {
        // Without settings only the main thread is known; nothing is patched.
        SetMainSettings(nullptr);
        return TLibraryState::Inactive;
    }
    if (!ThreadNameBufferOpen(main->Enabled()) || !main->Enabled())
        return TLibraryState::Inactive;
    StartCapture(*main);
    active = true;
    return TLibraryState::Active;
}

} // namespace

TLibraryState StartCrashLibrary()
{
    lastState = StartWithModuleChecks();
    return lastState;
}

TLibraryState CrashLibraryState()
{
    return lastState;
}

void StopCrashLibrary()
{
    if (active) {
        RemoveTerminateReport();
        RemoveThreadNamingAhead();
        RemoveSystemExceptionCapture();
        FreezeWatchdog().Stop();
        MainThreadHandlers().Stop();
        StopExceptionDispatch();
        UnregisterListPlugins();
        EmergencyReserve().Release();
        RemoveExceptionHooks();
        SetCurrentExceptionReport(nullptr);
        active = false;
    }
    ThreadNameBuffer().Close();
    LeakCheckLibrary().Unload();
    SetMainSettings(nullptr);
}
