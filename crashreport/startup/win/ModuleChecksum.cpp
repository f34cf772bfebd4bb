#include "ModuleChecksum.h"

#include <span>

#include "engine/win/LibraryFolders.h"
#include "startup/PeChecksum.h"
#include "win32/MappedFile.h"

bool IsModuleFileCorrupt(HMODULE module)
{
    const UnicodeString path = GetModuleFileNameText(module);
    if (path.empty())
        return false;
    const TMappedFile file(reinterpret_cast<const wchar_t*>(path.c_str()));
    const std::string_view bytes = file.Bytes();
    const std::span<const uint8_t> image(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return CheckPeChecksum(image) == TChecksumVerdict::Mismatch;
}
