#include "capture/win/SystemExceptions.h"

#include <mutex>

#include "capture/win/RaiseHooks.h"
#include "settings/win/DualText.h"
#include "text/FilePaths.h"
#include "text/ZelException.h"
#include "threads/ThreadNames.h"
#include "win32/MemoryAccess.h"
#include "win32/ThreadSlot.h"

namespace {

constexpr DWORD kThreadNameException = 0x406D1388;
constexpr ULONG_PTR kThreadNameInfoType = 0x1000;
constexpr DWORD kStackOverflow = 0xC00000FD;
constexpr DWORD kSeverityMask = 0xF0000000;
constexpr DWORD kErrorSeverity = 0xC0000000; // system errors; customer codes carry bit 29
constexpr size_t kLongestThreadName = 256;

constinit TThreadSlot<AnsiString> pendingMessages;

HMODULE ModuleOf(const void* address)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
    return module;
}

AnsiString ModuleFileName(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    if (!module || GetModuleFileNameW(module, path, MAX_PATH) == 0)
        return {};
    const std::u16string_view wide(reinterpret_cast<const char16_t*>(path));
    return WideToSystemAnsi(ExtractFileNameW(wide));
}

HMODULE OwnImage()
{
    static const HMODULE own = ModuleOf(reinterpret_cast<const void*>(&InstallSystemExceptionCapture));
    return own;
}

// Errors of the system (not informational codes, not the runtime's own throws); a stack
// overflow is left to the system, as unwinding would run on a stack without its guard page.
bool IsConverted(const EXCEPTION_RECORD& record)
{
    return (record.ExceptionCode & kSeverityMask) == kErrorSeverity && record.ExceptionCode != kStackOverflow &&
           (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0 &&
           ModuleOf(record.ExceptionAddress) == OwnImage() && OwnImage() != nullptr;
}

} // namespace

// Entered as if the faulting instruction had called it.
extern "C" [[noreturn]] void CaptureThrowPendingFault()
{
    AnsiString message;
    if (AnsiString* pending = pendingMessages.Find())
        message.swap(*pending);
    throw EExternalException(message);
}

#if defined(__x86_64__)
// The fault may leave the stack pointer on either 8-byte half. Two entries, described to the
// unwinder, bring it to the alignment a call needs and then call the thrower: the first for a
// stack pointer that is aligned as at a function's entry once the return address is pushed,
// the second for one 8 bytes off.
extern "C" void CaptureFaultEntryAligned();
extern "C" void CaptureFaultEntryShifted();
asm(".text\n"
    ".globl CaptureFaultEntryAligned\n"
    ".def CaptureFaultEntryAligned; .scl 2; .type 32; .endef\n"
    ".seh_proc CaptureFaultEntryAligned\n"
    "CaptureFaultEntryAligned:\n"
    "    subq $40, %rsp\n"
    "    .seh_stackalloc 40\n"
    "    .seh_endprologue\n"
    "    call CaptureThrowPendingFault\n"
    "    nop\n"
    "    .seh_endproc\n"
    ".globl CaptureFaultEntryShifted\n"
    ".def CaptureFaultEntryShifted; .scl 2; .type 32; .endef\n"
    ".seh_proc CaptureFaultEntryShifted\n"
    "CaptureFaultEntryShifted:\n"
    "    subq $48, %rsp\n"
    "    .seh_stackalloc 48\n"
    "    .seh_endprologue\n"
    "    call CaptureThrowPendingFault\n"
    "    nop\n"
    "    .seh_endproc\n");
#endif

namespace {

// Makes the faulting instruction look like a call of the thrower.
void RedirectToThrower(CONTEXT& context, const void* faultAddress)
{
    const auto returnAddress = reinterpret_cast<uintptr_t>(faultAddress) + 1; // unwinding looks one byte back
#if defined(__x86_64__)
    context.Rsp -= sizeof(uintptr_t);
    *reinterpret_cast<uintptr_t*>(context.Rsp) = returnAddress;
    const bool asAtEntry = context.Rsp % 16 == 8;
    context.Rip = reinterpret_cast<DWORD64>(asAtEntry ? &CaptureFaultEntryAligned : &CaptureFaultEntryShifted);
#else
    context.Esp -= sizeof(uintptr_t);
    *reinterpret_cast<uintptr_t*>(context.Esp) = returnAddress;
    context.Eip = reinterpret_cast<DWORD>(&CaptureThrowPendingFault);
#endif
}

LONG CALLBACK CaptureSystemException(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    try {
        if (record.ExceptionCode == kThreadNameException) {
            NameThreadFromRecord(record);
            return EXCEPTION_CONTINUE_SEARCH;
        }
        if (!IsConverted(record))
            return EXCEPTION_CONTINUE_SEARCH;
        if (AnsiString* pending = pendingMessages.TryMine())
            *pending = SystemExceptionMessage(record);
        SetPendingFault(record, *pointers->ContextRecord);
        RedirectToThrower(*pointers->ContextRecord, record.ExceptionAddress);
        return EXCEPTION_CONTINUE_EXECUTION;
    } catch (...) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
}

std::mutex installLock;
void* installed = nullptr;

} // namespace

void InstallSystemExceptionCapture()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (!installed)
        installed = AddVectoredExceptionHandler(0, CaptureSystemException);
}

void RemoveSystemExceptionCapture()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (installed)
        RemoveVectoredExceptionHandler(installed);
    installed = nullptr;
}

void RaiseCaughtFault(const EXCEPTION_RECORD& record, const CONTEXT& context)
{
    AnsiString message = SystemExceptionMessage(record);
    SetPendingFault(record, context);
    throw EExternalException(message);
}

bool NameThreadFromRecord(const EXCEPTION_RECORD& record)
{
    if (record.ExceptionCode != kThreadNameException || record.NumberParameters < 4 ||
        record.ExceptionInformation[0] != kThreadNameInfoType || record.ExceptionInformation[3] != 0)
        return false;
    const auto* name = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    AnsiString text;
    for (size_t i = 0; name && i < kLongestThreadName && !IsBadReadArea(name + i, 1) && name[i]; ++i)
        text += name[i];
    const DWORD given = static_cast<DWORD>(record.ExceptionInformation[2]);
    const DWORD thread = given == static_cast<DWORD>(-1) ? GetCurrentThreadId() : given;
    if (!text.empty())
        SetThreadEntry(thread, nullptr, SystemAnsiToWide(text), 0, nullptr, {});
    return true;
}

AnsiString SystemExceptionMessage(const EXCEPTION_RECORD& record)
{
    return SystemExceptionMessage(SystemFaultOf(record, ModuleFileName(ModuleOf(record.ExceptionAddress))));
}
