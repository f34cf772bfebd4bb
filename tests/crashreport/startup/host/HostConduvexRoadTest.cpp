// Conduvex.dll with the crash library active, driven by a host process: each case gets a folder
// with a copy of the library carrying its own settings and a copy of the host.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr DWORD kHostTimeoutMs = 30000;

fs::path ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR out)
{
    *reinterpret_cast<WORD*>(out) = found;
    return FALSE;
}

// The language the library's settings resource was written in.
WORD SettingsLanguage(const fs::path& library)
{
    WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    HMODULE module = LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return language;
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(10), L"TZELEXCEPT", &TakeLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    FreeLibrary(module);
    return language;
}

// A folder with the host and a library whose settings resource is the variant's.
fs::path PrepareCase(const std::string& name, const std::string& variant)
{
    const fs::path folder = ProgramFolder() / "conduvex-road" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(ProgramFolder() / "Conduvex.dll", folder / "Conduvex.dll");
    fs::copy_file(ProgramFolder() / "crashreport_road_host.exe", folder / "crashreport_road_host.exe");
    const std::string settings = ReadText(ProgramFolder() / ("road-settings-" + variant + ".bin"));
    EXPECT_FALSE(settings.empty());
    const WORD language = SettingsLanguage(folder / "Conduvex.dll");
    HANDLE update = BeginUpdateResourceW((folder / "Conduvex.dll").c_str(), FALSE);
    EXPECT_TRUE(update);
    EXPECT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(10), L"TZELEXCEPT", language,
                                const_cast<char*>(settings.data()), static_cast<DWORD>(settings.size())));
    EXPECT_TRUE(EndUpdateResourceW(update, FALSE));
    return folder;
}

// Runs the host in the folder; its exit code, or -1 when it did not end in time.
long RunHost(const fs::path& folder, const std::wstring& arguments)
{
    std::wstring line = L"\"" + (folder / "crashreport_road_host.exe").wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return -2;
    CloseHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, kHostTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

bool WaitForFile(const fs::path& file)
{
    for (DWORD waited = 0; waited < kHostTimeoutMs; waited += 50) {
        if (fs::exists(file))
            return true;
        Sleep(50);
    }
    return false;
}

TEST(ConduvexRoad, TraceIntoTheCallersMappingNamesEveryThreadAndKeepsWithinTheSize)
{
    const fs::path folder = PrepareCase("trace", "quiet");
    ASSERT_EQ(RunHost(folder, L"trace 20000"), 0) << "no report came of the naming";
    const std::string trace = ReadText(folder / "trace.txt");
    ASSERT_EQ(trace.size(), 20001u);
    const std::string text = trace.substr(0, trace.find('\0'));
    EXPECT_NE(text.find("first worker"), std::string::npos) << text.substr(0, 2000);
    EXPECT_NE(text.find("second worker"), std::string::npos);
    EXPECT_NE(text.find("zelExcept - TraceProcessThread"), std::string::npos) << "the calling thread";
    EXPECT_FALSE(fs::exists(folder / "bugreport.txt"));
}

TEST(ConduvexRoad, ASmallSizeGetsItsSizeLessOneCharactersAndANul)
{
    const fs::path folder = PrepareCase("trace-small", "quiet");
    ASSERT_EQ(RunHost(folder, L"trace 10"), 0);
    const std::string trace = ReadText(folder / "trace.txt");
    ASSERT_EQ(trace.size(), 11u);
    EXPECT_EQ(trace[9], '\0');
    EXPECT_EQ(trace.find('\0'), 9u);
    EXPECT_EQ(trace[10], 'x') << "nothing past the size";
}

TEST(ConduvexRoad, TraceWithoutASizeGoesOntoTheClipboard)
{
    const fs::path folder = PrepareCase("trace-clipboard", "quiet");
    ASSERT_EQ(RunHost(folder, L"trace 0"), 0);
    const std::string text = ReadText(folder / "trace.txt");
    EXPECT_NE(text.find("zelExcept - TraceProcessThread"), std::string::npos) << text.substr(0, 2000);
    EXPECT_NE(text.find("second worker"), std::string::npos);
}

// The fault becomes an exception object with the system's text, which the export's frame turns
// into its failure: handled there, it is no crash, and the host goes on.
TEST(ConduvexRoad, AnAccessViolationInsideAnExportBecomesItsFailureWithTheFaultsText)
{
    const fs::path folder = PrepareCase("access-violation", "quiet");
    ASSERT_EQ(RunHost(folder, L"av"), 0);
    const std::string seen = ReadText(folder / "av.txt");
    EXPECT_EQ(seen.substr(0, seen.find('\n')), "-1");
    EXPECT_NE(seen.find("Access violation at address "), std::string::npos) << seen;
    EXPECT_NE(seen.find(" in module 'Conduvex.dll'. Write of address "), std::string::npos) << seen;
    EXPECT_EQ(seen.substr(seen.size() - 2), "10") << "the address written to";
    EXPECT_FALSE(fs::exists(folder / "bugreport.txt"));
}

TEST(ConduvexRoad, AFrozenMainThreadIsSavedAndTheHostGoesOn)
{
    const fs::path folder = PrepareCase("freeze", "freeze");
    ASSERT_EQ(RunHost(folder, L"freeze"), 0);
    const std::string report = ReadText(folder / "bugreport.txt");
    EXPECT_NE(report.find("frozen"), std::string::npos) << report.substr(0, 2000);
    EXPECT_NE(report.find("main thread"), std::string::npos);
    EXPECT_NE(report.find("Conduvex.dll"), std::string::npos);
}

TEST(ConduvexRoad, AutoCloseEndsTheHostWithTheCloseExitCodeAfterSaving)
{
    const fs::path folder = PrepareCase("freeze-close", "close");
    EXPECT_EQ(RunHost(folder, L"freeze"), 1);
    EXPECT_NE(ReadText(folder / "bugreport.txt").find("frozen"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "restarted.txt"));
}

TEST(ConduvexRoad, AutoRestartStartsTheHostAgainAfterSaving)
{
    const fs::path folder = PrepareCase("freeze-restart", "restart");
    EXPECT_EQ(RunHost(folder, L"freeze"), 2) << "the restart exit code";
    ASSERT_TRUE(WaitForFile(folder / "restarted.txt")) << "the successor ran";
    EXPECT_NE(ReadText(folder / "bugreport.txt").find("frozen"), std::string::npos);
}

} // namespace
