#pragma once
// The upload server as configured ("https://host/path", "host/path", "host") and the check of
// redirect targets before any is opened.
#include <string>
#include <string_view>

struct THttpServerText {
    std::string host;
    std::string path; // from the first "/" on; "/" when none
};

THttpServerText ParseHttpServerText(std::string_view server);

// Only http and https addresses may be handed to the shell.
bool IsWebUrl(std::string_view url);
