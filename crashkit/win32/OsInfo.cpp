#include "win32/OsInfo.h"

#include <windows.h>

namespace {

constexpr int kMetricTabletPC = 86;
constexpr int kMetricMediaCenter = 87;
constexpr int kMetricStarter = 88;
constexpr int kMetricServerR2 = 89;

template <typename Function>
Function SystemRoutine(const wchar_t* module, const char* name)
{
    const HMODULE loaded = GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

// The extended record from ntdll (not subject to the compatibility shims of GetVersionEx),
// else from GetVersionEx, else the basic record.
bool QueryVersion(OSVERSIONINFOEXW& info, bool& extended)
{
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    extended = true;
    if (const auto rtlGetVersion = SystemRoutine<TRtlGetVersion>(L"ntdll.dll", "RtlGetVersion")) {
        if (rtlGetVersion(&info) == 0)
            return true;
    }
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)))
        return true;
    info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    extended = false;
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
}

bool NativeX64()
{
    using TGetNativeSystemInfo = void(WINAPI*)(SYSTEM_INFO*);
    const auto getNativeSystemInfo = SystemRoutine<TGetNativeSystemInfo>(L"kernel32.dll", "GetNativeSystemInfo");
    if (!getNativeSystemInfo)
        return false;
    SYSTEM_INFO system{};
    getNativeSystemInfo(&system);
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

TOS QueryOS()
{
    OSVERSIONINFOEXW info;
    bool extended = false;
    TOSFacts facts;
    if (QueryVersion(info, extended)) {
        facts.platform = info.dwPlatformId;
        facts.major = info.dwMajorVersion;
        facts.minor = info.dwMinorVersion;
        facts.build = info.dwBuildNumber;
        facts.servicePackText = reinterpret_cast<const char16_t*>(info.szCSDVersion);
        facts.extendedRecord = extended;
        facts.servicePackMajor = extended ? info.wServicePackMajor : 0;
        facts.productType = extended ? info.wProductType : 0;
    }
    facts.nativeX64 = NativeX64();
    facts.serverR2 = GetSystemMetrics(kMetricServerR2) != 0;
    facts.tabletPC = GetSystemMetrics(kMetricTabletPC) != 0;
    facts.starter = GetSystemMetrics(kMetricStarter) != 0;
    facts.mediaCenter = GetSystemMetrics(kMetricMediaCenter) != 0;
    return DescribeOS(facts);
}

} // namespace

TOS GetOSInfo()
{
    static const TOS cached = QueryOS();
    return cached;
}
