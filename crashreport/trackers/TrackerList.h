#pragma once
// A list the tracker names its projects, areas, versions, people and so on with, and the
// look-up of a configured text in it. Names compare without regard to case.
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

struct TTrackerItem {
    UnicodeString name;
    UnicodeString id;
    UnicodeString project; // the project the entry belongs to, where the list has one
};

class TTrackerList {
public:
    void Add(UnicodeString name, UnicodeString id = {}, UnicodeString project = {});
    bool Empty() const { return items_.empty(); }

    // The entry of that name, or nullptr.
    const TTrackerItem* Find(std::u16string_view name) const;
    // The entry of that name among the project's entries, or nullptr.
    const TTrackerItem* FindInProject(std::u16string_view name, std::u16string_view project) const;
    // The entry of that name, else the first entry, else (an empty list) nullptr.
    const TTrackerItem* FindOrFirst(std::u16string_view name) const;
    const TTrackerItem* FindOrFirstInProject(std::u16string_view name, std::u16string_view project) const;

private:
    std::vector<TTrackerItem> items_;
};

// The list's own spelling of `wanted`, else its first name; an empty list keeps `wanted`.
UnicodeString LookUpName(const TTrackerList& list, std::u16string_view wanted);
