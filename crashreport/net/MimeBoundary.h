#pragma once
// Boundaries of multipart bodies that no enclosed content can forge: the usual text while the
// content does not hold it, else one with a random suffix that it does not hold either.
#include <functional>
#include <string_view>

#include "text/ZelTypes.h"

// Letters, digits, "-" and "_" only, so that it never needs quoting; its "-" keeps it out of
// any Base64 text.
constexpr std::string_view kMultipartBoundary = "zelExcept-4-0_multipart_boundary";

// Whether the content to enclose holds a boundary anywhere.
using TBoundaryTest = std::function<bool(std::string_view boundary)>;

AnsiString ChooseBoundary(const TBoundaryTest& contentHolds);

// Looks for a text in content that comes in pieces, across the cuts between them.
class TTextSearch {
public:
    explicit TTextSearch(std::string_view wanted) : wanted_(wanted) {}

    void Feed(std::string_view piece);
    bool Found() const { return found_; }

private:
    AnsiString wanted_;
    AnsiString tail_; // the end of what was fed, too short to hold the text
    bool found_ = false;
};
