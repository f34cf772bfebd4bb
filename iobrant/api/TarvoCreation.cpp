#include "api/TarvoCreation.h"

#include "binding/ConduvexBinding.h"
#include "ConnectionString.h"
#include "binding/DLLInterface.h"
#include "api/IobrantApiFrame.h"
#include "tarvo/Tarvo.h"
#include "vantel/VantelStack.h"

namespace {

constexpr int32_t kDefaultAddress = 254;
constexpr int32_t kAutoNotifyOff = 0;

TIntfPtr<TDLLInterface> MakeAdapter(uint32_t ciHandle, bool notOwned, int32_t kind)
{
    return kind == kTarvoKindCallBack ? TDLLInterface::AttachCB(ciHandle, notOwned)
                                      : TDLLInterface::AttachM(ciHandle, notOwned);
}

// The stack and the Tarvo object refer to each other; until the table holds the object,
// a failure takes it off the stack again so that both are freed.
uint32_t AddTarvoOnStack(TDLLInterface& adapter, uint8_t address)
{
    const auto tarvo = MakeObject<TTarvo>(address);
    const auto stack = MakeObject<TVantelStack>();
    stack->SetCommInterface(&adapter);
    stack->AddDevice(tarvo.Get());
    try {
        return TarvoHandles().AddTarvo(tarvo.Get());
    } catch (...) {
        stack->RemoveDevice(tarvo.Get());
        throw;
    }
}

void SwitchAutoNotify(uint32_t handle, const TConnectionString& settings)
{
    if (!settings.HasParam("AUTO_NOTIFY"))
        return;
    const uint8_t value = RequiredByte(settings.GetInt("AUTO_NOTIFY", kAutoNotifyOff));
    // The handle stands even when the module does not take it; the host sees why.
    if (!RequireTarvo(handle)->SetAutoNotifyCached(value))
        Fail(kErrActionFailed);
}

uint32_t CreateTarvoDevice(uint32_t ciHandle, const std::string& parameters, bool notOwned, int32_t kind)
{
    uint32_t handle = 0;
    try {
        IobrantClearError();
        TIntfPtr<TDLLInterface> adapter;
        try {
            adapter = MakeAdapter(ciHandle, notOwned, kind);
        } catch (...) {
            if (!notOwned)
                ProcessConduvex().Functions().ciRelease(ciHandle);
            throw;
        }
        const TConnectionString settings(parameters);
        const uint8_t address = RequiredByte(settings.GetInt("ADDR", kDefaultAddress));
        handle = AddTarvoOnStack(*adapter, address);
        SwitchAutoNotify(handle, settings);
    } catch (...) {
        ReportCaughtException();
    }
    return handle;
}

} // namespace

uint32_t CreateTarvoOnNewLink(const char* connectionString, const char* parameters, int32_t kind)
{
    return QCallValue(0u, [&]() -> uint32_t {
        if (!ProcessConduvex().Bind()) {
            Fail(kErrLibraryMissing);
            return 0;
        }
        // The host's texts are read here, so that Conduvex is never handed the host's pointer.
        const std::string linkText = HostText(connectionString);
        const std::string settings = HostText(parameters);
        const uint32_t ciHandle = ProcessConduvex().Functions().ciCreate(linkText.c_str());
        if (ciHandle == 0)
            return 0; // Conduvex's error stands
        return CreateTarvoDevice(ciHandle, settings, false, kind);
    });
}

uint32_t CreateTarvoOnHostLink(uint32_t ciHandle, const char* parameters, int32_t kind)
{
    return QCallValue(0u, [&]() -> uint32_t {
        if (!ProcessConduvex().Bind()) {
            Fail(kErrLibraryMissing);
            return 0;
        }
        const std::string settings = HostText(parameters);
        CI_BOOL active = CI_FALSE;
        if (ciHandle == 0 || ProcessConduvex().Functions().ciIsActive(ciHandle, &active) != CI_OK) {
            Fail(kErrInvalidHandle);
            return 0;
        }
        return CreateTarvoDevice(ciHandle, settings, true, kind);
    });
}
