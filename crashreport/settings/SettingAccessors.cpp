#include "settings/SettingAccessors.h"

#include "settings/AttachmentsList.h"
#include "settings/FieldsList.h"
#include "text/TextEdit.h"
#include "text/TextItems.h"

bool IZESettings::PluginEnabled(std::u16string_view name)
{
    return IsItemW(GetSettingText("Plugins"), name, u'|');
}

void IZESettings::EnablePlugin(std::u16string_view name, bool enabled)
{
    if (PluginEnabled(name) == enabled)
        return;
    UnicodeString list = GetSettingText("Plugins");
    if (enabled) {
        list = list.empty() ? UnicodeString(name) : ConcatW({list, u"|", name});
    } else {
        list = ConcatW({u"|", list, u"|"});
        ReplaceStrW(list, ConcatW({u"|", name, u"|"}), u"|", false);
        list = list.substr(1, list.size() >= 2 ? list.size() - 2 : 0);
    }
    SetSettingText("Plugins", list);
}

std::shared_ptr<TIZEFields> IZESettings::Fields()
{
    const std::lock_guard guard(listsLock_);
    if (!fields_) {
        fields_ = std::make_shared<TIZEFields>(this);
        fields_->SetReady();
    }
    return fields_;
}

std::shared_ptr<TIZEAttachments> IZESettings::Attachments()
{
    const std::lock_guard guard(listsLock_);
    if (!attachments_)
        attachments_ = std::make_shared<TIZEAttachments>(this);
    return attachments_;
}

void IZESettings::LetGoOfLists()
{
    const std::lock_guard guard(listsLock_);
    if (fields_)
        fields_->ForgetOwner();
    if (attachments_)
        attachments_->ForgetOwner();
}
