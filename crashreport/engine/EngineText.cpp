#include "engine/EngineText.h"

#include "text/FilePaths.h"
#include "text/TextEdit.h"
#include "text/TextItems.h"

namespace {

// "..\" never takes away the root ("C:\"): the first 3 characters stay.
constexpr size_t kProtectedPrefix = 3;

// Each "\..\" takes the folder before it away; nested levels fall one after another.
UnicodeString ResolveParentFolders(UnicodeString path)
{
    static constexpr std::u16string_view kUp = u"\\..\\";
    for (size_t at = path.find(kUp); at != UnicodeString::npos; at = path.find(kUp)) {
        const size_t folder = at == 0 ? UnicodeString::npos : path.rfind(u'\\', at - 1);
        const size_t cut = folder == UnicodeString::npos || folder < kProtectedPrefix - 1 ? at : folder;
        path.erase(cut, at + kUp.size() - 1 - cut);
    }
    return path;
}

} // namespace

UnicodeString RemoveExtension(std::u16string_view text)
{
    const size_t dot = text.rfind(u'.');
    return UnicodeString(dot == std::u16string_view::npos ? text : text.substr(0, dot));
}

UnicodeString EndWithFullStop(std::u16string_view text)
{
    const size_t keep = text.find_last_not_of(u".!");
    UnicodeString result(keep == std::u16string_view::npos ? std::u16string_view{} : text.substr(0, keep + 1));
    return result + u".";
}

int NormalizeAddressList(UnicodeString& text)
{
    for (char16_t& c : text)
        if (c == u';')
            c = u',';
    CollapseCharW(text, u',');
    return text.empty() ? 0 : ItemCountW(text, u',');
}

UnicodeString ExpandProgramPath(std::u16string_view path, std::u16string_view mainProgram)
{
    UnicodeString full;
    const bool startsWithOneSlash = !path.empty() && path[0] == u'\\' && (path.size() < 2 || path[1] != u'\\');
    if (path.size() <= 2 || (path[0] != u'\\' && path[1] != u':'))
        full = ExtractFilePathW(mainProgram) + UnicodeString(path);
    else if (startsWithOneSlash) {
        UnicodeString root = ExtractRootW(mainProgram);
        if (root == mainProgram) // no drive or share: keep the path as it is
            root = u"\\";
        full = root + UnicodeString(path.substr(1));
    } else
        full = UnicodeString(path);
    ReplaceTextW(full, u"\\.\\", u"\\", true);
    return ResolveParentFolders(std::move(full));
}

UnicodeString ProcessSuffix(uint32_t processId)
{
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    UnicodeString digits;
    do {
        digits.insert(digits.begin(), kDigits[processId & 0xF]);
        processId >>= 4;
    } while (processId != 0);
    return u"$" + digits;
}
