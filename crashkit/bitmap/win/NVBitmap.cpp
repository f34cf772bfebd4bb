#include "NVBitmap.h"

#include <cstring>

#include "bitmap/BitmapScaler.h"
#include "bitmap/BmpFile.h"
#include "bitmap/PngFile.h"

namespace {

class TFileHandle {
public:
    explicit TFileHandle(HANDLE handle) : handle_(handle) {}
    ~TFileHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Writes the image in one call; the file is deleted unless every byte was written.
bool SaveImage(const std::wstring& fileName, const std::string& image)
{
    if (image.empty() || image.size() > MAXDWORD)
        return false;
    bool written = false;
    {
        const TFileHandle file(
            CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE)
            return false;
        DWORD done = 0;
        written = WriteFile(file.Get(), image.data(), static_cast<DWORD>(image.size()), &done, nullptr) &&
                  done == image.size();
    }
    if (!written)
        DeleteFileW(fileName.c_str());
    return written;
}

} // namespace

TINVBitmap::TINVBitmap(const BITMAPINFOHEADER& header, HDC dc, HBITMAP section, HGDIOBJ previous, uint8_t* bits)
    : header_(header), dc_(dc), section_(section), previous_(previous), bits_(bits)
{
}

TINVBitmap::~TINVBitmap()
{
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(section_);
}

void* TINVBitmap::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_INVBitmap))
        return static_cast<INVBitmap*>(this);
    return TMyInterfacedObject::FindInterface(iid);
}

bool TINVBitmap::Draw(HDC target, int32_t x, int32_t y)
{
    GdiFlush();
    return BitBlt(target, x, y, header_.biWidth, header_.biHeight, dc_, 0, 0, SRCCOPY);
}

TBitmapPixels TINVBitmap::Pixels() const
{
    GdiFlush();
    TBitmapPixels pixels = TBitmapPixels::Make(header_.biWidth, header_.biHeight);
    if (!pixels.Empty())
        std::memcpy(pixels.bits.data(), bits_, pixels.bits.size());
    return pixels;
}

void TINVBitmap::SetPixels(const TBitmapPixels& pixels)
{
    GdiFlush();
    if (pixels.width == header_.biWidth && pixels.height == header_.biHeight)
        std::memcpy(bits_, pixels.bits.data(), pixels.bits.size());
}

std::string TINVBitmap::AsBmp()
{
    return BuildBmp(Pixels());
}

std::string TINVBitmap::AsPng(uint8_t depth)
{
    return BuildPngForDepth(Pixels(), depth);
}

bool TINVBitmap::SaveBmp(const std::wstring& fileName)
{
    return SaveImage(fileName, AsBmp());
}

bool TINVBitmap::SavePng(const std::wstring& fileName, uint8_t depth)
{
    return SaveImage(fileName, AsPng(depth));
}

bool TINVBitmap::ScaleToFit(int32_t maxWidth, int32_t maxHeight, TIntfPtr<INVBitmap>& scaled)
{
    scaled = nullptr;
    const std::optional<TBitmapPixels> pixels = ::ScaleToFit(Pixels(), maxWidth, maxHeight);
    if (!pixels)
        return false;
    TIntfPtr<INVBitmap> made = CreateNVBitmap(pixels->width, pixels->height);
    if (!made)
        return false;
    AsNVBitmap(made.Get())->SetPixels(*pixels);
    scaled = made;
    return true;
}

TIntfPtr<INVBitmap> CreateNVBitmap(int32_t width, int32_t height)
{
    if (TBitmapPixels::Make(width, height).Empty())
        return nullptr;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(width) * 4 * static_cast<DWORD>(height);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                       nullptr, 0);
    HGDIOBJ previous = section ? SelectObject(dc, section) : nullptr;
    if (!section || !bits || !previous || previous == HGDI_ERROR) {
        if (section)
            DeleteObject(section);
        DeleteDC(dc);
        return nullptr;
    }
    return MakeObject<TINVBitmap>(header, dc, section, previous, static_cast<uint8_t*>(bits));
}

TINVBitmap* AsNVBitmap(INVBitmap* bitmap)
{
    return dynamic_cast<TINVBitmap*>(bitmap);
}
