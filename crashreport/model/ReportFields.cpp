#include "model/ReportFields.h"

#include "text/CaseFolding.h"

namespace {

bool IsBlank(char16_t c)
{
    return c <= u' ';
}

// The value without blanks around it; a value of several lines (a section body) keeps the
// leading blanks of its first line, whose columns must line up with those of the others.
UnicodeString StoredValue(std::u16string_view value)
{
    size_t end = value.size();
    while (end > 0 && IsBlank(value[end - 1]))
        --end;
    value = value.substr(0, end);
    size_t begin = 0;
    while (begin < value.size() && IsBlank(value[begin]))
        ++begin;
    if (value.find_first_of(u"\r\n", begin) == std::u16string_view::npos)
        return UnicodeString(value.substr(begin));
    const size_t lineBreak = value.find_last_of(u"\r\n", begin);
    return UnicodeString(lineBreak == std::u16string_view::npos ? value : value.substr(lineBreak + 1));
}

} // namespace

TZelReportFields::TZelReportFields(IReportChangeSink* owner) : owner_(owner) {}

void TZelReportFields::Lock()
{
    dataLock_.lock();
}

void TZelReportFields::Unlock()
{
    dataLock_.unlock();
}

int TZelReportFields::Count()
{
    const std::lock_guard guard(dataLock_);
    return static_cast<int>(fields_.size());
}

UnicodeString TZelReportFields::Name(int index)
{
    const std::lock_guard guard(dataLock_);
    return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[index].name : UnicodeString();
}

UnicodeString TZelReportFields::ValueAt(int index)
{
    const std::lock_guard guard(dataLock_);
    return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[index].value : UnicodeString();
}

void TZelReportFields::Rename(int index, const UnicodeString& name)
{
    {
        const std::lock_guard guard(dataLock_);
        if (index < 0 || index >= static_cast<int>(fields_.size()) || fields_[index].name == name)
            return;
        fields_[index].name = name;
    }
    Announce();
}

int TZelReportFields::Find(std::u16string_view name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (SameTextW(fields_[i].name, name))
            return static_cast<int>(i);
    return -1;
}

int TZelReportFields::IndexOf(std::u16string_view name)
{
    const std::lock_guard guard(dataLock_);
    return Find(name);
}

UnicodeString TZelReportFields::Value(std::u16string_view name)
{
    const std::lock_guard guard(dataLock_);
    const int index = Find(name);
    return index < 0 ? UnicodeString() : fields_[index].value;
}

void TZelReportFields::Insert(const UnicodeString& name, const UnicodeString& value)
{
    if (currentIndex_ > 0 && currentIndex_ <= static_cast<int>(fields_.size()))
        fields_.insert(fields_.begin() + currentIndex_, {name, value});
    else
        fields_.push_back({name, value});
}

void TZelReportFields::SetValue(const UnicodeString& name, const UnicodeString& value)
{
    {
        const std::lock_guard guard(dataLock_);
        if (!ready_)
            return;
        const UnicodeString trimmed = StoredValue(value);
        const int index = Find(name);
        if (trimmed.empty()) {
            if (!EraseAt(index))
                return;
        } else if (index >= 0) {
            if (fields_[index].name == name && fields_[index].value == trimmed)
                return;
            fields_[index] = {name, trimmed};
        } else
            Insert(name, trimmed);
    }
    Announce();
}

void TZelReportFields::Add(const UnicodeString& name, const UnicodeString& value)
{
    {
        const std::lock_guard guard(dataLock_);
        const UnicodeString trimmed = StoredValue(value);
        if (!ready_ || trimmed.empty())
            return;
        Insert(name, trimmed);
    }
    Announce();
}

void TZelReportFields::Delete(int index)
{
    bool erased;
    {
        const std::lock_guard guard(dataLock_);
        erased = EraseAt(index);
    }
    if (erased)
        Announce();
}

void TZelReportFields::Delete(std::u16string_view name)
{
    bool erased;
    {
        const std::lock_guard guard(dataLock_);
        erased = EraseAt(Find(name));
    }
    if (erased)
        Announce();
}

bool TZelReportFields::EraseAt(int index)
{
    if (index < 0 || index >= static_cast<int>(fields_.size()))
        return false;
    fields_.erase(fields_.begin() + index);
    if (currentIndex_ > index)
        --currentIndex_;
    return true;
}

TReportFieldList TZelReportFields::Snapshot()
{
    const std::lock_guard guard(dataLock_);
    return fields_;
}

std::shared_ptr<TZelReportFields> TZelReportFields::Copy()
{
    auto copy = std::make_shared<TZelReportFields>();
    const std::lock_guard guard(dataLock_);
    copy->fields_ = fields_;
    copy->ready_ = true;
    return copy;
}

IReportChangeSink* TZelReportFields::PinnedOwner()
{
    const std::lock_guard guard(ownerLock_);
    return owner_ && owner_->Pin() ? owner_ : nullptr;
}

void TZelReportFields::BeginUpdate()
{
    if (IReportChangeSink* owner = PinnedOwner()) {
        owner->BeginUpdate();
        owner->Unpin();
    }
}

void TZelReportFields::EndUpdate()
{
    if (IReportChangeSink* owner = PinnedOwner()) {
        owner->EndUpdate();
        owner->Unpin();
    }
}

void TZelReportFields::ForgetOwner()
{
    const std::lock_guard guard(ownerLock_);
    owner_ = nullptr;
}

void TZelReportFields::SetCurrentIndex(int index)
{
    const std::lock_guard guard(dataLock_);
    currentIndex_ = index;
}

void TZelReportFields::SetReady()
{
    const std::lock_guard guard(dataLock_);
    ready_ = true;
}

// The owner's last reference may go with the unpinning: nothing of this list is touched after it.
void TZelReportFields::Announce()
{
    if (IReportChangeSink* owner = PinnedOwner()) {
        owner->ReportChanged();
        owner->Unpin();
    }
}
