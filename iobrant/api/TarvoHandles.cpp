#include "api/TarvoHandles.h"

#include "ConduvexError.h"

#include <memory>

namespace {

std::unique_ptr<TTarvoIntfHandler>& Table()
{
    static std::unique_ptr<TTarvoIntfHandler> table;
    return table;
}

} // namespace

void CreateTarvoHandles()
{
    Table() = std::make_unique<TTarvoIntfHandler>();
}

void FreeTarvoHandles()
{
    // Out of its slot first, so that exports reached while the objects go find no table.
    std::unique_ptr<TTarvoIntfHandler> freed = std::move(Table());
}

void AbandonTarvoHandles()
{
    [[maybe_unused]] TTarvoIntfHandler* leaked = Table().release();
}

TTarvoIntfHandler& TarvoHandles()
{
    TTarvoIntfHandler* table = Table().get();
    if (!table)
        throw EConduvexError(std::string(ResultCodeText(kErrCritical)), kErrCritical);
    return *table;
}
