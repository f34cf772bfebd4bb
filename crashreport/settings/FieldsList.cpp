#include "settings/FieldsList.h"

#include "settings/ListText.h"
#include "text/CaseFolding.h"
#include "text/TextEdit.h"

namespace {

constexpr std::string_view kSetting = "AddFields";

} // namespace

TIZEFields::TIZEFields(IZESettingsAccess* owner) : owner_(owner)
{
    if (!owner_)
        return;
    for (const UnicodeString& item : SplitListText(owner_->GetSettingText(kSetting), u'|')) {
        const std::vector<UnicodeString> parts = SplitListText(item, u'=');
        fields_.push_back({parts.empty() ? UnicodeString() : parts[0], parts.size() > 1 ? parts[1] : UnicodeString()});
    }
}

int TIZEFields::Count()
{
    const std::lock_guard guard(lock_);
    return static_cast<int>(fields_.size());
}

UnicodeString TIZEFields::Name(int index)
{
    const std::lock_guard guard(lock_);
    return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[index].name : UnicodeString();
}

void TIZEFields::Rename(int index, const UnicodeString& name)
{
    const std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(fields_.size()) || fields_[index].name == name)
        return;
    fields_[index].name = name;
    WriteBack();
}

int TIZEFields::Find(std::u16string_view name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (SameTextW(fields_[i].name, name))
            return static_cast<int>(i);
    return -1;
}

int TIZEFields::IndexOf(std::u16string_view name)
{
    const std::lock_guard guard(lock_);
    return Find(name);
}

UnicodeString TIZEFields::Value(std::u16string_view name)
{
    const std::lock_guard guard(lock_);
    const int index = Find(name);
    return index < 0 ? UnicodeString() : fields_[index].value;
}

void TIZEFields::SetValue(const UnicodeString& name, const UnicodeString& value)
{
    const std::lock_guard guard(lock_);
    if (!ready_)
        return;
    const UnicodeString trimmed = TrimW(value);
    const int index = Find(name);
    if (trimmed.empty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    if (index >= 0) {
        if (fields_[index].name == name && fields_[index].value == trimmed)
            return;
        fields_[index] = {name, trimmed};
    } else if (currentIndex_ > 0 && currentIndex_ <= static_cast<int>(fields_.size()))
        fields_.insert(fields_.begin() + currentIndex_, {name, trimmed});
    else
        fields_.push_back({name, trimmed});
    WriteBack();
}

void TIZEFields::Delete(int index)
{
    const std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(fields_.size()))
        return;
    fields_.erase(fields_.begin() + index);
    if (currentIndex_ > index)
        --currentIndex_;
    WriteBack();
}

void TIZEFields::Delete(std::u16string_view name)
{
    const std::lock_guard guard(lock_);
    Delete(Find(name));
}

std::shared_ptr<TIZEFields> TIZEFields::Copy()
{
    const std::lock_guard guard(lock_);
    auto copy = std::make_shared<TIZEFields>(nullptr);
    copy->fields_ = fields_;
    return copy;
}

void TIZEFields::ForgetOwner()
{
    const std::lock_guard guard(lock_);
    owner_ = nullptr;
}

void TIZEFields::SetCurrentIndex(int index)
{
    const std::lock_guard guard(lock_);
    currentIndex_ = index;
}

void TIZEFields::SetReady()
{
    const std::lock_guard guard(lock_);
    ready_ = true;
}

void TIZEFields::WriteBack()
{
    if (!owner_)
        return;
    std::vector<UnicodeString> items;
    for (const TField& field : fields_)
        items.push_back(field.name + u"=" + field.value);
    owner_->SetSettingText(kSetting, JoinListText(items, u'|'));
}
