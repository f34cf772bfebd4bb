#pragma once
// The mouse cursor as a screenshot shows it.
#include <windows.h>

#include <optional>

struct TScreenCursor {
    HCURSOR cursor = nullptr;
    POINT position{}; // screen coordinates of the hot spot
};

using TGetCursorInfo = BOOL(WINAPI*)(PCURSORINFO);

// GetCursorInfo of user32, bound by name (older systems lack it); null when missing.
TGetCursorInfo BoundGetCursorInfo();

// The cursor that shows: from getCursorInfo when given and it answers, else the cursor of the
// thread under the mouse (its input attached for the moment), which counts as showing. None
// when no cursor shows or none can be found.
std::optional<TScreenCursor> ShowingCursor(TGetCursorInfo getCursorInfo);

// Draws the cursor with its hot spot at its position, into a device context whose (0, 0) is the
// screen point origin.
void DrawScreenCursor(HDC target, POINT origin, const TScreenCursor& cursor);
