#include "wizard/win/NVForm.h"

#include <algorithm>

#include "text/CaseFolding.h"
#include "win32/ModuleImage.h"
#include "wizard/PropertyValues.h"
#include "wizard/win/NVAssistant.h"

namespace {

constexpr wchar_t FormClassName[] = L"zelNVAssistantWnd";
constexpr int SideMargin = 23; // edits are the client width less both margins
constexpr int DefaultClientWidth = 300;
constexpr int MessageTop = 14;
constexpr int SectionGap = 16;   // message line to items, items to the bottom band
constexpr int BottomButtonGap = 8;
constexpr COLORREF ItemAreaLightening = 0x080808;

TNVActionProc contactFormHandler = nullptr;
TNVActionProc screenshotFormHandler = nullptr;
TWizardExceptionHook exceptionHook = nullptr;
TWizardActionLookup actionLookup = nullptr;

UnicodeString DecodeAnsi(std::string_view ansi)
{
    if (ansi.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
    return UnicodeString(wide.begin(), wide.end());
}

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    UnicodeString fileName;
    return GetModuleOfAddress(reinterpret_cast<const void*>(&ThisModule), module, fileName) ? module
                                                                                           : GetModuleHandleW(nullptr);
}

bool RegisterFormClass()
{
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.style = CS_CLASSDC | CS_PARENTDC;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = ThisModule();
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = FormClassName;
        return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

TNVActionProc InstalledHandler(std::u16string_view name)
{
    if (SameTextW(name, u"zelExcept.HandleContactForm"))
        return contactFormHandler;
    if (SameTextW(name, u"zelExcept.HandleScreenshotForm"))
        return screenshotFormHandler;
    if (!actionLookup)
        return nullptr;
    // Unit names may hold dots themselves; function names do not.
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? actionLookup(u"", name)
                                            : actionLookup(name.substr(0, dot), name.substr(dot + 1));
}

std::unique_ptr<TNVItem> MakeItem(TNVForm& form, TNVItemKind kind, const UnicodeString& name)
{
    switch (kind) {
    case TNVItemKind::Button:
        return std::make_unique<TNVButton>(form, name);
    case TNVItemKind::Label:
        return std::make_unique<TNVLabel>(form, name);
    case TNVItemKind::Edit:
        return std::make_unique<TNVEdit>(form, name);
    case TNVItemKind::CheckBox:
        return std::make_unique<TNVCheckBox>(form, name);
    case TNVItemKind::Image:
        return std::make_unique<TNVImage>(form, name);
    }
    return nullptr;
}

bool IsShiftDown()
{
    return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

} // namespace

void SetWizardFormHandlers(TNVActionProc contactForm, TNVActionProc screenshotForm)
{
    contactFormHandler = contactForm;
    screenshotFormHandler = screenshotForm;
}

void SetWizardActionLookup(TWizardActionLookup lookup)
{
    actionLookup = lookup;
}

void SetWizardExceptionHook(TWizardExceptionHook hook)
{
    exceptionHook = hook;
}

TNVForm::TNVForm(TNVAssistant* assistant, std::span<const uint8_t> resource, int index, int count)
    : assistant_(assistant), index_(index), count_(count)
{
    items_.push_back(std::make_unique<TNVButton>(*this, u"ContinueBtn", u"Next >"));
    items_.push_back(std::make_unique<TNVButton>(*this, u"SkipBtn", u"Skip"));
    items_.push_back(std::make_unique<TNVButton>(*this, u"CancelBtn", u"Cancel"));
    if (assistant_)
        title_ = assistant_->Title();
    const TFormSource source = ParseFormSource(resource, &DecodeAnsi);
    ReadSource(source);
    for (int i = 0; i < ItemCount(); ++i)
        items_[static_cast<size_t>(i)]->SetIndex(i);
    if (source.end == TFormSourceEnd::BadType)
        MessageBoxW(nullptr, WideOf(BadResourceMessage(source.badType)).c_str(), L"zelExcept", MB_OK);
}

TNVForm::~TNVForm()
{
    if (window_)
        DestroyWindow(window_);
}

void TNVForm::ReadSource(const TFormSource& source)
{
    name_ = source.name;
    for (const TFormProperty& property : source.properties)
        ReadProperty(property.name, property.value);
    for (const TItemSource& item : source.items)
        AddItem(item);
}

void TNVForm::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"MinWidth")
        minWidth_ = ParseMeasure(value, 0, MaxMeasure);
    else if (name == u"Message")
        message_ = UnicodeString(value);
    else if (name == u"ActiveControl")
        activeControl_ = UnicodeString(value);
    else if (name == u"Timer")
        timer_ = std::max(0, ParseNumber(value));
    else if (name == u"OnAction")
        onAction_ = InstalledHandler(value);
}

void TNVForm::AddItem(const TItemSource& source)
{
    TNVItem* item = nullptr;
    if (source.kind == TNVItemKind::Button) {
        for (int i = 0; i < 3; ++i) {
            if (items_[static_cast<size_t>(i)]->Name() == source.name)
                item = items_[static_cast<size_t>(i)].get();
        }
    }
    if (!item) {
        items_.push_back(MakeItem(*this, source.kind, source.name));
        item = items_.back().get();
    }
    for (const TFormProperty& property : source.properties)
        item->ReadProperty(property.name, property.value);
}

void TNVForm::SetTitle(UnicodeString title)
{
    title_ = std::move(title);
    if (window_)
        SetWindowTextW(window_, WideOf(title_).c_str());
}

void TNVForm::SetMessage(UnicodeString message)
{
    message_ = std::move(message);
    if (window_)
        InvalidateRect(window_, nullptr, TRUE);
}

TNVItem* TNVForm::Item(int index) const
{
    return index >= 0 && index < ItemCount() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

void TNVForm::SetOnAction(TNVActionProc action, void* userValue)
{
    onAction_ = action;
    onActionValue_ = userValue;
}

void TNVForm::FireAction(TNVAction action, TNVItem* item)
{
    if (onAction_)
        onAction_(*this, action, item, onActionValue_);
    if (assistant_)
        assistant_->Notify(*this, action, item);
}

void TNVForm::CheckContinue()
{
    const bool allValid = std::all_of(items_.begin() + 3, items_.end(), [](const auto& item) { return item->IsValid(); });
    ContinueButton().SetDisabledByForm(!allValid);
}

COLORREF TNVForm::ItemBackground() const
{
    return AddColor(GetSysColor(COLOR_BTNFACE), ItemAreaLightening);
}

bool TNVForm::HasFocus(const TNVItem& item) const
{
    return item.Handle() && GetFocus() == item.Handle();
}

TNVItem* TNVForm::ItemOfWindow(HWND window) const
{
    for (const auto& item : items_) {
        if (window && item->Handle() == window)
            return item.get();
    }
    return nullptr;
}

TNVModalResult TNVForm::ShowModal(HWND owner)
{
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    result_ = TNVModalResult::None;
    if (CreateFormWindow(owner))
        ShowAndRun();
    else
        result_ = TNVModalResult::Cancel;
    if (window_)
        DestroyWindow(window_);
    thunk_ = TCallbackThunk();
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    return result_;
}

bool TNVForm::CreateFormWindow(HWND owner)
{
    if (!RegisterFormClass())
        return false;
    textFont_ = MakeFont(L"Tahoma", 13, false);
    messageFont_ = MakeFont(L"Tahoma", 13, true);
    buttonFont_ = MakeFont(L"Arial", 15, false);
    plainButtonFont_ = MakeFont(L"Tahoma", 11, false);
    checkBoxFont_ = MakeFont(L"Tahoma", 13, false);
    coloredBrush_.Reset(CreateSolidBrush(RGB(255, 255, 240)));
    invalidBrush_.Reset(CreateSolidBrush(RGB(255, 224, 224)));
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, FormClassName, WideOf(title_).c_str(), WS_CAPTION | WS_SYSMENU,
                              CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner, nullptr, ThisModule(), nullptr);
    if (!window_)
        return false;
    thunk_ = MakeCallbackThunk(this, reinterpret_cast<const void*>(&TNVForm::WindowProc));
    if (!thunk_.Code())
        return false;
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thunk_.Code()));
    const HMENU menu = GetSystemMenu(window_, FALSE);
    for (const UINT command : {SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_SIZE})
        DeleteMenu(menu, command, MF_BYCOMMAND);
    Layout();
    return true;
}

void TNVForm::Layout()
{
    const TMemoryDC measure;
    const HDC dc = measure.Get();
    int width = std::max(minWidth_, DefaultClientWidth);
    int bottomButtonsWidth = 2 * BottomButtonGap;
    for (int i = 0; i < 3; ++i)
        bottomButtonsWidth += BottomButton(i).MeasureBottom(dc).width + BottomButtonGap;
    width = std::max(width, bottomButtonsWidth);
    for (auto it = items_.begin() + 3; it != items_.end(); ++it)
        width = std::max(width, (*it)->NaturalWidth(dc) + 2 * SideMargin);
    clientWidth_ = width;

    const SIZE message = MeasureText(dc, messageFont_.Get(), WideOf(message_), clientWidth_ - 2 * SideMargin);
    messageRect_ = {SideMargin, MessageTop, clientWidth_ - SideMargin, MessageTop + message.cy};
    const int itemsTop = messageRect_.bottom + SectionGap;
    const int itemsBottom = LayoutItems(dc, itemsTop);
    bottomBandTop_ = itemsBottom + SectionGap;
    int buttonHeight = 0;
    for (int i = 0; i < 3; ++i)
        buttonHeight = std::max(buttonHeight, BottomButton(i).MeasureBottom(dc).height);
    clientHeight_ = bottomBandTop_ + buttonHeight + 2 * BottomButtonMargin;

    RECT frame{0, 0, clientWidth_, clientHeight_};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceBottomButtons(dc);
    CheckContinue();
}

int TNVForm::LayoutItems(HDC measure, int top)
{
    std::vector<TLayoutItem> layout;
    std::vector<TSize> sizes;
    for (auto it = items_.begin() + 3; it != items_.end(); ++it) {
        sizes.push_back((*it)->Measure(measure, clientWidth_ - 2 * SideMargin));
        layout.push_back((*it)->LayoutInfo());
    }
    const auto at = [&layout](size_t i) { return i < layout.size() ? &layout[i] : nullptr; };
    int y = top;
    for (size_t i = 0; i < layout.size(); ++i) {
        TNVItem& item = *items_[i + 3];
        item.Place({SideMargin, y, SideMargin + sizes[i].width, y + sizes[i].height});
        y += sizes[i].height + ItemGap(i > 0 ? at(i - 1) : nullptr, layout[i], at(i + 1), at(i + 2), item.Spacing());
    }
    return y;
}

void TNVForm::PlaceBottomButtons(HDC measure)
{
    int right = clientWidth_ - BottomButtonGap - 1;
    for (int i = 2; i >= 0; --i) {
        TNVButton& button = BottomButton(i);
        const TSize size = button.MeasureBottom(measure);
        if (button.IsHidden())
            continue;
        const int bottom = clientHeight_ - BottomButtonMargin;
        button.Place({right - size.width, bottom - size.height, right, bottom});
        right -= size.width + BottomButtonGap;
    }
}

void TNVForm::Center()
{
    RECT rect{};
    GetWindowRect(window_, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TNVForm::ShowAndRun()
{
    Center();
    skip_ = false;
    FireAction(TNVAction::Show, nullptr);
    if (skip_) {
        result_ = TNVModalResult::Skip;
        return;
    }
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(window_);
    SetForegroundWindow(window_);
    TNVItem* first = activeControl_.empty() ? nullptr : Find<TNVItem>(activeControl_);
    if (first && first->Handle() && first->IsUsable())
        first->SetFocus();
    else
        MoveFocus(false);
    if (timer_ > 0)
        timerRunning_ = SetTimer(window_, NVFormTimerId, static_cast<UINT>(timer_), nullptr) != 0;
    RunMessageLoop();
}

void TNVForm::RunMessageLoop()
{
    MSG message{};
    while (window_ && IsWindow(window_)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam)); // the caller's loop still has to end
            break;
        }
        if (got == -1)
            break;
        if (PreTranslate(message))
            continue;
        if (window_ && IsDialogMessageW(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool TNVForm::PreTranslate(const MSG& message)
{
    if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd)))
        return false;
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
        if (CancelButton().Handle() && IsWindowEnabled(CancelButton().Handle())) {
            result_ = TNVModalResult::Cancel;
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        return true;
    }
    const bool tab = (message.message == WM_CHAR && message.wParam == 9) ||
                     (message.message == WM_KEYDOWN && message.wParam == VK_TAB);
    if (tab) {
        MoveFocus(IsShiftDown());
        return true;
    }
    // Return on a field moves on like Tab; on a button or in a multi-line edit it does its usual.
    const bool enter = (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) ||
                       (message.message == WM_CHAR && message.wParam == 13);
    if (enter && ReturnMovesFocus()) {
        if (message.message == WM_KEYDOWN)
            MoveFocus(false);
        return true;
    }
    return false;
}

bool TNVForm::ReturnMovesFocus() const
{
    const TNVItem* item = ItemOfWindow(GetFocus());
    const auto* edit = dynamic_cast<const TNVEdit*>(item);
    return item && item->Kind() != TNVItemKind::Button && !(edit && edit->MultiLine());
}

// Focus order: the items from index 3 on, then the bottom buttons, as a ring.
void TNVForm::MoveFocus(bool backwards)
{
    std::vector<TNVItem*> ring;
    for (auto it = items_.begin() + 3; it != items_.end(); ++it)
        ring.push_back(it->get());
    for (int i = 0; i < 3; ++i)
        ring.push_back(items_[static_cast<size_t>(i)].get());
    const TNVItem* current = ItemOfWindow(GetFocus());
    const auto found = std::find(ring.begin(), ring.end(), current);
    size_t position = found == ring.end() ? (backwards ? 0 : ring.size() - 1) : static_cast<size_t>(found - ring.begin());
    for (size_t step = 0; step < ring.size(); ++step) {
        position = backwards ? (position + ring.size() - 1) % ring.size() : (position + 1) % ring.size();
        TNVItem* next = ring[position];
        if (next->Handle() && next->TabStop() && !next->IsHidden() && next->IsUsable()) {
            next->SetFocus();
            return;
        }
    }
}

void TNVForm::CloseWith(TNVModalResult result)
{
    if (timerRunning_) {
        KillTimer(window_, NVFormTimerId);
        timerRunning_ = false;
    }
    result_ = result;
    if (result == TNVModalResult::Continue) {
        for (const auto& item : items_) {
            if (auto* edit = dynamic_cast<TNVEdit*>(item.get()))
                edit->ReadBack();
        }
    }
    DestroyWindow(window_);
}

void TNVForm::FormWindowGone()
{
    for (const auto& item : items_)
        item->WindowGone();
    window_ = nullptr;
    pressedImage_ = nullptr;
    lastFocus_ = nullptr;
    // A window closed by a message sent from another thread goes inside GetMessage, which
    // would go on waiting: wake the modal loop so that it sees the window gone.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

LRESULT CALLBACK TNVForm::WindowProc(void* context, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = static_cast<TNVForm*>(context);
    try {
        if (message == WM_NCDESTROY) {
            const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            form->FormWindowGone();
            return result;
        }
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        if (exceptionHook)
            exceptionHook(window);
        return 0;
    }
}

LRESULT TNVForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            lastFocus_ = GetFocus();
        else if (lastFocus_ && IsWindow(lastFocus_))
            ::SetFocus(lastFocus_);
        return 0;
    case WM_PAINT:
        PaintItems();
        return 0;
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_SETCURSOR:
        if (OnSetCursor())
            return TRUE;
        break;
    case WM_CLOSE:
        if (timerRunning_) {
            KillTimer(window_, NVFormTimerId);
            timerRunning_ = false;
        }
        result_ = TNVModalResult::Cancel;
        FireAction(TNVAction::Close, nullptr);
        break;
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (TNVItem* item = draw ? ItemOfWindow(draw->hwndItem) : nullptr) {
            item->DrawItem(*draw);
            return TRUE;
        }
        break;
    }
    case WM_COMMAND:
        DefWindowProcW(window_, message, wParam, lParam);
        OnCommand(wParam, lParam);
        return 0;
    case WM_CTLCOLOREDIT:
        return OnCtlColorEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
        if (wParam == NVFormTimerId) {
            FireAction(TNVAction::Change, nullptr);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        OnMouse(message, lParam);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void TNVForm::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const auto control = reinterpret_cast<HWND>(lParam);
    const WORD notification = HIWORD(wParam);
    if (!control) {
        // Command 1 stands for the focused bottom button (Return through the dialog manager).
        TNVItem* focused = ItemOfWindow(GetFocus());
        if (LOWORD(wParam) == IDOK && focused && focused->Index() < 3 && focused->IsUsable())
            OnClicked(*focused);
        return;
    }
    TNVItem* item = ItemOfWindow(control);
    if (!item)
        return;
    switch (notification) {
    case EN_SETFOCUS:
    case EN_KILLFOCUS:
        if (auto* edit = dynamic_cast<TNVEdit*>(item)) {
            const RECT frame = edit->FrameRect();
            InvalidateRect(window_, &frame, TRUE);
        }
        break;
    case BN_SETFOCUS:
        if (auto* button = dynamic_cast<TNVButton*>(item); button && !button->OwnerDraw())
            PostMessageW(control, BM_SETSTYLE, BS_PUSHBUTTON | BS_DEFPUSHBUTTON, TRUE);
        break;
    case EN_CHANGE:
        FireAction(TNVAction::Change, item);
        CheckContinue();
        break;
    case BN_CLICKED:
        OnClicked(*item);
        break;
    default:
        break;
    }
}

void TNVForm::OnClicked(TNVItem& item)
{
    if (auto* checkBox = dynamic_cast<TNVCheckBox*>(&item))
        checkBox->SetChecked(!checkBox->Checked());
    FireAction(TNVAction::Change, &item);
    if (item.Index() < 3 && window_)
        CloseWith(static_cast<TNVModalResult>(item.Index() + 1));
}

void TNVForm::EraseBackground(HDC dc) const
{
    RECT client{0, 0, clientWidth_, clientHeight_};
    const TBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRect(dc, &client, face.Get());
    RECT itemArea{0, 0, clientWidth_, bottomBandTop_};
    const TBrush lighter(CreateSolidBrush(ItemBackground()));
    FillRect(dc, &itemArea, lighter.Get());
    const TSelection font(dc, messageFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    RECT text = messageRect_;
    const std::wstring message = WideOf(message_);
    DrawTextW(dc, message.c_str(), static_cast<int>(message.size()), &text, DT_WORDBREAK | DT_NOPREFIX);
}

void TNVForm::PaintItems()
{
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(window_, &paint);
    if (!dc)
        return;
    for (const auto& item : items_)
        item->Paint(dc);
    EndPaint(window_, &paint);
}

LRESULT TNVForm::OnCtlColorEdit(HDC dc, HWND window)
{
    const auto* edit = dynamic_cast<const TNVEdit*>(ItemOfWindow(window));
    if (!edit || (!edit->Colored() && edit->Valid()))
        return DefWindowProcW(window_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window));
    const bool invalid = !edit->Valid();
    SetBkColor(dc, invalid ? RGB(255, 224, 224) : RGB(255, 255, 240));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(invalid ? invalidBrush_.Get() : coloredBrush_.Get());
}

void TNVForm::OnMouse(UINT message, LPARAM lParam)
{
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    TNVImage* image = nullptr;
    for (const auto& item : items_) {
        auto* candidate = dynamic_cast<TNVImage*>(item.get());
        if (candidate && candidate->Clickable() && candidate->IsUsable() && candidate->Contains(point))
            image = candidate;
    }
    if (message == WM_LBUTTONDOWN) {
        pressedImage_ = image;
        if (image)
            SetCapture(window_);
        return;
    }
    TNVImage* pressed = pressedImage_;
    pressedImage_ = nullptr;
    if (pressed) {
        ReleaseCapture();
        if (pressed == image)
            FireAction(TNVAction::Change, image);
    }
}

bool TNVForm::OnSetCursor()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(window_, &point);
    for (const auto& item : items_) {
        const auto* image = dynamic_cast<const TNVImage*>(item.get());
        if (image && image->Clickable() && image->IsUsable() && image->Contains(point)) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return true;
        }
    }
    return false;
}
