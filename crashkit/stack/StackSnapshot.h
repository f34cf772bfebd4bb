#pragma once
// A copy of a stopped thread's stack and the process's memory seen through it: reads inside
// the copied range come from the copy, all others from the process. The copy is taken while
// the thread stands still; the trace then runs after it goes on, so no lock that the thread
// may hold (the loader's, a heap's) is needed while it is stopped.
#include <cstddef>
#include <memory>

#include "FunctionEnvironment.h"

class TStackSnapshot : public IFunctionEnvironment {
public:
    // The room for the copy is made here, before any thread stops: taking it allocates nothing.
    TStackSnapshot(const IFunctionEnvironment& process, std::size_t capacity);

    // Copies [from, top) from the process, at most the capacity from `from` on; it is copied
    // downwards and a page that cannot be read ends the copy below it. False when nothing was
    // copied.
    bool Take(CodeAddress from, CodeAddress top);
    // The copied range [CopiedFrom, CopiedTo).
    CodeAddress CopiedFrom() const { return start_; }
    CodeAddress CopiedTo() const { return end_; }

    const ICodeReader& Code() const override { return reader_; }
    bool IsCommitted(CodeAddress address) const override { return process_.IsCommitted(address); }
    TCodeBounds CodeBounds(CodeAddress entry) const override { return process_.CodeBounds(entry); }
    CodeAddress CxxThrowRoutine() const override { return process_.CxxThrowRoutine(); }
    std::string SystemMessage(std::uint32_t code) const override { return process_.SystemMessage(code); }

private:
    class TReader : public ICodeReader {
    public:
        explicit TReader(const TStackSnapshot& owner) : owner_(owner) {}
        bool Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const override;

    private:
        const TStackSnapshot& owner_;
    };

    const IFunctionEnvironment& process_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> copy_;
    CodeAddress base_ = 0; // the address that the room's first byte copies
    CodeAddress start_ = 0;
    CodeAddress end_ = 0;
    TReader reader_{*this};
};
