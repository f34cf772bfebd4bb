#pragma once
// The additional attachments of a settings object, kept in step with the setting AddAttachs
// (items "file>send-as>zip>field" separated by "|").
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "settings/SettingAccessors.h"

struct TAttachment {
    UnicodeString file;
    UnicodeString sendAs;
    UnicodeString zip;   // the archive it goes into, or empty
    UnicodeString field; // the form field of an upload
    bool operator==(const TAttachment&) const = default;
};

class TIZEAttachments {
public:
    // Reads the entries from AddAttachs of the owner, which it does not keep alive.
    explicit TIZEAttachments(IZESettingsAccess* owner);
    TIZEAttachments(const TIZEAttachments&) = delete;
    TIZEAttachments& operator=(const TIZEAttachments&) = delete;

    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    int Count();
    std::optional<TAttachment> Item(int index);
    // Ignored without a file; the send-as name defaults to the file's name, the field to the
    // send-as name without its extension.
    void Add(const UnicodeString& file, const UnicodeString& sendAs, const UnicodeString& field, const UnicodeString& zip);
    // File names compare without regard to case; whether one was removed.
    bool Delete(std::u16string_view file);
    void Clear();
    std::shared_ptr<TIZEAttachments> Copy();
    // Called by the owner's destructor.
    void ForgetOwner();

private:
    void WriteBack();

    std::recursive_mutex lock_;
    IZESettingsAccess* owner_;
    std::vector<TAttachment> entries_;
};
