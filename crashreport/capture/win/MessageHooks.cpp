#include "capture/win/MessageHooks.h"

#include <windows.h>

#include <array>
#include <mutex>

#include "capture/win/ImportHooks.h"
#include "handlers/win/ThreadPause.h"

namespace {

using TGetMessage = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
using TPeekMessage = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT);

enum THook : size_t { GetA, GetW, PeekA, PeekW };

BOOL WINAPI GetMessageAHook(LPMSG, HWND, UINT, UINT);
BOOL WINAPI GetMessageWHook(LPMSG, HWND, UINT, UINT);
BOOL WINAPI PeekMessageAHook(LPMSG, HWND, UINT, UINT, UINT);
BOOL WINAPI PeekMessageWHook(LPMSG, HWND, UINT, UINT, UINT);

std::array<TImportHook, 4> hooks = {{
    {"user32.dll", "GetMessageA", nullptr, reinterpret_cast<const void*>(&GetMessageAHook)},
    {"user32.dll", "GetMessageW", nullptr, reinterpret_cast<const void*>(&GetMessageWHook)},
    {"user32.dll", "PeekMessageA", nullptr, reinterpret_cast<const void*>(&PeekMessageAHook)},
    {"user32.dll", "PeekMessageW", nullptr, reinterpret_cast<const void*>(&PeekMessageWHook)},
}};
std::mutex installLock;
bool installed = false;

template <class Function>
Function Original(THook hook)
{
    return reinterpret_cast<Function>(hooks[hook].original);
}

BOOL WINAPI GetMessageAHook(LPMSG message, HWND window, UINT first, UINT last)
{
    ThreadPause().Gate();
    return Original<TGetMessage>(GetA)(message, window, first, last);
}

BOOL WINAPI GetMessageWHook(LPMSG message, HWND window, UINT first, UINT last)
{
    ThreadPause().Gate();
    return Original<TGetMessage>(GetW)(message, window, first, last);
}

BOOL WINAPI PeekMessageAHook(LPMSG message, HWND window, UINT first, UINT last, UINT remove)
{
    ThreadPause().Gate();
    return Original<TPeekMessage>(PeekA)(message, window, first, last, remove);
}

BOOL WINAPI PeekMessageWHook(LPMSG message, HWND window, UINT first, UINT last, UINT remove)
{
    ThreadPause().Gate();
    return Original<TPeekMessage>(PeekW)(message, window, first, last, remove);
}

} // namespace

void InstallMessageHooks()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (installed)
        return;
    for (TImportHook& hook : hooks)
        HookImport(hook, true);
    installed = true;
}

void RemoveMessageHooks()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (!installed)
        return;
    for (TImportHook& hook : hooks)
        UnhookImport(hook, true);
    installed = false;
}

void ArmMessageHooks()
{
    if (LibraryInMainProgram())
        ThreadPause().SetHookInstaller(&InstallMessageHooks);
}
