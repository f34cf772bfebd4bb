// Demo host: loads Conduvex.dll the way a host application does, prints its identity and
// walks through the last-error functions.
#include <conduvex.h>

#include <cstdio>
#include <string>

namespace {

template <class Function>
Function Bind(HMODULE dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

std::string LastErrorTextOf(PFN_LastErrorText lastErrorText)
{
    int32_t length = 0;
    lastErrorText(nullptr, &length);
    std::string text(static_cast<size_t>(length), '\0');
    lastErrorText(text.data(), &length);
    text.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
    return text;
}

} // namespace

int main()
{
    HMODULE dll = LoadLibraryA("Conduvex.dll");
    if (!dll) {
        std::printf("Conduvex.dll could not be loaded (error %lu)\n", GetLastError());
        return 1;
    }
    auto info = Bind<PFN_Info>(dll, "Info");
    auto lastError = Bind<PFN_LastError>(dll, "LastError");
    auto lastErrorText = Bind<PFN_LastErrorText>(dll, "LastErrorText");
    auto setLastError = Bind<PFN_ConduvexSetLastError>(dll, "SetLastError");
    auto handlesCount = Bind<PFN_ciHandlesCount>(dll, "ciHandlesCount");
    auto handleByIndex = Bind<PFN_ciHandleByIndex>(dll, "ciHandleByIndex");
    if (!info || !lastError || !lastErrorText || !setLastError || !handlesCount || !handleByIndex) {
        std::printf("Conduvex.dll lacks an export this demo needs\n");
        return 1;
    }

    char text[64];
    int32_t length = sizeof text;
    info(text, &length);
    std::printf("Loaded: %s\n", text);
    std::printf("Links open: %d\n", handlesCount());

    setLastError(CI_ERR_NO_RESPONSE, nullptr);
    std::printf("SetLastError(0x%08X, NULL) -> LastError 0x%08X \"%s\"\n", CI_ERR_NO_RESPONSE,
                lastError(), LastErrorTextOf(lastErrorText).c_str());

    handleByIndex(5);
    std::printf("ciHandleByIndex(5) -> LastError 0x%08X \"%s\"\n", lastError(),
                LastErrorTextOf(lastErrorText).c_str());

    handlesCount();
    std::printf("ciHandlesCount() clears it -> LastError 0x%08X\n", lastError());

    FreeLibrary(dll);
    return 0;
}
