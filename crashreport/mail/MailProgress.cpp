#include "mail/MailProgress.h"

#include <string>

namespace {

constexpr uint64_t kStepWeight = 500;
constexpr uint64_t kLaterConnectWeight = 5000;
constexpr uint64_t kSendMailWeight = 100;
constexpr uint64_t kFinalWeight = 1000;
constexpr uint64_t kBytesPerWeight = 16;

std::wstring Wide(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

} // namespace

void TMailProgress::Plan(const std::vector<uint64_t>& attachmentSizes, bool ownServer, size_t mails)
{
    if (!alert_)
        return;
    auto addMailAreas = [&](uint64_t connectWeight) {
        alert_->AddArea(Wide(texts_.connect), connectWeight);
        alert_->AddArea(Wide(texts_.sendMail), kSendMailWeight);
        for (const uint64_t size : attachmentSizes)
            alert_->AddArea(Wide(texts_.sendAttachment), size / kBytesPerWeight);
        alert_->AddArea(Wide(texts_.sendFinal), kFinalWeight);
    };
    alert_->ClearAreas();
    alert_->AddArea(Wide(texts_.prepareAttachments), kStepWeight);
    if (ownServer)
        alert_->AddArea(Wide(texts_.lookUpExchanger), kStepWeight);
    addMailAreas(kStepWeight);
    firstMailAreas_ = (ownServer ? 5 : 4) + attachmentSizes.size();
    laterMailAreas_ = 4 + attachmentSizes.size();
    for (size_t mail = 1; mail < mails; ++mail) {
        alert_->AddArea(Wide(texts_.lookUpExchanger), kStepWeight);
        addMailAreas(kLaterConnectWeight);
    }
    alert_->NextArea();
}

void TMailProgress::Next()
{
    if (alert_)
        alert_->NextArea();
}

void TMailProgress::AttachmentDone(uint64_t sent, uint64_t size)
{
    if (alert_ && size != 0)
        alert_->SetPosition(static_cast<int32_t>(sent * 1000 / size));
}

void TMailProgress::StartMail(size_t index)
{
    if (alert_ && index != 0)
        alert_->SetArea(static_cast<int32_t>(firstMailAreas_ + (index - 1) * laterMailAreas_));
}

void TMailProgress::Close()
{
    if (alert_)
        alert_->Close();
}
