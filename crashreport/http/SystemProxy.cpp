#include "http/SystemProxy.h"

#include <memory>

#include "http/WinHttpApi.h"

namespace {

// WinHTTP hands its texts over in global memory.
struct TGlobalFree {
    void operator()(wchar_t* text) const { GlobalFree(text); }
};
using TGlobalText = std::unique_ptr<wchar_t, TGlobalFree>;

std::wstring TextOf(const TGlobalText& text) { return text ? std::wstring(text.get()) : std::wstring(); }

} // namespace

std::optional<THttpProxyList> FindSystemProxy(HINTERNET session, const std::wstring& url)
{
    const TWinHttpApi& api = WinHttpApi();
    if (!api.loaded)
        return std::nullopt;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    const bool haveUser = api.GetIEProxyConfigForCurrentUser(&user);
    const TGlobalText scriptUrl(user.lpszAutoConfigUrl);
    const TGlobalText userList(user.lpszProxy);
    const TGlobalText userBypass(user.lpszProxyBypass);
    if (haveUser && userList)
        return THttpProxyList{userList.get(), TextOf(userBypass)};
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | (scriptUrl ? WINHTTP_AUTOPROXY_CONFIG_URL : 0);
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    options.lpszAutoConfigUrl = scriptUrl.get();
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO found{};
    if (!api.GetProxyForUrl(session, url.c_str(), &options, &found))
        return std::nullopt;
    const TGlobalText foundList(found.lpszProxy);
    const TGlobalText foundBypass(found.lpszProxyBypass);
    if (found.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || !foundList)
        return std::nullopt;
    return THttpProxyList{foundList.get(), TextOf(foundBypass)};
}
