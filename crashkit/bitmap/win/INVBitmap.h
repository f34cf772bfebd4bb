#pragma once
// The crash library's bitmap: a 32-bit device-independent bitmap with its own memory device
// context, drawn in the wizard's image control and stored as BMP or PNG in bug reports.
#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <string>

#include "ComPtr.h"
#include "InterfacedObject.h"

// {3EE757B5-CC56-4610-A917-E8731737D5BE}
inline constexpr GUID IID_INVBitmap = {
    0x3EE757B5, 0xCC56, 0x4610, {0xA9, 0x17, 0xE8, 0x73, 0x17, 0x37, 0xD5, 0xBE}};

struct INVBitmap : public virtual IUnknown {
    virtual int32_t GetWidth() = 0;
    virtual int32_t GetHeight() = 0;
    // BitBlt of the whole bitmap at (x, y); false when it fails.
    virtual bool Draw(HDC target, int32_t x, int32_t y) = 0;
    virtual std::string AsBmp() = 0;
    // Depth selector of the screenshot setting: 1 grey, 2 to 5 colour unless too large,
    // other values colour. Empty when no image can be made; the bitmap is never changed.
    virtual std::string AsPng(uint8_t depth) = 0;
    // True when the whole image was written; on failure no file remains.
    virtual bool SaveBmp(const std::wstring& fileName) = 0;
    virtual bool SavePng(const std::wstring& fileName, uint8_t depth) = 0;
    // A new bitmap resampled to fit the box with the aspect ratio kept; false for a box or
    // bitmap of no size, or when GDI fails.
    virtual bool ScaleToFit(int32_t maxWidth, int32_t maxHeight, TIntfPtr<INVBitmap>& scaled) = 0;
};

// A black bitmap; null when a side is not positive or GDI fails.
TIntfPtr<INVBitmap> CreateNVBitmap(int32_t width, int32_t height);
