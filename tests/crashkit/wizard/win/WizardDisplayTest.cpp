// The wizard's forms shown for real and worked from a second thread: the library's own forms
// loaded from this program's resources, and forms built here for the edge cases. Each of the
// library's forms leaves a picture of itself under artifacts/.
#include "wizard/win/NVAssistant.h"

#include "../../../conduvex/dialogs/DialogDriver.h"
#include "FormDriver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace form_driver;

namespace {

struct TActionRecord {
    UnicodeString form;
    TNVAction action;
    UnicodeString item; // empty without an item
};

// What the callbacks saw, on the thread that shows the forms.
struct TActionLog {
    std::vector<TActionRecord> records;
    int ownerCalls = 0;
    bool skipOnShow = false;
    bool windowVisibleOnShow = false;

    int Count(TNVAction action, std::u16string_view item) const
    {
        int count = 0;
        for (const TActionRecord& record : records)
            count += record.action == action && record.item == item;
        return count;
    }
};

void LogAction(TNVForm& form, TNVAction action, TNVItem* item, void* userValue)
{
    auto& log = *static_cast<TActionLog*>(userValue);
    log.records.push_back({form.Name(), action, item ? item->Name() : UnicodeString()});
    if (action == TNVAction::Show) {
        log.windowVisibleOnShow = form.Handle() && IsWindowVisible(form.Handle());
        if (log.skipOnShow)
            form.SkipForm();
    }
}

void CountOwnerCall(TNVForm&, TNVAction, TNVItem*, void* userValue)
{
    ++static_cast<TActionLog*>(userValue)->ownerCalls;
}

TActionLog* contactLog = nullptr;

int hookCalls = 0;
HWND hookWindow = nullptr;
void CountException(HWND window) noexcept
{
    hookWindow = window;
    try {
        throw;
    } catch (const std::runtime_error&) {
        ++hookCalls;
    } catch (...) {
    }
}

void ThrowOnChange(TNVForm&, TNVAction action, TNVItem* item, void*)
{
    if (action == TNVAction::Change && item)
        throw std::runtime_error("from the form's callback");
}

void ContactHandler(TNVForm& form, TNVAction action, TNVItem* item, void*)
{
    if (contactLog)
        LogAction(form, action, item, contactLog);
}

class TFormBuilder {
public:
    explicit TFormBuilder(std::string_view name) { Raw("TPF0").Short("TNVForm").Short(name); }
    TFormBuilder& Raw(std::string_view bytes)
    {
        data.append(bytes);
        return *this;
    }
    TFormBuilder& Byte(uint8_t value)
    {
        data.push_back(static_cast<char>(value));
        return *this;
    }
    TFormBuilder& Short(std::string_view text) { return Byte(static_cast<uint8_t>(text.size())).Raw(text); }
    TFormBuilder& Text(std::string_view name, std::string_view value) { return Short(name).Byte(6).Short(value); }
    TFormBuilder& Flag(std::string_view name, bool value) { return Short(name).Byte(value ? 9 : 8); }
    TFormBuilder& Int(std::string_view name, int16_t value)
    {
        return Short(name).Byte(3).Byte(static_cast<uint8_t>(value & 0xFF)).Byte(static_cast<uint8_t>(value >> 8));
    }
    TFormBuilder& Item(std::string_view className, std::string_view name) { return Short(className).Short(name); }
    TFormBuilder& End() { return Byte(0); }

    std::string data;
};

BOOL CALLBACK FindErrorText(HWND child, LPARAM text)
{
    const std::wstring childText = dialog_driver::WindowText(child);
    if (childText.find(L"Internal error") != std::wstring::npos)
        *reinterpret_cast<std::wstring*>(text) = childText;
    return TRUE;
}

RECT WindowRectIn(HWND parent, HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT ClientRect(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

std::unique_ptr<TNVAssistant> LoadLibraryForms(const std::vector<UnicodeString>& names)
{
    return LoadAssistant(GetModuleHandleW(nullptr), u"Test Assistant", names);
}

class WizardDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { SetWizardFormHandlers(&ContactHandler, nullptr); }
    void TearDown() override
    {
        SetWizardFormHandlers(nullptr, nullptr);
        contactLog = nullptr;
    }
};

TEST_F(WizardDisplayTest, ContactFormIsFilledCheckedAndContinued)
{
    auto assistant = LoadLibraryForms({u"ContactForm"});
    TNVForm& form = *assistant->Form(0);
    ASSERT_EQ(8, form.ItemCount()) << "three buttons and five items";
    TActionLog log;
    contactLog = &log;
    auto* name = form.Find<TNVEdit>(u"NameEdit");
    auto* email = form.Find<TNVEdit>(u"EmailEdit");
    auto* remember = form.Find<TNVCheckBox>(u"MemCheck");
    ASSERT_TRUE(name && email && remember);
    EXPECT_EQ(nullptr, form.Find<TNVCheckBox>(u"NameEdit")) << "the name with the wrong class";

    bool continueDisabledWhileEmpty = false;
    bool continueDisabledWithNameOnly = false;
    bool continueEnabledWithAddress = false;
    bool nameFocusedFirst = false;
    bool pictureSaved = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        nameFocusedFirst = WaitForFocus(threadId, name->Handle());
        const HWND next = form.ContinueButton().Handle();
        continueDisabledWhileEmpty = !IsWindowEnabled(next);
        Type(name->Handle(), L"Jo Tester");
        WaitForText(name->Handle(), L"Jo Tester");
        Settle(window);
        continueDisabledWithNameOnly = !IsWindowEnabled(next);
        Type(email->Handle(), L"j"); // one typed character is enough
        WaitForText(email->Handle(), L"j");
        Settle(window);
        continueEnabledWithAddress = IsWindowEnabled(next) != FALSE;
        SendMessageW(email->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"jo@example.org"));
        Settle(window);
        SendMessageW(remember->Handle(), BM_CLICK, 0, 0);
        Settle(window);
        pictureSaved = dialog_driver::SaveScreenshot(window, "ContactForm");
        SendMessageW(next, BM_CLICK, 0, 0);
        WaitUntilGone(window);
    });
    const TNVModalResult result = assistant->ShowModal(nullptr);
    driver.Join();

    EXPECT_EQ(TNVModalResult::Continue, result);
    EXPECT_EQ(TNVModalResult::Continue, form.ModalResult());
    EXPECT_TRUE(nameFocusedFirst) << "ActiveControl";
    EXPECT_TRUE(continueDisabledWhileEmpty);
    EXPECT_TRUE(continueDisabledWithNameOnly) << "the address is not optional";
    EXPECT_TRUE(continueEnabledWithAddress);
    EXPECT_TRUE(pictureSaved);
    EXPECT_EQ(u"Jo Tester", name->Text()) << "typed characters reach the edit and are read back";
    EXPECT_EQ(u"jo@example.org", email->Text());
    EXPECT_TRUE(remember->Checked());
    ASSERT_FALSE(log.records.empty()) << "OnAction selected the installed contact-form routine";
    EXPECT_EQ(TNVAction::Show, log.records.front().action);
    EXPECT_EQ(u"ContactForm", log.records.front().form);
    EXPECT_GE(log.Count(TNVAction::Change, u"NameEdit"), 9) << "one change per typed character";
    EXPECT_EQ(1, log.Count(TNVAction::Change, u"MemCheck"));
    EXPECT_EQ(1, log.Count(TNVAction::Change, u"ContinueBtn"));
    EXPECT_EQ(0, log.Count(TNVAction::Close, u"")) << "continue does not go through WM_CLOSE";
}

// Layout rules on the shown contact form (fonts differ, so no pixel widths).
TEST_F(WizardDisplayTest, ContactFormFollowsTheLayoutRules)
{
    auto assistant = LoadLibraryForms({u"ContactForm"});
    TNVForm& form = *assistant->Form(0);
    struct TSeen {
        RECT client{};
        RECT items[8]{};
        RECT windows[8]{};
        bool ok = false;
    } seen;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        seen.client = ClientRect(window);
        for (int i = 0; i < form.ItemCount(); ++i) {
            seen.items[i] = form.Item(i)->Rect();
            if (form.Item(i)->Handle())
                seen.windows[i] = WindowRectIn(window, form.Item(i)->Handle());
        }
        seen.ok = true;
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    assistant->ShowModal(nullptr);
    driver.Join();
    ASSERT_TRUE(seen.ok);
    const RECT* r = seen.items;
    const int width = seen.client.right;
    EXPECT_GE(width, 340) << "MinWidth";
    // NameLbl, NameEdit, EmailLbl, EmailEdit, MemCheck at 3..7.
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(r[3].left, r[i].left) << "one column at the left margin";
    EXPECT_EQ(width - 46, r[4].right - r[4].left) << "edit width";
    EXPECT_EQ(width - 46, seen.windows[4].right - seen.windows[4].left) << "the edit window has the item's size";
    EXPECT_EQ(4, r[4].top - r[3].bottom) << "a field caption sits 4 above its field";
    EXPECT_EQ(8, r[5].top - r[4].bottom) << "caption-field pairs follow at 8";
    EXPECT_EQ(4, r[6].top - r[5].bottom);
    EXPECT_EQ(12, r[7].top - r[6].bottom) << "different kinds: 12";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(seen.client.bottom - 9, r[i].bottom) << "bottom buttons sit 9 above the bottom";
        EXPECT_EQ(32, r[i].bottom - r[i].top) << "owner-drawn height";
        EXPECT_GE(r[i].right - r[i].left, 85);
        EXPECT_GT(r[i].top, r[7].bottom) << "below the items";
    }
    EXPECT_LT(r[0].right, r[1].left) << "continue, skip, cancel from left to right";
    EXPECT_LT(r[1].right, r[2].left);
    EXPECT_LE(r[2].right, width);
}

TEST_F(WizardDisplayTest, EscapeCancelsThroughCloseUnlessCancelIsDisabled)
{
    TFormBuilder open("EscForm");
    open.Text("Message", "Escape closes me").End();
    open.Item("TNVEdit", "Field").Flag("Optional", true).End().End().End();
    TFormBuilder locked("LockedForm");
    locked.End().Item("TNVButton", "CancelBtn").Flag("Enabled", false).End().End().End();
    TNVAssistant assistant(u"Escape", {open.data, locked.data});
    TActionLog log;
    assistant.Form(0)->SetOnAction(&LogAction, &log);
    assistant.Form(1)->SetOnAction(&LogAction, &log);

    TNVModalResult first = TNVModalResult::None;
    bool lockedStayed = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        Key(WaitForAnyFocus(threadId), VK_ESCAPE);
        WaitUntilGone(window);
        first = assistant.Form(0)->ModalResult();
    });
    EXPECT_EQ(TNVModalResult::Cancel, assistant.ShowModal(nullptr));
    driver.Join();
    EXPECT_EQ(TNVModalResult::Cancel, first);
    EXPECT_EQ(1, log.Count(TNVAction::Close, u"")) << "Escape becomes WM_CLOSE";
    EXPECT_EQ(TNVModalResult::None, assistant.Form(1)->ModalResult()) << "a cancelled form ends the assistant";

    TNVForm& lockedForm = *assistant.Form(1);
    TFormDriver lockedDriver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        Key(window, VK_ESCAPE);
        Settle(window);
        Sleep(200);
        lockedStayed = IsWindow(window) && IsWindowVisible(window);
        SendMessageW(lockedForm.SkipButton().Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(TNVModalResult::Skip, lockedForm.ShowModal(nullptr));
    lockedDriver.Join();
    EXPECT_TRUE(lockedStayed) << "Escape with a disabled cancel button does nothing";
}

TEST_F(WizardDisplayTest, TabAndReturnMoveTheFocusAlongTheItems)
{
    TFormBuilder b("TabForm");
    b.Text("ActiveControl", "One").End();
    b.Item("TNVEdit", "One").Flag("Optional", true).End().End();
    b.Item("TNVLabel", "Caption").Text("Caption", "Not a stop:").End().End();
    b.Item("TNVEdit", "Off").Flag("Enabled", false).Flag("Optional", true).End().End();
    b.Item("TNVCheckBox", "Box").End().End();
    b.Item("TNVEdit", "Memo").Int("Lines", 3).Flag("Optional", true).End().End();
    b.Item("TNVButton", "SkipBtn").Flag("Visible", false).End().End();
    b.End();
    TNVAssistant assistant(u"Tabs", {b.data});
    TNVForm& form = *assistant.Form(0);
    std::vector<std::u16string> visited;
    bool memoKeptReturn = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        const auto focusedName = [&] {
            for (int i = 0; i < form.ItemCount(); ++i) {
                if (form.Item(i)->Handle() && form.Item(i)->Handle() == FocusOf(threadId))
                    return form.Item(i)->Name();
            }
            return UnicodeString(u"?");
        };
        WaitForFocus(threadId, form.Find<TNVEdit>(u"One")->Handle());
        visited.push_back(focusedName());
        Key(FocusOf(threadId), VK_RETURN); // on a one-line edit: like Tab
        Settle(window);
        visited.push_back(focusedName());
        PostMessageW(FocusOf(threadId), WM_CHAR, 9, 1);
        Settle(window);
        visited.push_back(focusedName());
        Key(FocusOf(threadId), VK_TAB);
        Settle(window);
        visited.push_back(focusedName());
        Key(FocusOf(threadId), VK_TAB);
        Settle(window);
        visited.push_back(focusedName());
        Key(FocusOf(threadId), VK_TAB);
        Settle(window);
        visited.push_back(focusedName());
        // In the multi-line edit Return is a line break, not a move.
        SetForegroundWindow(window);
        Key(form.Find<TNVEdit>(u"Memo")->Handle(), VK_RETURN);
        Settle(window);
        memoKeptReturn = FocusOf(threadId) != form.Find<TNVEdit>(u"Memo")->Handle() ||
                         visited.back() != u"CancelBtn";
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    assistant.ShowModal(nullptr);
    driver.Join();
    const std::vector<std::u16string> expected{u"One", u"Box", u"Memo", u"ContinueBtn", u"CancelBtn", u"One"};
    EXPECT_EQ(expected, visited) << "labels, disabled items and hidden buttons are passed over";
    EXPECT_TRUE(memoKeptReturn);
}

TEST_F(WizardDisplayTest, TimerFiresTheChangeActionWhileShown)
{
    TFormBuilder b("TimerForm");
    b.Int("Timer", 250).End().End();
    TNVAssistant assistant(u"Timer", {b.data});
    TActionLog log;
    assistant.Form(0)->SetOnAction(&LogAction, &log);
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        Sleep(1300);
        SendMessageW(assistant.Form(0)->ContinueButton().Handle(), BM_CLICK, 0, 0);
        WaitUntilGone(window);
        Sleep(600); // no tick after the form has closed
    });
    assistant.ShowModal(nullptr);
    driver.Join();
    const int ticks = log.Count(TNVAction::Change, u"");
    EXPECT_GE(ticks, 3) << "about one every 250 ms";
    EXPECT_LE(ticks, 6);
    EXPECT_EQ(250, assistant.Form(0)->Timer());
}

TEST_F(WizardDisplayTest, SkipFlagSetWhenShowingReturnsSkipWithoutAWindow)
{
    auto assistant = LoadLibraryForms({u"DetailsForm"});
    TActionLog log;
    log.skipOnShow = true;
    assistant->SetOnAction(&LogAction, &log);
    EXPECT_EQ(TNVModalResult::Skip, assistant->Form(0)->ShowModal(nullptr));
    ASSERT_EQ(1u, log.records.size());
    EXPECT_EQ(TNVAction::Show, log.records[0].action);
    EXPECT_FALSE(log.windowVisibleOnShow);
    EXPECT_EQ(nullptr, assistant->Form(0)->Handle());
}

TEST_F(WizardDisplayTest, AbortBtnConfiguresTheCancelButtonAndBottomButtonsFollowTheirProperties)
{
    TFormBuilder b("Buttons");
    b.End();
    b.Item("TNVButton", "AbortBtn").Text("Caption", "Abort").End().End();
    b.Item("TNVButton", "ContinueBtn").Flag("NoOwnerDraw", true).Text("Caption", "Finish").End().End();
    b.Item("TNVButton", "SkipBtn").Flag("Visible", false).End().End();
    b.Item("TNVButton", "Extra").Int("MinWidth", 200).End().End();
    b.End();
    TNVAssistant assistant(u"Buttons", {b.data});
    TNVForm& form = *assistant.Form(0);
    ASSERT_EQ(4, form.ItemCount()) << "the bottom buttons are configured, not added";
    EXPECT_EQ(u"Abort", form.CancelButton().Caption());
    EXPECT_EQ(u"Finish", form.ContinueButton().Caption());
    EXPECT_EQ(u"Extra", static_cast<TNVButton*>(form.Item(3))->Caption()) << "the name without a caption";
    RECT rects[4]{};
    bool skipHasWindow = true;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        for (int i = 0; i < 4; ++i)
            rects[i] = form.Item(i)->Rect();
        skipHasWindow = form.SkipButton().Handle() != nullptr;
        SendMessageW(form.CancelButton().Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(TNVModalResult::Cancel, assistant.ShowModal(nullptr));
    driver.Join();
    EXPECT_EQ(23, rects[0].bottom - rects[0].top) << "a plain bottom button";
    EXPECT_GE(rects[0].right - rects[0].left, 75);
    EXPECT_EQ(32, rects[2].bottom - rects[2].top);
    EXPECT_EQ(rects[0].bottom, rects[2].bottom);
    EXPECT_FALSE(skipHasWindow) << "hidden";
    EXPECT_EQ(200, rects[3].right - rects[3].left) << "MinWidth of an item button";
}

TEST_F(WizardDisplayTest, BadTypeByteIsReportedAndTheFormKeepsWhatWasRead)
{
    TFormBuilder b("Broken");
    b.Text("Message", "still here").End();
    b.Item("TNVLabel", "Before").End().End();
    b.Item("TNVLabel", "Bad").Short("Caption").Byte(13).Raw("junk");
    std::wstring shownText;
    std::wstring shownCaption;
    std::thread closer([&shownText, &shownCaption, threadId = GetCurrentThreadId()] {
        const HWND box = dialog_driver::WaitForDialog(threadId);
        if (!box)
            return;
        shownCaption = dialog_driver::WindowText(box);
        EnumChildWindows(box, &FindErrorText, reinterpret_cast<LPARAM>(&shownText));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    TNVAssistant assistant(u"Broken", {b.data});
    closer.join();
    EXPECT_EQ(L"Internal error: Invalid assistant resource (13).", shownText);
    EXPECT_EQ(L"zelExcept", shownCaption);
    TNVForm& form = *assistant.Form(0);
    EXPECT_EQ(u"still here", form.Message());
    ASSERT_EQ(4, form.ItemCount());
    EXPECT_EQ(u"Before", form.Item(3)->Name());
}

TEST_F(WizardDisplayTest, MissingOrForeignResourcesGiveTheThreeButtonsOnly)
{
    auto missing = LoadAssistant(GetModuleHandleW(nullptr), u"Missing", {u"NoSuchForm"});
    ASSERT_EQ(1, missing->FormCount());
    EXPECT_EQ(3, missing->Form(0)->ItemCount());
    EXPECT_EQ(u"Next >", missing->Form(0)->ContinueButton().Caption());
    EXPECT_EQ(u"Skip", missing->Form(0)->SkipButton().Caption());
    EXPECT_EQ(u"Cancel", missing->Form(0)->CancelButton().Caption());
    TNVAssistant foreign(u"Foreign", {std::string("PK\x03\x04 not a form", 16)});
    EXPECT_EQ(3, foreign.Form(0)->ItemCount());
    EXPECT_EQ(nullptr, foreign.Form(1));
}

TEST_F(WizardDisplayTest, AssistantShowsTheLibrarysFormsInOrderAndStopsAtCancel)
{
    auto assistant = LoadLibraryForms({u"ContactForm", u"DetailsForm", u"ScrShotForm"});
    ASSERT_EQ(3, assistant->FormCount());
    EXPECT_EQ(assistant->Form(2), assistant->FindForm(u"scrshotform")) << "by name ignoring case";
    EXPECT_EQ(nullptr, assistant->FindForm(u"Other"));
    EXPECT_EQ(3, assistant->Form(1)->Count());
    EXPECT_EQ(2, assistant->Form(1)->Index());
    assistant->SetTitle(u"Report the error");
    EXPECT_EQ(u"Report the error", assistant->Form(2)->Title());
    TActionLog log;
    assistant->SetOnAction(&CountOwnerCall, &log);
    TNVImage& shot = *assistant->Form(2)->Find<TNVImage>(u"ScrShotImg");
    shot.SetBitmap(CreateNVBitmap(640, 400));
    auto* details = assistant->Form(1)->Find<TNVEdit>(u"Error Details");
    ASSERT_NE(nullptr, details);
    EXPECT_TRUE(details->MultiLine());
    EXPECT_TRUE(details->OutputOwnSection());
    EXPECT_EQ(u"Error Details", details->OutputName());

    std::wstring titles[3];
    bool saved[3] = {};
    bool imageClicked = false;
    bool attachUnchecked = false;
    TFormDriver driver([&](DWORD threadId) {
        HWND previous = nullptr;
        for (int i = 0; i < 3; ++i) {
            const HWND window = WaitForForm(threadId, previous);
            if (!window)
                return;
            TNVForm& form = *assistant->Form(i);
            titles[i] = dialog_driver::WindowText(window);
            if (i == 0)
                SendMessageW(form.Find<TNVEdit>(u"EmailEdit")->Handle(), WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(L"a@b.c"));
            if (i == 1) {
                Type(details->Handle(), L"first line\rsecond line");
                WaitForText(details->Handle(), L"first line\r\nsecond line");
                Settle(window);
            }
            if (i == 2) {
                const RECT image = form.Find<TNVImage>(u"ScrShotImg")->Rect();
                const LPARAM centre = MAKELPARAM((image.left + image.right) / 2, (image.top + image.bottom) / 2);
                SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
                SendMessageW(window, WM_LBUTTONUP, 0, centre);
                imageClicked = true;
                SendMessageW(form.Find<TNVCheckBox>(u"AttachCheck")->Handle(), BM_CLICK, 0, 0);
                Settle(window);
            }
            saved[i] = dialog_driver::SaveScreenshot(window, dialog_driver::WindowText(window).empty()
                                                                 ? "form"
                                                                 : std::string(i == 0   ? "ContactFormInAssistant"
                                                                               : i == 1 ? "DetailsForm"
                                                                                        : "ScrShotForm"));
            if (i == 2) {
                attachUnchecked = !form.Find<TNVCheckBox>(u"AttachCheck")->Checked();
                SendMessageW(form.CancelButton().Handle(), BM_CLICK, 0, 0);
            } else {
                SendMessageW(form.ContinueButton().Handle(), BM_CLICK, 0, 0);
            }
            WaitUntilGone(window);
            previous = window;
        }
    });
    EXPECT_EQ(TNVModalResult::Cancel, assistant->ShowModal(nullptr));
    driver.Join();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(L"Report the error", titles[i]) << i;
        EXPECT_TRUE(saved[i]) << i;
    }
    EXPECT_EQ(TNVModalResult::Continue, assistant->Form(0)->ModalResult());
    EXPECT_EQ(TNVModalResult::Continue, assistant->Form(1)->ModalResult());
    EXPECT_EQ(TNVModalResult::Cancel, assistant->Form(2)->ModalResult());
    EXPECT_EQ(u"first line\r\nsecond line", details->Text()) << "Return is a line break in a multi-line edit";
    EXPECT_TRUE(imageClicked);
    ASSERT_NE(nullptr, shot.Bitmap());
    EXPECT_EQ(320, shot.Bitmap()->GetWidth()) << "a bitmap of another size is scaled to fit the image";
    EXPECT_EQ(200, shot.Bitmap()->GetHeight());
    EXPECT_TRUE(attachUnchecked) << "clicking the checked box unchecks it";
    EXPECT_GE(log.ownerCalls, 3 + 1 + 1) << "the owner hears every form's actions";
}

TEST_F(WizardDisplayTest, ClickableImageFiresOnlyWhenReleasedOverItself)
{
    auto assistant = LoadLibraryForms({u"ScrShotForm"});
    TNVForm& form = *assistant->Form(0);
    TActionLog log;
    form.SetOnAction(&LogAction, &log);
    TNVImage& image = *form.Find<TNVImage>(u"ScrShotImg");
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        const RECT r = image.Rect();
        const LPARAM inside = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        const LPARAM outside = MAKELPARAM(r.right + 5, r.bottom + 5);
        const LPARAM onEdge = MAKELPARAM(r.left, r.top); // left and top edges are outside
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        SendMessageW(window, WM_LBUTTONUP, 0, outside);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, onEdge);
        SendMessageW(window, WM_LBUTTONUP, 0, onEdge);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        SendMessageW(window, WM_LBUTTONUP, 0, inside);
        SendMessageW(form.SkipButton().Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(TNVModalResult::Continue, assistant->ShowModal(nullptr)) << "a skipped form goes on";
    driver.Join();
    EXPECT_EQ(TNVModalResult::Skip, form.ModalResult());
    EXPECT_EQ(1, log.Count(TNVAction::Change, u"ScrShotImg"));
    EXPECT_EQ(326 + 2, image.Width()) << "320 wide, clickable and bordered frame";
    EXPECT_EQ(206 + 2, image.Height());
}

TEST_F(WizardDisplayTest, OwnerIsDisabledWhileShownAndEnabledAfter)
{
    const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);
    auto assistant = LoadLibraryForms({u"DetailsForm"});
    bool disabledWhileShown = false;
    bool ownedByOwner = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        disabledWhileShown = !IsWindowEnabled(owner);
        ownedByOwner = GetWindow(window, GW_OWNER) == owner;
        SendMessageW(assistant->Form(0)->ContinueButton().Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(TNVModalResult::Continue, assistant->ShowModal(owner));
    driver.Join();
    EXPECT_TRUE(disabledWhileShown);
    EXPECT_TRUE(ownedByOwner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

// A callback that throws while the window procedure handles a message does not end the
// process: the message yields 0, the hook hears of it and the form goes on.
TEST_F(WizardDisplayTest, ExceptionsInTheWindowProcedureGoToTheHook)
{
    TFormBuilder b("Throwing");
    b.End().Item("TNVCheckBox", "Box").End().End().End();
    TNVAssistant assistant(u"Throwing", {b.data});
    TNVForm& form = *assistant.Form(0);
    form.SetOnAction(&ThrowOnChange, nullptr);
    hookCalls = 0;
    SetWizardExceptionHook(&CountException);
    bool stillShown = false;
    HWND shown = nullptr;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = shown = WaitForForm(threadId);
        if (!window)
            return;
        SendMessageW(form.Find<TNVCheckBox>(u"Box")->Handle(), BM_CLICK, 0, 0);
        Settle(window);
        stillShown = IsWindowVisible(window) != FALSE;
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(TNVModalResult::Cancel, form.ShowModal(nullptr));
    driver.Join();
    SetWizardExceptionHook(nullptr);
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(1, hookCalls);
    EXPECT_EQ(shown, hookWindow) << "the hook hears which form failed";
    EXPECT_TRUE(form.Find<TNVCheckBox>(u"Box")->Checked()) << "toggled before the callback threw";
}

void ValidateAddress(TNVForm&, TNVAction action, TNVItem* item, void*)
{
    if (action != TNVAction::Change || !item || item->Name() != u"EmailEdit")
        return;
    auto& edit = static_cast<TNVEdit&>(*item);
    edit.SetValid(edit.Text().find(u'@') != UnicodeString::npos);
}

TEST_F(WizardDisplayTest, AnEditMarkedInvalidKeepsContinueDisabled)
{
    auto assistant = LoadLibraryForms({u"ContactForm"});
    TNVForm& form = *assistant->Form(0);
    form.SetOnAction(&ValidateAddress, nullptr);
    auto& email = *form.Find<TNVEdit>(u"EmailEdit");
    bool enabledWithoutAt = true;
    bool enabledWithAt = false;
    bool continueFocused = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        const HWND next = form.ContinueButton().Handle();
        SendMessageW(email.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"no address"));
        Settle(window);
        enabledWithoutAt = IsWindowEnabled(next) != FALSE;
        SendMessageW(email.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"jo@example.org"));
        Settle(window);
        enabledWithAt = IsWindowEnabled(next) != FALSE;
        // Return on the focused continue button goes through the dialog manager.
        for (int i = 0; i < 3 && FocusOf(threadId) != next; ++i) {
            Key(FocusOf(threadId), VK_TAB);
            Settle(window);
        }
        continueFocused = FocusOf(threadId) == next;
        Key(next, VK_RETURN);
    });
    // The callback is installed after loading, so the resource's routine is not called.
    EXPECT_EQ(TNVModalResult::Continue, assistant->ShowModal(nullptr));
    driver.Join();
    EXPECT_FALSE(enabledWithoutAt);
    EXPECT_TRUE(enabledWithAt);
    EXPECT_TRUE(continueFocused);
    EXPECT_TRUE(email.Valid());
}

std::vector<std::pair<UnicodeString, UnicodeString>> lookedUp;
TNVActionProc FindHandler(std::u16string_view unitName, std::u16string_view functionName)
{
    lookedUp.emplace_back(unitName, functionName);
    return functionName == u"Known" ? &CountOwnerCall : nullptr;
}

TEST_F(WizardDisplayTest, OtherActionNamesAreLookedUpByUnitAndFunction)
{
    const auto formNamed = [](std::string_view action) {
        TFormBuilder b("Action");
        b.Text("OnAction", action).End().End();
        return b.data;
    };
    TNVAssistant unknown(u"", {formNamed("Some.Unit.Known")});
    EXPECT_EQ(nullptr, unknown.Form(0)->OnAction()) << "without debug information nothing is found";
    lookedUp.clear();
    SetWizardActionLookup(&FindHandler);
    TNVAssistant found(u"", {formNamed("Some.Unit.Known"), formNamed("Known"), formNamed("Unit.Missing"),
                             formNamed("ZELEXCEPT.handlecontactform")});
    SetWizardActionLookup(nullptr);
    EXPECT_EQ(&CountOwnerCall, found.Form(0)->OnAction());
    EXPECT_EQ(&CountOwnerCall, found.Form(1)->OnAction());
    EXPECT_EQ(nullptr, found.Form(2)->OnAction()) << "a name that cannot be found leaves no callback";
    EXPECT_EQ(&ContactHandler, found.Form(3)->OnAction()) << "the installed routines, ignoring case";
    const std::vector<std::pair<UnicodeString, UnicodeString>> expected{
        {u"Some.Unit", u"Known"}, {u"", u"Known"}, {u"Unit", u"Missing"}};
    EXPECT_EQ(expected, lookedUp);
}

TEST_F(WizardDisplayTest, AnImageWithoutSizesTakesItsBitmapsOrThirtyTwo)
{
    TFormBuilder b("Images");
    b.End();
    b.Item("TNVImage", "Sized").End().End();
    b.Item("TNVImage", "Empty").Flag("Border", true).End().End();
    b.End();
    TNVAssistant assistant(u"Images", {b.data});
    TNVForm& form = *assistant.Form(0);
    form.Find<TNVImage>(u"Sized")->SetBitmap(CreateNVBitmap(50, 40));
    TFormDriver driver([&](DWORD threadId) {
        if (const HWND window = WaitForForm(threadId))
            PostMessageW(window, WM_CLOSE, 0, 0);
    });
    form.ShowModal(nullptr);
    driver.Join();
    EXPECT_EQ(50, form.Find<TNVImage>(u"Sized")->Width());
    EXPECT_EQ(40, form.Find<TNVImage>(u"Sized")->Height());
    EXPECT_EQ(32 + 2, form.Find<TNVImage>(u"Empty")->Width()) << "32 and the border";
    EXPECT_EQ(8, form.Find<TNVImage>(u"Empty")->Rect().top - form.Find<TNVImage>(u"Sized")->Rect().bottom);
}

} // namespace
