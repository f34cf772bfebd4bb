#pragma once
// The additional report fields of a settings object: ordered (name, value) pairs kept in step
// with the setting AddFields ("name=value" items separated by "|").
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "settings/SettingAccessors.h"

class TIZEFields {
public:
    // Reads the pairs from AddFields of the owner, which it does not keep alive.
    explicit TIZEFields(IZESettingsAccess* owner);
    TIZEFields(const TIZEFields&) = delete;
    TIZEFields& operator=(const TIZEFields&) = delete;

    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    int Count();
    // Empty for an index out of range.
    UnicodeString Name(int index);
    void Rename(int index, const UnicodeString& name);
    // Names compare without regard to case; -1 when absent.
    int IndexOf(std::u16string_view name);
    UnicodeString Value(std::u16string_view name);
    // Once ready: the trimmed value replaces or adds the field; an empty one deletes it.
    void SetValue(const UnicodeString& name, const UnicodeString& value);
    void Delete(int index);
    void Delete(std::u16string_view name);
    std::shared_ptr<TIZEFields> Copy();

    // Called by the owner's destructor.
    void ForgetOwner();
    // New fields go in at this index when it is above 0.
    void SetCurrentIndex(int index);
    void SetReady();

private:
    struct TField {
        UnicodeString name;
        UnicodeString value;
    };

    int Find(std::u16string_view name) const;
    void WriteBack();

    std::recursive_mutex lock_;
    IZESettingsAccess* owner_;
    std::vector<TField> fields_;
    int currentIndex_ = 0;
    bool ready_ = false;
};
