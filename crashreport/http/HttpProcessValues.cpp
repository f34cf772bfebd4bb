#include "http/HttpProcessValues.h"

#include <mutex>

namespace {

std::mutex& ValuesLock()
{
    static std::mutex lock;
    return lock;
}

THttpProcessValues& Values()
{
    static THttpProcessValues values;
    return values;
}

} // namespace

THttpProcessValues HttpProcessValues()
{
    const std::lock_guard<std::mutex> hold(ValuesLock());
    return Values();
}

void SetHttpProcessValues(const THttpProcessValues& values)
{
    const std::lock_guard<std::mutex> hold(ValuesLock());
    Values() = values;
}

void ApplyHttpProcessValues(THttpServer& server)
{
    const THttpProcessValues values = HttpProcessValues();
    server.proxy = values.proxy;
    server.acceptAnyCertificate = !values.checkCertificates;
    server.followRedirects = values.followRedirects;
    server.openRedirectTarget = values.openRedirectTarget;
}
