#pragma once
// The zip writer's files through Win32: sources opened for reading with read and write
// sharing, their last-write time in local DOS form and their attributes; the archive created
// for exclusive writing.
#include "zip/ZipFileSystem.h"

class TWin32ZipFiles : public IZipFileSystem {
public:
    std::optional<TZipSourceFile> ReadWholeFile(const UnicodeString& name) override;
    std::unique_ptr<IZipOutput> CreateArchive(const UnicodeString& name) override;
    void DeleteArchive(const UnicodeString& name) override;
};

// The archive of the files through Win32, as the crash library writes its attachments.
bool WriteZipArchive(const UnicodeString& archiveName, const TDAUnicodeString& fileNames,
                     const TDAUnicodeString& sendAsNames);
