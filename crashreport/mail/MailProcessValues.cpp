#include "mail/MailProcessValues.h"

#include <mutex>

namespace {

std::mutex& ValuesLock()
{
    static std::mutex lock;
    return lock;
}

TMailProcessValues& Values()
{
    static TMailProcessValues values;
    return values;
}

} // namespace

TMailProcessValues MailProcessValues()
{
    const std::lock_guard<std::mutex> hold(ValuesLock());
    return Values();
}

void SetMailProcessValues(const TMailProcessValues& values)
{
    const std::lock_guard<std::mutex> hold(ValuesLock());
    Values() = values;
}
