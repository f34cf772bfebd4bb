// Iobrant's entry: Conduvex is bound when the library is loaded (a failure is offered to
// end the application), then the one table of Tarvo handles is created. Unloading frees
// the table, and with it every Tarvo object, stack and adapter with their Conduvex
// registrations, before Conduvex is freed. At process exit nothing is freed and Conduvex
// is not called: its links' threads are already gone.
#include "binding/ConduvexBinding.h"
#include "binding/DLLInterface.h"
#include "api/TarvoHandles.h"
#include "FaultGuard.h"

#include <windows.h>

namespace {

void Attach()
{
    InstallFaultGuard();
    try {
        BindOrOfferToTerminate(ProcessConduvex());
    } catch (...) {
        // Loading goes on: every later use reports the binding's kept message.
    }
    try {
        CreateTarvoHandles();
        ProcessConduvex().EnsureBound();
    } catch (...) {
        // As above.
    }
}

void Detach(bool processExiting)
{
    try {
        if (processExiting) {
            AbandonTarvoHandles();
            ProcessConduvex().Abandon();
        } else {
            FreeTarvoHandles();
            TDLLInterface::UnregisterWindowClass();
            ProcessConduvex().Unbind();
        }
        RemoveFaultGuard();
    } catch (...) {
        // Nothing may leave the loader's call.
    }
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        Attach();
    else if (reason == DLL_PROCESS_DETACH)
        Detach(reserved != nullptr);
    return TRUE;
}
