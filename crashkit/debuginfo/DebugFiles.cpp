#include "debuginfo/DebugFiles.h"

#include "text/FilePaths.h"

UnicodeString SideFileName(std::u16string_view moduleFileName, std::u16string_view newExtension)
{
    const UnicodeString extension = ExtractFileExtW(moduleFileName);
    // A dot in a folder name is no extension.
    const size_t extensionLength = extension.find_first_of(u"\\/") == UnicodeString::npos ? extension.size() : 0;
    return UnicodeString(moduleFileName.substr(0, moduleFileName.size() - extensionLength)) + UnicodeString(newExtension);
}
