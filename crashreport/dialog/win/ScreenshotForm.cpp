#include "dialog/win/ScreenshotForm.h"

#include <shellapi.h>

#include <map>
#include <memory>

#include "ScreenCapture.h"
#include "dialog/win/ReportFormsTarget.h"
#include "engine/win/LibraryFolders.h"
#include "wizard/win/GdiObjects.h"

namespace {

constexpr char16_t ScreenshotFileName[] = u"screenShot.bmp";

// One session per shown form; the forms run on one thread, the map is only touched there.
std::map<const TNVForm*, std::unique_ptr<TScreenshotEditSession>>& Sessions()
{
    static std::map<const TNVForm*, std::unique_ptr<TScreenshotEditSession>> sessions;
    return sessions;
}

TScreenshotEditSession* SessionOf(const TNVForm& form)
{
    const auto found = Sessions().find(&form);
    return found == Sessions().end() ? nullptr : found->second.get();
}

int FrameWidth(const TNVImage& image)
{
    return (image.Clickable() ? 3 : 0) + (image.Border() ? 1 : 0);
}

// The picture is laid out already: the bitmap is fitted to it here.
void ShowInImage(TNVImage& image, const TIntfPtr<INVBitmap>& bitmap)
{
    const int width = image.Width() - 2 * FrameWidth(image);
    const int height = image.Height() - 2 * FrameWidth(image);
    TIntfPtr<INVBitmap> fitted;
    if (bitmap && width > 0 && height > 0 && bitmap->ScaleToFit(width, height, fitted))
        image.SetBitmap(fitted);
    else
        image.SetBitmap(bitmap);
}

void ShowScreenshot(TNVForm& form)
{
    IReportFormsTarget* target = FormsTargetOf(form);
    if (!target)
        return;
    if (TNVImage* image = form.Find<TNVImage>(u"ScrShotImg"))
        ShowInImage(*image, target->ScreenShot());
    if (TNVCheckBox* attach = form.Find<TNVCheckBox>(u"AttachCheck"))
        attach->SetChecked(target->AttachScreenShot());
    // The edited file is looked at while the form is shown.
    if (form.Timer() == 0 && form.Handle())
        SetTimer(form.Handle(), NVFormTimerId, ScreenshotPollMs, nullptr);
}

void EditScreenshot(TNVForm& form)
{
    IReportFormsTarget* target = FormsTargetOf(form);
    if (!target)
        return;
    TScreenshotEditSession* session = SessionOf(form);
    if (!session) {
        const TIntfPtr<INVBitmap> screenshot = target->ScreenShot();
        auto started = std::make_unique<TScreenshotEditSession>();
        if (!screenshot || !started->Start(*screenshot))
            return;
        session = started.get();
        Sessions()[&form] = std::move(started);
    }
    if (!session->Edit())
        Beep(60, 60);
}

void TakeEditedScreenshot(TNVForm& form)
{
    TScreenshotEditSession* session = SessionOf(form);
    IReportFormsTarget* target = FormsTargetOf(form);
    if (!session || !target)
        return;
    const TIntfPtr<INVBitmap> edited = session->TakeChange();
    if (!edited)
        return;
    if (TNVImage* image = form.Find<TNVImage>(u"ScrShotImg"))
        ShowInImage(*image, edited);
    target->SetScreenShot(edited);
}

void CloseScreenshotForm(TNVForm& form)
{
    TakeEditedScreenshot(form);
    Sessions().erase(&form);
    IReportFormsTarget* target = FormsTargetOf(form);
    if (const TNVCheckBox* attach = form.Find<TNVCheckBox>(u"AttachCheck"); attach && target)
        target->SetAttachScreenShot(attach->Checked());
}

} // namespace

bool TScreenshotEditSession::Start(INVBitmap& screenshot)
{
    const UnicodeString folder = GetLibraryTempFolder();
    if (folder.empty())
        return false;
    fileName_ = folder + ScreenshotFileName;
    if (!screenshot.SaveBmp(WideOf(fileName_)))
        return false;
    noted_ = CurrentState();
    return true;
}

TScreenshotEditSession::~TScreenshotEditSession()
{
    editor_.Reset();
    if (!fileName_.empty())
        DeleteFileW(WideOf(fileName_).c_str());
}

bool TScreenshotEditSession::EditorRunning() const
{
    return editor_.Get() && WaitForSingleObject(editor_.Get(), 0) == WAIT_TIMEOUT;
}

bool TScreenshotEditSession::Edit()
{
    if (editor_.Get() && !EditorRunning())
        editor_.Reset();
    if (editor_.Get())
        return true;
    const std::wstring file = WideOf(fileName_);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"edit";
    info.lpFile = file.c_str();
    info.nShow = SW_MAXIMIZE;
    if (!ShellExecuteExW(&info))
        return false;
    editor_.Reset(info.hProcess);
    return true;
}

TScreenshotEditSession::TFileState TScreenshotEditSession::CurrentState() const
{
    TFileState state;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(WideOf(fileName_).c_str(), GetFileExInfoStandard, &data)) {
        state.written = data.ftLastWriteTime;
        state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return state;
}

TIntfPtr<INVBitmap> TScreenshotEditSession::TakeChange()
{
    const TFileState state = CurrentState();
    if (state == noted_)
        return nullptr;
    TIntfPtr<INVBitmap> loaded = LoadBitmapFile(WideOf(fileName_));
    // An editor may still be writing: the file is read again at the next look.
    if (loaded)
        noted_ = state;
    return loaded;
}

void HandleScreenshotForm(TNVForm& form, TNVAction action, TNVItem* item, void*)
{
    switch (action) {
    case TNVAction::Show:
        ShowScreenshot(form);
        return;
    case TNVAction::Close:
        CloseScreenshotForm(form);
        return;
    case TNVAction::Change:
        break;
    }
    if (item && item->Name() == u"ScrShotImg") {
        EditScreenshot(form);
    } else if (item && item->Index() < 3) {
        CloseScreenshotForm(form);
    } else {
        TakeEditedScreenshot(form);
    }
}
