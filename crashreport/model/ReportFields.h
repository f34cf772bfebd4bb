#pragma once
// The name/value list of a bug report: its header fields and its sections (title to body). The
// exception object that owns a list is told of every change while the list holds a reference to
// it and no lock, so that its callbacks may read and change any list from any thread; the owner
// is forgotten by its destructor.
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "text/ZelTypes.h"

// What a list tells its owner.
class IReportChangeSink {
public:
    // Keeps the owner alive while it is told; false once it is being destroyed.
    virtual bool Pin() = 0;
    virtual void Unpin() = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void ReportChanged() = 0;

protected:
    ~IReportChangeSink() = default;
};

struct TReportField {
    UnicodeString name;
    UnicodeString value;
    bool operator==(const TReportField&) const = default;
};
using TReportFieldList = std::vector<TReportField>;

class TZelReportFields {
public:
    explicit TZelReportFields(IReportChangeSink* owner = nullptr);
    TZelReportFields(const TZelReportFields&) = delete;
    TZelReportFields& operator=(const TZelReportFields&) = delete;

    // Holds the data lock across several calls (re-entrant).
    void Lock();
    void Unlock();
    int Count();
    // Empty for an index out of range.
    UnicodeString Name(int index);
    UnicodeString ValueAt(int index);
    void Rename(int index, const UnicodeString& name);
    // Names compare without regard to case; -1 when absent.
    int IndexOf(std::u16string_view name);
    UnicodeString Value(std::u16string_view name);
    // Once ready: the trimmed value replaces the field of that name or adds one (at the current
    // index when that is above 0); an empty value deletes the field. A value of several lines
    // keeps the leading blanks of its first line.
    void SetValue(const UnicodeString& name, const UnicodeString& value);
    // Once ready: adds the pair without looking for its name (at the current index when that is
    // above 0); a value that trims to nothing adds nothing.
    void Add(const UnicodeString& name, const UnicodeString& value);
    void Delete(int index);
    void Delete(std::u16string_view name);
    // All pairs at one moment.
    TReportFieldList Snapshot();
    // A new list without owner, holding the same pairs.
    std::shared_ptr<TZelReportFields> Copy();

    // Forwarded to the owner: changes between them are announced once, at the end.
    void BeginUpdate();
    void EndUpdate();

    // Called by the owner's destructor.
    void ForgetOwner();
    void SetCurrentIndex(int index);
    void SetReady();

private:
    int Find(std::u16string_view name) const;
    void Insert(const UnicodeString& name, const UnicodeString& value);
    bool EraseAt(int index);
    // The owner, pinned; null without one.
    IReportChangeSink* PinnedOwner();
    void Announce();

    std::recursive_mutex dataLock_;
    std::mutex ownerLock_;
    IReportChangeSink* owner_;
    TReportFieldList fields_;
    int currentIndex_ = 0;
    bool ready_ = false;
};

using TReportFieldsRef = std::shared_ptr<TZelReportFields>;
