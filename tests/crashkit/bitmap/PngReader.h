#pragma once
// A small independent reader of the PNG files under test: chunks with their CRCs checked by
// zlib, and the IDAT inflated by zlib.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct TPngChunk {
    std::string type;
    std::string data;
};

inline uint32_t BigEndian(const std::string& data, size_t at)
{
    return uint32_t{static_cast<uint8_t>(data[at])} << 24 | uint32_t{static_cast<uint8_t>(data[at + 1])} << 16 |
           uint32_t{static_cast<uint8_t>(data[at + 2])} << 8 | static_cast<uint8_t>(data[at + 3]);
}

// The chunks of a PNG file; a failed expectation for a bad signature, length or CRC.
inline std::vector<TPngChunk> ReadChunks(const std::string& png)
{
    std::vector<TPngChunk> chunks;
    EXPECT_EQ(std::string("\x89PNG\r\n\x1A\n", 8), png.substr(0, 8));
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = BigEndian(png, at);
        if (at + 12 + length > png.size())
            break;
        TPngChunk chunk{png.substr(at + 4, 4), png.substr(at + 8, length)};
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), static_cast<uInt>(length + 4)));
        EXPECT_EQ(crc, BigEndian(png, at + 8 + length)) << chunk.type;
        chunks.push_back(chunk);
        at += 12 + length;
    }
    EXPECT_EQ(png.size(), at);
    return chunks;
}

// The IDAT's zlib stream inflated by zlib, which also checks its Adler-32.
inline std::string InflateIdat(const std::string& idat, size_t expectedSize)
{
    std::string out(expectedSize + 1, '\0');
    uLongf outSize = static_cast<uLongf>(out.size());
    EXPECT_EQ(Z_OK, uncompress(reinterpret_cast<Bytef*>(out.data()), &outSize,
                               reinterpret_cast<const Bytef*>(idat.data()), static_cast<uLong>(idat.size())));
    out.resize(outSize);
    return out;
}
