// The exception box and the assistant shown for a report of this test process, worked from a
// second thread: keys, buttons, tabs and the countdown, with what the exception was asked to
// do checked afterwards. Each kind leaves a picture under artifacts/.
#include "dialog/box/win/ShowException.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "BoxDriver.h"
#include "dialog/box/win/DialogEnvironment.h"
#include "dialog/box/win/ExceptionAssistant.h"
#include "handlers/HandlerLists.h"
#include "report/win/ModelReportBuilder.h"
#include "settings/win/SharedSettings.h"
#include "settings/win/ZeSettings.h"
#include "threads/ThreadNameBuffer.h"
#include "wizard/win/NVForm.h"

using namespace box_driver;

namespace {

using TStrings = std::vector<std::string>;

__attribute__((noinline)) void CrashSite()
{
    asm volatile("");
}

class ExceptionBoxDisplayTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed);
        ASSERT_TRUE(OpenSettingsBuffer());
    }
    static void TearDownTestSuite()
    {
        CloseSettingsBuffer();
        ThreadNameBuffer().Close();
    }

    void SetUp() override
    {
        ExceptionHooks() = TExceptionHooks{};
        InstallReportBuilder();
        RecordActions(log);
        DialogEnvironment() = TDialogEnvironment{};
        DialogEnvironment().openLink = [this](const wchar_t*) { log.Add("link"); };
        DialogEnvironment().beep = [this](UINT type) { ++(type == MB_ICONHAND ? alarms : otherSounds); };
    }
    void TearDown() override
    {
        ExceptionHooks() = TExceptionHooks{};
        DialogEnvironment() = TDialogEnvironment{};
    }

    TIntfPtr<TIZEException> NewException(bool canContinue)
    {
        TExceptionFacts facts;
        facts.exceptAddress = reinterpret_cast<uintptr_t>(&CrashSite);
        facts.continuePossible = canContinue;
        TIntfPtr<TIZEException> exception = NewZelException(GetModuleSettings(nullptr), facts);
        exception->SetCreateBugReport(true);
        exception->SetExceptMessage(u"Access violation at <address> & more");
        IZEModuleSettings& settings = exception->Settings();
        settings.SetSettingText("Plugins", u"modules");
        settings.SetExceptMsg(u"An error occurred in the application.%LF%%exceptMsg%");
        return exception;
    }

    // Shows the exception on this thread while the driver works it from another.
    // A driver that stops early (a failed assertion) leaves its window up: it is then closed
    // without an action, so that the test fails instead of waiting for ever.
    void ShowDriven(TIntfPtr<TIZEException> exception, const std::function<void()>& driver)
    {
        std::atomic<bool> showing{true};
        std::thread worker([&] {
            try {
                driver();
            } catch (...) {
                ADD_FAILURE() << "the driver failed";
            }
            if (WaitFor([&] { return !showing.load(); }, 10000))
                return;
            ADD_FAILURE() << "the window stayed up after its driver ended";
            while (showing.load()) {
                if (const HWND box = WaitForBox(nullptr, 0))
                    PostMessageW(box, kCloseDialogMessage, 0, 0);
                if (const HWND form = FindWindowW(L"zelNVAssistantWnd", nullptr))
                    PostMessageW(form, WM_CLOSE, 0, 0);
                WaitFor([&] { return !showing.load(); }, 1000);
            }
        });
        ShowException(*exception);
        showing = false;
        worker.join();
    }

    TActionLog log;
    std::atomic<int> alarms{0};
    std::atomic<int> otherSounds{0};
};

TEST_F(ExceptionBoxDisplayTest, FullBoxOffersItsButtonsAndEscapeClosesByTheFocusedButton)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    IZEModuleSettings& settings = exception->Settings();
    settings.SetSaveBtnVis(true);
    settings.SetPrintBtnVis(true);
    settings.SetFocusedBtn(6);
    std::vector<std::wstring> captions;
    std::wstring message;
    std::wstring title;
    bool pictureSaved = false;
    COLORREF bigPicture = 0;
    COLORREF continuePicture = 0;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        captions = ButtonCaptions(box);
        title = TextOf(box);
        if (const std::vector<HWND> statics = Children(box, L"Static"); !statics.empty())
            message = TextOf(statics.front());
        pictureSaved = SavePicture(box, "ExceptionBox-full");
        bigPicture = ClientPixel(box, 26, 15);
        continuePicture = ClientPixel(ButtonCaptioned(box, L"continue application"), 10, 11);
        PostKey(box, VK_ESCAPE);
    });
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"send bug report", L"save bug report", L"print bug report",
                                                   L"show bug report", L"continue application",
                                                   L"restart application", L"close application"}));
    EXPECT_EQ(message, L"An error occurred in the application.\r\nAccess violation at <address> & more");
    EXPECT_NE(title.find(L".exe"), std::wstring::npos) << "the title bar names the application";
    EXPECT_TRUE(pictureSaved);
    EXPECT_TRUE(GetRValue(bigPicture) > 180 && GetGValue(bigPicture) < 100) << std::hex << bigPicture;
    EXPECT_TRUE(GetGValue(continuePicture) > 120 && GetRValue(continuePicture) < 100) << std::hex << continuePicture;
    EXPECT_EQ(log.Entries(), (TStrings{"action 13", "close"}));
}

TEST_F(ExceptionBoxDisplayTest, EscapeContinuesWhenItCanElseClosesBeforeRestarting)
{
    for (const bool canContinue : {true, false}) {
        log.Clear();
        const TIntfPtr<TIZEException> exception = NewException(canContinue);
        exception->Settings().SetFocusedBtn(2);
        ShowDriven(exception, [&] {
            const HWND box = WaitForBox();
            ASSERT_NE(box, nullptr);
            PostKey(box, VK_ESCAPE);
        });
        if (canContinue)
            EXPECT_EQ(log.Entries(), (TStrings{"action 11"}));
        else
            EXPECT_EQ(log.Entries(), (TStrings{"action 13", "close"}));
    }
}

TEST_F(ExceptionBoxDisplayTest, ButtonsKeysLinkAndMainThreadMessagesWhileTheBoxRuns)
{
    const TIntfPtr<TIZEException> exception = NewException(false);
    IZEModuleSettings& settings = exception->Settings();
    settings.SetSaveBtnVis(true);
    settings.SetPrintBtnVis(true);
    std::wstring copied;
    bool stillShown = false;
    DialogEnvironment().mainThreadId = GetCurrentThreadId();
    DialogEnvironment().synchronize = [this](const MSG& message) {
        if (message.message == WM_APP + 7 && message.wParam == 42)
            log.Add("synchronize");
    };
    const DWORD boxThread = GetCurrentThreadId();
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        for (const wchar_t* caption : {L"send bug report", L"save bug report", L"print bug report"}) {
            const size_t before = log.Entries().size();
            Press(ButtonCaptioned(box, caption));
            WaitFor([&] { return log.Entries().size() >= before + 3; }, 5000);
        }
        stillShown = IsWindowVisible(box) != FALSE;
        PostKey(box, VK_F1);
        WaitFor([&] { return log.Count("action 10") == 1; }, 3000);
        PutClipboardText(L"before");
        ASSERT_TRUE(FocusOn(box));
        Chord({VK_CONTROL, 'C'});
        WaitFor([&] { return ClipboardText() != L"before"; }, 3000);
        copied = ClipboardText();
        PostThreadMessageW(boxThread, WM_APP + 7, 42, 0);
        WaitFor([&] { return log.Count("synchronize") == 1; }, 3000);
        // The link sits below the message.
        RECT message{};
        GetWindowRect(Children(box, L"Static").front(), &message);
        POINT link{message.left + 5, message.bottom + 14};
        ScreenToClient(box, &link);
        PostMessageW(box, WM_MOUSEMOVE, 0, MAKELPARAM(link.x, link.y));
        PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.x, link.y));
        WaitFor([&] { return log.Count("link") == 1; }, 3000);
        Press(ButtonCaptioned(box, L"continue application"));
    });
    EXPECT_TRUE(stillShown) << "send, save and print leave the box open";
    EXPECT_EQ(copied, L"Access violation at <address> & more") << "without the report shown: the message only";
    EXPECT_EQ(log.Entries(), (TStrings{"action 0", "send", "action 6", "action 1", "save", "action 7", "action 2",
                                       "print", "action 8", "action 10", "synchronize", "link", "action 13", "close"}))
        << "continue of an exception that cannot continue closes";
}

TEST_F(ExceptionBoxDisplayTest, DetailsOfTheSimpleBoxReopenTheFullBoxWithTheReport)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    IZEModuleSettings& settings = exception->Settings();
    exception->SetShowSetting(2);
    settings.SetAutoContinue(true);
    settings.SetAutoRestart(7);
    settings.SetAutoClose(9);
    std::vector<std::wstring> simpleCaptions;
    std::vector<std::wstring> fullCaptions;
    int alarmsOfSimple = -1;
    int alarmsOfBoth = -1;
    int tabs = 0;
    int selectedTab = -1;
    std::wstring copied;
    ShowDriven(exception, [&] {
        const HWND simple = WaitForBox();
        ASSERT_NE(simple, nullptr);
        alarmsOfSimple = alarms;
        simpleCaptions = ButtonCaptions(simple);
        EXPECT_EQ(FindDescendant(simple, WC_TABCONTROLW), nullptr);
        SavePicture(simple, "ExceptionBox-simple-details");
        Press(ButtonCaptioned(simple, L"&Details"));
        const HWND full = WaitForBox(simple);
        ASSERT_NE(full, nullptr);
        alarmsOfBoth = alarms;
        fullCaptions = ButtonCaptions(full);
        const HWND tabControl = FindDescendant(full, WC_TABCONTROLW);
        ASSERT_NE(tabControl, nullptr);
        exception->GetBugReport();
        WaitFor([&] { return SendMessageW(tabControl, TCM_GETITEMCOUNT, 0, 0) >= 3; }, 5000);
        tabs = static_cast<int>(SendMessageW(tabControl, TCM_GETITEMCOUNT, 0, 0));
        SavePicture(full, "ExceptionBox-report");
        RECT tab{};
        SendMessageW(tabControl, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
        const LPARAM centre = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
        PostMessageW(tabControl, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        PostMessageW(tabControl, WM_LBUTTONUP, 0, centre);
        WaitFor([&] { return SendMessageW(tabControl, TCM_GETCURSEL, 0, 0) == 1; }, 3000);
        selectedTab = static_cast<int>(SendMessageW(tabControl, TCM_GETCURSEL, 0, 0));
        SavePicture(full, "ExceptionBox-report-call-stacks");
        PutClipboardText(L"before");
        ASSERT_TRUE(FocusOn(full));
        Chord({VK_CONTROL, 'C'});
        WaitFor([&] { return ClipboardText() != L"before"; }, 3000);
        copied = ClipboardText();
        Press(ButtonCaptioned(full, L"continue application"));
    });
    EXPECT_EQ(simpleCaptions, (std::vector<std::wstring>{L"&Details", L"&OK"}));
    EXPECT_EQ(fullCaptions, (std::vector<std::wstring>{L"send bug report", L"continue application",
                                                       L"restart application", L"close application"}))
        << "the reopened box shows the report instead of its show button";
    EXPECT_GE(tabs, 3);
    EXPECT_EQ(selectedTab, 1);
    const UnicodeString report = exception->GetBugReport();
    EXPECT_EQ(copied, std::wstring(report.begin(), report.end())) << "with the report shown: the report";
    EXPECT_TRUE(settings.AutoShowBugRep());
    EXPECT_FALSE(settings.AutoContinue());
    EXPECT_EQ(settings.AutoRestart(), 0);
    EXPECT_EQ(settings.AutoClose(), 0);
    EXPECT_EQ(log.Entries(), (TStrings{"action 9", "action 11"}));
    EXPECT_EQ(alarmsOfSimple, 1) << "the first box sounds the alarm as it is shown";
    EXPECT_EQ(alarmsOfBoth, 1) << "the reopened box is silent";
    EXPECT_EQ(alarms, 1);
    EXPECT_EQ(otherSounds, 0);
}

// The face colour at the right end of a button, where neither its picture, its text nor its
// focus mark is drawn.
COLORREF ButtonFace(HWND button)
{
    RECT client{};
    GetClientRect(button, &client);
    return ClientPixel(button, client.right - 2, client.bottom / 2);
}

// Every colour the button's face shows until it shows the goal; empty when it never does.
std::vector<COLORREF> FadeColours(HWND button, COLORREF goal)
{
    std::vector<COLORREF> seen;
    const bool reached = WaitFor(
        [&] {
            const COLORREF colour = ButtonFace(button);
            if (seen.empty() || seen.back() != colour)
                seen.push_back(colour);
            return colour == goal;
        },
        5000);
    return reached ? seen : std::vector<COLORREF>{};
}

TEST_F(ExceptionBoxDisplayTest, ButtonsFadeToTheirHotFaceUnderTheMouseAndBackWhenItLeaves)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    exception->Settings().SetFocusedBtn(4);
    const COLORREF face = GetSysColor(COLOR_BTNFACE), hot = GetSysColor(COLOR_WINDOW);
    ASSERT_NE(face, hot);
    COLORREF before = 0;
    std::vector<COLORREF> towardsHot, towardsFace;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        const HWND button = ButtonCaptioned(box, L"send bug report");
        ASSERT_NE(button, nullptr);
        SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        WaitFor([&] { return ButtonFace(button) == face; }, 3000);
        before = ButtonFace(button);
        RECT area{};
        GetWindowRect(button, &area);
        SetCursorPos(area.right - 4, (area.top + area.bottom) / 2);
        PostMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(area.right - area.left - 4, (area.bottom - area.top) / 2));
        towardsHot = FadeColours(button, hot);
        SetCursorPos(area.left - 40, area.top - 40);
        PostMessageW(button, WM_MOUSELEAVE, 0, 0);
        towardsFace = FadeColours(button, face);
        PostKey(box, VK_ESCAPE);
    });
    EXPECT_EQ(before, face);
    ASSERT_FALSE(towardsHot.empty()) << "the face never turned to the hot colour";
    ASSERT_FALSE(towardsFace.empty()) << "the face never turned back";
    // A fade passes through colours between the two faces, each channel moving one way.
    auto between = [&](COLORREF colour) {
        const auto inside = [](int value, int a, int b) { return value > std::min(a, b) && value < std::max(a, b); };
        return colour != face && colour != hot &&
               (inside(GetRValue(colour), GetRValue(face), GetRValue(hot)) ||
                inside(GetGValue(colour), GetGValue(face), GetGValue(hot)) ||
                inside(GetBValue(colour), GetBValue(face), GetBValue(hot)));
    };
    EXPECT_TRUE(std::any_of(towardsHot.begin(), towardsHot.end(), between)) << towardsHot.size();
    EXPECT_TRUE(std::any_of(towardsFace.begin(), towardsFace.end(), between)) << towardsFace.size();
    EXPECT_EQ(log.Entries(), (TStrings{"action 11"}));
}

// The distinct faces darker than the normal one that the button shows until the log holds
// the entry.
std::vector<COLORREF> PressedFaces(HWND button, const TActionLog& log, const std::string& entry)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    std::vector<COLORREF> seen;
    const DWORD start = GetTickCount();
    while (log.Count(entry) == 0 && GetTickCount() - start < 5000) {
        const COLORREF colour = ButtonFace(button);
        if (GetRValue(colour) + GetGValue(colour) + GetBValue(colour) < GetRValue(face) + GetGValue(face) + GetBValue(face) &&
            std::find(seen.begin(), seen.end(), colour) == seen.end())
            seen.push_back(colour);
        Sleep(1);
    }
    return seen;
}

TEST_F(ExceptionBoxDisplayTest, APressFadesTheFaceInAndOutUnlessTheLastFadeJustEnded)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    IZEModuleSettings& settings = exception->Settings();
    settings.SetSaveBtnVis(true);
    settings.SetFocusedBtn(4);
    std::vector<COLORREF> firstPress, quickSecondPress;
    COLORREF after = 0;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        const HWND send = ButtonCaptioned(box, L"send bug report");
        const HWND save = ButtonCaptioned(box, L"save bug report");
        ASSERT_TRUE(send && save);
        Press(send);
        firstPress = PressedFaces(send, log, "send");
        Press(save);
        quickSecondPress = PressedFaces(save, log, "save");
        WaitFor([&] { return ButtonFace(send) == GetSysColor(COLOR_BTNFACE); }, 3000);
        after = ButtonFace(send);
        Press(ButtonCaptioned(box, L"continue application"));
    });
    EXPECT_GE(firstPress.size(), 2u) << "the face passes through several pressed shades";
    EXPECT_LE(quickSecondPress.size(), 1u) << "a press within 200 ms of the last fade acts at once";
    EXPECT_EQ(after, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(log.Count("send"), 1);
    EXPECT_EQ(log.Count("save"), 1);
}

TEST_F(ExceptionBoxDisplayTest, OkOnlyBoxClosesAnExceptionThatCannotContinue)
{
    const TIntfPtr<TIZEException> exception = NewException(false);
    exception->SetShowSetting(3);
    DialogEnvironment().detailsHotKey = 'D';
    std::vector<std::wstring> captions;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        captions = ButtonCaptions(box);
        SavePicture(box, "ExceptionBox-simple-ok");
        ASSERT_TRUE(FocusOn(box));
        Chord({VK_CONTROL, VK_MENU, 'D'});
        Sleep(200);
        Press(ButtonCaptioned(box, L"&OK"));
    });
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"&OK"}));
    EXPECT_EQ(log.Entries(), (TStrings{"action 13", "close"})) << "the hot key asks nothing of an OK-only box";
}

TEST_F(ExceptionBoxDisplayTest, HotKeyAsksForTheReportAndTheViewsFollowItsChanges)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    DialogEnvironment().detailsHotKey = 'D';
    bool reopenedWithReport = false;
    std::vector<std::wstring> tabsAfterChange;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(FocusOn(box));
        Chord({VK_CONTROL, VK_MENU, 'D'});
        const HWND full = WaitForBox(box);
        ASSERT_NE(full, nullptr);
        const HWND tabControl = FindDescendant(full, WC_TABCONTROLW);
        reopenedWithReport = tabControl != nullptr;
        if (tabControl) {
            // A changed report reaches the views through the box's report callback.
            exception->GetBugReport();
            exception->SetBugReport(u"date/time : today\r\n\r\nnotes:\r\nfirst\r\n");
            WaitFor([&] {
                const std::vector<std::wstring> tabs = TabCaptions(tabControl);
                return !tabs.empty() && tabs.back() == L"notes";
            }, 5000);
            tabsAfterChange = TabCaptions(tabControl);
        }
        PostMessageW(full, WM_NULL, 777, 777);
    });
    EXPECT_TRUE(reopenedWithReport);
    ASSERT_FALSE(tabsAfterChange.empty());
    EXPECT_EQ(tabsAfterChange.front(), L"general");
    EXPECT_EQ(tabsAfterChange.back(), L"notes") << "the new report's own section";
    EXPECT_EQ(std::count(tabsAfterChange.begin(), tabsAfterChange.end(), L"disasm"), 0) << "the old report's is gone";
    EXPECT_EQ(log.Entries(), (TStrings{"action 9"})) << "the close request of the handling thread acts on nothing";
}

TEST_F(ExceptionBoxDisplayTest, CountdownPressesTheAutomaticButtonAfterTheDelay)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    IZEModuleSettings& settings = exception->Settings();
    settings.SetAutoClose(1);
    settings.SetAutoDelay(1);
    DWORD shownAt = 0;
    DWORD closedAt = 0;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        shownAt = GetTickCount();
        Sleep(450);
        SavePicture(box, "ExceptionBox-countdown");
        // The close itself may wait for the display (Wine without a window manager).
        WaitFor([&] { return log.Count("action 13") == 1; }, 5000);
        closedAt = GetTickCount();
    });
    EXPECT_EQ(log.Entries(), (TStrings{"action 13", "close"}));
    EXPECT_EQ(settings.FocusedBtn(), 6) << "the due close takes the focus";
    EXPECT_GE(closedAt - shownAt, 700u);
    EXPECT_LE(closedAt - shownAt, 2500u);
}

TEST_F(ExceptionBoxDisplayTest, CountdownStopsAtAPressAndNeverRunsWithoutDelay)
{
    for (const int delay : {1, 0}) {
        log.Clear();
        const TIntfPtr<TIZEException> exception = NewException(true);
        IZEModuleSettings& settings = exception->Settings();
        settings.SetAutoClose(1);
        settings.SetAutoDelay(delay);
        ShowDriven(exception, [&] {
            const HWND box = WaitForBox();
            ASSERT_NE(box, nullptr);
            if (delay) {
                Sleep(200);
                Press(ButtonCaptioned(box, L"send bug report"));
            }
            Sleep(1600);
            PostMessageW(box, WM_NULL, 777, 777);
        });
        if (delay)
            EXPECT_EQ(log.Entries(), (TStrings{"action 0", "send", "action 6"})) << "the press stopped it";
        else
            EXPECT_TRUE(log.Entries().empty()) << "no delay, no automatic press";
    }
}

TEST_F(ExceptionBoxDisplayTest, PlainButtonsCountDownToTheRestart)
{
    const TIntfPtr<TIZEException> exception = NewException(false);
    IZEModuleSettings& settings = exception->Settings();
    settings.SetUglyBtns(true);
    settings.SetAutoRestart(1);
    settings.SetAutoDelay(1);
    std::vector<std::wstring> captions;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        captions = ButtonCaptions(box);
        Sleep(450);
        SavePicture(box, "ExceptionBox-plain-countdown");
        WaitFor([&] { return log.Count("restart") == 1; }, 5000);
    });
    EXPECT_EQ(captions.size(), 5u);
    EXPECT_EQ(log.Entries(), (TStrings{"action 12", "restart"}));
}

TEST_F(ExceptionBoxDisplayTest, AssistantTakesTheDetailsIntoTheReport)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    IZEModuleSettings& settings = exception->Settings();
    ASSERT_TRUE(settings.SetSettingText("Assistant1", u"Plain|Error report|ContactForm"));
    ASSERT_TRUE(settings.SetSettingText("Assistant2", u"Details|Error report|DetailsForm"));
    exception->SetShowSetting(1);
    exception->SetAssistant(u"Details");
    ASSERT_TRUE(settings.SetSettingText("AddFields", u"Error Details=what the field held"));
    bool pictureSaved = false;
    std::wstring offered;
    ShowDriven(exception, [&] {
        HWND form = nullptr;
        WaitFor([&] { return (form = FindWindowW(L"zelNVAssistantWnd", nullptr)) && IsWindowVisible(form); });
        ASSERT_NE(form, nullptr);
        const HWND edit = FindDescendant(form, L"Edit");
        ASSERT_NE(edit, nullptr);
        offered = TextOf(edit);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"I pressed the red button.\r\nThen it broke."));
        pictureSaved = SavePicture(form, "ExceptionAssistant-details");
        for (const HWND button : Children(form, L"Button"))
            if (TextOf(button) != L"Skip" && TextOf(button) != L"Cancel") {
                Press(button);
                break;
            }
    });
    EXPECT_TRUE(pictureSaved);
    EXPECT_EQ(offered, L"what the field held") << "the form starts with the field's value";
    EXPECT_EQ(exception->GetBugReportSections()->Value(u"Error Details"), u"I pressed the red button.\r\nThen it broke.");
    EXPECT_TRUE(log.Entries().empty()) << "an assistant starts no action";
}

// The assistants that the send, save and print settings name: finished, the report takes their
// output fields; any other end declines the action; what was gone through becomes the additional
// fields. An action whose setting names none has no assistant.
TEST_F(ExceptionBoxDisplayTest, ActionAssistantsFillTheReportAndTheAdditionalFields)
{
    SetWizardFormHandlers(nullptr, nullptr);
    const struct {
        uint8_t action;
        const char16_t* named;
        const wchar_t* press; // null: no form shows
        TAssistantOutcome outcome;
        const char16_t* fields;
        const char16_t* contactName;
    } cases[] = {
        {HandlerAction::Send, u"Contact", L"Next >", TAssistantOutcome::Accepted,
         u"NameEdit=Jo|EmailEdit=jo@x.org|MemCheck=-", u"Jo"},
        {HandlerAction::Save, u"Contact", L"Cancel", TAssistantOutcome::Declined, u"", u""},
        {HandlerAction::Print, u"", nullptr, TAssistantOutcome::None, u"", u""},
    };
    for (const auto& row : cases) {
        const TIntfPtr<TIZEException> exception = NewException(true);
        IZEModuleSettings& settings = exception->Settings();
        ASSERT_TRUE(settings.SetSettingText("Assistant1", u"Contact|Contact details|ContactForm"));
        settings.SetSendAssis(row.named);
        settings.SetSaveAssis(row.named);
        settings.SetPrintAssis(row.named);
        std::thread driver([&] {
            HWND form = nullptr;
            if (!row.press ||
                !WaitFor([&] { return (form = FindWindowW(L"zelNVAssistantWnd", nullptr)) && IsWindowVisible(form); }))
                return;
            const std::vector<HWND> edits = Children(form, L"Edit");
            if (edits.size() == 2) {
                SendMessageW(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Jo"));
                SendMessageW(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"jo@x.org"));
            }
            const HWND button = ButtonCaptioned(form, row.press);
            WaitFor([&] { return IsWindowEnabled(button) != FALSE; });
            Press(button);
        });
        const TAssistantOutcome outcome = RunActionAssistant(*exception, row.action, nullptr);
        driver.join();
        EXPECT_EQ(outcome, row.outcome) << "action " << int{row.action};
        EXPECT_EQ(settings.GetSettingText("AddFields"), row.fields) << "action " << int{row.action};
        EXPECT_EQ(exception->GetBugReportHeader()->Value(u"Contact Name"), row.contactName)
            << "action " << int{row.action};
    }
}

TEST_F(ExceptionBoxDisplayTest, MissingAssistantFallsBackToTheFullBox)
{
    const TIntfPtr<TIZEException> exception = NewException(true);
    exception->SetShowSetting(1);
    exception->SetAssistant(u"NoSuchAssistant");
    std::vector<std::wstring> captions;
    ShowDriven(exception, [&] {
        const HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        captions = ButtonCaptions(box);
        PostMessageW(box, kCloseDialogMessage, 0, 0);
    });
    EXPECT_EQ(captions.size(), 5u);
    EXPECT_TRUE(log.Entries().empty());
}

} // namespace
