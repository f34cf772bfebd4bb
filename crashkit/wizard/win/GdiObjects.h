#pragma once
// Owners of the GDI objects the wizard draws with.
#include <windows.h>

#include <string_view>

// A font, pen, brush or bitmap, deleted with its owner.
template <typename Handle>
class TGdiObject {
public:
    TGdiObject() = default;
    explicit TGdiObject(Handle handle) : handle_(handle) {}
    ~TGdiObject() { Reset(); }
    TGdiObject(TGdiObject&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    TGdiObject& operator=(TGdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset(Handle handle = nullptr)
    {
        if (handle_)
            DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using TFont = TGdiObject<HFONT>;
using TPen = TGdiObject<HPEN>;
using TBrush = TGdiObject<HBRUSH>;

// Selects an object into a device context for the owner's lifetime.
class TSelection {
public:
    TSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~TSelection()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A memory device context compatible with the screen, for measuring and drawing off screen.
class TMemoryDC {
public:
    TMemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
    ~TMemoryDC()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A font of that face and pixel height; "MS Sans Serif" when the face cannot be made.
TFont MakeFont(std::wstring_view face, int height, bool bold);

// Width and height of a text in a font; the text may hold several lines.
SIZE MeasureText(HDC dc, HFONT font, std::wstring_view text, int wrapWidth = 0);

std::wstring WideOf(std::u16string_view text);
