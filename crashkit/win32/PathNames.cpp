#include "win32/PathNames.h"

#include <windows.h>

#include <vector>

#include "system/SystemText.h"
#include "text/FilePaths.h"
#include "text/NumberFormat.h"
#include "text/TextEdit.h"

namespace {

const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The part of the path that stays as written: "\\server\share\", "C:\" or "C:".
size_t RootLength(const UnicodeString& path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const UnicodeString root = ExtractRootW(path);
        return std::min(root.size(), path.size());
    }
    return 0;
}

template <typename Choose>
UnicodeString MapComponents(const UnicodeString& path, Choose choose)
{
    const size_t rootLength = RootLength(path);
    UnicodeString result = path.substr(0, rootLength);
    size_t at = rootLength;
    while (at < path.size()) {
        const size_t end = std::min(path.find(u'\\', at), path.size());
        UnicodeString component = path.substr(at, end - at);
        if (!component.empty() && component.find_first_of(u"*?") == UnicodeString::npos) {
            WIN32_FIND_DATAW found;
            const HANDLE search = FindFirstFileW(Wide(result + component), &found);
            if (search != INVALID_HANDLE_VALUE) {
                FindClose(search);
                component = choose(component, found);
            }
        }
        result += component;
        if (end < path.size())
            result += u'\\';
        at = end + 1;
    }
    if (result.size() > rootLength && !result.empty() && result.back() == u'\\')
        result.pop_back();
    return result;
}

UnicodeString ToWide(const AnsiString& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    UnicodeString wide(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(wide.data()),
                        length);
    return wide;
}

AnsiString ToAnsi(const UnicodeString& text)
{
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, source, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    AnsiString ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, source, static_cast<int>(text.size()), ansi.data(), length, nullptr, nullptr);
    return ansi;
}

} // namespace

UnicodeString ShortPathNameW(const UnicodeString& path)
{
    return MapComponents(path, [](const UnicodeString&, const WIN32_FIND_DATAW& found) {
        const wchar_t* name = found.cAlternateFileName[0] ? found.cAlternateFileName : found.cFileName;
        return UnicodeString(reinterpret_cast<const char16_t*>(name));
    });
}

AnsiString ShortPathNameA(const AnsiString& path)
{
    return ToAnsi(ShortPathNameW(ToWide(path)));
}

UnicodeString LongPathNameW(const UnicodeString& path)
{
    return MapComponents(path, [](const UnicodeString& component, const WIN32_FIND_DATAW& found) {
        if (component.find(u'~') == UnicodeString::npos)
            return component;
        return UnicodeString(reinterpret_cast<const char16_t*>(found.cFileName));
    });
}

AnsiString LongPathNameA(const AnsiString& path)
{
    return ToAnsi(LongPathNameW(ToWide(path)));
}

UnicodeString GetFileVersionStr(const UnicodeString& fileName)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(Wide(fileName), &ignored);
    if (size == 0)
        return {};
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(Wide(fileName), 0, size, block.data()))
        return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
        length >= sizeof *fixed && (fixed->dwFileVersionMS != 0 || fixed->dwFileVersionLS != 0))
        return VersionToStrW(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    const WORD* translation = nullptr;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(const_cast<WORD**>(&translation)),
                        &length) || !translation || length < 4)
        return {};
    UnicodeString code = DWordToHexW(uint32_t{translation[0]} << 16 | translation[1]);
    PadStrW(code, 8, u'0');
    const UnicodeString query = u"\\StringFileInfo\\" + code + u"\\FileVersion";
    const wchar_t* text = nullptr;
    if (!VerQueryValueW(block.data(), Wide(query), reinterpret_cast<void**>(const_cast<wchar_t**>(&text)), &length) ||
        !text)
        return {};
    return TrimW(std::u16string_view(reinterpret_cast<const char16_t*>(text)));
}
