#include <windows.h>
#include <winternl.h>

#include <vector>

#include "WinHandle.h"
#include "plugins/win/BoundLibrary.h"
#include "plugins/win/ListPlugins.h"

namespace {

using TNtQuerySystemInformation = LONG(WINAPI*)(ULONG infoClass, void* buffer, ULONG length, ULONG* returned);
using TGetModuleFileNameExW = DWORD(WINAPI*)(HANDLE process, HMODULE module, wchar_t* name, DWORD size);
using TGetGuiResources = DWORD(WINAPI*)(HANDLE process, DWORD kind);

constexpr ULONG kProcessInformation = 5;
constexpr ULONG kFirstBuffer = 128 * 1024;
constexpr ULONG kLastBuffer = 4 * 1024 * 1024;
constexpr DWORD kGdiObjects = 0;
constexpr DWORD kUserObjects = 1;
constexpr DWORD kPathLength = 1024;

// The system's process records, 8-byte aligned; empty when no buffer size works.
std::vector<uint64_t> QueryProcesses(TNtQuerySystemInformation query)
{
    ULONG needed = 0;
    query(kProcessInformation, nullptr, 0, &needed);
    const ULONG first = needed ? needed * 2 : kFirstBuffer;
    for (ULONG size = first; size <= std::max(first, kLastBuffer); size *= 2) {
        std::vector<uint64_t> buffer((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        if (query(kProcessInformation, buffer.data(), size, nullptr) == 0)
            return buffer;
    }
    return {};
}

UnicodeString SystemFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return UnicodeString(reinterpret_cast<const char16_t*>(folder), length <= MAX_PATH ? length : 0);
}

struct TProcessRoutines {
    TGetModuleFileNameExW moduleFileName;
    TGetGuiResources guiResources;
};

void ReadOpenProcess(HANDLE process, const TProcessRoutines& routines, const UnicodeString& systemFolder,
                     TProcessRecord& record)
{
    if (routines.moduleFileName) {
        wchar_t path[kPathLength] = {};
        const DWORD length = routines.moduleFileName(process, nullptr, path, kPathLength);
        if (length > 0 && length < kPathLength) {
            const TPathParts parts =
                SplitImagePath(UsableImagePath(std::u16string_view(reinterpret_cast<const char16_t*>(path), length), systemFolder));
            record.fileName = parts.fileName;
            record.folder = parts.folder;
        }
    }
    if (routines.guiResources) {
        record.gdiObjects = routines.guiResources(process, kGdiObjects);
        record.userObjects = routines.guiResources(process, kUserObjects);
    }
    record.priorityClass = GetPriorityClass(process);
}

} // namespace

std::vector<TProcessRecord> CollectProcesses()
{
    const TBoundLibrary ntdll(L"ntdll.dll");
    const auto query = ntdll.Bind<TNtQuerySystemInformation>("NtQuerySystemInformation");
    if (!query)
        return {};
    const std::vector<uint64_t> buffer = QueryProcesses(query);
    if (buffer.empty())
        return {};
    const TBoundLibrary psapi(L"psapi.dll");
    const TBoundLibrary user32(L"user32.dll");
    const TProcessRoutines routines{psapi.Bind<TGetModuleFileNameExW>("GetModuleFileNameExW"),
                                    user32.Bind<TGetGuiResources>("GetGuiResources")};
    const UnicodeString systemFolder = SystemFolder();

    std::vector<TProcessRecord> processes;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
    const size_t size = buffer.size() * sizeof(uint64_t);
    for (size_t offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= size;) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(bytes + offset);
        TProcessRecord record;
        record.id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(entry->UniqueProcessId));
        record.session = entry->SessionId;
        const std::u16string_view image(reinterpret_cast<const char16_t*>(entry->ImageName.Buffer),
                                        entry->ImageName.Buffer ? entry->ImageName.Length / sizeof(char16_t) : 0);
        record.fileName = image.empty() ? UnicodeString(u"Idle") : UnicodeString(image);
        const TWinHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, record.id));
        if (process)
            ReadOpenProcess(process.Get(), routines, systemFolder, record);
        processes.push_back(record);
        if (!entry->NextEntryOffset)
            break;
        offset += entry->NextEntryOffset;
    }
    return processes;
}

UnicodeString ListProcesses()
{
    return ProcessListText(CollectProcesses());
}
