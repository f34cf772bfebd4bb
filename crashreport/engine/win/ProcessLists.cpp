#include "engine/win/ProcessLists.h"

#include <array>

#include "engine/ProcessThreadRecords.h"
#include "system/OsVersion.h"
#include "text/FilePaths.h"
#include "win32/OsInfo.h"

namespace {

constexpr ULONG kProcessInformationClass = 5;
constexpr size_t kFirstGuess = 128 * 1024;
constexpr size_t kLargestList = 4 * 1024 * 1024;
constexpr LONG kStatusSuccess = 0;

using TNtQuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

TNtQuerySystemInformation QueryFunction()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<TNtQuerySystemInformation>(
                       reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")))
                 : nullptr;
}

std::vector<uint8_t> QueryProcessList(TNtQuerySystemInformation query)
{
    ULONG needed = 0;
    query(kProcessInformationClass, nullptr, 0, &needed);
    if (needed != 0) {
        std::vector<uint8_t> list(static_cast<size_t>(needed) * 2, 0);
        if (query(kProcessInformationClass, list.data(), static_cast<ULONG>(list.size()), nullptr) == kStatusSuccess)
            return list;
        return {};
    }
    for (size_t size = kFirstGuess; size <= kLargestList; size *= 2) {
        std::vector<uint8_t> list(size, 0);
        if (query(kProcessInformationClass, list.data(), static_cast<ULONG>(size), nullptr) == kStatusSuccess)
            return list;
    }
    return {};
}

const TProcessRecordLayout& NativeLayout()
{
    if constexpr (sizeof(void*) == 8)
        return kProcessLayout64;
    const TOS os = GetOSInfo();
    return os.major <= 4 ? kProcessLayoutNt4 : kProcessLayout32;
}

} // namespace

std::vector<uint32_t> EnumerateThreads()
{
    const TNtQuerySystemInformation query = QueryFunction();
    if (!query)
        return {};
    const std::vector<uint8_t> list = QueryProcessList(query);
    return ThreadIdsOfProcess(list, GetCurrentProcessId(), NativeLayout());
}

std::vector<TModuleEntry> EnumerateModules()
{
    std::vector<TModuleEntry> modules;
    modules.reserve(16);
    uintptr_t address = 0;
    const void* previousBase = nullptr;
    MEMORY_BASIC_INFORMATION region{};
    while (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Protect != PAGE_NOACCESS && region.BaseAddress == region.AllocationBase
            && region.AllocationBase != previousBase) {
            std::array<wchar_t, MAX_PATH + 1> name{};
            const HMODULE module = static_cast<HMODULE>(region.AllocationBase);
            if (GetModuleFileNameW(module, name.data(), MAX_PATH) != 0) {
                previousBase = region.AllocationBase;
                modules.push_back({module, ExtractFileNameW(reinterpret_cast<const char16_t*>(name.data()))});
            }
        }
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    modules.shrink_to_fit();
    return modules;
}

HANDLE OpenThreadHandle(uint32_t threadId, DWORD access)
{
    return OpenThread(access, FALSE, threadId);
}
