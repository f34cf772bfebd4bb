#pragma once
// The exception box: the message with the box's picture, one column of action buttons, a
// link, and, once asked for, the report under tabs. It runs its own message loop on the
// calling thread and acts through the user actions of the exception.
#include <windows.h>

#include <array>
#include <memory>
#include <optional>

#include "dialog/box/BoxButtons.h"
#include "dialog/win/ReportViews.h"
#include "model/win/ZelException.h"
#include "wizard/win/GdiObjects.h"

// Posted by the box's report callback: the report grew.
inline constexpr UINT kReportChangedMessage = 1801;
inline constexpr WPARAM kReportChangedWParam = 1357;
inline constexpr LPARAM kReportChangedLParam = 2468;

class TExceptionBox {
public:
    // reopened: shown again after a details request (no beep).
    TExceptionBox(TIZEException& exception, TBoxKind kind, bool reopened);
    ~TExceptionBox();
    TExceptionBox(const TExceptionBox&) = delete;
    TExceptionBox& operator=(const TExceptionBox&) = delete;

    // Shows the box and runs its loop until it closes; true when the report was asked for
    // (the caller then shows a full box with the report).
    bool Run();

private:
    struct TButton {
        HWND window = nullptr;
        TBoxButton id = TBoxButton::Send;
        int highlight = 0;      // 0 to kFadeSteps: the face between normal and hot
        int highlightGoal = 0;
        int pressed = 0;        // 0 to kFadeSteps: the face pushed in
        bool hot = false;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR box);
    static void ReportChanged(void* box, bool complete, const UnicodeString& text, IZEException* exception);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleButtonMessage(TButton& button, UINT message, WPARAM wParam, LPARAM lParam);

    void ReadSettings();
    void CreateFonts();
    bool Create();
    void CreateButtons();
    int ButtonCount() const;
    SIZE UpperSize(int textWidth);
    void PlaceWindow();
    void Layout();
    void ShowReport();
    void RefreshReport();
    void RunLoop();
    bool PreTranslate(MSG& message);
    bool BelongsToBox(HWND window) const;
    bool BelongsToViews(HWND window) const;

    void OnCommand(TButton& button);
    void Act(TBoxAction action);
    void RequestDetails();
    void CloseBox();
    void OnClose();
    void CopyToClipboard();
    void StartCountdown();
    void StopCountdown();
    void OnCountdownTick();
    void OnFadeTick();
    void AnimatePress(TButton& button);
    void FadeTo(TButton& button, int goal);
    void Paint();
    void DrawButton(const DRAWITEMSTRUCT& item);
    void DrawPlainCountdown(TButton& button);
    void UpdateLinkHover(POINT point);
    bool CursorOverLink() const;
    void OpenLink() const;
    TButton* ButtonOf(HWND window);
    TButton* ButtonOf(int index);
    UnicodeString CopyText();

    TIntfPtr<TIZEException> exception_;
    TBoxKind kind_;
    bool reopened_;
    HWND window_ = nullptr;
    // The box's window as its report callback knows it (the callback never touches the box).
    HWND postTarget_ = nullptr;
    HWND message_ = nullptr;
    TFont dialogFont_;
    TFont fixedFont_;
    TFont linkFont_;
    UnicodeString title_;
    UnicodeString messageText_;
    std::array<UnicodeString, kBoxButtonCount> captions_;
    TButtonSet shown_{};
    std::array<TButton, kBoxButtonCount> buttons_{};
    bool canContinue_ = true;
    bool plainButtons_ = false;
    bool autoShowReport_ = false;
    int focused_ = 0;
    int buttonWidth_ = 0;
    int buttonHeight_ = 0;
    int minWidth_ = 0;
    int minHeight_ = 0;
    int upperHeight_ = 0;
    SIZE linkSize_{};
    RECT linkRect_{};
    bool overLink_ = false;
    bool detailsRequested_ = false;
    bool reportShown_ = false;
    bool closing_ = false;
    std::unique_ptr<TReportViews> views_;
    // The countdown of the automatic action.
    std::optional<TBoxButton> countdown_;
    TButton* countdownButton_ = nullptr;
    DWORD countdownStart_ = 0;
    int countdownPosition_ = -1;
    DWORD lastFadeEnd_ = 0;
    bool callbackRegistered_ = false;
};
