#pragma once
// The upload route's values that hold for the whole process: the proxy texts (empty: none) and
// the switches for certificates and redirects. The host program sets them; every send reads
// them when it creates its HTTP client.
#include "http/WinHttp.h"

struct THttpProcessValues {
    THttpProxy proxy;
    // Certificate errors end an https upload; when clear they are ignored.
    bool checkCertificates = true;
    bool followRedirects = false;
    bool openRedirectTarget = true;
};

THttpProcessValues HttpProcessValues();
void SetHttpProcessValues(const THttpProcessValues& values);

// The client's settings for a server text with these values applied.
void ApplyHttpProcessValues(THttpServer& server);
