// The bitmap object on a real display: screenshots of windows with known colours, files,
// drawing and scaling.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "NVBitmap.h"
#include "ScreenCapture.h"
#include "bitmap/BmpFile.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr int kLeft = 100, kTop = 80, kWidth = 200, kHeight = 150;

// A borderless topmost window filled with one colour. Without a window manager Wine takes
// seconds to destroy a shown window, so the suite keeps one and only repaints it.
class TColourWindow {
public:
    TColourWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"NVBitmapTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOPMOST, L"NVBitmapTestWindow", L"", WS_POPUP, kLeft, kTop, kWidth, kHeight,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TColourWindow()
    {
        DestroyWindow(window_);
        UnregisterClassW(L"NVBitmapTestWindow", GetModuleHandleW(nullptr));
        if (brush_)
            DeleteObject(brush_);
    }
    TColourWindow(const TColourWindow&) = delete;
    TColourWindow& operator=(const TColourWindow&) = delete;

    // Shows the window in the colour and waits until the screen does; false if it never does.
    bool Show(COLORREF colour)
    {
        const HBRUSH previous = brush_;
        brush_ = CreateSolidBrush(colour);
        SetClassLongPtrW(window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush_));
        if (previous)
            DeleteObject(previous);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        for (int wait = 0; wait < 300; ++wait) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            const HDC screen = GetDC(nullptr);
            const COLORREF shown = GetPixel(screen, kLeft + kWidth / 2, kTop + kHeight / 2);
            ReleaseDC(nullptr, screen);
            if (shown == colour)
                return true;
            Sleep(10);
        }
        return false;
    }

private:
    HWND window_ = nullptr;
    HBRUSH brush_ = nullptr;
};

class NVBitmapDisplay : public ::testing::Test {
protected:
    static void TearDownTestSuite() { window_.reset(); }

    // False when the screen never showed it.
    static bool ShowWindowIn(COLORREF colour)
    {
        if (!window_)
            window_ = std::make_unique<TColourWindow>();
        return window_->Show(colour);
    }

    static bool WindowExists() { return window_ != nullptr; }

private:
    static inline std::unique_ptr<TColourWindow> window_;
};

TBitmapPixels PixelsOf(INVBitmap* bitmap)
{
    const std::string bmp = bitmap->AsBmp();
    std::optional<TBitmapPixels> pixels = ReadBmp({reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()});
    return pixels ? *pixels : TBitmapPixels{};
}

COLORREF ColourAt(const TBitmapPixels& pixels, int x, int y)
{
    const uint8_t* pixel = &pixels.bits[pixels.Offset(x, y)];
    return RGB(pixel[2], pixel[1], pixel[0]);
}

std::wstring TempName(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

TEST_F(NVBitmapDisplay, AppOnlyWithoutWindowsGivesNothing)
{
    ASSERT_FALSE(WindowExists()) << "runs before the suite's window is made";
    EXPECT_FALSE(CaptureScreen(true));
}

TEST_F(NVBitmapDisplay, ScreenshotsShowTheWindowInItsColour)
{
    ASSERT_TRUE(ShowWindowIn(kRed));
    const TIntfPtr<INVBitmap> screen = CaptureScreen(false);
    ASSERT_TRUE(screen);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), screen->GetWidth());
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), screen->GetHeight());
    const TBitmapPixels all = PixelsOf(screen.Get());
    ASSERT_FALSE(all.Empty());
    EXPECT_EQ(kRed, ColourAt(all, kLeft + kWidth / 2, kTop + kHeight / 2));
    EXPECT_NE(kRed, ColourAt(all, kLeft - 5, kTop - 5));

    const TIntfPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    EXPECT_EQ(kWidth, own->GetWidth());
    EXPECT_EQ(kHeight, own->GetHeight());
    const TBitmapPixels mine = PixelsOf(own.Get());
    EXPECT_EQ(kRed, ColourAt(mine, kWidth / 2, kHeight / 2));
    EXPECT_EQ(kRed, ColourAt(mine, kWidth - 1, kHeight - 1));
}

TEST_F(NVBitmapDisplay, FilesRoundTripAndFailedSavesLeaveNoFile)
{
    ASSERT_TRUE(ShowWindowIn(RGB(10, 200, 30)));
    const TIntfPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    const std::wstring bmpName = TempName(L"nvbitmap-test.bmp");
    ASSERT_TRUE(own->SaveBmp(bmpName));
    const TIntfPtr<INVBitmap> loaded = LoadBitmapFile(bmpName);
    DeleteFileW(bmpName.c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(own->AsBmp(), loaded->AsBmp());
    const std::wstring missingFolder = TempName(L"no-such-folder\\shot.png");
    EXPECT_FALSE(own->SavePng(missingFolder, 8));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(missingFolder.c_str()));
    EXPECT_FALSE(LoadBitmapFile(TempName(L"no-such-bitmap.bmp")));
    const std::wstring pngName = TempName(L"nvbitmap-test.png");
    ASSERT_TRUE(own->SavePng(pngName, 8));
    DeleteFileW(pngName.c_str());
}

TEST_F(NVBitmapDisplay, GreyPngLeavesTheBitmapAsItWas)
{
    ASSERT_TRUE(ShowWindowIn(kRed));
    const TIntfPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    const std::string before = own->AsBmp();
    EXPECT_FALSE(own->AsPng(1).empty());
    EXPECT_EQ(before, own->AsBmp());
}

TEST_F(NVBitmapDisplay, ScalesAndDraws)
{
    const TIntfPtr<INVBitmap> wide = CreateNVBitmap(200, 100);
    ASSERT_TRUE(wide);
    TIntfPtr<INVBitmap> scaled;
    ASSERT_TRUE(wide->ScaleToFit(100, 100, scaled));
    EXPECT_EQ(100, scaled->GetWidth());
    EXPECT_EQ(50, scaled->GetHeight());
    ASSERT_TRUE(wide->ScaleToFit(400, 400, scaled));
    EXPECT_EQ(400, scaled->GetWidth());
    EXPECT_EQ(200, scaled->GetHeight());
    EXPECT_FALSE(wide->ScaleToFit(0, 100, scaled));
    EXPECT_FALSE(scaled);
    EXPECT_FALSE(CreateNVBitmap(0, 10));

    ASSERT_TRUE(ShowWindowIn(kRed));
    const TIntfPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    const TIntfPtr<INVBitmap> canvas = CreateNVBitmap(kWidth + 10, kHeight + 10);
    ASSERT_TRUE(canvas);
    ASSERT_TRUE(own->Draw(AsNVBitmap(canvas.Get())->Dc(), 10, 10));
    const TBitmapPixels drawn = PixelsOf(canvas.Get());
    EXPECT_EQ(RGB(0, 0, 0), ColourAt(drawn, 5, 5));
    EXPECT_EQ(kRed, ColourAt(drawn, 10 + kWidth / 2, 10 + kHeight / 2));
}

} // namespace
