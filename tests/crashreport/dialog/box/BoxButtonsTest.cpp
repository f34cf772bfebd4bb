#include "dialog/box/BoxButtons.h"

#include <gtest/gtest.h>

namespace {

TButtonSet Buttons(std::initializer_list<TBoxButton> buttons)
{
    TButtonSet set{};
    for (const TBoxButton button : buttons)
        set[static_cast<size_t>(button)] = true;
    return set;
}

const TButtonSet kAll = Buttons({TBoxButton::Send, TBoxButton::Save, TBoxButton::Print, TBoxButton::Show,
                                 TBoxButton::Continue, TBoxButton::Restart, TBoxButton::Close});

TEST(BoxButtonsTest, SimpleBoxesOfferOkAndDetailsWhateverTheSettings)
{
    const TButtonSet none{};
    EXPECT_EQ(VisibleButtons(TBoxKind::Full, Buttons({TBoxButton::Send, TBoxButton::Close})),
              Buttons({TBoxButton::Send, TBoxButton::Close}));
    EXPECT_EQ(VisibleButtons(TBoxKind::SimpleWithDetails, none), Buttons({TBoxButton::Show, TBoxButton::Continue}));
    EXPECT_EQ(VisibleButtons(TBoxKind::Simple, kAll), Buttons({TBoxButton::Continue}));
    EXPECT_EQ(CaptionSetting(TBoxKind::Simple, TBoxButton::Continue), "OkBtnTxt");
    EXPECT_EQ(CaptionSetting(TBoxKind::SimpleWithDetails, TBoxButton::Show), "DetailsBtnTxt");
    EXPECT_EQ(CaptionSetting(TBoxKind::Full, TBoxButton::Show), "ShowBtnTxt");
    EXPECT_EQ(PictureName(TBoxButton::Continue, false), "cantContinue");
    EXPECT_EQ(PictureName(TBoxButton::Continue, true), "continue");
}

TEST(BoxButtonsTest, AutomaticActionsChooseFocusAndCountdownInTheirOrder)
{
    const TAutoActions everything{true, true, true, true};
    EXPECT_EQ(AutomaticFocus(everything, kAll), TBoxButton::Close);
    EXPECT_EQ(AutomaticFocus(everything, Buttons({TBoxButton::Restart, TBoxButton::Continue})), TBoxButton::Restart);
    EXPECT_EQ(AutomaticFocus(everything, Buttons({TBoxButton::Continue})), TBoxButton::Continue);
    EXPECT_EQ(AutomaticFocus({true, true, true, false}, Buttons({TBoxButton::Continue})), std::nullopt)
        << "no automatic continue of an exception that cannot continue";
    EXPECT_EQ(AutomaticFocus({false, false, false, true}, kAll), std::nullopt);

    EXPECT_EQ(CountdownButton(TBoxKind::Full, {false, true, false, true}, kAll), TBoxButton::Restart);
    EXPECT_EQ(CountdownButton(TBoxKind::Full, {true, false, false, true}, Buttons({TBoxButton::Continue})),
              std::nullopt);
    EXPECT_EQ(CountdownButton(TBoxKind::SimpleWithDetails, everything, kAll), std::nullopt) << "full box only";
}

TEST(BoxButtonsTest, CountdownBarRunsAcrossTheButtonInTheDelay)
{
    // Owner-drawn: 0 to the width, rounded; the press comes once the bar passes the width.
    EXPECT_EQ(CountdownPosition(0, 120, 5, false), 0);
    EXPECT_EQ(CountdownPosition(2500, 120, 5, false), 60);
    EXPECT_EQ(CountdownPosition(5000, 120, 5, false), 120);
    EXPECT_FALSE(CountdownEnded(120, 120, false));
    EXPECT_EQ(CountdownPosition(5021, 120, 5, false), 121);
    EXPECT_TRUE(CountdownEnded(121, 120, false));
    // Plain buttons keep 5 pixels each side.
    EXPECT_EQ(CountdownPosition(0, 120, 5, true), 5);
    EXPECT_EQ(CountdownPosition(5000, 120, 5, true), 114);
    EXPECT_FALSE(CountdownEnded(114, 120, true));
    EXPECT_TRUE(CountdownEnded(115, 120, true));
    // Long delays and long runs do not overflow.
    EXPECT_EQ(CountdownPosition(3'000'000'000u, 2000, 86400, false), 69444);
}

TEST(BoxButtonsTest, PressesMapToActions)
{
    EXPECT_EQ(ButtonAction(TBoxButton::Send, true), TBoxAction::Send);
    EXPECT_EQ(ButtonAction(TBoxButton::Save, true), TBoxAction::Save);
    EXPECT_EQ(ButtonAction(TBoxButton::Print, true), TBoxAction::Print);
    EXPECT_EQ(ButtonAction(TBoxButton::Show, true), TBoxAction::ShowDetails);
    EXPECT_EQ(ButtonAction(TBoxButton::Continue, true), TBoxAction::Continue);
    EXPECT_EQ(ButtonAction(TBoxButton::Continue, false), TBoxAction::Close);
    EXPECT_EQ(ButtonAction(TBoxButton::Restart, false), TBoxAction::Restart);
    EXPECT_EQ(ButtonAction(TBoxButton::Close, true), TBoxAction::Close);
}

TEST(BoxButtonsTest, ClosingFollowsTheFocusedSettingThenTheOfferedButtons)
{
    EXPECT_EQ(CloseAction(6, TBoxKind::Full, kAll, true), TBoxAction::Close);
    EXPECT_EQ(CloseAction(5, TBoxKind::Full, kAll, true), TBoxAction::Restart);
    EXPECT_EQ(CloseAction(4, TBoxKind::Full, kAll, false), TBoxAction::Close) << "continue of a lost cause closes";
    for (int focused = 0; focused <= 3; ++focused)
        EXPECT_EQ(CloseAction(focused, TBoxKind::Full, kAll, true), TBoxAction::Continue) << focused;
    EXPECT_EQ(CloseAction(0, TBoxKind::Full, kAll, false), TBoxAction::Close);
    EXPECT_EQ(CloseAction(0, TBoxKind::Full, Buttons({TBoxButton::Send, TBoxButton::Restart}), false),
              TBoxAction::Restart);
    EXPECT_EQ(CloseAction(0, TBoxKind::Simple, Buttons({TBoxButton::Continue}), false), TBoxAction::Close);
    EXPECT_EQ(CloseAction(0, TBoxKind::Simple, Buttons({TBoxButton::Continue}), true), TBoxAction::Continue);
    // A full box offering none of the three still lets the person out.
    EXPECT_EQ(CloseAction(0, TBoxKind::Full, Buttons({TBoxButton::Send}), true), TBoxAction::Continue);
    EXPECT_EQ(CloseAction(0, TBoxKind::Full, Buttons({TBoxButton::Send}), false), TBoxAction::Close);
}

} // namespace
