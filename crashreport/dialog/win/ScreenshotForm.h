#pragma once
// The screenshot form: the report's screenshot, which the user may edit in the system's
// image editor; the edited file is taken back while the form is shown.
#include <windows.h>

#include "INVBitmap.h"
#include "text/ZelTypes.h"
#include "WinHandle.h"
#include "wizard/win/NVForm.h"

// One editing session of a form: the screenshot saved as "screenShot.bmp" in the library's
// temporary folder, the editor started on it, and the file's state when last read.
class TScreenshotEditSession {
public:
    // Saves the bitmap; false when there is no temporary folder or the file cannot be written.
    bool Start(INVBitmap& screenshot);
    ~TScreenshotEditSession();

    const UnicodeString& FileName() const { return fileName_; }
    // Starts the editor unless one is still running; false when it cannot be started.
    bool Edit();
    bool EditorRunning() const;
    // The file when it changed since it was last read (saved or loaded); null otherwise.
    TIntfPtr<INVBitmap> TakeChange();

private:
    struct TFileState {
        FILETIME written{};
        uint64_t size = 0;
        bool operator==(const TFileState& other) const
        {
            return CompareFileTime(&written, &other.written) == 0 && size == other.size;
        }
    };
    TFileState CurrentState() const;

    UnicodeString fileName_;
    TFileState noted_;
    TWinHandle editor_;
};

// The form's action routine ("zelExcept.HandleScreenshotForm").
void HandleScreenshotForm(TNVForm& form, TNVAction action, TNVItem* item, void* userValue);

// How often a shown form looks at the edited file, when its resource sets no timer.
constexpr UINT ScreenshotPollMs = 300;
