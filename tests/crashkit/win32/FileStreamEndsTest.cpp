#include "win32/FileStreamEnds.h"

#include <gtest/gtest.h>

#include <string>

#include "text/ZelException.h"
#include "zip/Crc32.h"
#include "zip/Deflate.h"

namespace {

std::string Pattern(size_t size)
{
    std::string data;
    data.reserve(size);
    uint32_t state = 7;
    while (data.size() < size) {
        state = state * 1664525 + 1013904223;
        data += static_cast<char>('a' + (state >> 28)); // 16 letters: compresses, not trivially
    }
    return data;
}

class TTempFile {
public:
    explicit TTempFile(const char* name, DWORD access = GENERIC_READ | GENERIC_WRITE)
    {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        path_ = std::string(folder) + "crashkit-" + std::to_string(GetCurrentProcessId()) + "-" + name;
        handle_ = CreateFileA(path_.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~TTempFile()
    {
        CloseHandle(handle_);
        DeleteFileA(path_.c_str());
    }
    HANDLE Handle() const { return handle_; }

    void Write(const std::string& data) const
    {
        DWORD written = 0;
        WriteFile(handle_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
    }
    std::string ReadAll() const
    {
        std::string data(GetFileSize(handle_, nullptr), '\0');
        SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
        DWORD got = 0;
        ReadFile(handle_, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
        return data;
    }

private:
    std::string path_;
    HANDLE handle_;
};

class TMapping {
public:
    TMapping(HANDLE file, DWORD protection, uint64_t size)
        : handle_(CreateFileMappingA(file, nullptr, protection, static_cast<DWORD>(size >> 32),
                                     static_cast<DWORD>(size & 0xFFFFFFFF), nullptr)) {}
    ~TMapping() { CloseHandle(handle_); }
    HANDLE Handle() const { return handle_; }

private:
    HANDLE handle_;
};

TEST(FileStreamEnds, FilesAndMappingsInWindowsOfOneMegabyte)
{
    const std::string data = Pattern(3 * kStreamWindow + 12345);
    const TTempFile source("source");
    source.Write(data);
    const TTempFile packed("packed");
    uint32_t crc = 0xFFFFFFFF;
    {
        TFileSource input(source.Handle(), data.size());
        TFileSink output(packed.Handle());
        const auto length = DeflateStream(input, output, &crc);
        ASSERT_TRUE(length.has_value());
        EXPECT_EQ(*length, GetFileSize(packed.Handle(), nullptr));
    }
    EXPECT_EQ(UpdateCrc32(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size())), crc);

    const std::string packedBytes = packed.ReadAll();
    const TMapping packedMapping(packed.Handle(), PAGE_READONLY, 0);
    const TTempFile unpacked("unpacked");
    {
        const TMapping unpackedMapping(unpacked.Handle(), PAGE_READWRITE, data.size());
        ASSERT_NE(nullptr, packedMapping.Handle());
        ASSERT_NE(nullptr, unpackedMapping.Handle());
        TMappingSource input(packedMapping.Handle(), packedBytes.size());
        TMappingSink output(unpackedMapping.Handle(), data.size());
        uint32_t outputCrc = 0xFFFFFFFF;
        EXPECT_EQ(std::optional<uint64_t>(data.size()), InflateStream(input, output, &outputCrc));
        EXPECT_EQ(crc, outputCrc);
    }
    EXPECT_EQ(data, unpacked.ReadAll());

    // A mapping that is too small takes no more than it holds.
    const TTempFile small("small");
    const TMapping smallMapping(small.Handle(), PAGE_READWRITE, kStreamWindow + 1);
    TMappingSource input(packedMapping.Handle(), packedBytes.size());
    TMappingSink output(smallMapping.Handle(), kStreamWindow + 1);
    EXPECT_FALSE(InflateStream(input, output).has_value());
}

TEST(FileStreamEnds, AFileShorterThanItsSizeIsAReadError)
{
    const TTempFile source("short");
    source.Write(Pattern(5000));
    TFileSource input(source.Handle(), 5001);
    std::string out(10000, '\0');
    TMemorySink output(out.data(), out.size());
    EXPECT_FALSE(DeflateStream(input, output).has_value());
}

TEST(FileStreamEnds, AFailedWriteRaisesStreamWriteError)
{
    const TTempFile source("data");
    source.Write(Pattern(20000));
    const TTempFile readOnly("readonly", GENERIC_READ);
    TFileSource input(source.Handle(), 20000);
    TFileSink output(readOnly.Handle());
    try {
        DeflateStream(input, output);
        FAIL() << "nothing raised";
    } catch (const ZelException& error) {
        EXPECT_STREQ("Stream write error.", error.what());
    }
}

} // namespace
