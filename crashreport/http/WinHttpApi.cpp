#include "http/WinHttpApi.h"

namespace {

template <class F>
bool Find(HMODULE library, const char* name, F& slot)
{
    slot = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    return slot != nullptr;
}

TWinHttpApi Load()
{
    TWinHttpApi api;
    const HMODULE library = LoadLibraryW(L"winhttp.dll");
    if (!library)
        return api;
    api.library = library;
    api.loaded = Find(library, "WinHttpOpen", api.Open) & Find(library, "WinHttpConnect", api.Connect) &
                 Find(library, "WinHttpOpenRequest", api.OpenRequest) &
                 Find(library, "WinHttpAddRequestHeaders", api.AddRequestHeaders) &
                 Find(library, "WinHttpSendRequest", api.SendRequest) &
                 Find(library, "WinHttpGetIEProxyConfigForCurrentUser", api.GetIEProxyConfigForCurrentUser) &
                 Find(library, "WinHttpGetProxyForUrl", api.GetProxyForUrl) & Find(library, "WinHttpSetOption", api.SetOption) &
                 Find(library, "WinHttpWriteData", api.WriteData) &
                 Find(library, "WinHttpReceiveResponse", api.ReceiveResponse) &
                 Find(library, "WinHttpQueryHeaders", api.QueryHeaders) &
                 Find(library, "WinHttpQueryAuthSchemes", api.QueryAuthSchemes) &
                 Find(library, "WinHttpSetCredentials", api.SetCredentials) &
                 Find(library, "WinHttpQueryDataAvailable", api.QueryDataAvailable) &
                 Find(library, "WinHttpReadData", api.ReadData) & Find(library, "WinHttpCloseHandle", api.CloseHandle);
    return api;
}

} // namespace

const TWinHttpApi& WinHttpApi()
{
    static const TWinHttpApi api = Load();
    return api;
}
