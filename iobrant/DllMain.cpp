// Iobrant's entry: Conduvex is bound when the library is loaded (a failure is offered to
// end the application) and freed when it is unloaded.
#include "ConduvexBinding.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            BindOrOfferToTerminate(ProcessConduvex());
        } else if (reason == DLL_PROCESS_DETACH) {
            // At process exit the loader unloads Conduvex itself; only a FreeLibrary of
            // Iobrant frees it here.
            if (reserved)
                ProcessConduvex().Abandon();
            else
                ProcessConduvex().Unbind();
        }
    } catch (...) {
        // Loading goes on: every later use reports the binding's kept message.
    }
    return TRUE;
}
