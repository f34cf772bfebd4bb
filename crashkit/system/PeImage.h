#pragma once
// Headers of PE images (PE32 and PE32+), as loaded in memory or as a file on disk, read
// through a memory reader so that nothing is touched unchecked.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/MemoryReader.h"

struct TPeSection {
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
};

struct TDataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

constexpr unsigned kExportDirectory = 0;
constexpr unsigned kResourceDirectory = 2;

struct TPeHeaders {
    uint32_t ntHeadersOffset = 0; // from the image's start ("PE\0\0")
    bool is64 = false;            // optional-header magic 0x20B
    uint16_t machine = 0;
    uint32_t sizeOfImage = 0;
    uint32_t sizeOfHeaders = 0;
    std::vector<TDataDirectory> directories;
    std::vector<TPeSection> sections;

    TDataDirectory Directory(unsigned index) const { return index < directories.size() ? directories[index] : TDataDirectory{}; }
};

// None unless the image starts with "MZ" and its NT headers with "PE\0\0".
std::optional<TPeHeaders> ReadPeHeaders(const IMemoryReader& reader, uint64_t imageStart);

// Reads an image's content by relative virtual address.
class TImageView {
public:
    TImageView(const IMemoryReader& reader, uint64_t start, TPeHeaders headers)
        : reader_(reader), start_(start), headers_(std::move(headers)) {}
    virtual ~TImageView() = default;

    const TPeHeaders& Headers() const { return headers_; }
    virtual bool ReadRva(uint32_t rva, void* out, size_t size) const = 0;
    // A zero-terminated 8-bit text of at most maxLength characters; none when unreadable.
    std::optional<std::string> ReadText(uint32_t rva, size_t maxLength = 1024) const;
    template <typename T>
    std::optional<T> Read(uint32_t rva) const
    {
        T value{};
        if (!ReadRva(rva, &value, sizeof value))
            return std::nullopt;
        return value;
    }

protected:
    const IMemoryReader& reader_;
    uint64_t start_;
    TPeHeaders headers_;
};

// An image the loader mapped: an address is the start plus the RVA.
class TLoadedImage : public TImageView {
public:
    using TImageView::TImageView;
    bool ReadRva(uint32_t rva, void* out, size_t size) const override;
};

// The image file's bytes: an RVA goes through the section table to a file offset.
class TFileImage : public TImageView {
public:
    using TImageView::TImageView;
    bool ReadRva(uint32_t rva, void* out, size_t size) const override;
};
