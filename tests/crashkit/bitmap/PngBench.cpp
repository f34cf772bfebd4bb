// PNG encoding speed beside zlib's own deflate of the same pixel data. Not a test: prints its
// figures.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "bitmap/PngFile.h"

namespace {

// A screenshot-like picture: flat areas, gradients and some noise.
TBitmapPixels Screenshot(int32_t width, int32_t height)
{
    TBitmapPixels pixels = TBitmapPixels::Make(width, height);
    std::mt19937 random(1);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = &pixels.bits[pixels.Offset(x, y)];
            const bool window = x > width / 4 && x < width * 3 / 4 && y > height / 5 && y < height * 4 / 5;
            pixel[0] = window ? 240 : static_cast<uint8_t>(x * 255 / width);
            pixel[1] = window ? 240 : static_cast<uint8_t>(y * 255 / height);
            pixel[2] = window && (random() % 16 == 0) ? 0 : 200;
        }
    }
    return pixels;
}

template <typename TRun>
double Seconds(int rounds, TRun run)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

} // namespace

int main()
{
    constexpr int kRounds = 5;
    const TBitmapPixels pixels = Screenshot(1280, 1024);
    const double megabytes = static_cast<double>(pixels.bits.size()) / 1e6;
    size_t colourSize = 0, greySize = 0;
    const double colour = Seconds(kRounds, [&] { colourSize = BuildPng256(pixels).size(); });
    const double grey = Seconds(kRounds, [&] { greySize = BuildPngGrey(pixels).size(); });
    std::vector<Bytef> packed(compressBound(static_cast<uLong>(pixels.bits.size())));
    uLongf packedSize = 0;
    const double zlib = Seconds(kRounds, [&] {
        packedSize = static_cast<uLongf>(packed.size());
        compress(packed.data(), &packedSize, pixels.bits.data(), static_cast<uLong>(pixels.bits.size()));
    });
    std::printf("1280 x 1024 pixels (%.1f MB of 32-bit bits)\n", megabytes);
    std::printf("PNG 256 colours: %7.1f ms  %6.1f MB/s  %zu bytes\n", colour * 1e3, megabytes / colour, colourSize);
    std::printf("PNG 16 greys:    %7.1f ms  %6.1f MB/s  %zu bytes\n", grey * 1e3, megabytes / grey, greySize);
    std::printf("zlib compress:   %7.1f ms  %6.1f MB/s  %lu bytes\n", zlib * 1e3, megabytes / zlib,
                static_cast<unsigned long>(packedSize));
    return 0;
}
