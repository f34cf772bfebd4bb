#pragma once
// Cuts good Vantel 97 frames out of a byte stream that may carry noise, broken frames and
// frames split over several deliveries.
#include "Vantel97.h"

#include <optional>
#include <string>
#include <string_view>

// The complete frame at the start of `buffer`: it begins "*a" and holds LEN + 4 bytes.
// Empty when there is none; with `remove` the frame leaves the buffer.
std::string ExtractVantel97(std::string& buffer, bool remove);

// Passes the frame check and carries at least the five header bytes its LEN counts (the
// check alone lets an 8-byte frame with LEN 4 through, which no parse accepts).
bool IsGoodVantel97(std::string_view frame);

class TVantelFrameReader {
public:
    // The most kept: two of the largest frames. Beyond it the oldest bytes go.
    static constexpr size_t kCapacity = 2 * (kVantelMaxData + kVantelMinFrame);

    void Append(std::string_view bytes);
    // The next good frame. Bytes before it that cannot start a frame, and bad frames up to
    // their next "*", are dropped. An incomplete frame stays for more bytes, unless a
    // complete good frame already follows it (its header was noise then).
    std::optional<std::string> NextFrame();
    // What is left (the start of an incomplete frame, or a last "*"); the reader empties.
    std::string TakeRest();
    size_t Size() const { return buffer_.size(); }

private:
    void DropFront(size_t count);
    // Start of the first complete good frame after `from`, or npos.
    size_t FindCompleteGoodFrame(size_t from) const;

    std::string buffer_;
};
