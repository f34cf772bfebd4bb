#pragma once
// The zip writer's files through the C++ library, for builds without the Win32 layer.
#include "zip/ZipFileSystem.h"

class TStdZipFiles : public IZipFileSystem {
public:
    std::optional<TZipSourceFile> ReadWholeFile(const UnicodeString& name) override;
    std::unique_ptr<IZipOutput> CreateArchive(const UnicodeString& name) override;
    void DeleteArchive(const UnicodeString& name) override;
};
