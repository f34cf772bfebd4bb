#include "settings/AttachmentsList.h"

#include "engine/EngineText.h"
#include "settings/ListText.h"
#include "text/CaseFolding.h"
#include "text/FilePaths.h"

namespace {

constexpr std::string_view kSetting = "AddAttachs";

UnicodeString Part(const std::vector<UnicodeString>& parts, size_t index)
{
    return index < parts.size() ? parts[index] : UnicodeString();
}

} // namespace

TIZEAttachments::TIZEAttachments(IZESettingsAccess* owner) : owner_(owner)
{
    if (!owner_)
        return;
    for (const UnicodeString& item : SplitListText(owner_->GetSettingText(kSetting), u'|')) {
        const std::vector<UnicodeString> parts = SplitListText(item, u'>');
        entries_.push_back({Part(parts, 0), Part(parts, 1), Part(parts, 2), Part(parts, 3)});
    }
}

int TIZEAttachments::Count()
{
    const std::lock_guard guard(lock_);
    return static_cast<int>(entries_.size());
}

std::optional<TAttachment> TIZEAttachments::Item(int index)
{
    const std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(entries_.size()))
        return std::nullopt;
    return entries_[index];
}

void TIZEAttachments::Add(const UnicodeString& file, const UnicodeString& sendAs, const UnicodeString& field,
                          const UnicodeString& zip)
{
    if (file.empty())
        return;
    const std::lock_guard guard(lock_);
    TAttachment entry{file, sendAs, zip, field};
    if (entry.sendAs.empty())
        entry.sendAs = ExtractFileNameW(file);
    if (entry.field.empty())
        entry.field = RemoveExtension(entry.sendAs);
    entries_.push_back(std::move(entry));
    WriteBack();
}

bool TIZEAttachments::Delete(std::u16string_view file)
{
    const std::lock_guard guard(lock_);
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        if (SameTextW(entry->file, file)) {
            entries_.erase(entry);
            WriteBack();
            return true;
        }
    }
    return false;
}

void TIZEAttachments::Clear()
{
    const std::lock_guard guard(lock_);
    if (entries_.empty())
        return;
    entries_.clear();
    WriteBack();
}

std::shared_ptr<TIZEAttachments> TIZEAttachments::Copy()
{
    const std::lock_guard guard(lock_);
    auto copy = std::make_shared<TIZEAttachments>(nullptr);
    copy->entries_ = entries_;
    return copy;
}

void TIZEAttachments::ForgetOwner()
{
    const std::lock_guard guard(lock_);
    owner_ = nullptr;
}

void TIZEAttachments::WriteBack()
{
    if (!owner_)
        return;
    std::vector<UnicodeString> items;
    for (const TAttachment& entry : entries_)
        items.push_back(entry.file + u">" + entry.sendAs + u">" + entry.zip + u">" + entry.field);
    owner_->SetSettingText(kSetting, JoinListText(items, u'|'));
}
