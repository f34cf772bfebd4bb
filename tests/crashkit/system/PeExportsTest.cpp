#include "system/PeExports.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "system/PeImage.h"

// Natively the tests read the sample DLLs the MinGW compilers made; under Windows the
// Win32 tests read loaded modules instead.
#if defined(CRASHKIT_PE_SAMPLES_DIR)

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Lays the file out as the loader would: headers, then each section at its address.
std::string LoadedLayout(const std::string& file, const TPeHeaders& headers)
{
    std::string image(headers.sizeOfImage, '\0');
    image.replace(0, headers.sizeOfHeaders, file, 0, headers.sizeOfHeaders);
    for (const TPeSection& section : headers.sections) {
        const size_t length = std::min(section.rawSize, section.virtualSize);
        image.replace(section.virtualAddress, length, file, section.rawOffset, length);
    }
    return image;
}

class PeExportsTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        file_ = ReadFile(std::string(CRASHKIT_PE_SAMPLES_DIR) + "/PeSample-" + GetParam() + ".dll");
        if (file_.empty())
            GTEST_SKIP() << "no MinGW compiler made the " << GetParam() << " sample";
    }

    std::string file_;
};

TEST_P(PeExportsTest, FileAndLoadedLayoutAgree)
{
    const TBufferReader fileReader(file_);
    const auto headers = ReadPeHeaders(fileReader, 0);
    ASSERT_TRUE(headers.has_value());
    EXPECT_EQ(std::string(GetParam()) == "x86_64", headers->is64);
    EXPECT_EQ(headers->is64 ? 0x8664 : 0x14C, headers->machine);

    const std::string layout = LoadedLayout(file_, *headers);
    const uint64_t base = headers->is64 ? 0x180000000 : 0x10000000;
    const TBufferReader memory(layout, base);
    const auto loadedHeaders = ReadPeHeaders(memory, base);
    ASSERT_TRUE(loadedHeaders.has_value());
    const TLoadedImage loaded(memory, base, *loadedHeaders);
    const TFileImage onDisk(fileReader, 0, *headers);

    for (const TImageView* image : {static_cast<const TImageView*>(&loaded), static_cast<const TImageView*>(&onDisk)}) {
        const auto exports = ReadExportDirectory(*image);
        ASSERT_TRUE(exports.has_value());
        EXPECT_EQ(1u, exports->ordinalBase);
        EXPECT_EQ(4u, exports->functionCount);
        EXPECT_EQ(3u, exports->nameCount); // Hidden has no name

        const auto alpha = ExportByName(*image, *exports, "Alpha");
        const auto beta = ExportByName(*image, *exports, "Beta");
        ASSERT_TRUE(alpha && beta);
        EXPECT_EQ(1u, alpha->ordinal);
        EXPECT_TRUE(alpha->forwarder.empty());
        EXPECT_NE(alpha->rva, beta->rva);
        EXPECT_FALSE(ExportByName(*image, *exports, "Hidden").has_value());
        EXPECT_FALSE(ExportByName(*image, *exports, "Alph").has_value());

        const auto forwarded = ExportByName(*image, *exports, "Forwarded");
        ASSERT_TRUE(forwarded.has_value());
        EXPECT_EQ("kernel32.GetTickCount", forwarded->forwarder);

        const auto hidden = ExportByOrdinal(*image, *exports, 3);
        ASSERT_TRUE(hidden.has_value());
        EXPECT_EQ(std::optional<std::string>("#3"), ExportNameOf(*image, *exports, hidden->rva, false));
        EXPECT_EQ(std::optional<std::string>("Beta"), ExportNameOf(*image, *exports, beta->rva, true));
        EXPECT_FALSE(ExportByOrdinal(*image, *exports, 0).has_value());
        EXPECT_FALSE(ExportByOrdinal(*image, *exports, 5).has_value());
        EXPECT_FALSE(ExportNameOf(*image, *exports, 0x7FFFFFF0, false).has_value());
    }
}

TEST_P(PeExportsTest, DamagedImagesAreRefused)
{
    std::string damaged = file_;
    damaged[0] = 'X';
    EXPECT_FALSE(ReadPeHeaders(TBufferReader(damaged), 0).has_value());
    damaged = file_;
    damaged[60] = static_cast<char>(0xF0); // NT headers beyond the file
    damaged[61] = static_cast<char>(0xFF);
    EXPECT_FALSE(ReadPeHeaders(TBufferReader(damaged), 0).has_value());
    // Every cut of the file either parses or is refused; none reads outside it.
    for (size_t length = 0; length < file_.size(); length += 97) {
        const std::string cut = file_.substr(0, length);
        const TBufferReader reader(cut);
        const auto headers = ReadPeHeaders(reader, 0);
        if (!headers)
            continue;
        const TFileImage image(reader, 0, *headers);
        if (const auto exports = ReadExportDirectory(image))
            ExportByName(image, *exports, "Beta");
    }
}

INSTANTIATE_TEST_SUITE_P(Architectures, PeExportsTest, ::testing::Values("i686", "x86_64"));

} // namespace

#endif
