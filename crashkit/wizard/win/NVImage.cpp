#include "wizard/win/NVItems.h"

#include <algorithm>

#include "wizard/PropertyValues.h"
#include "wizard/win/NVForm.h"

namespace {

constexpr int DefaultImageSize = 32;

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || GetObjectW(bitmap, sizeof info, &info) == 0)
        return {0, 0};
    return {info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
}

void Frame(HDC dc, const RECT& rect, int penStyle, COLORREF color)
{
    const TPen pen(CreatePen(penStyle, 1, color));
    const TSelection selectedPen(dc, pen.Get());
    const TSelection brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

RECT Inset(const RECT& rect, int by)
{
    return {rect.left + by, rect.top + by, rect.right - by, rect.bottom - by};
}

} // namespace

void TNVImage::SetBitmap(TBitmap bitmap)
{
    bitmap_ = std::move(bitmap);
    Repaint();
}

bool TNVImage::Contains(POINT point) const
{
    return point.x > rect_.left && point.x < rect_.right && point.y > rect_.top && point.y < rect_.bottom;
}

void TNVImage::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"Width")
        width_ = ParseMeasure(value, 0, MaxMeasure);
    else if (name == u"Height")
        height_ = ParseMeasure(value, 0, MaxMeasure);
    else if (name == u"File")
        file_ = UnicodeString(value);
    else if (name == u"Clickable")
        clickable_ = ParseFlag(value);
    else if (name == u"Border")
        border_ = ParseFlag(value);
    else
        TNVItem::ReadProperty(name, value);
}

TSize TNVImage::PictureSize() const
{
    const SIZE bitmap = BitmapSize(bitmap_.Get());
    const int width = width_ > 0 ? width_ : bitmap.cx > 0 ? bitmap.cx : DefaultImageSize;
    const int height = height_ > 0 ? height_ : bitmap.cy > 0 ? bitmap.cy : DefaultImageSize;
    return {width, height};
}

int TNVImage::NaturalWidth(HDC) const
{
    return PictureSize().width + 2 * FrameWidth();
}

TSize TNVImage::Measure(HDC, int availableWidth)
{
    if (!bitmap_ && !file_.empty()) {
        const std::wstring file = WideOf(file_);
        bitmap_.Reset(static_cast<HBITMAP>(
            LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    }
    const TSize picture = PictureSize();
    const int width = std::min(picture.width, Form().ClientWidth());
    const int height = std::min(picture.height, GetSystemMetrics(SM_CYSCREEN) / 3);
    return {std::min(width + 2 * FrameWidth(), availableWidth), height + 2 * FrameWidth()};
}

void TNVImage::Paint(HDC dc)
{
    RECT picture = rect_;
    if (clickable_) {
        Frame(dc, picture, PS_DOT, MidColor(GetSysColor(COLOR_BTNFACE), RGB(255, 255, 255)));
        picture = Inset(picture, 3);
    }
    if (border_) {
        Frame(dc, picture, PS_SOLID, GetSysColor(COLOR_WINDOWTEXT));
        picture = Inset(picture, 1);
    }
    if (!bitmap_) {
        const TBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        FillRect(dc, &picture, face.Get());
        return;
    }
    const SIZE size = BitmapSize(bitmap_.Get());
    const TMemoryDC source;
    const TSelection selected(source.Get(), bitmap_.Get());
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, picture.left, picture.top, picture.right - picture.left, picture.bottom - picture.top,
               source.Get(), 0, 0, size.cx, size.cy, SRCCOPY);
}
