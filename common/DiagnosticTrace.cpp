#include "DiagnosticTrace.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>

namespace {

std::atomic<TTraceHook> traceHook{nullptr};

constexpr char kTerminalClass[] = "TfMainVantelTerm";

bool IsTraceSwitch(const std::string& argument)
{
    size_t first = 0;
    size_t last = argument.size();
    while (first < last && static_cast<unsigned char>(argument[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(argument[last - 1]) <= ' ')
        --last;
    if (first < last && (argument[first] == '/' || argument[first] == '-'))
        ++first;
    std::string word = argument.substr(first, last - first);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return word == "DST";
}

std::string Narrow(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size) - 1);
    return result;
}

struct TLocalFree {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::vector<std::string> ProcessArguments()
{
    int count = 0;
    const std::unique_ptr<LPWSTR, TLocalFree> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> result;
    if (!arguments)
        return result;
    for (int i = 0; i < count; ++i)
        result.push_back(Narrow(arguments.get()[i]));
    return result;
}

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found) noexcept
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() || !IsWindowVisible(window) ||
        GetWindow(window, GW_OWNER))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The host's main window: the first visible top-level window of this process without an
// owner; 0 when there is none (a console host).
HWND HostMainWindow()
{
    HWND found = nullptr;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Only a top-level window counts: some systems also find message-only windows by class.
HWND FindTerminalWindow()
{
    HWND desktop = GetDesktopWindow();
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kTerminalClass, nullptr)) != nullptr) {
        if (GetAncestor(window, GA_PARENT) == desktop)
            return window;
    }
    return nullptr;
}

} // namespace

TTraceHook GetTraceHook()
{
    return traceHook.load();
}

void SetTraceHook(TTraceHook hook)
{
    traceHook.store(hook);
}

bool HasTraceSwitch(const std::vector<std::string>& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), IsTraceSwitch);
}

bool ScanCommandLineForTrace(const std::vector<std::string>& arguments)
{
    if (!HasTraceSwitch(arguments))
        return false;
    SetTraceHook(TerminalTrace);
    return true;
}

bool ScanProcessCommandLineForTrace()
{
    return ScanCommandLineForTrace(ProcessArguments());
}

void TerminalTrace(ICommunicationInterface*, const std::string& bytes, uint8_t kind)
{
    if (bytes.empty())
        return;
    const HWND terminal = FindTerminalWindow();
    if (!terminal)
        return;
    std::string record(1, static_cast<char>(kind));
    record += bytes;
    COPYDATASTRUCT copyData{};
    copyData.dwData = 0;
    copyData.cbData = static_cast<DWORD>(record.size());
    copyData.lpData = record.data();
    SendMessageA(terminal, WM_COPYDATA, reinterpret_cast<WPARAM>(HostMainWindow()),
                 reinterpret_cast<LPARAM>(&copyData));
}
