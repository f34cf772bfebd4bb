#include "debuginfo/DebugFiles.h"

#include <algorithm>

#include "text/CaseFolding.h"
#include "text/FilePaths.h"

std::optional<std::string> IDebugFiles::ReadFilePart(const UnicodeString& path, uint64_t offset, size_t length) const
{
    std::optional<std::string> file = ReadWholeFile(path);
    if (!file)
        return std::nullopt;
    if (offset >= file->size())
        return std::string();
    return file->substr(static_cast<size_t>(offset), length);
}

UnicodeString SideFileName(std::u16string_view moduleFileName, std::u16string_view newExtension)
{
    const UnicodeString extension = ExtractFileExtW(moduleFileName);
    // A dot in a folder name is no extension.
    const size_t extensionLength = extension.find_first_of(u"\\/") == UnicodeString::npos ? extension.size() : 0;
    return UnicodeString(moduleFileName.substr(0, moduleFileName.size() - extensionLength)) + UnicodeString(newExtension);
}

TModuleSideFiles::TModuleSideFiles(const IDebugFiles& files, const UnicodeString& moduleFileName)
    : files_(files), moduleFileName_(moduleFileName), sideFilePrefix_(SideFileName(moduleFileName, u"."))
{
}

bool TModuleSideFiles::MayExist(const UnicodeString& path) const
{
    if (path.size() < sideFilePrefix_.size() ||
        !SameTextW(std::u16string_view(path).substr(0, sideFilePrefix_.size()), sideFilePrefix_))
        return true;
    if (!listed_)
        listed_ = files_.FilesNamedLike(moduleFileName_);
    const std::optional<std::vector<UnicodeString>>& listed = *listed_;
    return !listed ||
           std::any_of(listed->begin(), listed->end(), [&](const UnicodeString& name) { return SameTextW(name, path); });
}

std::optional<std::string> TModuleSideFiles::ReadWholeFile(const UnicodeString& path) const
{
    return MayExist(path) ? files_.ReadWholeFile(path) : std::nullopt;
}

std::optional<int64_t> TModuleSideFiles::WriteDay(const UnicodeString& path) const
{
    return MayExist(path) ? files_.WriteDay(path) : std::nullopt;
}

std::optional<std::string> TModuleSideFiles::ReadFilePart(const UnicodeString& path, uint64_t offset, size_t length) const
{
    return MayExist(path) ? files_.ReadFilePart(path, offset, length) : std::nullopt;
}
