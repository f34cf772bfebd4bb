#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string HostPath()
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string path(module);
    return path.substr(0, path.find_last_of('\\') + 1) + "restart_host.exe";
}

// Runs the host and returns its exit code; its process id in `processId`.
DWORD RunHost(const std::string& arguments, DWORD* processId = nullptr)
{
    std::string line = "\"";
    line += HostPath() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    if (processId)
        *processId = process.dwProcessId;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string WaitForFile(const std::string& path)
{
    for (int wait = 0; wait < 400; ++wait) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!text.str().empty())
            return text.str();
        Sleep(25);
    }
    return {};
}

TEST(CloseApplication, EndsWithTheCloseExitCode)
{
    EXPECT_EQ(RunHost("close"), 1u);
    EXPECT_EQ(RunHost("close 9"), 9u);
}

// The successor runs with the old command line and reads the hand-over mapping named after
// it: the old process's id, a handle of its own to close, the state block unchanged.
TEST(RestartApplication, EndsWithCode2AndHandsOverToTheSuccessor)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    for (const char* mode : {"terminate", "exit"}) {
        SCOPED_TRACE(mode);
        const std::string out = std::string(temp) + "restart-" + std::to_string(GetCurrentProcessId()) + mode + ".txt";
        DeleteFileA(out.c_str());
        DWORD oldProcess = 0;
        EXPECT_EQ(RunHost("restart \"" + out + "\" " + mode, &oldProcess), 2u);
        EXPECT_EQ(WaitForFile(out), "old=" + std::to_string(oldProcess) + " closed=1 state=ok");
        DeleteFileA(out.c_str());
    }
}

} // namespace
