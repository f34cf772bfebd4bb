#pragma once
// tests/crashreport/mail/*.py servers for a test: started through /bin/sh with a state folder
// of their own under /tmp, where they write ready.json (their port) and what they received;
// stopped with the test by a "stop" file, on which they remove the folder. The test waits for
// that, so the next test may take the same fixed port (25 and 53 in a namespace of its own).
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

class TMailTestServer {
public:
    TMailTestServer(const std::string& script, const std::string& options)
    {
        static int number = 0;
        state_ = "/tmp/crashreport-mail-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++number);
        const std::string command = "/bin/sh -c \"rm -rf " + state_ + " && mkdir -p " + state_ +
                                    " && exec timeout 150 /usr/bin/python3 " + SourceFolder() + script + " --state " +
                                    state_ + " " + options + " 2>" + state_ + "/server.log\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        std::string line = command;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            failure_ = "cannot start " + script;
            return;
        }
        // Wine hands back no handles for a Unix program, only what was on its stack: closing
        // those could close any handle of this process (its standard output, say).
        if (process.hThread && GetThreadId(process.hThread) == process.dwThreadId)
            CloseHandle(process.hThread);
        if (process.hProcess && GetProcessId(process.hProcess) == process.dwProcessId)
            CloseHandle(process.hProcess);
        for (int wait = 0; wait < 300 && port_ == 0; ++wait) {
            Sleep(50);
            const std::string ready = ReadFile("ready.json");
            const size_t at = ready.find("\"port\": ");
            if (at != std::string::npos)
                port_ = std::stoi(ready.substr(at + 8));
        }
        if (port_ == 0)
            failure_ = script + " did not start: " + ReadFile("server.log");
    }

    ~TMailTestServer()
    {
        std::ofstream(WindowsPath(state_ + "/stop"));
        if (port_ == 0)
            return; // a server that never started leaves its folder and log behind
        for (int wait = 0; wait < 250 && GetFileAttributesA(WindowsPath(state_).c_str()) != INVALID_FILE_ATTRIBUTES;
             ++wait)
            Sleep(20);
    }

    TMailTestServer(const TMailTestServer&) = delete;
    TMailTestServer& operator=(const TMailTestServer&) = delete;

    const std::string& Failure() const { return failure_; }
    uint16_t Port() const { return static_cast<uint16_t>(port_); }
    // A file of the state folder; empty when it is not there.
    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(WindowsPath(state_ + "/" + name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    static std::string SourceFolder()
    {
        const std::string file = __FILE__;
        return file.substr(0, file.find_last_of('/') + 1);
    }

    static std::string WindowsPath(const std::string& unixPath)
    {
        std::string path = "Z:" + unixPath;
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        return path;
    }

    std::string state_;
    std::string failure_;
    int port_ = 0;
};
