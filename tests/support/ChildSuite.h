#pragma once
// A test suite run in a child process of its own: this program again, copied into a fresh
// folder beside it together with the DLLs that child is to load (a library that binds its
// driver once, at load, needs a process per driver situation). The child runs only that
// suite; outside it the suite's fixture skips (IsChildSuite).
#include "ProgramFolder.h"
#include "WinHandle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace child_suite {

constexpr char kChildVariable[] = "HOST_TEST_CHILD_SUITE";
constexpr DWORD kChildTimeoutMs = 60000;

// Whether this process is the child that runs the suite.
inline bool IsChildSuite(const char* suite)
{
    const char* running = std::getenv(kChildVariable);
    return running && std::string(running) == suite;
}

// A file the child's folder gets: copied from `from` under `name`.
struct TFileCopy {
    std::string from;
    std::string name;
};

// The folder, with a copy of this program and the files; removed with the object.
class TChildFolder {
public:
    TChildFolder(const char* suite, const std::vector<TFileCopy>& files)
        : path_(ProgramFolder() + "\\child-" + suite + "-" + std::to_string(GetCurrentProcessId()))
    {
        CreateDirectoryA(path_.c_str(), nullptr);
        Copy({ProgramPath(), ProgramName()});
        for (const TFileCopy& file : files)
            Copy(file);
    }
    ~TChildFolder()
    {
        for (const std::string& file : copied_)
            DeleteFileA(file.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    TChildFolder(const TChildFolder&) = delete;
    TChildFolder& operator=(const TChildFolder&) = delete;

    const std::string& Path() const { return path_; }
    bool Complete() const { return complete_; }

private:
    void Copy(const TFileCopy& file)
    {
        const std::string to = path_ + "\\" + file.name;
        complete_ = CopyFileA(file.from.c_str(), to.c_str(), FALSE) && complete_;
        copied_.push_back(to);
    }

    std::string path_;
    std::vector<std::string> copied_;
    bool complete_ = true;
};

// Runs the suite in its own folder and process; the child's exit code (0: every test
// passed). A child that does not end in time is a failure and is ended.
inline DWORD RunChildSuite(const char* suite, const std::vector<TFileCopy>& files,
                           DWORD timeoutMs = kChildTimeoutMs)
{
    const TChildFolder folder(suite, files);
    EXPECT_TRUE(folder.Complete()) << "copies in " << folder.Path();
    const std::string program = folder.Path() + "\\" + ProgramName();
    std::string commandLine = "\"" + program + "\" --gtest_color=no --gtest_filter=" + suite + ".*";
    SetEnvironmentVariableA(kChildVariable, suite);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.Path().c_str(), &startup, &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started) {
        ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
        return 1;
    }
    const TWinHandle thread(process.hThread);
    const TWinHandle child(process.hProcess);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << suite << " did not end in time";
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    return exitCode;
}

} // namespace child_suite
