#include "wizard/win/NVItems.h"

#include <algorithm>

#include "ScreenCapture.h"
#include "wizard/PropertyValues.h"
#include "wizard/win/NVForm.h"

namespace {

constexpr int DefaultImageSize = 32;

SIZE BitmapSize(INVBitmap* bitmap)
{
    return bitmap ? SIZE{bitmap->GetWidth(), bitmap->GetHeight()} : SIZE{0, 0};
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

void TNVImage::SetBitmap(TIntfPtr<INVBitmap> bitmap)
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
    if (!bitmap_ && !file_.empty())
        bitmap_ = LoadBitmapFile(WideOf(file_));
    const TSize picture = PictureSize();
    const int width = std::min({picture.width, Form().ClientWidth(), availableWidth - 2 * FrameWidth()});
    const int height = std::min(picture.height, GetSystemMetrics(SM_CYSCREEN) / 3);
    const SIZE bitmap = BitmapSize(bitmap_.Get());
    TIntfPtr<INVBitmap> scaled;
    if (bitmap_ && (bitmap.cx != width || bitmap.cy != height) && bitmap_->ScaleToFit(width, height, scaled))
        bitmap_ = scaled;
    return {width + 2 * FrameWidth(), height + 2 * FrameWidth()};
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
    // A scaled bitmap keeps its aspect ratio and may leave part of the picture uncovered.
    const TBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRect(dc, &picture, face.Get());
    if (bitmap_)
        bitmap_->Draw(dc, picture.left, picture.top);
}
