#include "win32/OsInfo.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "text/Utf.h"

namespace {

constexpr char kProbeVariable[] = "CRASHKIT_OS_PROBE_OUTPUT";

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The version record without the compatibility limits of GetVersionEx.
OSVERSIONINFOEXW SystemVersion()
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = reinterpret_cast<TRtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    EXPECT_NE(nullptr, rtlGetVersion);
    if (rtlGetVersion) {
        EXPECT_EQ(0, rtlGetVersion(&info));
    }
    return info;
}

// " x64" on a 64-bit system, as the description names it.
std::string Architecture()
{
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? " x64" : "";
}

struct TProbe {
    std::string description;
    unsigned platform = 0;
    unsigned major = 0;
    unsigned minor = 0;
    int productType = 0;
    std::string servicePack;
};

// Runs this program again under another name, which Wine's per-program settings make report
// the given Windows version; gives what the copy found.
TProbe ProbeAs(const std::string& wineVersion)
{
    const std::string program = ProgramPath();
    const std::string folder = program.substr(0, program.find_last_of("\\/"));
    // A program file of its own per version: Wine may still hold the last one's image for a
    // moment after that process has ended, and a copy over it could then not be started.
    const std::string probeName = "crashkit_os_probe_" + wineVersion + ".exe";
    const std::string probeProgram = folder + "\\" + probeName;
    const std::string output = folder + "\\os-probe-" + wineVersion + ".txt";
    EXPECT_TRUE(CopyFileA(program.c_str(), probeProgram.c_str(), FALSE));
    const std::string key = "Software\\Wine\\AppDefaults\\" + probeName;
    HKEY settings = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &settings, nullptr));
    RegSetValueExA(settings, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(wineVersion.c_str()),
                   static_cast<DWORD>(wineVersion.size() + 1));
    RegCloseKey(settings);

    SetEnvironmentVariableA(kProbeVariable, output.c_str());
    std::string commandLine = "\"" + probeProgram + "\" --gtest_filter=OsInfoProbe.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(kProbeVariable, nullptr);
    EXPECT_TRUE(started);
    if (started) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    DeleteFileA(probeProgram.c_str());
    std::ifstream file(output);
    TProbe probe;
    std::getline(file, probe.description);
    file >> probe.platform >> probe.major >> probe.minor >> probe.productType;
    file.ignore(1);
    std::getline(file, probe.servicePack);
    file.close();
    DeleteFileA(output.c_str());
    return probe;
}

TEST(OsInfo, AgreesWithTheSystemsVersionRecord)
{
    const OSVERSIONINFOEXW info = SystemVersion();
    const TOS os = GetOSInfo();
    EXPECT_EQ(info.dwMajorVersion, os.major);
    EXPECT_EQ(info.dwMinorVersion, os.minor);
    EXPECT_EQ(info.dwBuildNumber, os.build);
    EXPECT_TRUE(os.isNT);
    EXPECT_EQ(os.version, os.versionNT);
    EXPECT_EQ(info.wServicePackMajor, os.servicePack);
    EXPECT_EQ(0u, os.description.find(OSVersionName(os.version)));
    EXPECT_EQ(os.description, GetOSInfo().description);
}

TEST(OsInfo, OtherVersionsThroughWinesSettings)
{
    if (!UnderWine())
        GTEST_SKIP() << "the version is changed through Wine's per-program settings";
    // The name follows the version record the system gives, whatever Wine calls the setting.
    struct TExpected {
        unsigned platform, major, minor;
        int productType; // 0: any
        const char* name;
    };
    // Wine's 9x versions: 95 is 4.0.950, 98 is 4.10.2222 (the second edition), ME 4.90.3000.
    const TExpected names[] = {
        {1, 4, 0, 0, "Windows 95"},    {1, 4, 10, 0, "Windows 98 SE"}, {1, 4, 90, 0, "Windows ME"},
        {2, 4, 0, 0, "Windows NT 4"},  {2, 5, 0, 0, "Windows 2000"},   {2, 5, 1, 0, "Windows XP"},
        {2, 6, 0, 1, "Windows Vista"}, {2, 6, 1, 1, "Windows 7"},      {2, 6, 1, 3, "Windows 2008 R2"},
        {2, 6, 3, 1, "Windows 8.1"},   {2, 10, 0, 0, "Windows 10"}};
    bool workstation61 = false;
    bool server61 = false;
    for (const char* setting : {"win95", "win98", "winme", "nt40", "win2k", "winxp", "vista", "win7", "win2008r2",
                                "win81", "win10"}) {
        const TProbe probe = ProbeAs(setting);
        const TExpected* expected = nullptr;
        for (const TExpected& candidate : names) {
            if (candidate.platform == probe.platform && candidate.major == probe.major && candidate.minor == probe.minor &&
                (candidate.productType == 0 || candidate.productType == probe.productType))
                expected = &candidate;
        }
        ASSERT_NE(nullptr, expected) << setting << " gave " << probe.platform << ": " << probe.major << "." << probe.minor
                                     << " type " << probe.productType;
        const std::string servicePack = probe.servicePack.empty() ? "" : " " + probe.servicePack;
        const std::string architecture = probe.platform == 2 ? Architecture() : "";
        EXPECT_EQ(expected->name + architecture + servicePack, probe.description) << setting;
        workstation61 = workstation61 || (probe.major == 6 && probe.minor == 1 && probe.productType == 1);
        server61 = server61 || (probe.major == 6 && probe.minor == 1 && probe.productType == 3);
    }
    EXPECT_TRUE(workstation61 && server61) << "both editions of 6.1 reached";
}

// Runs only in the copy that OtherVersionsThroughWinesSettings starts.
TEST(OsInfoProbe, WritesTheDescription)
{
    const char* output = std::getenv(kProbeVariable);
    if (!output)
        GTEST_SKIP() << "runs in the probe copy only";
    const OSVERSIONINFOEXW info = SystemVersion();
    std::ofstream file(output);
    file << WideToUTF8(GetOSInfo().description) << "\n"
         << info.dwPlatformId << " " << info.dwMajorVersion << " " << info.dwMinorVersion << " "
         << int{info.wProductType} << "\n"
         << WideToUTF8(reinterpret_cast<const char16_t*>(info.szCSDVersion)) << "\n";
}

} // namespace
