#pragma once
// The action buttons of the exception box and the choices made from the settings: which
// buttons stand, which one has the focus, which one counts down to its automatic press, what
// closing the box does, and how far the countdown bar has run.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The index is also the value of FocusedBtn and selects the button's picture.
enum class TBoxButton : uint8_t { Send = 0, Save = 1, Print = 2, Show = 3, Continue = 4, Restart = 5, Close = 6 };
inline constexpr int kBoxButtonCount = 7;

// 0 the full box; 2 with OK and details; 3 with OK only.
enum class TBoxKind : uint8_t { Full = 0, SimpleWithDetails = 2, Simple = 3 };

struct TBoxButtonSpec {
    TBoxButton button;
    std::string_view captionSetting;
    std::string_view visibilitySetting;
    std::string_view picture;
};

const TBoxButtonSpec& BoxButtonSpec(TBoxButton button);
// The caption setting of the button in that kind of box (OK and details in the simple ones).
std::string_view CaptionSetting(TBoxKind kind, TBoxButton button);
// "continue", or "cantContinue" for an exception that cannot continue.
std::string_view PictureName(TBoxButton button, bool canContinue);

using TButtonSet = std::array<bool, kBoxButtonCount>;

inline bool Has(const TButtonSet& set, TBoxButton button)
{
    return set[static_cast<size_t>(button)];
}

// The full box takes the visibility settings as they are; the simple boxes show only OK
// (the continue button) and, in kind 2, details (the show button).
TButtonSet VisibleButtons(TBoxKind kind, const TButtonSet& visibilitySettings);

// What the automatic end-of-handling settings say about this exception.
struct TAutoActions {
    bool closeDue = false;
    bool restartDue = false;
    bool autoContinue = false;
    bool canContinue = true;
};

// The FocusedBtn the box stores before it builds its buttons; none leaves the setting alone.
std::optional<TBoxButton> AutomaticFocus(const TAutoActions& automatic, const TButtonSet& visibilitySettings);
// The button whose press the countdown of the full box makes; none: no countdown.
std::optional<TBoxButton> CountdownButton(TBoxKind kind, const TAutoActions& automatic, const TButtonSet& shown);

// The bar position after elapsedMs of a countdown of delaySeconds (above 0) on a button whose
// client area is width pixels wide; plain push buttons keep a margin.
int CountdownPosition(uint32_t elapsedMs, int width, int delaySeconds, bool plainButtons);
// The bar ran past its end: the button is pressed.
bool CountdownEnded(int position, int width, bool plainButtons);

// What a press of a button or the closing of the box does to the application.
enum class TBoxAction : uint8_t { Send, Save, Print, ShowDetails, Continue, Restart, Close };

TBoxAction ButtonAction(TBoxButton button, bool canContinue);
// Closing the box (Escape, the close box): by FocusedBtn 4 to 6, else the first action the
// box offers of continue, close, restart; a box offering none continues when it can, else
// closes the application.
TBoxAction CloseAction(int focusedSetting, TBoxKind kind, const TButtonSet& shown, bool canContinue);
