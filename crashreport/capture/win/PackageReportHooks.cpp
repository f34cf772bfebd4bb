#include "capture/win/PackageReportHooks.h"

#include <windows.h>

#include <array>
#include <utility>

#include "capture/win/ExceptionSink.h"
#include "engine/win/LiveObjectCheck.h"
#include "settings/win/DualText.h"

namespace {

TCaughtException RuntimeException(TCaptureSource source, const void* object, const void* address)
{
    TCaughtException caught;
    caught.source = source;
    caught.object = object;
    caught.address = address;
    if (object) {
        caught.className = WideToSystemAnsi(GetExceptionClassName(object));
        caught.message = WideToSystemAnsi(GetExceptionMessage(object));
    }
    return caught;
}

void Report(const TCaughtException& caught) noexcept
{
    try {
        ReportCaught(caught);
    } catch (...) {
        // Nothing unwinds into the runtime's frames.
    }
}

} // namespace

void ZEL_RUNTIME_CALL AppHandleExceptionHook(void*, void* sender)
{
    if (const HWND captured = GetCapture())
        SendMessageW(captured, WM_CANCELMODE, 0, 0);
    TCaughtException caught = RuntimeException(TCaptureSource::WindowProcedure, nullptr, nullptr);
    caught.firstExtra = reinterpret_cast<uintptr_t>(sender);
    Report(caught);
}

void ZEL_RUNTIME_CALL AppShowExceptionHook(void*, void* exceptionObject)
{
    Report(RuntimeException(TCaptureSource::AppShowException, exceptionObject, nullptr));
}

void ZEL_RUNTIME_CALL ShowExceptionHook(void* exceptionObject, void* address)
{
    Report(RuntimeException(TCaptureSource::UtilityShowException, exceptionObject, address));
}

unsigned InstallPackageReportHooks(const TPackageRoutines& routines, TCodePatchTable& patches)
{
    const std::array<std::pair<TRuntimeRoutine, const void*>, 7> jumps = {{
        {TRuntimeRoutine::AppHandleException, reinterpret_cast<const void*>(&AppHandleExceptionHook)},
        {TRuntimeRoutine::CrossAppHandleException, reinterpret_cast<const void*>(&AppHandleExceptionHook)},
        {TRuntimeRoutine::ThirdAppHandleException, reinterpret_cast<const void*>(&AppHandleExceptionHook)},
        {TRuntimeRoutine::AppShowException, reinterpret_cast<const void*>(&AppShowExceptionHook)},
        {TRuntimeRoutine::CrossAppShowException, reinterpret_cast<const void*>(&AppShowExceptionHook)},
        {TRuntimeRoutine::ThirdAppShowException, reinterpret_cast<const void*>(&AppShowExceptionHook)},
        {TRuntimeRoutine::UtilityShowException, reinterpret_cast<const void*>(&ShowExceptionHook)},
    }};
    unsigned patched = 0;
    for (const auto& [routine, stub] : jumps) {
        if (void* entry = const_cast<void*>(routines[routine]); entry && patches.PatchJump(entry, stub))
            ++patched;
    }
    FlushInstructionCache(GetCurrentProcess(), nullptr, 0);
    return patched;
}
