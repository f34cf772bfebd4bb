#include "dialog/box/BoxButtons.h"

namespace {

constexpr std::array<TBoxButtonSpec, kBoxButtonCount> kButtons = {{
    {TBoxButton::Send, "SendBtnTxt", "SendBtnVis", "send"},
    {TBoxButton::Save, "SaveBtnTxt", "SaveBtnVis", "save"},
    {TBoxButton::Print, "PrintBtnTxt", "PrintBtnVis", "print"},
    {TBoxButton::Show, "ShowBtnTxt", "ShowBtnVis", "show"},
    {TBoxButton::Continue, "ContinueBtnTxt", "ContinueBtnVis", "continue"},
    {TBoxButton::Restart, "RestartBtnTxt", "RestartBtnVis", "restart"},
    {TBoxButton::Close, "CloseBtnTxt", "CloseBtnVis", "close"},
}};

constexpr bool IsSimple(TBoxKind kind)
{
    return kind != TBoxKind::Full;
}

} // namespace

const TBoxButtonSpec& BoxButtonSpec(TBoxButton button)
{
    return kButtons[static_cast<size_t>(button)];
}

std::string_view CaptionSetting(TBoxKind kind, TBoxButton button)
{
    if (IsSimple(kind) && button == TBoxButton::Continue)
        return "OkBtnTxt";
    if (IsSimple(kind) && button == TBoxButton::Show)
        return "DetailsBtnTxt";
    return BoxButtonSpec(button).captionSetting;
}

std::string_view PictureName(TBoxButton button, bool canContinue)
{
    if (button == TBoxButton::Continue && !canContinue)
        return "cantContinue";
    return BoxButtonSpec(button).picture;
}

TButtonSet VisibleButtons(TBoxKind kind, const TButtonSet& visibilitySettings)
{
    if (!IsSimple(kind))
        return visibilitySettings;
    TButtonSet shown{};
    shown[static_cast<size_t>(TBoxButton::Continue)] = true;
    shown[static_cast<size_t>(TBoxButton::Show)] = kind == TBoxKind::SimpleWithDetails;
    return shown;
}

std::optional<TBoxButton> AutomaticFocus(const TAutoActions& automatic, const TButtonSet& visibilitySettings)
{
    if (automatic.closeDue && Has(visibilitySettings, TBoxButton::Close))
        return TBoxButton::Close;
    if (automatic.restartDue && Has(visibilitySettings, TBoxButton::Restart))
        return TBoxButton::Restart;
    if (automatic.autoContinue && Has(visibilitySettings, TBoxButton::Continue) && automatic.canContinue)
        return TBoxButton::Continue;
    return std::nullopt;
}

std::optional<TBoxButton> CountdownButton(TBoxKind kind, const TAutoActions& automatic, const TButtonSet& shown)
{
    if (IsSimple(kind))
        return std::nullopt;
    return AutomaticFocus(automatic, shown);
}

int CountdownPosition(uint32_t elapsedMs, int width, int delaySeconds, bool plainButtons)
{
    const int64_t period = static_cast<int64_t>(delaySeconds) * 1000;
    const int64_t half = static_cast<int64_t>(delaySeconds) * 500;
    const int64_t span = plainButtons ? width - 11 : width;
    const int64_t position = (static_cast<int64_t>(elapsedMs) * span + half) / period;
    return static_cast<int>(plainButtons ? position + 5 : position);
}

bool CountdownEnded(int position, int width, bool plainButtons)
{
    return position > (plainButtons ? width - 6 : width);
}

TBoxAction ButtonAction(TBoxButton button, bool canContinue)
{
    switch (button) {
    case TBoxButton::Send:
        return TBoxAction::Send;
    case TBoxButton::Save:
        return TBoxAction::Save;
    case TBoxButton::Print:
        return TBoxAction::Print;
    case TBoxButton::Show:
        return TBoxAction::ShowDetails;
    case TBoxButton::Continue:
        return canContinue ? TBoxAction::Continue : TBoxAction::Close;
    case TBoxButton::Restart:
        return TBoxAction::Restart;
    case TBoxButton::Close:
        break;
    }
    return TBoxAction::Close;
}

TBoxAction CloseAction(int focusedSetting, TBoxKind kind, const TButtonSet& shown, bool canContinue)
{
    switch (focusedSetting) {
    case static_cast<int>(TBoxButton::Continue):
        return ButtonAction(TBoxButton::Continue, canContinue);
    case static_cast<int>(TBoxButton::Restart):
        return TBoxAction::Restart;
    case static_cast<int>(TBoxButton::Close):
        return TBoxAction::Close;
    default:
        break;
    }
    if (Has(shown, TBoxButton::Continue) && canContinue)
        return TBoxAction::Continue;
    if (Has(shown, TBoxButton::Close))
        return TBoxAction::Close;
    if (Has(shown, TBoxButton::Restart))
        return TBoxAction::Restart;
    // A simple box ends here; a full box that offers none of the three must still end, as
    // the application would otherwise be stuck behind it.
    return !IsSimple(kind) && canContinue ? TBoxAction::Continue : TBoxAction::Close;
}
