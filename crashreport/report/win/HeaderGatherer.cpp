#include "HeaderGatherer.h"

#include <atomic>
#include <optional>

#include "GuardedCall.h"
#include "engine/win/RegistryText.h"
#include "report/HeaderValues.h"
#include "report/HexText.h"
#include "text/NumberFormat.h"
#include "text/TextEdit.h"
#include "win32/DecimalSeparator.h"
#include "win32/OsInfo.h"
#include "win32/PathNames.h"

namespace {

using TFieldGatherer = void (*)(const TReportSubject& subject, THeaderFields& fields);

std::atomic<uint64_t> exceptionCounter{0};

constexpr int kTextBuffer = 260;
constexpr int kRemoteSessionMetric = 0x1000;
constexpr int kMaxProcessors = 16;
constexpr char16_t kProcessorKey[] = u"hardware\\description\\system\\centralProcessor\\";

const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

UnicodeString FromWide(const wchar_t* text)
{
    return text ? UnicodeString(reinterpret_cast<const char16_t*>(text)) : UnicodeString();
}

void Add(THeaderFields& fields, const char16_t* name, const UnicodeString& value)
{
    fields.push_back({name, value});
}

template <typename Procedure>
Procedure Bind(const wchar_t* library, const char* name)
{
    const HMODULE module = GetModuleHandleW(library) ? GetModuleHandleW(library) : LoadLibraryW(library);
    return module ? reinterpret_cast<Procedure>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

UnicodeString ModuleFileName(HMODULE module)
{
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 2);
    return length ? FromWide(path) : UnicodeString();
}

UnicodeString FileNameOnly(const UnicodeString& path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}

TLocalTime LocalTimeOf(const SYSTEMTIME& time)
{
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

void DateTime(const TReportSubject& subject, THeaderFields& fields)
{
    Add(fields, u"date/time", ReportDateTimeText(LocalTimeOf(subject.exceptTime)));
}

void ComputerName(const TReportSubject&, THeaderFields& fields)
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &size))
        Add(fields, u"computer name", FromWide(name));
}

void WtsClientName(const TReportSubject&, THeaderFields& fields)
{
    using TQuery = BOOL(WINAPI*)(HANDLE, DWORD, int, wchar_t**, DWORD*);
    using TFree = void(WINAPI*)(void*);
    constexpr int kClientName = 10;
    if (GetSystemMetrics(kRemoteSessionMetric) == 0)
        return;
    const auto query = Bind<TQuery>(L"wtsapi32.dll", "WTSQuerySessionInformationW");
    const auto free = Bind<TFree>(L"wtsapi32.dll", "WTSFreeMemory");
    wchar_t* name = nullptr;
    DWORD bytes = 0;
    if (!query || !free || !query(nullptr, static_cast<DWORD>(-1), kClientName, &name, &bytes))
        return;
    if (bytes >= 2 && name && name[0])
        Add(fields, u"wts client name", FromWide(name));
    free(name);
}

bool UserIsAdmin()
{
    using TCheck = BOOL(WINAPI*)(HANDLE, PSID, BOOL*);
    const auto check = Bind<TCheck>(L"advapi32.dll", "CheckTokenMembership");
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!check || !AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                            0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    const bool admin = check(nullptr, administrators, &member) && member;
    FreeSid(administrators);
    return admin;
}

void UserName(const TReportSubject&, THeaderFields& fields)
{
    wchar_t name[kTextBuffer] = {};
    DWORD size = kTextBuffer;
    if (GetUserNameW(name, &size))
        Add(fields, u"user name", UserNameText(FromWide(name), UserIsAdmin()));
}

void RegisteredOwner(const TReportSubject&, THeaderFields& fields)
{
    const UnicodeString key = u"Software\\Microsoft\\Windows NT\\CurrentVersion";
    const UnicodeString owner = RegReadStr(HKEY_LOCAL_MACHINE, key, u"RegisteredOwner");
    Add(fields, u"registered owner",
        RegisteredOwnerText(owner, RegReadStr(HKEY_LOCAL_MACHINE, key, u"RegisteredOrganization")));
}

void OperatingSystem(const TReportSubject&, THeaderFields& fields)
{
    const TOS os = GetOSInfo();
    Add(fields, u"operating system", os.description + u" build " + UIntToDecW(os.build, 0, u' '));
}

void SystemLanguage(const TReportSubject&, THeaderFields& fields)
{
    wchar_t language[kTextBuffer] = {};
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SLANGUAGE, language, kTextBuffer))
        Add(fields, u"system language", FromWide(language));
}

void SystemUpTime(const TReportSubject&, THeaderFields& fields)
{
    LARGE_INTEGER counter{};
    LARGE_INTEGER frequency{};
    if (QueryPerformanceCounter(&counter) && QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0)
        Add(fields, u"system up time", DurationText(counter.QuadPart / frequency.QuadPart));
}

int64_t FileTimeTicks(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

void ProgramUpTime(const TReportSubject&, THeaderFields& fields)
{
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    Add(fields, u"program up time", ProgramUpTimeText((FileTimeTicks(now) - FileTimeTicks(created)) / 10000));
}

void Processors(const TReportSubject&, THeaderFields& fields)
{
    const UnicodeString name = RegReadStr(HKEY_LOCAL_MACHINE, UnicodeString(kProcessorKey) + u"0", u"ProcessorNameString");
    int count = 1;
    while (count < kMaxProcessors &&
           !RegReadStr(HKEY_LOCAL_MACHINE, kProcessorKey + IntToStrW(count), u"ProcessorNameString").empty())
        ++count;
    if (const std::optional<THeaderField> field = ProcessorField(name, count))
        fields.push_back(*field);
}

void PhysicalMemory(const TReportSubject&, THeaderFields& fields)
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status))
        Add(fields, u"physical memory", PhysicalMemoryText(status.ullAvailPhys, status.ullTotalPhys));
}

std::optional<UnicodeString> DriveSpace(const UnicodeString& path)
{
    if (path.size() < 3 || path[1] != u':')
        return std::nullopt; // network paths have no drive letter
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(Wide(path.substr(0, 3)), &available, nullptr, nullptr))
        return std::nullopt;
    return DriveSpaceText(path[0], static_cast<int64_t>(available.QuadPart), DecimalSeparator());
}

void FreeDiskSpace(const TReportSubject&, THeaderFields& fields)
{
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const UnicodeString windowsPath = FromWide(windows);
    const UnicodeString programPath = ModuleFileName(nullptr);
    UnicodeString text = DriveSpace(windowsPath).value_or(u"");
    if (!programPath.empty() && !windowsPath.empty() && towupper(programPath[0]) != towupper(windowsPath[0])) {
        if (const std::optional<UnicodeString> program = DriveSpace(programPath))
            text += (text.empty() ? u"" : u" ") + *program;
    }
    if (!text.empty())
        Add(fields, u"free disk space", text);
}

void DisplayMode(const TReportSubject&, THeaderFields& fields)
{
    const HDC screen = GetDC(nullptr);
    if (!screen)
        return;
    const int bits = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    Add(fields, u"display mode", DisplayModeText(GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES), bits));
    ReleaseDC(nullptr, screen);
}

void ProcessId(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, u"process id", ConcatW({u"$", HexDigits(GetCurrentProcessId(), 1)}));
}

template <typename Visit>
void ForEachRegion(Visit&& visit)
{
    MEMORY_BASIC_INFORMATION region{};
    for (uintptr_t at = 0; VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == sizeof region;) {
        visit(region);
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
}

void AllocatedMemory(const TReportSubject&, THeaderFields& fields)
{
    int64_t total = 0;
    ForEachRegion([&](const MEMORY_BASIC_INFORMATION& region) {
        if (region.State == MEM_COMMIT && region.Type != MEM_IMAGE)
            total += static_cast<int64_t>(region.RegionSize);
    });
    Add(fields, u"allocated memory", SizeToStrW(total));
}

void LargestFreeBlock(const TReportSubject&, THeaderFields& fields)
{
    int64_t largest = 0;
    ForEachRegion([&](const MEMORY_BASIC_INFORMATION& region) {
        if (region.State == MEM_FREE)
            largest = std::max(largest, static_cast<int64_t>(region.RegionSize));
    });
    Add(fields, u"largest free block", SizeToStrW(largest));
}

void CommandLine(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, u"command line", FromWide(GetCommandLineW()));
}

void Executable(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, u"executable", FileNameOnly(ModuleFileName(nullptr)));
}

void CurrentModule(const TReportSubject& subject, THeaderFields& fields)
{
    Add(fields, u"current module", FileNameOnly(ModuleFileName(subject.module)));
}

void ModuleDateTime(const TReportSubject& subject, THeaderFields& fields)
{
    const UnicodeString path = ModuleFileName(subject.module);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    SYSTEMTIME time{};
    if (path.empty() || !GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &time))
        return;
    const bool program = subject.module == nullptr || subject.module == GetModuleHandleW(nullptr);
    Add(fields, program ? u"exec. date/time" : u"module date/time", FileDateTimeText(LocalTimeOf(time)));
}

void Version(const TReportSubject& subject, THeaderFields& fields)
{
    const UnicodeString version =
        subject.versionText.empty() ? GetFileVersionStr(ModuleFileName(subject.module)) : subject.versionText;
    if (!version.empty())
        Add(fields, u"version", version);
}

void DatabaseEngineVersion(const TReportSubject&, THeaderFields& fields)
{
    if (const HMODULE engine = GetModuleHandleW(L"idapi32.dll"))
        Add(fields, u"bde version", GetFileVersionStr(ModuleFileName(engine)));
}

void CompiledWith(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, u"compiled with", UTF8ToWide("MinGW-w64 GCC " __VERSION__));
}

void LibraryVersion(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, u"zelExcept version", u"4.0.12");
}

void HeaderPlugins(const TReportSubject& subject, THeaderFields& fields)
{
    for (const TReportPlugin& plugin : subject.headerPlugins) {
        UnicodeString text;
        if (RunGuarded([&] { text = plugin.text(); }))
            fields.push_back({plugin.name, text});
    }
}

void CallstackCrc(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, kCallstackCrcField, kFieldPlaceholder);
}

void ExceptionNumber(const TReportSubject&, THeaderFields& fields)
{
    Add(fields, u"exception number", Int64ToStrW(static_cast<int64_t>(++exceptionCounter)));
}

void ExceptionClass(const TReportSubject& subject, THeaderFields& fields)
{
    if (!subject.frozen && !subject.processTrace)
        Add(fields, u"exception class", subject.exceptClass);
}

void ExceptionMessage(const TReportSubject& subject, THeaderFields& fields)
{
    if (subject.frozen) {
        Add(fields, u"exception message", subject.options.frozenMsg);
    } else if (const std::optional<UnicodeString> message =
                   ExceptionMessageValue(subject.exceptMessage, subject.exceptClass)) {
        Add(fields, u"exception message", *message);
    }
}

constexpr TFieldGatherer kFieldGatherers[] = {
    DateTime,        ComputerName,          WtsClientName, UserName,       RegisteredOwner, OperatingSystem,
    SystemLanguage,  SystemUpTime,          ProgramUpTime, Processors,     PhysicalMemory,  FreeDiskSpace,
    DisplayMode,     ProcessId,             AllocatedMemory, LargestFreeBlock, CommandLine,  Executable,
    CurrentModule,   ModuleDateTime,        Version,       DatabaseEngineVersion, CompiledWith, LibraryVersion,
    HeaderPlugins,   CallstackCrc,          ExceptionNumber, ExceptionClass, ExceptionMessage,
};

} // namespace

THeaderFields GatherHeader(const TReportSubject& subject)
{
    THeaderFields fields;
    fields.reserve(64);
    for (const TFieldGatherer gather : kFieldGatherers) {
        THeaderFields computed;
        if (RunGuarded([&] { gather(subject, computed); }))
            fields.insert(fields.end(), computed.begin(), computed.end());
    }
    return fields;
}
