#include "trackers/TrackerList.h"

#include "text/CaseFolding.h"

void TTrackerList::Add(UnicodeString name, UnicodeString id, UnicodeString project)
{
    items_.push_back({std::move(name), std::move(id), std::move(project)});
}

const TTrackerItem* TTrackerList::Find(std::u16string_view name) const
{
    for (const TTrackerItem& item : items_) {
        if (SameTextW(item.name, name))
            return &item;
    }
    return nullptr;
}

const TTrackerItem* TTrackerList::FindInProject(std::u16string_view name, std::u16string_view project) const
{
    for (const TTrackerItem& item : items_) {
        if (SameTextW(item.project, project) && SameTextW(item.name, name))
            return &item;
    }
    return nullptr;
}

const TTrackerItem* TTrackerList::FindOrFirst(std::u16string_view name) const
{
    const TTrackerItem* found = Find(name);
    return found ? found : items_.empty() ? nullptr : &items_.front();
}

const TTrackerItem* TTrackerList::FindOrFirstInProject(std::u16string_view name, std::u16string_view project) const
{
    if (const TTrackerItem* found = FindInProject(name, project))
        return found;
    for (const TTrackerItem& item : items_) {
        if (SameTextW(item.project, project))
            return &item;
    }
    return nullptr;
}

UnicodeString LookUpName(const TTrackerList& list, std::u16string_view wanted)
{
    const TTrackerItem* item = list.FindOrFirst(wanted);
    return item ? item->name : UnicodeString(wanted);
}
