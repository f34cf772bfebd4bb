#include "bitmap/BitmapScaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double kSupport = 2.0;
constexpr double kFixedOne = 65536.0;

double Mitchell(double t)
{
    t = std::fabs(t);
    if (t < 1.0)
        return (7.0 / 6.0 * t - 2.0) * t * t + 8.0 / 9.0;
    if (t < 2.0)
        return ((-7.0 / 18.0 * t + 2.0) * t - 10.0 / 3.0) * t + 16.0 / 9.0;
    return 0.0;
}

struct TContributor {
    int32_t source;
    int32_t weight; // 16.16 fixed point
};

// Mirrors indices outside 0..n-1 back into the image; still out of range (tiny images) clamps.
int32_t Mirror(int64_t i, int32_t n)
{
    if (i < 0)
        i = -i;
    if (i >= n)
        i = 2 * int64_t{n} - i - 1;
    return static_cast<int32_t>(std::clamp<int64_t>(i, 0, n - 1));
}

// For each destination index, the source pixels it takes and their weights.
std::vector<std::vector<TContributor>> Contributors(int32_t source, int32_t destination)
{
    const double scale = double(destination) / source;
    const double width = scale < 1.0 ? kSupport / scale : kSupport;
    const double factor = scale < 1.0 ? scale : 1.0;
    std::vector<std::vector<TContributor>> lists(static_cast<size_t>(destination));
    for (int32_t i = 0; i < destination; ++i) {
        const double centre = i / scale;
        for (auto j = static_cast<int64_t>(std::ceil(centre - width)); j <= std::floor(centre + width); ++j) {
            const double weight = Mitchell((centre - double(j)) * factor) * factor;
            if (weight != 0.0)
                lists[static_cast<size_t>(i)].push_back({Mirror(j, source), static_cast<int32_t>(std::lround(weight * kFixedOne))});
        }
    }
    return lists;
}

uint8_t Clamp(int64_t sum)
{
    if (sum < 0)
        return 0;
    if (sum > 0xFF0000)
        return 255;
    return static_cast<uint8_t>(sum >> 16);
}

// One pixel from its contributors along a line: `at(source)` gives the source pixel.
template <typename TAt>
void Blend(const std::vector<TContributor>& list, TAt at, uint8_t* target)
{
    std::array<int64_t, 3> sums{};
    for (const TContributor& c : list) {
        const uint8_t* pixel = at(c.source);
        for (size_t channel = 0; channel < 3; ++channel)
            sums[channel] += int64_t{c.weight} * pixel[channel];
    }
    for (size_t channel = 0; channel < 3; ++channel)
        target[channel] = Clamp(sums[channel]);
}

} // namespace

std::optional<TBitmapSize> FitSize(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight)
{
    if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0)
        return std::nullopt;
    const int64_t fitHeight = int64_t{height} * maxWidth / width;
    const int64_t fitWidth = int64_t{width} * maxHeight / height;
    if (maxHeight >= fitHeight && maxWidth >= fitWidth)
        return TBitmapSize{maxWidth, maxHeight};
    if ((int64_t{width} << 16) / maxWidth <= (int64_t{height} << 16) / maxHeight)
        return TBitmapSize{static_cast<int32_t>(std::max<int64_t>(fitWidth, 1)), maxHeight};
    return TBitmapSize{maxWidth, static_cast<int32_t>(std::max<int64_t>(fitHeight, 1))};
}

std::optional<TBitmapPixels> ScaleToFit(const TBitmapPixels& pixels, int32_t maxWidth, int32_t maxHeight)
{
    if (pixels.Empty())
        return std::nullopt;
    const std::optional<TBitmapSize> size = FitSize(pixels.width, pixels.height, maxWidth, maxHeight);
    if (!size)
        return std::nullopt;
    TBitmapPixels rows = TBitmapPixels::Make(size->width, pixels.height);
    TBitmapPixels result = TBitmapPixels::Make(size->width, size->height);
    if (rows.Empty() || result.Empty())
        return std::nullopt;
    const auto across = Contributors(pixels.width, size->width);
    for (int32_t y = 0; y < pixels.height; ++y) {
        for (int32_t x = 0; x < size->width; ++x)
            Blend(across[static_cast<size_t>(x)], [&](int32_t s) { return &pixels.bits[pixels.Offset(s, y)]; },
                  &rows.bits[rows.Offset(x, y)]);
    }
    const auto down = Contributors(pixels.height, size->height);
    for (int32_t y = 0; y < size->height; ++y) {
        for (int32_t x = 0; x < size->width; ++x)
            Blend(down[static_cast<size_t>(y)], [&](int32_t s) { return &rows.bits[rows.Offset(x, s)]; },
                  &result.bits[result.Offset(x, y)]);
    }
    return result;
}
