#include "win32/Win32ZipFiles.h"

#include "win32/FileReads.h"
#include "win32/WinFile.h"
#include "zip/ZipArchive.h"

namespace {

const wchar_t* WideName(const UnicodeString& name)
{
    return reinterpret_cast<const wchar_t*>(name.c_str());
}

class TWin32ZipOutput : public IZipOutput {
public:
    explicit TWin32ZipOutput(HANDLE file) : file_(file) {}

    bool Write(const void* data, size_t length) override
    {
        auto bytes = static_cast<const char*>(data);
        while (length > 0) {
            const DWORD piece = length < (1u << 30) ? static_cast<DWORD>(length) : (1u << 30);
            DWORD written = 0;
            if (!WriteFile(file_.Get(), bytes, piece, &written, nullptr) || written != piece)
                return false;
            bytes += piece;
            length -= piece;
        }
        return true;
    }

    bool Close() override { return file_.Close(); }

private:
    TWinFile file_;
};

} // namespace

std::optional<TZipSourceFile> TWin32ZipFiles::ReadWholeFile(const UnicodeString& name)
{
    TWinFile file(CreateFileW(WideName(name), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file.Get(), &information))
        return std::nullopt;
    const uint64_t size = uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    if (size > SIZE_MAX / 2)
        return std::nullopt;
    TZipSourceFile source;
    try {
        source.contents.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!ReadExactly(file.Get(), source.contents.data(), size))
        return std::nullopt;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToLocalFileTime(&information.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return std::nullopt;
    source.dosDate = date;
    source.dosTime = time;
    source.attributes = information.dwFileAttributes;
    return source;
}

std::unique_ptr<IZipOutput> TWin32ZipFiles::CreateArchive(const UnicodeString& name)
{
    const HANDLE file =
        CreateFileW(WideName(name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<TWin32ZipOutput>(file);
}

void TWin32ZipFiles::DeleteArchive(const UnicodeString& name)
{
    DeleteFileW(WideName(name));
}

bool WriteZipArchive(const UnicodeString& archiveName, const TDAUnicodeString& fileNames,
                     const TDAUnicodeString& sendAsNames)
{
    TWin32ZipFiles files;
    return WriteZipArchive(files, archiveName, fileNames, sendAsNames);
}
