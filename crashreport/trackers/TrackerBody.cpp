#include "trackers/TrackerExchange.h"

TTrackerBody& TTrackerBody::operator+=(std::string_view text)
{
    if (text.empty())
        return *this;
    if (parts_.empty() || parts_.back().isFile)
        parts_.push_back({});
    parts_.back().text += text;
    return *this;
}

TTrackerBody& TTrackerBody::operator+=(const TTrackerBody& other)
{
    for (const TTrackerBodyPart& part : other.parts_) {
        if (part.isFile)
            AddFile(part.file, part.base64);
        else
            *this += part.text;
    }
    return *this;
}

TTrackerBody& TTrackerBody::AddFile(size_t file, bool base64)
{
    parts_.push_back({{}, true, file, base64});
    return *this;
}
