#pragma once
// Bitmaps made from the screen (all of it, or only this application's windows) and from
// bitmap files.
#include "INVBitmap.h"

// The virtual screen, or with appOnly the area of this process's visible windows with every
// other part white; the mouse cursor drawn in. Null when nothing could be copied.
TIntfPtr<INVBitmap> CaptureScreen(bool appOnly);

// Null when the file cannot be loaded as a bitmap.
TIntfPtr<INVBitmap> LoadBitmapFile(const std::wstring& fileName);
