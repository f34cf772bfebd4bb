#include "delivery/AttachmentGroups.h"

#include <algorithm>

#include "text/CaseFolding.h"

std::vector<TOutgoingAttachment> GroupAttachments(const std::vector<TAttachment>& entries)
{
    std::vector<TOutgoingAttachment> outgoing;
    for (size_t index = 0; index < entries.size(); ++index) {
        const TAttachment& entry = entries[index];
        if (entry.zip.empty()) {
            outgoing.push_back({{}, {entry.file}, {entry.sendAs}, entry.field, {index}});
            continue;
        }
        auto archive = std::find_if(outgoing.begin(), outgoing.end(), [&](const TOutgoingAttachment& item) {
            return !item.zipName.empty() && SameTextW(item.zipName, entry.zip);
        });
        if (archive == outgoing.end())
            archive = outgoing.insert(outgoing.end(), TOutgoingAttachment{entry.zip, {}, {}, {}, {}});
        archive->files.push_back(entry.file);
        archive->sendAsNames.push_back(entry.sendAs);
        archive->sources.push_back(index);
    }
    return outgoing;
}
