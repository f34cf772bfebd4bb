#include "dialog/box/win/ExceptionBox.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "dialog/box/BoxPicture.h"
#include "dialog/box/SafeText.h"
#include "dialog/box/win/BoxLook.h"
#include "dialog/box/win/DialogEnvironment.h"
#include "dialog/box/win/MessageText.h"
#include "engine/win/Clipboard.h"

using namespace box_look;

namespace {

HFONT MakeFont(const wchar_t* face, int points, DWORD pitch, bool underline = false)
{
    const int height = -MulDiv(points, GetDeviceCaps(TWindowDC(nullptr).Get(), LOGPIXELSY), 72);
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
}

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether the system has that face (a missing face is silently replaced by another).
bool FontExists(const wchar_t* face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const TWindowDC screen(nullptr);
    EnumFontFamiliesExW(screen.Get(), &wanted, &NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

SIZE TextSize(HDC dc, const UnicodeString& text, UINT format, int width)
{
    RECT rect{0, 0, width, 0};
    DrawTextW(dc, Wide(text), -1, &rect, format | DT_CALCRECT);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

bool KeyDown(int key)
{
    return GetKeyState(key) < 0;
}

} // namespace

TExceptionBox::TExceptionBox(TIZEException& exception, TBoxKind kind, bool reopened)
    : exception_(&exception), kind_(kind), reopened_(reopened)
{
}

TExceptionBox::~TExceptionBox()
{
    if (callbackRegistered_)
        exception_->UnregisterBugReportCallbackOO({&TExceptionBox::ReportChanged, postTarget_});
    views_.reset();
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
}

bool TExceptionBox::Run()
{
    ReadSettings();
    CreateFonts();
    if (!Create())
        return false;
    exception_->RegisterBugReportCallbackOO({&TExceptionBox::ReportChanged, postTarget_}, false);
    callbackRegistered_ = true;
    if (!reopened_)
        SoundAlarm(MB_ICONHAND);
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
    const TButton* focus = ButtonOf(focused_);
    for (const TButton& button : buttons_)
        if (!focus && button.window)
            focus = &button;
    if (focus)
        SetFocus(focus->window);
    StartCountdown();
    RunLoop();
    return detailsRequested_ && kind_ != TBoxKind::Simple;
}

void TExceptionBox::ReadSettings()
{
    IZEModuleSettings& settings = exception_->Settings();
    canContinue_ = exception_->GetCanContinue();
    autoShowReport_ = settings.AutoShowBugRep();
    if (kind_ == TBoxKind::Full && autoShowReport_)
        settings.SetShowBtnVis(false);
    TButtonSet visibility{};
    for (int index = 0; index < kBoxButtonCount; ++index)
        visibility[static_cast<size_t>(index)] =
            settings.GetSettingBool(BoxButtonSpec(static_cast<TBoxButton>(index)).visibilitySetting);
    const TAutoActions automatic{AutoActionDue(settings.AutoClose()), AutoActionDue(settings.AutoRestart()),
                                 settings.AutoContinue(), canContinue_};
    if (const auto focus = AutomaticFocus(automatic, visibility))
        settings.SetFocusedBtn(static_cast<int32_t>(*focus));
    focused_ = settings.FocusedBtn();
    shown_ = VisibleButtons(kind_, visibility);
    countdown_ = CountdownButton(kind_, automatic, shown_);
    plainButtons_ = settings.UglyBtns();
    title_ = SafeLine(settings.TitleBar());
    messageText_ = SafeLines(ExceptionMessageText(*exception_));
    for (int index = 0; index < kBoxButtonCount; ++index)
        captions_[static_cast<size_t>(index)] =
            SafeLine(settings.GetSettingText(CaptionSetting(kind_, static_cast<TBoxButton>(index))));
}

void TExceptionBox::CreateFonts()
{
    const wchar_t* face = FontExists(L"Tahoma") ? L"Tahoma" : L"MS Sans Serif";
    dialogFont_.Reset(MakeFont(face, 8, DEFAULT_PITCH | FF_SWISS));
    linkFont_.Reset(MakeFont(face, 8, DEFAULT_PITCH | FF_SWISS, true));
    fixedFont_.Reset(MakeFont(L"Courier New", 8, FIXED_PITCH | FF_MODERN));
}

bool TExceptionBox::Create()
{
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &TExceptionBox::WindowProc;
        windowClass.hInstance = Module();
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = kExceptionDialogClass;
        return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered)
        return false;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
                        (autoShowReport_ ? WS_THICKFRAME | WS_MAXIMIZEBOX : 0);
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT, kExceptionDialogClass,
                              Wide(title_), style, 0, 0, 100, 100, nullptr, nullptr, Module(), this);
    if (!window_)
        return false;
    postTarget_ = window_;
    message_ = CreateWindowExW(0, L"Static", Wide(messageText_), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                               0, 0, window_, nullptr, Module(), nullptr);
    SendMessageW(message_, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_.Get()), FALSE);
    CreateButtons();
    if (autoShowReport_)
        ShowReport();
    PlaceWindow();
    return true;
}

void TExceptionBox::CreateButtons()
{
    {
        const TWindowDC dc(window_);
        const TSelection font(dc.Get(), dialogFont_.Get());
        int widest = 0;
        for (int index = 0; index < kBoxButtonCount; ++index)
            if (shown_[static_cast<size_t>(index)])
                widest = std::max<int>(widest,
                                       TextSize(dc.Get(), captions_[static_cast<size_t>(index)], DT_SINGLELINE, 0).cx);
        const int decoration = plainButtons_ ? 24 : 4 + kButtonPictureSize + kPictureGap + 12;
        buttonWidth_ = std::max(kMinButtonWidth, widest + decoration);
    }
    buttonHeight_ = kind_ != TBoxKind::Full ? kSimpleHeight : plainButtons_ ? kPlainHeight : kOwnerDrawnHeight;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (plainButtons_ ? BS_PUSHBUTTON : BS_OWNERDRAW);
    for (int index = 0; index < kBoxButtonCount; ++index) {
        if (!shown_[static_cast<size_t>(index)])
            continue;
        TButton& button = buttons_[static_cast<size_t>(index)];
        button.id = static_cast<TBoxButton>(index);
        button.window = CreateWindowExW(0, L"Button", Wide(captions_[static_cast<size_t>(index)]), style, 0, 0,
                                        buttonWidth_, buttonHeight_, window_,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + index)),
                                        Module(), nullptr);
        SendMessageW(button.window, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_.Get()), FALSE);
        SetWindowSubclass(button.window, &TExceptionBox::ButtonProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    if (countdown_)
        countdownButton_ = ButtonOf(static_cast<int>(*countdown_));
}

int TExceptionBox::ButtonCount() const
{
    return static_cast<int>(std::count(shown_.begin(), shown_.end(), true));
}

// The upper part: picture, message and link on the left, the buttons on the right.
SIZE TExceptionBox::UpperSize(int textWidth)
{
    SIZE message{};
    SIZE link{};
    {
        const TWindowDC dc(window_);
        const TSelection font(dc.Get(), dialogFont_.Get());
        message = TextSize(dc.Get(), messageText_, DT_WORDBREAK | DT_NOPREFIX, textWidth);
        link = TextSize(dc.Get(), UnicodeString(reinterpret_cast<const char16_t*>(kLinkText)), DT_SINGLELINE, 0);
    }
    linkSize_ = link;
    const int count = ButtonCount();
    const int column = count * buttonHeight_ + std::max(0, count - 1) * kButtonGap;
    const int left = std::max<int>(kBigPictureSize, message.cy + 2 * kMargin + link.cy);
    return {textWidth, std::max(column, left)};
}

void TExceptionBox::PlaceWindow()
{
    const SIZE upper = UpperSize(kTextWidth);
    upperHeight_ = upper.cy;
    int width = kMargin + kBigPictureSize + 2 * kMargin + upper.cx + 2 * kMargin + buttonWidth_ + kMargin;
    int height = kMargin + upper.cy + kMargin;
    if (reportShown_) {
        width = std::max(width, kReportMinWidth);
        height += kReportHeight + kMargin;
    }
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
    minWidth_ = frame.right - frame.left;
    minHeight_ = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = std::max<int>(work.left, (work.left + work.right - minWidth_) / 2);
    const int y = std::max<int>(work.top, (work.top + work.bottom - minHeight_) / 2);
    SetWindowPos(window_, nullptr, x, y, minWidth_, minHeight_, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void TExceptionBox::Layout()
{
    RECT client{};
    GetClientRect(window_, &client);
    const int buttonsLeft = client.right - kMargin - buttonWidth_;
    int top = kMargin;
    for (const TButton& button : buttons_) {
        if (!button.window)
            continue;
        MoveWindow(button.window, buttonsLeft, top, buttonWidth_, buttonHeight_, TRUE);
        top += buttonHeight_ + kButtonGap;
    }
    const int textLeft = kMargin + kBigPictureSize + 2 * kMargin;
    const int textWidth = std::max(0, buttonsLeft - 2 * kMargin - textLeft);
    MoveWindow(message_, textLeft, kMargin, textWidth, upperHeight_ - linkSize_.cy - kMargin, TRUE);
    linkRect_ = {textLeft, kMargin + upperHeight_ - linkSize_.cy, textLeft + linkSize_.cx, kMargin + upperHeight_};
    if (views_) {
        const int viewsTop = kMargin + upperHeight_ + kMargin;
        views_->Move({kMargin, viewsTop, client.right - kMargin, std::max<int>(viewsTop, client.bottom - kMargin)});
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void TExceptionBox::ShowReport()
{
    views_ = std::make_unique<TReportViews>();
    if (!views_->Create(window_, {0, 0, 10, 10}, dialogFont_.Get(), fixedFont_.Get())) {
        views_.reset();
        return;
    }
    views_->SetCopySource([this] { return CopyText(); });
    views_->SetReportText(exception_->GetBugReportText(false));
    reportShown_ = true;
}

// A growing report announces every change; the views are rebuilt once for all that queued up,
// so that the box keeps painting while the builder works.
void TExceptionBox::RefreshReport()
{
    MSG queued{};
    while (PeekMessageW(&queued, window_, kReportChangedMessage, kReportChangedMessage, PM_REMOVE)) {
    }
    views_->SetReportText(exception_->GetBugReportText(false));
}

void TExceptionBox::RunLoop()
{
    MSG message{};
    while (!closing_ && IsWindow(window_)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The quit belongs to the loop around ours.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!message.hwnd) {
            const TDialogEnvironment& environment = DialogEnvironment();
            if (environment.synchronize && GetCurrentThreadId() == environment.mainThreadId)
                environment.synchronize(message);
            DispatchMessageW(&message);
            continue;
        }
        if (PreTranslate(message))
            continue;
        if (BelongsToBox(message.hwnd) && !BelongsToViews(message.hwnd) && IsDialogMessageW(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool TExceptionBox::BelongsToBox(HWND window) const
{
    return window == window_ || IsChild(window_, window);
}

bool TExceptionBox::BelongsToViews(HWND window) const
{
    return views_ && (window == views_->Handle() || IsChild(views_->Handle(), window));
}

bool TExceptionBox::PreTranslate(MSG& message)
{
    if ((message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) || !BelongsToBox(message.hwnd))
        return false;
    const bool control = KeyDown(VK_CONTROL);
    const bool alt = KeyDown(VK_MENU);
    const UINT hotKey = DialogEnvironment().detailsHotKey;
    if (message.wParam == VK_ESCAPE) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
        return true;
    }
    if (message.wParam == VK_F1) {
        if (const auto& fire = ExceptionHooks().fireActionHandlers)
            fire(*exception_, window_, static_cast<TUserAction>(kHelpAction));
        return true;
    }
    if (control && alt && hotKey && message.wParam == hotKey &&
        (kind_ == TBoxKind::Full || (kind_ == TBoxKind::SimpleWithDetails && !autoShowReport_))) {
        RequestDetails();
        return true;
    }
    if (control && !alt && message.wParam == 'C') {
        CopyTextToClipboard(CopyText());
        return true;
    }
    return false;
}

UnicodeString TExceptionBox::CopyText()
{
    return autoShowReport_ ? exception_->GetBugReportText(false) : exception_->GetExceptMessage();
}

void TExceptionBox::ReportChanged(void* window, bool, const UnicodeString&, IZEException*)
{
    PostMessageW(static_cast<HWND>(window), kReportChangedMessage, kReportChangedWParam, kReportChangedLParam);
}

LRESULT CALLBACK TExceptionBox::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* box = reinterpret_cast<TExceptionBox*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (box && box->window_ == window)
            return box->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's frames.
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TExceptionBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE)
            break;
        OnClose();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == IDOK) {
            if (TButton* button = ButtonOf(GetFocus()))
                OnCommand(*button);
        } else if (TButton* button = ButtonOf(reinterpret_cast<HWND>(lParam)); button && HIWORD(wParam) == BN_CLICKED) {
            OnCommand(*button);
        }
        return 0;
    case WM_DRAWITEM:
        DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == window_ && CursorOverLink()) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        UpdateLinkHover({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_MOUSELEAVE:
        UpdateLinkHover({-1, -1});
        return 0;
    case WM_LBUTTONDOWN:
        UpdateLinkHover({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        if (overLink_)
            OpenLink();
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_TIMER:
        if (wParam == kCountdownTimer)
            OnCountdownTick();
        else if (wParam == kFadeTimer)
            OnFadeTick();
        return 0;
    case kReportChangedMessage:
        if (wParam == kReportChangedWParam && lParam == kReportChangedLParam && views_)
            RefreshReport();
        return 0;
    case kShowBugReportMessage:
        RequestDetails();
        return 0;
    case kCloseDialogMessage:
        CloseBox();
        return 0;
    case WM_NULL:
        if (wParam == kCloseRequest && lParam == static_cast<LPARAM>(kCloseRequest))
            CloseBox();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {minWidth_, minHeight_};
        return 0;
    }
    case WM_SIZE:
        if (message_)
            Layout();
        return 0;
    case WM_DESTROY:
        closing_ = true;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

TExceptionBox::TButton* TExceptionBox::ButtonOf(HWND window)
{
    for (TButton& button : buttons_)
        if (window && button.window == window)
            return &button;
    return nullptr;
}

TExceptionBox::TButton* TExceptionBox::ButtonOf(int index)
{
    if (index < 0 || index >= kBoxButtonCount || !buttons_[static_cast<size_t>(index)].window)
        return nullptr;
    return &buttons_[static_cast<size_t>(index)];
}

void TExceptionBox::OnCommand(TButton& button)
{
    StopCountdown();
    const bool animated = kind_ == TBoxKind::Full && !plainButtons_ &&
                          (button.id == TBoxButton::Show || GetTickCount() - lastFadeEnd_ > kPressFadePauseMs);
    if (animated)
        AnimatePress(button);
    Act(ButtonAction(button.id, canContinue_));
}

void TExceptionBox::Act(TBoxAction action)
{
    switch (action) {
    case TBoxAction::Send:
        exception_->SendBugReport(window_);
        return;
    case TBoxAction::Save:
        exception_->SaveBugReport(window_);
        return;
    case TBoxAction::Print:
        exception_->PrintBugReport(window_);
        return;
    case TBoxAction::ShowDetails:
        RequestDetails();
        return;
    case TBoxAction::Continue:
        exception_->ContinueApplication(window_);
        return;
    case TBoxAction::Restart:
        exception_->RestartApplication(window_);
        return;
    case TBoxAction::Close:
        exception_->CloseApplication(window_);
        return;
    }
}

void TExceptionBox::RequestDetails()
{
    if (const auto& fire = ExceptionHooks().fireActionHandlers)
        fire(*exception_, window_, static_cast<TUserAction>(kDetailsAction));
    detailsRequested_ = true;
    CloseBox();
}

void TExceptionBox::CloseBox()
{
    closing_ = true;
    StopCountdown();
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void TExceptionBox::OnClose()
{
    Act(CloseAction(exception_->Settings().FocusedBtn(), kind_, shown_, canContinue_));
}

void TExceptionBox::StartCountdown()
{
    if (!countdownButton_)
        return;
    countdownStart_ = std::max<DWORD>(GetTickCount(), 1);
    countdownPosition_ = -1;
    SetTimer(window_, kCountdownTimer, kTickMs, nullptr);
}

void TExceptionBox::StopCountdown()
{
    if (!countdownStart_)
        return;
    KillTimer(window_, kCountdownTimer);
    countdownStart_ = 0;
    countdownPosition_ = -1;
    if (countdownButton_)
        InvalidateRect(countdownButton_->window, nullptr, FALSE);
}

void TExceptionBox::OnCountdownTick()
{
    const int delay = exception_->Settings().AutoDelay();
    if (!countdownStart_ || !countdownButton_ || delay <= 0)
        return;
    RECT client{};
    GetClientRect(countdownButton_->window, &client);
    const int width = client.right - client.left;
    const int position = CountdownPosition(GetTickCount() - countdownStart_, width, delay, plainButtons_);
    if (position == countdownPosition_)
        return;
    countdownPosition_ = position;
    if (CountdownEnded(position, width, plainButtons_)) {
        KillTimer(window_, kCountdownTimer);
        PostMessageW(window_, WM_COMMAND,
                     MAKEWPARAM(kFirstButtonId + static_cast<int>(countdownButton_->id), BN_CLICKED),
                     reinterpret_cast<LPARAM>(countdownButton_->window));
    }
    InvalidateRect(countdownButton_->window, nullptr, FALSE);
}

bool TExceptionBox::CursorOverLink() const
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(window_, &cursor);
    return PtInRect(&linkRect_, cursor) != FALSE;
}

void TExceptionBox::UpdateLinkHover(POINT point)
{
    const bool over = PtInRect(&linkRect_, point) != FALSE;
    if (over == overLink_)
        return;
    overLink_ = over;
    if (over) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
        TrackMouseEvent(&track);
    }
    InvalidateRect(window_, &linkRect_, TRUE);
}

void TExceptionBox::OpenLink() const
{
    if (const auto& open = DialogEnvironment().openLink)
        open(kLinkAddress);
    else
        ShellExecuteW(window_, L"open", kLinkAddress, nullptr, nullptr, SW_SHOWNORMAL);
}
