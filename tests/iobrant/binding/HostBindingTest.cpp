// Iobrant binds Conduvex while it is loaded, so each case runs in a process of its own: a
// copy of this program beside a copy of Iobrant.dll (and a Conduvex.dll, or none), which
// loads Iobrant as a host would and reports what happened. Without a display the binding
// failure box returns at once.
#include "support/ChildSuite.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kChildMark = "IOBRANT_BINDING_CHILD";
constexpr const char* kExitChildMark = "IOBRANT_EXIT_CHILD";
constexpr const char* kStandInMark = "CONDUVEX_STAND_IN_LOADED";
constexpr DWORD kChildTimeoutMs = 60000;

bool Marked(const char* name)
{
    char value[8] = {};
    return GetEnvironmentVariableA(name, value, sizeof(value)) > 0;
}

// What the exports give without a bound Conduvex: its error functions and creators fail
// with "required library missing"; what needs no Conduvex works.
std::string WithoutConduvex(HMODULE iobrant)
{
    using TLastError = uint32_t(__stdcall*)();
    using TCreate = uint32_t(__stdcall*)(const char*, const char*);
    using TCount = int32_t(__stdcall*)();
    using TInfo = uint32_t(__stdcall*)(char*, int32_t*);
    const auto find = [iobrant](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(iobrant, name)); };
    const auto lastError = reinterpret_cast<TLastError>(find("LastError"));
    const auto create = reinterpret_cast<TCreate>(find("qCreateTarvo"));
    const auto count = reinterpret_cast<TCount>(find("qHandlesCount"));
    const auto info = reinterpret_cast<TInfo>(find("DllInfo"));
    if (!lastError || !create || !count || !info)
        return " exports-missing";
    char text[32] = {};
    int32_t length = sizeof(text);
    const bool described = info(text, &length) == 0 && std::string(text) == "Iobrant 1.0.0";
    char code[16];
    wsprintfA(code, "%08x", static_cast<unsigned>(lastError()));
    return std::string(" last-error-") + code + " create-" + std::to_string(create("provider=COM;comport=1", nullptr)) +
           " handles-" + std::to_string(count()) + (described ? " described" : " not-described");
}

// What the child saw, one word per step.
std::string LoadIobrantBesideThisProgram()
{
    std::string seen;
    const HMODULE iobrant = LoadLibraryA(Beside("Iobrant.dll").c_str());
    seen += iobrant ? "loaded" : "refused";
    seen += Marked(kStandInMark) ? " conduvex-found" : " conduvex-not-found";
    const bool bound = GetModuleHandleA("Conduvex.dll") != nullptr;
    seen += bound ? " conduvex-kept" : " conduvex-freed";
    if (iobrant && !bound)
        seen += WithoutConduvex(iobrant);
    if (iobrant) {
        FreeLibrary(iobrant);
        seen += GetModuleHandleA("Conduvex.dll") ? " conduvex-kept-after-unload" : " conduvex-freed-after-unload";
    }
    return seen;
}

// The child's side: runs only inside a copy started by the cases below.
TEST(HostBindingChild, LoadIobrant)
{
    char resultPath[MAX_PATH] = {};
    if (GetEnvironmentVariableA(kChildMark, resultPath, MAX_PATH) == 0)
        GTEST_SKIP() << "runs only as a child of the binding cases";
    std::ofstream(resultPath) << LoadIobrantBesideThisProgram();
}

// The child's side of the exit case: the process ends with a Tarvo object alive, so that
// Iobrant is detached by the process exit, after Conduvex may be gone already.
TEST(HostBindingChild, ExitWithTarvoAlive)
{
    char resultPath[MAX_PATH] = {};
    if (GetEnvironmentVariableA(kExitChildMark, resultPath, MAX_PATH) == 0)
        GTEST_SKIP() << "runs only as a child of the exit case";
    const HMODULE iobrant = LoadLibraryA(Beside("Iobrant.dll").c_str());
    using TCreate = uint32_t(__stdcall*)(const char*, const char*);
    const auto create =
        reinterpret_cast<TCreate>(reinterpret_cast<void (*)()>(GetProcAddress(iobrant, "qCreateTarvo")));
    const bool created = create && create("provider=COM;comport=1", "ADDR=1") != 0;
    std::ofstream(resultPath) << (created ? "created" : "not-created");
}

class TChildFolder {
public:
    // A fresh folder beside this program holding copies of it and of Iobrant.dll, and of
    // `conduvex` as Conduvex.dll unless empty.
    TChildFolder(const std::string& name, const std::string& conduvex)
        : folder_(Beside(name) + "\\")
    {
        CreateDirectoryA(folder_.c_str(), nullptr);
        Copy(ProgramPath(), ProgramName());
        Copy(Beside("Iobrant.dll"), "Iobrant.dll");
        if (!conduvex.empty())
            Copy(Beside(conduvex), "Conduvex.dll");
    }

    ~TChildFolder()
    {
        for (const auto& file : files_)
            DeleteFileA(file.c_str());
        DeleteFileA(ResultPath().c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    TChildFolder(const TChildFolder&) = delete;
    TChildFolder& operator=(const TChildFolder&) = delete;

    // Runs the copy's child case and returns what it reported.
    std::string Run(const char* mark = kChildMark, const char* childCase = "LoadIobrant")
    {
        SetEnvironmentVariableA(mark, ResultPath().c_str());
        SetEnvironmentVariableA(child_suite::kChildVariable, "HostBindingChild");
        std::string command =
            "\"" + folder_ + ProgramName() + "\" --gtest_filter=HostBindingChild." + childCase;
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                            folder_.c_str(), &startup, &process);
        SetEnvironmentVariableA(mark, nullptr);
        SetEnvironmentVariableA(child_suite::kChildVariable, nullptr);
        if (!started)
            return "not started";
        const DWORD waited = WaitForSingleObject(process.hProcess, kChildTimeoutMs);
        if (waited != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        GetExitCodeProcess(process.hProcess, &exitCode_);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (waited != WAIT_OBJECT_0)
            return "timed out";
        std::stringstream result;
        result << std::ifstream(ResultPath()).rdbuf();
        return result.str();
    }

private:
    void Copy(const std::string& from, const std::string& name)
    {
        const std::string to = folder_ + name;
        EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from;
        files_.push_back(to);
    }

    std::string ResultPath() const { return folder_ + "result.txt"; }

public:
    DWORD ExitCode() const { return exitCode_; }

private:
    DWORD exitCode_ = 0;

    std::string folder_;
    std::vector<std::string> files_;
};

TEST(HostBinding, WithoutConduvexIobrantStillLoads)
{
    TChildFolder folder("binding-no-conduvex", "");
    EXPECT_EQ(folder.Run(), "loaded conduvex-not-found conduvex-freed last-error-20000015 create-0 handles-0 described "
                            "conduvex-freed-after-unload");
}

TEST(HostBinding, AConduvexMissingAnExportIsFreedAndIobrantStillLoads)
{
    TChildFolder folder("binding-missing-export", "missing-export\\Conduvex.dll");
    EXPECT_EQ(folder.Run(), "loaded conduvex-found conduvex-freed last-error-20000015 create-0 handles-0 described "
                            "conduvex-freed-after-unload");
}

TEST(HostBinding, ACompleteConduvexStaysBoundUntilIobrantIsUnloaded)
{
    TChildFolder folder("binding-complete", "complete-exports\\Conduvex.dll");
    EXPECT_EQ(folder.Run(), "loaded conduvex-found conduvex-kept conduvex-freed-after-unload");
}

TEST(HostBinding, AtProcessExitIobrantLeavesItsObjectsAndConduvexAlone)
{
    TChildFolder folder("binding-exit", "Conduvex.dll");
    EXPECT_EQ(folder.Run(kExitChildMark, "ExitWithTarvoAlive"), "created");
    EXPECT_EQ(folder.ExitCode(), 0u);
}

} // namespace
