#include "bitmap/WuQuantizer.h"

#include <array>
#include <cstdlib>
#include <limits>

namespace {

constexpr int kSide = 33;
constexpr size_t kCells = kSide * kSide * kSide;
constexpr uint16_t kUnknown = 0xFFFF;

enum class TAxis { Red, Green, Blue };

struct TBox {
    int r0 = 0, r1 = 0, g0 = 0, g1 = 0, b0 = 0, b1 = 0;
    int64_t Volume() const { return int64_t{r1 - r0} * (g1 - g0) * (b1 - b0); }
};

size_t Cell(int r, int g, int b)
{
    return (static_cast<size_t>(r) * kSide + static_cast<size_t>(g)) * kSide + static_cast<size_t>(b);
}

// Moments of the histogram, made cumulative so that any box's sums take eight look-ups.
// 64-bit sums: a large white image overflows 32 bits.
class TMoments {
public:
    explicit TMoments(const TBitmapPixels& pixels)
        : weight_(kCells), red_(kCells), green_(kCells), blue_(kCells), squares_(kCells)
    {
        Histogram(pixels);
        Accumulate();
    }

    struct TSums {
        int64_t weight = 0, red = 0, green = 0, blue = 0;
        TSums operator-(const TSums& other) const
        {
            return {weight - other.weight, red - other.red, green - other.green, blue - other.blue};
        }
        TSums operator+(const TSums& other) const
        {
            return {weight + other.weight, red + other.red, green + other.green, blue + other.blue};
        }
        double SpreadOverWeight() const
        {
            const double r = static_cast<double>(red), g = static_cast<double>(green), b = static_cast<double>(blue);
            return (r * r + g * g + b * b) / static_cast<double>(weight);
        }
    };

    TSums Volume(const TBox& box) const
    {
        return {Volume(box, weight_), Volume(box, red_), Volume(box, green_), Volume(box, blue_)};
    }

    double Variance(const TBox& box) const
    {
        const TSums sums = Volume(box);
        return Volume(box, squares_) - sums.SpreadOverWeight();
    }

    // The sums of the part of the box below the plane `position` on the axis, less the part
    // that lies below the box's own lower face (Bottom + Top of the published algorithm).
    TSums Below(const TBox& box, TAxis axis, int position) const
    {
        return {Top(box, axis, position, weight_) + Bottom(box, axis, weight_),
                Top(box, axis, position, red_) + Bottom(box, axis, red_),
                Top(box, axis, position, green_) + Bottom(box, axis, green_),
                Top(box, axis, position, blue_) + Bottom(box, axis, blue_)};
    }

private:
    void Histogram(const TBitmapPixels& pixels)
    {
        std::array<double, 256> squareTable{};
        for (int i = 0; i < 256; ++i)
            squareTable[static_cast<size_t>(i)] = double(i) * i;
        for (size_t at = 0; at < pixels.bits.size(); at += 4) {
            const uint8_t blue = pixels.bits[at], green = pixels.bits[at + 1], red = pixels.bits[at + 2];
            const size_t cell = Cell((red >> 3) + 1, (green >> 3) + 1, (blue >> 3) + 1);
            ++weight_[cell];
            red_[cell] += red;
            green_[cell] += green;
            blue_[cell] += blue;
            squares_[cell] += squareTable[red] + squareTable[green] + squareTable[blue];
        }
    }

    template <typename T>
    static void Accumulate(std::vector<T>& moment)
    {
        for (int r = 1; r < kSide; ++r) {
            std::array<T, kSide> area{};
            for (int g = 1; g < kSide; ++g) {
                T line{};
                for (int b = 1; b < kSide; ++b) {
                    line += moment[Cell(r, g, b)];
                    area[static_cast<size_t>(b)] += line;
                    moment[Cell(r, g, b)] = moment[Cell(r - 1, g, b)] + area[static_cast<size_t>(b)];
                }
            }
        }
    }

    void Accumulate()
    {
        Accumulate(weight_);
        Accumulate(red_);
        Accumulate(green_);
        Accumulate(blue_);
        Accumulate(squares_);
    }

    template <typename T>
    static T Volume(const TBox& x, const std::vector<T>& m)
    {
        return m[Cell(x.r1, x.g1, x.b1)] - m[Cell(x.r1, x.g1, x.b0)] - m[Cell(x.r1, x.g0, x.b1)] +
               m[Cell(x.r1, x.g0, x.b0)] - m[Cell(x.r0, x.g1, x.b1)] + m[Cell(x.r0, x.g1, x.b0)] +
               m[Cell(x.r0, x.g0, x.b1)] - m[Cell(x.r0, x.g0, x.b0)];
    }

    static int64_t Bottom(const TBox& x, TAxis axis, const std::vector<int64_t>& m)
    {
        switch (axis) {
        case TAxis::Red:
            return -m[Cell(x.r0, x.g1, x.b1)] + m[Cell(x.r0, x.g1, x.b0)] + m[Cell(x.r0, x.g0, x.b1)] -
                   m[Cell(x.r0, x.g0, x.b0)];
        case TAxis::Green:
            return -m[Cell(x.r1, x.g0, x.b1)] + m[Cell(x.r1, x.g0, x.b0)] + m[Cell(x.r0, x.g0, x.b1)] -
                   m[Cell(x.r0, x.g0, x.b0)];
        case TAxis::Blue:
            break;
        }
        return -m[Cell(x.r1, x.g1, x.b0)] + m[Cell(x.r1, x.g0, x.b0)] + m[Cell(x.r0, x.g1, x.b0)] -
               m[Cell(x.r0, x.g0, x.b0)];
    }

    static int64_t Top(const TBox& x, TAxis axis, int p, const std::vector<int64_t>& m)
    {
        switch (axis) {
        case TAxis::Red:
            return m[Cell(p, x.g1, x.b1)] - m[Cell(p, x.g1, x.b0)] - m[Cell(p, x.g0, x.b1)] + m[Cell(p, x.g0, x.b0)];
        case TAxis::Green:
            return m[Cell(x.r1, p, x.b1)] - m[Cell(x.r1, p, x.b0)] - m[Cell(x.r0, p, x.b1)] + m[Cell(x.r0, p, x.b0)];
        case TAxis::Blue:
            break;
        }
        return m[Cell(x.r1, x.g1, p)] - m[Cell(x.r1, x.g0, p)] - m[Cell(x.r0, x.g1, p)] + m[Cell(x.r0, x.g0, p)];
    }

    std::vector<int64_t> weight_, red_, green_, blue_;
    std::vector<double> squares_;
};

struct TBestCut {
    double gain = 0;
    int position = -1;
};

// The plane on the axis that leaves the two halves with the largest summed spread.
TBestCut BestCut(const TMoments& moments, const TBox& box, TAxis axis, int first, int last,
                 const TMoments::TSums& whole)
{
    TBestCut best;
    for (int position = first; position < last; ++position) {
        const TMoments::TSums lower = moments.Below(box, axis, position);
        const TMoments::TSums upper = whole - lower;
        if (lower.weight == 0 || upper.weight == 0)
            continue;
        const double gain = lower.SpreadOverWeight() + upper.SpreadOverWeight();
        if (gain > best.gain) {
            best.gain = gain;
            best.position = position;
        }
    }
    return best;
}

// Splits `box` in two along its best plane; false when no plane divides its pixels.
bool CutBox(const TMoments& moments, TBox& box, TBox& other)
{
    const TMoments::TSums whole = moments.Volume(box);
    const TBestCut red = BestCut(moments, box, TAxis::Red, box.r0 + 1, box.r1, whole);
    const TBestCut green = BestCut(moments, box, TAxis::Green, box.g0 + 1, box.g1, whole);
    const TBestCut blue = BestCut(moments, box, TAxis::Blue, box.b0 + 1, box.b1, whole);
    other = box;
    if (red.gain >= green.gain && red.gain >= blue.gain) {
        if (red.position < 0)
            return false;
        other.r0 = box.r1 = red.position;
    } else if (green.gain >= red.gain && green.gain >= blue.gain) {
        other.g0 = box.g1 = green.position;
    } else {
        other.b0 = box.b1 = blue.position;
    }
    return true;
}

TPaletteColour MeanColour(const TMoments& moments, const TBox& box)
{
    const TMoments::TSums sums = moments.Volume(box);
    return {static_cast<uint8_t>(sums.red / sums.weight), static_cast<uint8_t>(sums.green / sums.weight),
            static_cast<uint8_t>(sums.blue / sums.weight)};
}

int Distance(const TPaletteColour& colour, uint8_t red, uint8_t green, uint8_t blue)
{
    return std::abs(colour.red - red) + std::abs(colour.green - green) + std::abs(colour.blue - blue);
}

uint16_t Nearest(const std::vector<TPaletteColour>& palette, uint8_t red, uint8_t green, uint8_t blue)
{
    uint16_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        const int distance = Distance(palette[i], red, green, blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<uint16_t>(i);
        }
    }
    return best;
}

} // namespace

std::vector<TPaletteColour> QuantizeWu(const TBitmapPixels& pixels, int maxColours)
{
    if (pixels.Empty() || maxColours <= 0)
        return {};
    const TMoments moments(pixels);
    std::vector<TBox> boxes(1, TBox{0, kSide - 1, 0, kSide - 1, 0, kSide - 1});
    std::vector<double> variances(1, 0.0);
    size_t next = 0;
    while (boxes.size() < static_cast<size_t>(maxColours)) {
        TBox other;
        if (CutBox(moments, boxes[next], other)) {
            boxes.push_back(other);
            variances[next] = boxes[next].Volume() > 1 ? moments.Variance(boxes[next]) : 0.0;
            variances.push_back(other.Volume() > 1 ? moments.Variance(other) : 0.0);
        } else {
            variances[next] = 0.0;
        }
        next = 0;
        for (size_t k = 1; k < boxes.size(); ++k) {
            if (variances[k] > variances[next])
                next = k;
        }
        if (variances[next] <= 0.0)
            break;
    }
    std::vector<TPaletteColour> palette;
    for (const TBox& box : boxes)
        palette.push_back(MeanColour(moments, box));
    return palette;
}

std::vector<uint8_t> MapToPalette(const TBitmapPixels& pixels, const std::vector<TPaletteColour>& palette)
{
    std::vector<uint8_t> indices;
    if (palette.empty())
        return indices;
    std::vector<uint16_t> cache(1u << 15, kUnknown);
    indices.reserve(pixels.bits.size() / 4);
    for (int32_t y = 0; y < pixels.height; ++y) {
        for (int32_t x = 0; x < pixels.width; ++x) {
            const uint8_t* pixel = &pixels.bits[pixels.Offset(x, y)];
            const size_t key = size_t{pixel[2]} >> 3 << 10 | size_t{pixel[1]} >> 3 << 5 | size_t{pixel[0]} >> 3;
            if (cache[key] == kUnknown)
                cache[key] = Nearest(palette, pixel[2], pixel[1], pixel[0]);
            indices.push_back(static_cast<uint8_t>(cache[key]));
        }
    }
    return indices;
}
