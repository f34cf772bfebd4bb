// The contact and screenshot forms of the library shown for real (from this program's form
// resources) and worked from a second thread: the remembered contact, the address check, the
// sender handed to the report, and the screenshot edited by a stand-in image editor that the
// test registers in the prefix. Each form leaves a picture under artifacts/.
#include "dialog/win/ContactForm.h"
#include "dialog/win/ReportFormsTarget.h"
#include "dialog/win/ScreenshotForm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "../../../conduvex/dialogs/DialogDriver.h"
#include "../../../crashkit/wizard/win/FormDriver.h"
#include "ContactRegistryGuard.h"
#include "ViewPicture.h"
#include "engine/win/LibraryFolders.h"
#include "wizard/win/NVAssistant.h"

using namespace form_driver;

namespace {

// What the forms change, as the exception object would take it.
class TRecordingTarget : public IReportFormsTarget {
public:
    void SetMailFrom(const UnicodeString& sender) override
    {
        mailFrom = sender;
        ++mailFromCalls;
    }
    TIntfPtr<INVBitmap> ScreenShot() override { return screenshot; }
    void SetScreenShot(const TIntfPtr<INVBitmap>& bitmap) override
    {
        screenshot = bitmap;
        ++screenshotChanges;
    }
    bool AttachScreenShot() override { return attach; }
    void SetAttachScreenShot(bool value) override { attach = value; }

    UnicodeString mailFrom;
    int mailFromCalls = 0;
    TIntfPtr<INVBitmap> screenshot;
    std::atomic<int> screenshotChanges{0};
    bool attach = true;
};

std::unique_ptr<TNVAssistant> ShowableForms(const UnicodeString& name, TRecordingTarget& target)
{
    InstallReportFormHandlers();
    auto assistant = LoadAssistant(GetModuleHandleW(nullptr), u"Bug report", {name});
    assistant->SetUserData(static_cast<IReportFormsTarget*>(&target));
    return assistant;
}

std::wstring EditText(const TNVEdit& edit)
{
    return dialog_driver::WindowText(edit.Handle());
}

void SetEditText(const TNVEdit& edit, const wchar_t* text)
{
    SendMessageW(edit.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

class ReportFormsDisplayTest : public ::testing::Test {
protected:
    void TearDown() override { SetWizardFormHandlers(nullptr, nullptr); }
    TContactRegistryGuard contactGuard_;
};

TEST_F(ReportFormsDisplayTest, ContactFormOffersTheRememberedContactAndChecksTheAddress)
{
    RememberContact({u"Ann Smith", u"ann@example.org"});
    TRecordingTarget target;
    auto assistant = ShowableForms(u"ContactForm", target);
    TNVForm& form = *assistant->Form(0);
    const TNVEdit* name = form.Find<TNVEdit>(u"NameEdit");
    const TNVEdit* email = form.Find<TNVEdit>(u"EmailEdit");
    const TNVCheckBox* remember = form.Find<TNVCheckBox>(u"MemCheck");
    ASSERT_TRUE(name && email && remember);

    std::wstring shownName, shownEmail;
    bool rememberChecked = false, enabledWhenFilled = false, disabledWhenBad = false, enabledWhenGood = false;
    bool pictureSaved = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        const HWND next = form.ContinueButton().Handle();
        shownName = EditText(*name);
        shownEmail = EditText(*email);
        rememberChecked = remember->Checked();
        enabledWhenFilled = IsWindowEnabled(next) != FALSE;
        SetEditText(*email, L"ann@example");
        Settle(window);
        disabledWhenBad = !IsWindowEnabled(next);
        SetEditText(*email, L"ann.smith@example.org");
        Settle(window);
        enabledWhenGood = IsWindowEnabled(next) != FALSE;
        pictureSaved = SaveViewPicture(window, "ContactForm-remembered");
        SendMessageW(next, BM_CLICK, 0, 0);
        WaitUntilGone(window);
    });
    EXPECT_EQ(assistant->ShowModal(nullptr), TNVModalResult::Continue);
    driver.Join();

    EXPECT_EQ(shownName, L"Ann Smith");
    EXPECT_EQ(shownEmail, L"ann@example.org");
    EXPECT_TRUE(rememberChecked);
    EXPECT_TRUE(enabledWhenFilled);
    EXPECT_TRUE(disabledWhenBad) << "an address without a full stop after the at sign";
    EXPECT_TRUE(enabledWhenGood);
    EXPECT_TRUE(pictureSaved);
    EXPECT_EQ(target.mailFrom, u"Ann Smith <ann.smith@example.org>");
    const TRememberedContact kept = ReadRememberedContact();
    EXPECT_EQ(kept.email, u"ann.smith@example.org") << "the new address is remembered";
    EXPECT_EQ(kept.name, u"Ann Smith");
}

TEST_F(ReportFormsDisplayTest, UncheckingTheMemoryForgetsTheContact)
{
    RememberContact({u"Ann Smith", u"ann@example.org"});
    TRecordingTarget target;
    auto assistant = ShowableForms(u"ContactForm", target);
    TNVForm& form = *assistant->Form(0);
    const TNVEdit* name = form.Find<TNVEdit>(u"NameEdit");
    const TNVCheckBox* remember = form.Find<TNVCheckBox>(u"MemCheck");
    ASSERT_TRUE(name && remember);
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        SetEditText(*name, L"");
        SendMessageW(remember->Handle(), BM_CLICK, 0, 0);
        Settle(window);
        SendMessageW(form.ContinueButton().Handle(), BM_CLICK, 0, 0);
        WaitUntilGone(window);
    });
    EXPECT_EQ(assistant->ShowModal(nullptr), TNVModalResult::Continue);
    driver.Join();

    EXPECT_FALSE(remember->Checked());
    EXPECT_FALSE(contactGuard_.ValueExists(u"RememberName"));
    EXPECT_FALSE(contactGuard_.ValueExists(u"RememberEmail"));
    EXPECT_EQ(target.mailFrom, u"ann@example.org") << "an address without a name stands alone";
}

// The stand-in editor as the "edit" verb of bitmap files, for the length of a test.
class TEditorRegistration {
public:
    TEditorRegistration()
    {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        std::wstring editor = program;
        editor = editor.substr(0, editor.rfind(L'\\') + 1) + L"dialog_standin_editor.exe";
        const std::wstring command = L"\"" + editor + L"\" \"%1\"";
        hadExtension_ = RegGetValueW(HKEY_CLASSES_ROOT, L".bmp", nullptr, RRF_RT_REG_SZ, nullptr, nullptr, nullptr) ==
                        ERROR_SUCCESS;
        if (!hadExtension_)
            SetDefault(L".bmp", ProgId);
        registered_ = SetDefault(std::wstring(ProgId) + L"\\shell\\edit\\command", command.c_str());
    }
    ~TEditorRegistration()
    {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, ProgId);
        if (!hadExtension_)
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L".bmp");
    }
    TEditorRegistration(const TEditorRegistration&) = delete;
    TEditorRegistration& operator=(const TEditorRegistration&) = delete;

    // False when the prefix already names another program for bitmap files.
    bool Registered() const { return registered_ && !hadExtension_; }

private:
    static constexpr wchar_t ProgId[] = L"ConduvexTest.Image";

    static bool SetDefault(const std::wstring& key, const wchar_t* value)
    {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value,
                               static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    bool hadExtension_ = false;
    bool registered_ = false;
};

// The colour of the bitmap's middle pixel, from its BMP image (blue, green, red a pixel).
COLORREF MiddleColour(INVBitmap& bitmap)
{
    const std::string bmp = bitmap.AsBmp();
    const size_t pixel = 54 + (static_cast<size_t>(bitmap.GetHeight() / 2) * bitmap.GetWidth() + bitmap.GetWidth() / 2) * 4;
    if (bmp.size() < pixel + 3)
        return CLR_INVALID;
    return RGB(static_cast<uint8_t>(bmp[pixel + 2]), static_cast<uint8_t>(bmp[pixel + 1]), static_cast<uint8_t>(bmp[pixel]));
}

TEST_F(ReportFormsDisplayTest, TheScreenshotIsEditedInTheImageEditorAndTakenBack)
{
    const TEditorRegistration editor;
    if (!editor.Registered())
        GTEST_SKIP() << "the prefix already has an editor for bitmap files";
    TRecordingTarget target;
    target.screenshot = CreateNVBitmap(320, 200);
    ASSERT_TRUE(target.screenshot);
    auto assistant = ShowableForms(u"ScrShotForm", target);
    TNVForm& form = *assistant->Form(0);
    const TNVImage* image = form.Find<TNVImage>(u"ScrShotImg");
    const TNVCheckBox* attach = form.Find<TNVCheckBox>(u"AttachCheck");
    ASSERT_TRUE(image && attach);
    const std::wstring file = WideOf(GetLibraryTempFolder() + u"screenShot.bmp");

    bool shownChecked = false, picturedAtFirst = false, fileWhileEditing = false, edited = false;
    COLORREF shownColour = CLR_INVALID;
    bool pictureSaved = false;
    TFormDriver driver([&](DWORD threadId) {
        const HWND window = WaitForForm(threadId);
        if (!window)
            return;
        shownChecked = attach->Checked();
        picturedAtFirst = image->Bitmap() != nullptr;
        const RECT area = image->Rect();
        const LPARAM middle = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, middle);
        PostMessageW(window, WM_LBUTTONUP, 0, middle);
        const DWORD start = GetTickCount();
        while (target.screenshotChanges == 0 && GetTickCount() - start < 10000)
            Sleep(20);
        edited = target.screenshotChanges > 0;
        fileWhileEditing = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
        Settle(window);
        if (INVBitmap* shown = image->Bitmap())
            shownColour = MiddleColour(*shown);
        SendMessageW(attach->Handle(), BM_CLICK, 0, 0);
        Settle(window);
        pictureSaved = SaveViewPicture(window, "ScreenshotForm-edited");
        SendMessageW(form.ContinueButton().Handle(), BM_CLICK, 0, 0);
        WaitUntilGone(window);
    });
    EXPECT_EQ(assistant->ShowModal(nullptr), TNVModalResult::Continue);
    driver.Join();

    EXPECT_TRUE(shownChecked) << "the attach flag of the report";
    EXPECT_TRUE(picturedAtFirst);
    EXPECT_TRUE(edited) << "the editor's file was taken back while the form was shown";
    EXPECT_TRUE(fileWhileEditing);
    EXPECT_TRUE(pictureSaved);
    EXPECT_EQ(shownColour, RGB(200, 30, 40)) << "the form shows the edited picture";
    ASSERT_TRUE(target.screenshot);
    EXPECT_EQ(target.screenshot->GetWidth(), 320);
    EXPECT_EQ(MiddleColour(*target.screenshot), RGB(200, 30, 40)) << "the report sends the edited picture";
    EXPECT_FALSE(target.attach) << "the unchecked box is the report's attach flag";
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the edited file is removed";
}

} // namespace
