#include "DbgHelpReader.h"

#include <windows.h>

#include <dbghelp.h>

#include <array>
#include <memory>
#include <vector>

#include "ExceptionGuard.h"
#include "text/CaseFolding.h"
#include "text/FilePaths.h"

namespace {

constexpr DWORD64 kLoadBase = 0x80000000;
constexpr DWORD kMutexTimeoutMs = 10000;
constexpr size_t kModuleInfoSize = 3248;
constexpr ULONG kTagFunction = 5;
constexpr ULONG kTagPublicSymbol = 10;

using TSymInitializeW = BOOL(WINAPI*)(HANDLE, PCWSTR, BOOL);
using TSymCleanup = BOOL(WINAPI*)(HANDLE);
using TSymLoadModuleExW = DWORD64(WINAPI*)(HANDLE, HANDLE, PCWSTR, PCWSTR, DWORD64, DWORD, PMODLOAD_DATA, DWORD);
using TSymUnloadModule64 = BOOL(WINAPI*)(HANDLE, DWORD64);
using TSymGetModuleInfoW64 = BOOL(WINAPI*)(HANDLE, DWORD64, void*);
using TSymEnumSymbolsW = BOOL(WINAPI*)(HANDLE, ULONG64, PCWSTR, PSYM_ENUMERATESYMBOLS_CALLBACKW, PVOID);
using TSymEnumLinesW = BOOL(WINAPI*)(HANDLE, ULONG64, PCWSTR, PCWSTR, PSYM_ENUMLINES_CALLBACKW, PVOID);

struct THandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using TUniqueHandle = std::unique_ptr<void, THandleCloser>;

struct TLibraryFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using TUniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, TLibraryFreer>;

// Holds the process-wide mutex for the helper's use.
class TDbgHelpLock {
public:
    TDbgHelpLock() : mutex_(CreateMutexW(nullptr, FALSE, L"zelExceptDbgHelp"))
    {
        if (!mutex_)
            return;
        const DWORD waited = WaitForSingleObject(mutex_.get(), kMutexTimeoutMs);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~TDbgHelpLock()
    {
        if (held_)
            ReleaseMutex(mutex_.get());
    }
    TDbgHelpLock(const TDbgHelpLock&) = delete;
    TDbgHelpLock& operator=(const TDbgHelpLock&) = delete;

    bool Held() const { return held_; }

private:
    TUniqueHandle mutex_;
    bool held_ = false;
};

UnicodeString OwnModuleFolder()
{
    HMODULE own = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModuleFolder), &own);
    std::array<wchar_t, MAX_PATH> path{};
    const DWORD length = GetModuleFileNameW(own, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    return ExtractFilePathW(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), length));
}

TUniqueLibrary LoadDbgHelp()
{
    const UnicodeString besideUs = OwnModuleFolder() + u"dbghelp.dll";
    if (HMODULE module = LoadLibraryW(reinterpret_cast<LPCWSTR>(besideUs.c_str())))
        return TUniqueLibrary(module);
    return TUniqueLibrary(LoadLibraryW(L"dbghelp.dll"));
}

struct TDbgHelp {
    TSymInitializeW initialize = nullptr;
    TSymCleanup cleanup = nullptr;
    TSymLoadModuleExW loadModule = nullptr;
    TSymUnloadModule64 unloadModule = nullptr;
    TSymGetModuleInfoW64 moduleInfo = nullptr;
    TSymEnumSymbolsW enumSymbols = nullptr;
    TSymEnumLinesW enumLines = nullptr;

    bool Bind(HMODULE library)
    {
        return Find(library, "SymInitializeW", initialize) && Find(library, "SymCleanup", cleanup) &&
               Find(library, "SymLoadModuleExW", loadModule) && Find(library, "SymUnloadModule64", unloadModule) &&
               Find(library, "SymGetModuleInfoW64", moduleInfo) && Find(library, "SymEnumSymbolsW", enumSymbols) &&
               Find(library, "SymEnumLinesW", enumLines);
    }

private:
    template <typename T>
    static bool Find(HMODULE library, const char* name, T& function)
    {
        function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
        return function != nullptr;
    }
};

// What the callbacks gather; they run inside the helper and so catch everything themselves.
struct TGathered {
    uint64_t moduleBase = 0;
    struct TLineRecord {
        UnicodeString file;
        uint64_t address;
        int32_t line;
    };
    std::vector<TLineRecord> lines;
    std::vector<std::pair<uint64_t, UnicodeString>> symbols;
};

UnicodeString Text(const wchar_t* text, size_t length)
{
    return UnicodeString(reinterpret_cast<const char16_t*>(text), length);
}

BOOL CALLBACK OnLine(PSRCCODEINFOW line, PVOID context)
{
    try {
        auto& gathered = *static_cast<TGathered*>(context);
        gathered.lines.push_back({ExtractFileNameW(Text(line->FileName, wcsnlen(line->FileName, MAX_PATH + 1))),
                                  gathered.moduleBase + (line->Address - kLoadBase), static_cast<int32_t>(line->LineNumber)});
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL CALLBACK OnSymbol(PSYMBOL_INFOW symbol, ULONG, PVOID context)
{
    try {
        if (symbol->Tag == kTagFunction || symbol->Tag == kTagPublicSymbol) {
            auto& gathered = *static_cast<TGathered*>(context);
            gathered.symbols.emplace_back(gathered.moduleBase + (symbol->Address - kLoadBase),
                                          Text(symbol->Name, wcsnlen(symbol->Name, symbol->NameLen)));
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// Segments from the line records: a new one where the address falls back or the file changes.
void AddLines(const TGathered& gathered, TMapFile& map)
{
    const TGathered::TLineRecord* first = nullptr;
    const TGathered::TLineRecord* previous = nullptr;
    auto closeSegment = [&] {
        if (first && previous->address > first->address)
            map.AddSegment(true, first->address, static_cast<uint32_t>(previous->address - first->address), first->file,
                           false, false);
    };
    for (const TGathered::TLineRecord& record : gathered.lines) {
        if (!previous || record.address < previous->address || !SameTextW(record.file, previous->file)) {
            closeSegment();
            first = &record;
        }
        previous = &record;
        map.AddLine(record.line, record.address, false);
    }
    closeSegment();
    map.SortSegments();
    map.JoinSegments(true);
}

} // namespace

bool LoadProgramDatabase(const UnicodeString& moduleFileName, uint64_t moduleBase, TMapFile& map)
{
    const TDbgHelpLock lock;
    if (!lock.Held())
        return false;
    const TUniqueLibrary library = LoadDbgHelp();
    TDbgHelp help;
    if (!library || !help.Bind(library.get()))
        return false;
    const HANDLE process = GetCurrentProcess();
    BOOL initialised = FALSE;
    if (!CallGuarded([&] { initialised = help.initialize(process, nullptr, FALSE); }) || !initialised)
        return false;
    TGathered gathered;
    gathered.moduleBase = moduleBase;
    DWORD64 loaded = 0;
    const auto fileName = reinterpret_cast<PCWSTR>(moduleFileName.c_str());
    CallGuarded([&] { loaded = help.loadModule(process, nullptr, fileName, nullptr, kLoadBase, 0, nullptr, 0); });
    if (loaded == kLoadBase) {
        std::vector<DWORD64> info(kModuleInfoSize / sizeof(DWORD64) + 1);
        *reinterpret_cast<DWORD*>(info.data()) = static_cast<DWORD>(kModuleInfoSize);
        CallGuarded([&] { help.moduleInfo(process, kLoadBase, info.data()); });
        CallGuarded([&] { help.enumLines(process, kLoadBase, nullptr, nullptr, OnLine, &gathered); });
        CallGuarded([&] { help.enumSymbols(process, kLoadBase, L"*", OnSymbol, &gathered); });
        CallGuarded([&] { help.unloadModule(process, kLoadBase); });
    }
    CallGuarded([&] { help.cleanup(process); });
    if (loaded != kLoadBase)
        return false;
    AddLines(gathered, map);
    for (const auto& [address, name] : gathered.symbols)
        map.AddPublic(true, address, name);
    map.SortPublics();
    return !gathered.symbols.empty() || !gathered.lines.empty();
}
