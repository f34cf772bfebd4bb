#include "net/HttpServerText.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithoutCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

THttpServerText ParseHttpServerText(std::string_view server)
{
    const size_t scheme = server.find("://");
    if (scheme != std::string_view::npos)
        server.remove_prefix(scheme + 3);
    const size_t slash = server.find('/');
    if (slash == std::string_view::npos)
        return {std::string(server), "/"};
    return {std::string(server.substr(0, slash)), std::string(server.substr(slash))};
}

bool IsWebUrl(std::string_view url)
{
    const bool web = StartsWithoutCase(url, "http://") || StartsWithoutCase(url, "https://");
    return web && std::none_of(url.begin(), url.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}
