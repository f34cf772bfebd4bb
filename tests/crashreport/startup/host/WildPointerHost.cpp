// A careless host of Conduvex.dll: hands every export a wild pointer in each pointer argument in
// turn (support/WildPointers.h), on a UDP link to the module simulator whose port the first
// argument gives, with the stand-in converter driver beside the library. Each fault must be
// saved as a report, as the library's settings ask; wild.txt gets the number of probes and then
// one line for each, "ok" or what went wrong.
#include "conduvex.h"
#include "support/WildPointers.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

using wild_pointers::TArg;
using wild_pointers::TResult;
using wild_pointers::TShape;
using enum TArg;

constexpr uint32_t kModuleAddress = 3;
constexpr uint8_t kIdentify = 0xF3;
constexpr uint32_t kFillTimeoutMs = 2000;
constexpr char kReportFile[] = "bugreport.txt";

const std::vector<TShape> kShapes = {
    {"Info", TResult::Code, {OutBuffer, Capacity}},
    {"LastErrorText", TResult::Code, {OutBuffer, Capacity}},
    {"SetLastError", TResult::Code, {Zero, AnyText}},
    {"ciEnumHandles", TResult::Count, {OutBuffer, Capacity}},
    {"ciCreate", TResult::Handle, {LinkText}},
    {"ciCreateM", TResult::Handle, {LinkText, Zero, Zero, Zero}},
    {"ciCreateCB", TResult::Handle, {LinkText, Zero, Zero}},
    {"ciSetConfig", TResult::Code, {Handle, LinkText}},
    {"ciGetConfigValue", TResult::Code, {Handle, KeyText, OutBuffer, Capacity}},
    {"ciGetConfig", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"ciGetProvider", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"ciGetID", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"ciGetDescription", TResult::Code, {Handle, OutBuffer, Capacity}},
    {"ciGetValid", TResult::Code, {Handle, OutValue}},
    {"ciIsActive", TResult::Code, {Handle, OutValue}},
    {"ciWrite", TResult::Code, {Handle, InBytes, Count}},
    {"ciRead", TResult::Code, {Filled, OutBuffer, Capacity}},
    {"ciReadVant97", TResult::Code, {Filled, OutValue, OutValue, OutValue, OutBuffer, Capacity}},
    {"ciSndGet", TResult::Code, {Handle, InBytes, Count, OutValue, Timeout}},
    {"ciSndGetVantel97", TResult::Code, {Handle, InBytes, Count, OutValue, Timeout}},
    {"ciSndGetVant97", TResult::Code, {Handle, Number, Zero, Zero, InBytes, Count, OutValue, Timeout}},
    {"ciGetConnectionStringDlg", TResult::Code, {ClearedBuffer, Capacity, OutValue, AnyText, AnyText}},
    {"EnumSerialPorts", TResult::Count, {OutBuffer, Capacity}},
    {"SerialPortByIndex", TResult::Code, {Zero, OutBuffer, Capacity}},
    {"FTDGetDetailByIndex", TResult::Code, {Zero, OutValue, OutValue, OutValue, OutValue, OutBuffer, OutBuffer}},
    {"FTDSerNumByIndex", TResult::Code, {Zero, OutBuffer, Capacity}},
    {"FTDDevNameByIndex", TResult::Code, {Zero, OutBuffer, Capacity}},
    {"FTDVidPidByIndex", TResult::Code, {Zero, OutValue, OutValue}},
    {"FTDFindDevice", TResult::Code, {Zero, AnyText, AnyText, InNumber, InNumber, OutValue}},
    {"FTDFindDeviceCS", TResult::Code, {Zero, AnyText, OutValue}},
};

template <class Function>
Function ExportOf(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

std::string ReadText(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const char* name, const std::string& text)
{
    std::ofstream(name, std::ios::binary) << text;
}

// One converter attached to the stand-in driver.
void AttachConverter()
{
    WriteText("ftd2xx.ini", "[device]\nserial=FT4XA1B2\ndescription=Dual RS232-HS A\n");
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    SetEnvironmentVariableA("FTD2XX_STANDIN_CONFIG", (std::string(folder) + "\\ftd2xx.ini").c_str());
}

BOOL CALLBACK CancelDialogOfThisProcess(HWND window, LPARAM)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char windowClass[16] = {};
    GetClassNameA(window, windowClass, sizeof windowClass);
    if (owner == GetCurrentProcessId() && std::string(windowClass) == "#32770" && IsWindowVisible(window))
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

// Cancels the connection-string dialog that a good call shows where there is a display.
class TDialogCanceller {
public:
    TDialogCanceller()
        : thread_([this] {
              while (!stop_) {
                  EnumWindows(&CancelDialogOfThisProcess, 0);
                  Sleep(50);
              }
          })
    {
    }
    ~TDialogCanceller()
    {
        stop_ = true;
        thread_.join();
    }
    TDialogCanceller(const TDialogCanceller&) = delete;
    TDialogCanceller& operator=(const TDialogCanceller&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

wild_pointers::TContext ContextOn(HMODULE library, const std::string& linkText)
{
    const auto create = ExportOf<PFN_ciCreate>(library, "ciCreate");
    const auto exchange = ExportOf<PFN_ciSndGetVant97>(library, "ciSndGetVant97");
    const auto release = ExportOf<PFN_ciRelease>(library, "ciRelease");
    const auto lastError = ExportOf<PFN_LastError>(library, "LastError");
    const auto lastErrorText = ExportOf<PFN_LastErrorText>(library, "LastErrorText");
    wild_pointers::TContext context;
    context.handle = create((linkText + ";active=1").c_str());
    context.number = kModuleAddress;
    context.linkText = linkText;
    context.fill = [exchange, handle = context.handle] {
        int32_t answer = 0;
        exchange(static_cast<CI_HANDLE>(handle), kModuleAddress, 0, kIdentify, nullptr, 0, &answer, kFillTimeoutMs);
    };
    context.release = [release](uint32_t handle) { release(handle); };
    context.lastError = lastError;
    context.lastErrorText = [lastErrorText] {
        char text[512] = {};
        int32_t length = sizeof text;
        lastErrorText(text, &length);
        return std::string(text);
    };
    context.beforeFault = [] { DeleteFileA(kReportFile); };
    context.afterFault = [](const std::string& faultText) -> std::string {
        const std::string report = ReadText(kReportFile);
        if (report.empty())
            return " no report saved";
        if (report.find("exception message  : " + faultText + "\r\n") == std::string::npos)
            return " the report does not tell the fault '" + faultText + "'";
        return {};
    };
    return context;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    AttachConverter();
    HMODULE library = LoadLibraryA("Conduvex.dll");
    if (!library)
        return 6;
    const std::string linkText = std::string("provider=UDP_CLIENT;host=127.0.0.1;port=") + argv[1];
    const TDialogCanceller canceller;
    wild_pointers::TProber prober(library, ContextOn(library, linkText));
    const std::vector<wild_pointers::TProbe> probes = wild_pointers::ProbesOf(kShapes);
    std::string lines = std::to_string(probes.size()) + " probes\n";
    for (const wild_pointers::TProbe& probe : probes) {
        const std::string failure = prober.Run(probe);
        lines += wild_pointers::NameOf(probe) + ":" + (failure.empty() ? " ok" : failure) + "\n";
    }
    WriteText("wild.txt", lines);
    return 0;
}
