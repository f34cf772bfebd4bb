#include "engine/win/Clipboard.h"

#include <windows.h>

#include <cstring>

namespace {

class TOpenClipboard {
public:
    TOpenClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~TOpenClipboard()
    {
        if (open_)
            CloseClipboard();
    }
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

} // namespace

bool CopyTextToClipboard(const UnicodeString& text)
{
    const TOpenClipboard clipboard;
    if (!clipboard.IsOpen() || !EmptyClipboard())
        return false;
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
    if (!block)
        return false;
    void* data = GlobalLock(block);
    if (!data) {
        GlobalFree(block);
        return false;
    }
    std::memcpy(data, text.c_str(), bytes);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) {
        GlobalFree(block); // still ours when the clipboard did not take it
        return false;
    }
    return true;
}
