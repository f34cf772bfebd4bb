#pragma once
// One form of a wizard: a window with a message line, a column of items and the continue,
// skip and cancel buttons (items 0, 1 and 2), built from a form resource and shown modally.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"
#include "win32/CallbackThunk.h"
#include "wizard/FormSource.h"
#include "wizard/win/GdiObjects.h"
#include "wizard/win/NVItems.h"

class TNVAssistant;
class TNVForm;

enum class TNVAction : int { Show = 1, Close = 2, Change = 3 };
enum class TNVModalResult : uint8_t { None = 0, Continue = 1, Skip = 2, Cancel = 3 };

// Called with the form, what happened, the item concerned (or null) and the user value.
using TNVActionProc = void (*)(TNVForm& form, TNVAction action, TNVItem* item, void* userValue);

constexpr UINT_PTR NVFormTimerId = 777;

class TNVForm {
public:
    TNVForm(TNVAssistant* assistant, std::span<const uint8_t> resource, int index, int count);
    ~TNVForm();
    TNVForm(const TNVForm&) = delete;
    TNVForm& operator=(const TNVForm&) = delete;

    TNVAssistant* Assistant() const { return assistant_; }
    const UnicodeString& Name() const { return name_; }
    const UnicodeString& Title() const { return title_; }
    void SetTitle(UnicodeString title);
    const UnicodeString& Message() const { return message_; }
    void SetMessage(UnicodeString message);
    int Index() const { return index_; }
    int Count() const { return count_; }

    int ItemCount() const { return static_cast<int>(items_.size()); }
    TNVItem* Item(int index) const;
    // 0 continue, 1 skip, 2 cancel.
    TNVButton& BottomButton(int index) const { return *static_cast<TNVButton*>(items_[static_cast<size_t>(index)].get()); }
    TNVButton& ContinueButton() const { return BottomButton(0); }
    TNVButton& SkipButton() const { return BottomButton(1); }
    TNVButton& CancelButton() const { return BottomButton(2); }
    // The first item of that name (case-sensitive) and class; null when there is none.
    template <typename Item>
    Item* Find(std::u16string_view name) const
    {
        for (const auto& item : items_) {
            if (item->Name() == name) {
                if (auto* found = dynamic_cast<Item*>(item.get()))
                    return found;
            }
        }
        return nullptr;
    }

    const UnicodeString& ActiveControl() const { return activeControl_; }
    void SetActiveControl(UnicodeString name) { activeControl_ = std::move(name); }
    int Timer() const { return timer_; }
    int MinWidth() const { return minWidth_; }
    HWND Handle() const { return window_; }
    TNVModalResult ModalResult() const { return result_; }
    TNVActionProc OnAction() const { return onAction_; }
    void SetOnAction(TNVActionProc action, void* userValue);
    void SkipForm() { skip_ = true; }
    void* UserData() const { return userData_; }
    void SetUserData(void* data) { userData_ = data; }
    intptr_t Tag() const { return tag_; }
    void SetTag(intptr_t tag) { tag_ = tag; }

    TNVModalResult ShowModal(HWND owner);

    // For the items.
    void FireAction(TNVAction action, TNVItem* item);
    // Disables the continue button while any item from index 3 on is not valid.
    void CheckContinue();
    HFONT TextFont() const { return textFont_.Get(); }
    HFONT ButtonFont() const { return buttonFont_.Get(); }
    HFONT PlainButtonFont() const { return plainButtonFont_.Get(); }
    HFONT CheckBoxFont() const { return checkBoxFont_.Get(); }
    int ClientWidth() const { return clientWidth_; }
    COLORREF ItemBackground() const;
    bool HasFocus(const TNVItem& item) const;

private:
    void ReadSource(const TFormSource& source);
    void ReadProperty(std::u16string_view name, std::u16string_view value);
    void AddItem(const TItemSource& source);

    bool CreateFormWindow(HWND owner);
    void Layout();
    int LayoutItems(HDC measure, int top);
    void PlaceBottomButtons(HDC measure);
    void Center();
    void ShowAndRun();
    void RunMessageLoop();
    bool PreTranslate(const MSG& message);
    bool ReturnMovesFocus() const;
    void MoveFocus(bool backwards);
    TNVItem* ItemOfWindow(HWND window) const;
    void CloseWith(TNVModalResult result);
    void FormWindowGone();

    static LRESULT CALLBACK WindowProc(void* context, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnClicked(TNVItem& item);
    void EraseBackground(HDC dc) const;
    void PaintItems();
    LRESULT OnCtlColorEdit(HDC dc, HWND edit);
    void OnMouse(UINT message, LPARAM lParam);
    bool OnSetCursor();

    TNVAssistant* assistant_;
    UnicodeString name_;
    UnicodeString title_;
    UnicodeString message_;
    std::vector<std::unique_ptr<TNVItem>> items_;
    HWND window_ = nullptr;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int bottomBandTop_ = 0;
    RECT messageRect_{};
    TFont textFont_;
    TFont messageFont_;
    TFont buttonFont_;
    TFont plainButtonFont_;
    TFont checkBoxFont_;
    TBrush coloredBrush_;
    TBrush invalidBrush_;
    TNVActionProc onAction_ = nullptr;
    void* onActionValue_ = nullptr;
    int minWidth_ = 0;
    UnicodeString activeControl_;
    int timer_ = 0;
    bool timerRunning_ = false;
    TNVModalResult result_ = TNVModalResult::None;
    TCallbackThunk thunk_;
    int index_;
    int count_;
    bool skip_ = false;
    void* userData_ = nullptr;
    intptr_t tag_ = 0;
    HWND lastFocus_ = nullptr;
    TNVImage* pressedImage_ = nullptr;
};

// The routines that forms name as "zelExcept.HandleContactForm" and
// "zelExcept.HandleScreenshotForm"; installed by the crash library at start-up.
void SetWizardFormHandlers(TNVActionProc contactForm, TNVActionProc screenshotForm);

// Finds any other "OnAction" routine by unit and function name (the unit empty when the
// name has none) in this module's debug information; null when there is no such routine.
using TWizardActionLookup = TNVActionProc (*)(std::u16string_view unitName, std::u16string_view functionName);
void SetWizardActionLookup(TWizardActionLookup lookup);

// Told, inside the catch, about an exception that a form's window procedure caught (the crash
// capture's hook), with the form's window.
using TWizardExceptionHook = void (*)(HWND window) noexcept;
void SetWizardExceptionHook(TWizardExceptionHook hook);
