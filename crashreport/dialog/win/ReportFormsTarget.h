#pragma once
// What the contact and screenshot forms change in the report they belong to. The assistant
// that shows the forms carries the target as its user data (or a form as its own).
#include "INVBitmap.h"
#include "text/ZelTypes.h"

struct IZEException;
class TNVForm;

class IReportFormsTarget {
public:
    virtual ~IReportFormsTarget() = default;
    // The sender the report goes out as.
    virtual void SetMailFrom(const UnicodeString& sender) = 0;
    virtual TIntfPtr<INVBitmap> ScreenShot() = 0;
    virtual void SetScreenShot(const TIntfPtr<INVBitmap>& bitmap) = 0;
    virtual bool AttachScreenShot() = 0;
    virtual void SetAttachScreenShot(bool attach) = 0;
};

// The forms' changes made to an exception object: its MailFrom setting, its screenshot and
// its append-screenshot switch.
class TExceptionFormsTarget : public IReportFormsTarget {
public:
    explicit TExceptionFormsTarget(IZEException& exception) : exception_(exception) {}
    void SetMailFrom(const UnicodeString& sender) override;
    TIntfPtr<INVBitmap> ScreenShot() override;
    void SetScreenShot(const TIntfPtr<INVBitmap>& bitmap) override;
    bool AttachScreenShot() override;
    void SetAttachScreenShot(bool attach) override;

private:
    IZEException& exception_;
};

// The form's own user data, else its assistant's; null when neither is set.
IReportFormsTarget* FormsTargetOf(const TNVForm& form);

// Hands the contact-form and screenshot-form routines to the wizard engine; forms read
// afterwards call them.
void InstallReportFormHandlers();
