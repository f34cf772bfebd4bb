#include "ReportFacts.h"

#include <algorithm>

TReportSection* TReportFacts::Section(const UnicodeString& title)
{
    const auto found = std::find_if(sections.begin(), sections.end(),
                                    [&](const TReportSection& section) { return section.title == title; });
    return found == sections.end() ? nullptr : &*found;
}

void TReportFacts::SetField(const UnicodeString& name, const UnicodeString& value)
{
    const auto found =
        std::find_if(header.begin(), header.end(), [&](const THeaderField& field) { return field.name == name; });
    if (found == header.end())
        header.push_back({name, value});
    else
        found->value = value;
}
