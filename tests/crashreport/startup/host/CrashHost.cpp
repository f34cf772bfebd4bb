// A host of Conduvex.dll for the road tests: loads the library from its own folder and does
// what its first argument says; writes what it saw into files of its folder.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using TTraceProcess = int32_t(WINAPI*)(int32_t size);

constexpr DWORD kWaitForReportMs = 15000;

void WriteText(const char* name, const std::string& text)
{
    if (FILE* file = std::fopen(name, "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

bool FileExists(const char* name)
{
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

// Names the calling thread by the debugger convention.
void NameThisThread(const char* name)
{
    // Type, name, thread (-1: the calling one), flags, one word each on either architecture.
    const ULONG_PTR info[] = {0x1000, reinterpret_cast<ULONG_PTR>(name), static_cast<ULONG_PTR>(-1), 0};
    RaiseException(0x406D1388, 0, 4, info);
}

HANDLE g_release = nullptr;

DWORD WINAPI NamedThread(void* name)
{
    NameThisThread(static_cast<const char*>(name));
    WaitForSingleObject(g_release, INFINITE);
    return 0;
}

void PumpFor(DWORD milliseconds)
{
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < milliseconds) {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

int Trace(TTraceProcess trace, int32_t size)
{
    g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE first = CreateThread(nullptr, 0, NamedThread, const_cast<char*>("first worker"), 0, nullptr);
    HANDLE second = CreateThread(nullptr, 0, NamedThread, const_cast<char*>("second worker"), 0, nullptr);
    NameThisThread("host main");
    Sleep(200);
    std::string text;
    if (size > 0) {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 65536,
                                            "zelTraceProcessMap");
        auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
        std::memset(view, 'x', 65536);
        if (trace(size) != 0)
            return 4;
        // What lies within the size and just past it.
        text.assign(view, std::min<size_t>(static_cast<size_t>(size) + 1, 65536));
        UnmapViewOfFile(view);
        CloseHandle(mapping);
    } else {
        if (trace(0) != 0)
            return 4;
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                text = static_cast<const char*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
    }
    WriteText("trace.txt", text);
    SetEvent(g_release);
    WaitForSingleObject(first, INFINITE);
    WaitForSingleObject(second, INFINITE);
    return FileExists("bugreport.txt") ? 5 : 0;
}

// Marks the first run; true in the process a restart started.
bool Restarted()
{
    if (FileExists("started.txt")) {
        WriteText("restarted.txt", "restarted");
        return true;
    }
    WriteText("started.txt", "started");
    return false;
}

// The main thread stops answering; the watchdog's report is saved; the host goes on, unless
// the settings close or restart it.
int Freeze()
{
    if (Restarted())
        return 0;
    PumpFor(200);
    Sleep(1500);
    const DWORD started = GetTickCount();
    while (!FileExists("bugreport.txt") && GetTickCount() - started < kWaitForReportMs)
        PumpFor(100);
    PumpFor(500);
    return FileExists("bugreport.txt") ? 0 : 3;
}

using TEnumHandles = int32_t(WINAPI*)(uint32_t* buffer, int32_t* size);
using TLastErrorText = uint32_t(WINAPI*)(char* buffer, int32_t* length);

// ciEnumHandles called with the given arguments: its result and the last error's text go to the
// file; 4 when the exports are missing.
int EnumHandlesInto(HMODULE library, uint32_t* buffer, int32_t* size, const char* file)
{
    const auto enumHandles = reinterpret_cast<TEnumHandles>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "ciEnumHandles")));
    const auto lastErrorText = reinterpret_cast<TLastErrorText>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "LastErrorText")));
    if (!enumHandles || !lastErrorText)
        return 4;
    const int32_t result = enumHandles(buffer, size);
    char text[512] = {};
    int32_t length = sizeof text;
    lastErrorText(text, &length);
    WriteText(file, std::to_string(result) + "\n" + text);
    return 0;
}

// An export handed a pointer it cannot write: the fault happens inside the library, is reported,
// and the export fails with it unless the settings close or restart the host.
int FaultInExport(HMODULE library, const char* file)
{
    return EnumHandlesInto(library, nullptr, reinterpret_cast<int32_t*>(0x10), file);
}

int AccessViolation(HMODULE library)
{
    if (Restarted())
        return 0;
    return FaultInExport(library, "av.txt");
}

// Two faults in a row, each reported on its own.
int TwoAccessViolations(HMODULE library)
{
    const int first = FaultInExport(library, "av.txt");
    return first != 0 ? first : FaultInExport(library, "av2.txt");
}

// An export handed no length: the library's own error, which makes no report.
int OwnError(HMODULE library)
{
    uint32_t handles[4] = {};
    return EnumHandlesInto(library, handles, nullptr, "error.txt");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    HMODULE library = LoadLibraryA("Conduvex.dll");
    if (!library)
        return 6;
    const auto trace = reinterpret_cast<TTraceProcess>(reinterpret_cast<void (*)()>(GetProcAddress(library, MAKEINTRESOURCEA(1))));
    const std::string command = argv[1];
    if (command == "trace" && argc > 2 && trace)
        return Trace(trace, std::atoi(argv[2]));
    if (command == "freeze")
        return Freeze();
    if (command == "av")
        return AccessViolation(library);
    if (command == "av-twice")
        return TwoAccessViolations(library);
    if (command == "error")
        return OwnError(library);
    return 2;
}
