#include "ScreenCursor.h"

namespace {

// Attaches the calling thread's input to another thread's for its lifetime.
class TAttachedInput {
public:
    explicit TAttachedInput(DWORD other)
        : self_(GetCurrentThreadId()), other_(other), attached_(other != 0 && other != self_ && AttachThreadInput(self_, other, TRUE))
    {
    }
    ~TAttachedInput()
    {
        if (attached_)
            AttachThreadInput(self_, other_, FALSE);
    }
    TAttachedInput(const TAttachedInput&) = delete;
    TAttachedInput& operator=(const TAttachedInput&) = delete;

private:
    DWORD self_;
    DWORD other_;
    bool attached_;
};

std::optional<TScreenCursor> CursorOfThreadUnderMouse()
{
    TScreenCursor found;
    if (!GetCursorPos(&found.position))
        return std::nullopt;
    const HWND window = WindowFromPoint(found.position);
    const DWORD thread = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    {
        // GetCursor answers for the input state the caller shares; unattached it is the caller's own.
        const TAttachedInput attached(thread);
        found.cursor = GetCursor();
    }
    if (!found.cursor)
        return std::nullopt;
    return found;
}

} // namespace

TGetCursorInfo BoundGetCursorInfo()
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<TGetCursorInfo>(reinterpret_cast<void*>(GetProcAddress(user32, "GetCursorInfo")))
                  : nullptr;
}

std::optional<TScreenCursor> ShowingCursor(TGetCursorInfo getCursorInfo)
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!getCursorInfo || !getCursorInfo(&info))
        return CursorOfThreadUnderMouse();
    if (!(info.flags & CURSOR_SHOWING) || !info.hCursor)
        return std::nullopt;
    return TScreenCursor{info.hCursor, info.ptScreenPos};
}

void DrawScreenCursor(HDC target, POINT origin, const TScreenCursor& cursor)
{
    ICONINFO icon{};
    if (!GetIconInfo(cursor.cursor, &icon))
        return;
    // GetIconInfo hands over copies of the cursor's bitmaps.
    if (icon.hbmMask)
        DeleteObject(icon.hbmMask);
    if (icon.hbmColor)
        DeleteObject(icon.hbmColor);
    DrawIconEx(target, cursor.position.x - static_cast<int>(icon.xHotspot) - origin.x,
               cursor.position.y - static_cast<int>(icon.yHotspot) - origin.y, cursor.cursor, 0, 0, 0, nullptr,
               DI_NORMAL);
}
