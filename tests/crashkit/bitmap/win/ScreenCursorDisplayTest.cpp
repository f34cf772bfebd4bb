// The mouse cursor in screenshots: found through GetCursorInfo, or without it through the input
// state of the thread whose window lies under the mouse, and drawn at its hot spot.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "NVBitmap.h"
#include "ScreenCapture.h"
#include "ScreenCursor.h"
#include "bitmap/BmpFile.h"

namespace {

constexpr int kSize = 32;
constexpr int kHotX = 5, kHotY = 9;
constexpr int kLeft = 300, kTop = 200, kWindowSize = 160;
constexpr POINT kMouse = {kLeft + 60, kTop + 50};

// A cursor that is a solid black square with its hot spot off the corner.
class TBlackCursor {
public:
    TBlackCursor()
    {
        const std::vector<uint8_t> andMask(kSize * kSize / 8, 0x00), xorMask(kSize * kSize / 8, 0x00);
        cursor_ = CreateCursor(GetModuleHandleW(nullptr), kHotX, kHotY, kSize, kSize, andMask.data(), xorMask.data());
    }
    ~TBlackCursor()
    {
        if (cursor_)
            DestroyCursor(cursor_);
    }
    TBlackCursor(const TBlackCursor&) = delete;
    TBlackCursor& operator=(const TBlackCursor&) = delete;
    HCURSOR Get() const { return cursor_; }

private:
    HCURSOR cursor_ = nullptr;
};

class THandle {
public:
    explicit THandle(HANDLE handle) : handle_(handle) {}
    ~THandle() { CloseHandle(handle_); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A white window with the black cursor, made and served by a thread of its own; the mouse is
// moved over it.
class TOtherThreadWindow {
public:
    explicit TOtherThreadWindow(HCURSOR cursor) : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this, cursor] { Serve(cursor); });
        WaitForSingleObject(ready_.Get(), 10000);
        SetCursorPos(kMouse.x, kMouse.y);
    }
    ~TOtherThreadWindow()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    TOtherThreadWindow(const TOtherThreadWindow&) = delete;
    TOtherThreadWindow& operator=(const TOtherThreadWindow&) = delete;
    HWND Window() const { return window_; }

private:
    void Serve(HCURSOR cursor)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.hCursor = cursor;
        windowClass.lpszClassName = L"ScreenCursorTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOPMOST, L"ScreenCursorTestWindow", L"", WS_POPUP | WS_VISIBLE, kLeft, kTop,
                                  kWindowSize, kWindowSize, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        UpdateWindow(window_);
        SetCursor(cursor);
        threadId_ = GetCurrentThreadId();
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the queue exists before anyone posts
        SetEvent(ready_.Get());
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        DestroyWindow(window_);
        UnregisterClassW(L"ScreenCursorTestWindow", GetModuleHandleW(nullptr));
    }

    THandle ready_;
    std::thread thread_;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

BOOL WINAPI FailingCursorInfo(PCURSORINFO)
{
    return FALSE;
}

BOOL WINAPI HiddenCursorInfo(PCURSORINFO info)
{
    info->flags = 0;
    info->hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    return TRUE;
}

COLORREF ColourAt(INVBitmap* bitmap, int x, int y)
{
    const std::string bmp = bitmap->AsBmp();
    const std::optional<TBitmapPixels> pixels = ReadBmp({reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()});
    if (!pixels || x < 0 || y < 0 || x >= pixels->width || y >= pixels->height)
        return CLR_INVALID;
    const uint8_t* pixel = &pixels->bits[pixels->Offset(x, y)];
    return RGB(pixel[2], pixel[1], pixel[0]);
}

// One window of another thread under the mouse for the tests that need it: closing a window
// costs Wine seconds.
class ScreenCursorOverWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        black_ = std::make_unique<TBlackCursor>();
        window_ = std::make_unique<TOtherThreadWindow>(black_->Get());
    }
    static void TearDownTestSuite()
    {
        window_.reset();
        black_.reset();
    }

    static std::unique_ptr<TBlackCursor> black_;
    static std::unique_ptr<TOtherThreadWindow> window_;
};

std::unique_ptr<TBlackCursor> ScreenCursorOverWindow::black_;
std::unique_ptr<TOtherThreadWindow> ScreenCursorOverWindow::window_;

TEST_F(ScreenCursorOverWindow, WithoutCursorInfoTheCursorOfTheThreadUnderTheMouseShows)
{
    ASSERT_TRUE(black_->Get());
    ASSERT_TRUE(window_->Window());
    POINT mouse{};
    ASSERT_TRUE(GetCursorPos(&mouse));
    ASSERT_EQ(window_->Window(), WindowFromPoint(mouse));
    // This thread's own cursor is another one: only the attached input gives the black one.
    ASSERT_NE(black_->Get(), GetCursor());
    for (const TGetCursorInfo missing : {TGetCursorInfo{}, &FailingCursorInfo}) {
        const std::optional<TScreenCursor> cursor = ShowingCursor(missing);
        ASSERT_TRUE(cursor);
        EXPECT_EQ(black_->Get(), cursor->cursor);
        EXPECT_EQ(mouse.x, cursor->position.x);
        EXPECT_EQ(mouse.y, cursor->position.y);
    }
    // Attached only for the look-up: this thread's cursor is its own again.
    EXPECT_NE(black_->Get(), GetCursor());
    EXPECT_FALSE(ShowingCursor(&HiddenCursorInfo));
}

TEST_F(ScreenCursorOverWindow, ScreenshotShowsTheCursorOverTheWindow)
{
    // The window's thread sets its cursor as it takes the mouse move, and its white reaches the
    // screen when the display has drawn it, each in its own time.
    const int x = kMouse.x - GetSystemMetrics(SM_XVIRTUALSCREEN), y = kMouse.y - GetSystemMetrics(SM_YVIRTUALSCREEN);
    TIntfPtr<INVBitmap> screen;
    for (int wait = 0; wait < 300; ++wait, Sleep(10)) {
        const std::optional<TScreenCursor> cursor = ShowingCursor(BoundGetCursorInfo());
        screen = CaptureScreen(false);
        if (cursor && cursor->cursor == black_->Get() && screen &&
            ColourAt(screen.Get(), x + kSize, y + kSize) == RGB(255, 255, 255))
            break;
    }
    ASSERT_TRUE(screen);
    EXPECT_EQ(RGB(0, 0, 0), ColourAt(screen.Get(), x - kHotX + 2, y - kHotY + 2));
    EXPECT_EQ(RGB(0, 0, 0), ColourAt(screen.Get(), x - kHotX + kSize - 1, y - kHotY + kSize - 1));
    EXPECT_EQ(RGB(255, 255, 255), ColourAt(screen.Get(), x - kHotX - 2, y - kHotY - 2));
}

TEST(ScreenCursorDisplay, CursorIsDrawnWithItsHotSpotAtItsPositionInTheArea)
{
    const TBlackCursor black;
    const TIntfPtr<INVBitmap> bitmap = CreateNVBitmap(100, 80);
    ASSERT_TRUE(bitmap);
    HDC dc = AsNVBitmap(bitmap.Get())->Dc();
    const RECT all = {0, 0, 100, 80};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const POINT origin = {1000, 2000};
    DrawScreenCursor(dc, origin, {black.Get(), {origin.x + 40, origin.y + 30}});
    const int left = 40 - kHotX, top = 30 - kHotY;
    EXPECT_EQ(RGB(0, 0, 0), ColourAt(bitmap.Get(), left, top));
    EXPECT_EQ(RGB(0, 0, 0), ColourAt(bitmap.Get(), left + kSize - 1, top + kSize - 1));
    EXPECT_EQ(RGB(255, 255, 255), ColourAt(bitmap.Get(), left - 1, top));
    EXPECT_EQ(RGB(255, 255, 255), ColourAt(bitmap.Get(), left, top - 1));
    EXPECT_EQ(RGB(255, 255, 255), ColourAt(bitmap.Get(), left + kSize, top + kSize));
}

} // namespace
