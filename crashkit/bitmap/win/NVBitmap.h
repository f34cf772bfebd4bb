#pragma once
// The bitmap object: a DIB section selected into its own memory device context.
#include "INVBitmap.h"
#include "bitmap/BitmapPixels.h"

class TINVBitmap : public TMyInterfacedObject, public INVBitmap {
public:
    // Takes over the device context (with the section selected into it) and the section.
    TINVBitmap(const BITMAPINFOHEADER& header, HDC dc, HBITMAP section, HGDIOBJ previous, uint8_t* bits);
    ~TINVBitmap() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return TMyInterfacedObject::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return TMyInterfacedObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return TMyInterfacedObject::Release(); }

    int32_t GetWidth() override { return header_.biWidth; }
    int32_t GetHeight() override { return header_.biHeight; }
    bool Draw(HDC target, int32_t x, int32_t y) override;
    std::string AsBmp() override;
    std::string AsPng(uint8_t depth) override;
    bool SaveBmp(const std::wstring& fileName) override;
    bool SavePng(const std::wstring& fileName, uint8_t depth) override;
    bool ScaleToFit(int32_t maxWidth, int32_t maxHeight, TIntfPtr<INVBitmap>& scaled) override;

    HDC Dc() const { return dc_; }
    // A copy of the bits, for the encoders.
    TBitmapPixels Pixels() const;
    void SetPixels(const TBitmapPixels& pixels);

protected:
    void* FindInterface(REFIID iid) override;

private:
    BITMAPINFOHEADER header_;
    HDC dc_;
    HBITMAP section_;
    HGDIOBJ previous_;
    uint8_t* bits_;
};

// The object behind an interface made by CreateNVBitmap.
TINVBitmap* AsNVBitmap(INVBitmap* bitmap);
