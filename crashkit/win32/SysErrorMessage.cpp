#include "win32/SysErrorMessage.h"

#include <windows.h>

#include "text/NumberFormat.h"
#include "text/TextEdit.h"

namespace {

constexpr char kFallbackPrefix[] = "System error";

struct TCodeRange {
    uint32_t first;
    uint32_t last;
    const wchar_t* module;
};

// Message modules for codes the system table lacks, loaded as data only.
constexpr TCodeRange kNetworkMessages{2100, 2999, L"netmsg.dll"};
constexpr TCodeRange kInternetMessages{12000, 12186, L"wininet.dll"};

class TMessageModule {
public:
    TMessageModule(uint32_t code, bool withInternet)
    {
        for (const TCodeRange* range : {&kNetworkMessages, withInternet ? &kInternetMessages : nullptr}) {
            if (range && code >= range->first && code <= range->last)
                module_ = LoadLibraryExW(range->module, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        }
    }
    ~TMessageModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TMessageModule(const TMessageModule&) = delete;
    TMessageModule& operator=(const TMessageModule&) = delete;

    HMODULE Get() const { return module_; }
    DWORD Flags() const
    {
        return FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
               (module_ ? FORMAT_MESSAGE_FROM_HMODULE : 0);
    }

private:
    HMODULE module_ = nullptr;
};

template <typename Char>
class TSystemBuffer {
public:
    ~TSystemBuffer()
    {
        if (text)
            LocalFree(text);
    }
    Char* text = nullptr;
};

// NTSTATUS values (either top bit set) become Win32 codes when ntdll can translate them.
uint32_t TranslatedCode(uint32_t code)
{
    if ((code & 0xC0000000) == 0)
        return code;
    using TTranslate = ULONG(WINAPI*)(LONG);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto translate =
        ntdll ? reinterpret_cast<TTranslate>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")))
              : nullptr;
    return translate ? translate(static_cast<LONG>(code)) : code;
}

// CR becomes a blank and LF goes, so that the text is one line.
template <typename Text>
Text OneLine(Text text)
{
    Text line;
    for (const auto c : text) {
        if (c == '\r')
            line += ' ';
        else if (c != '\n')
            line += c;
    }
    return line;
}

} // namespace

AnsiString SysErrorMessageA(uint32_t code)
{
    const uint32_t lookedUp = TranslatedCode(code);
    const TMessageModule module(lookedUp, true);
    TSystemBuffer<char> buffer;
    const DWORD length = FormatMessageA(module.Flags(), module.Get(), lookedUp, LANG_USER_DEFAULT,
                                        reinterpret_cast<LPSTR>(&buffer.text), 0, nullptr);
    if (length == 0 || !buffer.text)
        return AnsiString(kFallbackPrefix) + " " + IntToHexStrA(code, 1, '0');
    return OneLine(AnsiString(buffer.text, length));
}

UnicodeString SysErrorMessageW(uint32_t code)
{
    const uint32_t lookedUp = TranslatedCode(code);
    const TMessageModule module(lookedUp, false);
    TSystemBuffer<wchar_t> buffer;
    const DWORD length = FormatMessageW(module.Flags(), module.Get(), lookedUp, LANG_USER_DEFAULT,
                                        reinterpret_cast<LPWSTR>(&buffer.text), 0, nullptr);
    if (length == 0 || !buffer.text) {
        const AnsiString prefix = kFallbackPrefix;
        return UnicodeString(prefix.begin(), prefix.end()) + u" " + IntToHexStrW(code, 1, u'0');
    }
    return OneLine(UnicodeString(reinterpret_cast<const char16_t*>(buffer.text), length));
}
