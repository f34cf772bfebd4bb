#include "links/GlobalHandles.h"

#include "ConduvexError.h"

#include <memory>

namespace {

std::unique_ptr<TCommIntfHandler>& Table()
{
    static std::unique_ptr<TCommIntfHandler> table;
    return table;
}

} // namespace

void CreateGlobalHandles()
{
    Table() = std::make_unique<TCommIntfHandler>();
}

void FreeGlobalHandles()
{
    // The table leaves its slot first, so exports reached while links close find none.
    std::unique_ptr<TCommIntfHandler> freed = std::move(Table());
}

void AbandonGlobalHandles()
{
    [[maybe_unused]] TCommIntfHandler* leaked = Table().release();
}

TCommIntfHandler& GlobalHandles()
{
    TCommIntfHandler* table = Table().get();
    if (!table)
        throw EConduvexError(std::string(ResultCodeText(kErrCritical)), kErrCritical);
    return *table;
}
