#include "model/ReportTextCache.h"

TReportTextCache::TSnapshot TReportTextCache::Read() const
{
    const std::lock_guard guard(lock_);
    return {changeCounter_, text_};
}

uint64_t TReportTextCache::ChangeCounter() const
{
    const std::lock_guard guard(lock_);
    return changeCounter_;
}

bool TReportTextCache::StoreIfUnchanged(uint64_t changeCounter, const UnicodeString& text)
{
    const std::lock_guard guard(lock_);
    if (changeCounter != changeCounter_)
        return false;
    text_ = text;
    return true;
}

void TReportTextCache::Replace(const UnicodeString& text)
{
    const std::lock_guard guard(lock_);
    text_ = text;
}

void TReportTextCache::BeginUpdate()
{
    ++updateCount_;
}

bool TReportTextCache::EndUpdate()
{
    if (--updateCount_ != 0 || !changePending_.load())
        return false;
    return Change();
}

bool TReportTextCache::Change()
{
    if (updateCount_.load() > 0) {
        changePending_ = true;
        return false;
    }
    changePending_ = false;
    Invalidate();
    return true;
}

void TReportTextCache::Invalidate()
{
    const std::lock_guard guard(lock_);
    ++changeCounter_;
    text_.clear();
}
