#include "CallLog.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <mutex>

void LogCall(const std::string& line)
{
    static std::mutex lock;
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("FTD2XX_STANDIN_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    const std::lock_guard<std::mutex> guard(lock);
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "ab"), &std::fclose);
    if (file)
        std::fprintf(file.get(), "%s\n", line.c_str());
}
