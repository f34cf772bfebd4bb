// Bitmap files of any content: no crash and no read beyond the data; what is read writes back
// as the same pixels, and small images make valid-length PNG images.
#include <cstdint>

#include "FuzzProperty.h"
#include "bitmap/BmpFile.h"
#include "bitmap/PngFile.h"

namespace {

// Larger images only slow the run down; the encoder's loops do not depend on the content.
constexpr int64_t kMaxEncodedPixels = 4096;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<TBitmapPixels> pixels = ReadBmp({data, size});
    if (!pixels)
        return 0;
    Require(pixels->bits.size() == static_cast<size_t>(pixels->width) * static_cast<size_t>(pixels->height) * 4,
            "bits of another size than the sides");
    const std::string bmp = BuildBmp(*pixels);
    const std::optional<TBitmapPixels> back = ReadBmp({reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()});
    Require(back && back->bits == pixels->bits, "own image does not read back");
    if (int64_t{pixels->width} * pixels->height <= kMaxEncodedPixels) {
        Require(!BuildPng256(*pixels).empty(), "no colour image");
        Require(!BuildPngGrey(*pixels).empty(), "no grey image");
    }
    return 0;
}
