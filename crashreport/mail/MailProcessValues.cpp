#include "mail/MailProcessValues.h"

#include "engine/LockedValue.h"

namespace {

TLockedValue<TMailProcessValues>& Values()
{
    static TLockedValue<TMailProcessValues> values;
    return values;
}

} // namespace

TMailProcessValues MailProcessValues()
{
    return Values().Get();
}

void SetMailProcessValues(const TMailProcessValues& values)
{
    Values().Set(values);
}
