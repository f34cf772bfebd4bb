#include "http/HttpProcessValues.h"

#include "engine/LockedValue.h"

namespace {

TLockedValue<THttpProcessValues>& Values()
{
    static TLockedValue<THttpProcessValues> values;
    return values;
}

} // namespace

THttpProcessValues HttpProcessValues()
{
    return Values().Get();
}

void SetHttpProcessValues(const THttpProcessValues& values)
{
    Values().Set(values);
}

void ApplyHttpProcessValues(THttpServer& server)
{
    const THttpProcessValues values = HttpProcessValues();
    server.proxy = values.proxy;
    server.acceptAnyCertificate = !values.checkCertificates;
    server.followRedirects = values.followRedirects;
    server.openRedirectTarget = values.openRedirectTarget;
}
