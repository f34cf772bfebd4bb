#pragma once
// Iobrant.dll as a host sees it: loaded by name from this program's folder (it loads the
// Conduvex.dll beside it), every export looked up by name, and the frames the module
// simulator logs, spelled as it spells them.
#include "support/ProgramFolder.h"
#include "support/ModuleSimulator.h"
#include "conduvex.h"
#include "iobrant.h"

#include <windows.h>

#include <initializer_list>
#include <string>

#define IOBRANT_Q_EXPORTS(X)                                                                                           \
    X(qGetInputPPS) X(qSetOutputPWM) X(qGetOutputPWM) X(qGetTemperature) X(qSndRcvVant97) X(qGetFactoryInfo)           \
    X(qSetUserData) X(qGetUserData) X(qSetAddress) X(qGetAddress) X(qCreateTarvoEx) X(qCreateTarvoCIEx) X(qReset)       \
    X(qInfo) X(qUnregisterCallBackNotifications) X(qRegisterCallBackNotifications) X(qUnregisterMsgNotifications)     \
    X(qRegisterMsgNotifications) X(qSetCounterSetting) X(qGetCounterSetting) X(qSetAutoNotify) X(qGetAutoNotify)      \
    X(qGetRecentCounterSettingByIndex) X(qRefreshRecentStates) X(qGetRecentInputCounterByIndex)                       \
    X(qGetRecentOutputByIndex) X(qGetRecentInputByIndex) X(qGetRecentOutputsState) X(qGetRecentInputsState)           \
    X(qSetOutputs) X(qSetOutputTimered) X(qSetOutput) X(qGetOutputs) X(qGetInputs) X(qInputCounterValueByIndex)       \
    X(qOutputStateByIndex) X(qInputStateByIndex) X(qInputCountersCount) X(qOutputsCount) X(qInputsCount)              \
    X(qReleaseTarvo) X(qIsOpened) X(qClose) X(qOpen) X(qGetTarvoCIHandle) X(qCreateTarvo) X(qCreateTarvoCI)          \
    X(qHandleByIndex) X(qHandlesCount) X(DllInfo)

// The functions Iobrant forwards to Conduvex under Conduvex's names.
#define IOBRANT_FORWARDED_EXPORTS(X)                                                                                   \
    X(ciGetConnectionStringDlg) X(ciHandleByIndex) X(ciHandlesCount) X(SetLastError) X(LastErrorText) X(LastError)

template <class Function>
Function ExportOf(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The text a library's LastErrorText export gives.
template <class LastErrorTextFunction>
std::string TextOfLastError(LastErrorTextFunction lastErrorText)
{
    char text[256] = {};
    int32_t length = sizeof(text);
    lastErrorText(text, &length);
    return text;
}

class TIobrantLibrary {
public:
#define IOBRANT_DECLARE(name) PFN_##name name = nullptr;
    IOBRANT_Q_EXPORTS(IOBRANT_DECLARE)
#undef IOBRANT_DECLARE
    PFN_IobrantciGetConnectionStringDlg ciGetConnectionStringDlg = nullptr;
    PFN_IobrantciHandleByIndex ciHandleByIndex = nullptr;
    PFN_IobrantciHandlesCount ciHandlesCount = nullptr;
    PFN_IobrantSetLastError SetLastError = nullptr;
    PFN_IobrantLastErrorText LastErrorText = nullptr;
    PFN_IobrantLastError LastError = nullptr;

    TIobrantLibrary() : library_(LoadLibraryA(Beside("Iobrant.dll").c_str()))
    {
        if (!library_)
            return;
#define IOBRANT_BIND(name) name = ExportOf<decltype(name)>(library_, #name);
        IOBRANT_Q_EXPORTS(IOBRANT_BIND)
        IOBRANT_FORWARDED_EXPORTS(IOBRANT_BIND)
#undef IOBRANT_BIND
    }
    ~TIobrantLibrary() { Free(); }
    TIobrantLibrary(const TIobrantLibrary&) = delete;
    TIobrantLibrary& operator=(const TIobrantLibrary&) = delete;

    HMODULE Module() const { return library_; }
    // Every export was found.
    bool Complete() const
    {
        bool complete = library_ != nullptr;
#define IOBRANT_FOUND(name) complete = complete && name != nullptr;
        IOBRANT_Q_EXPORTS(IOBRANT_FOUND)
        IOBRANT_FORWARDED_EXPORTS(IOBRANT_FOUND)
#undef IOBRANT_FOUND
        return complete;
    }
    void Free()
    {
        if (library_)
            FreeLibrary(library_);
        library_ = nullptr;
    }

    // The last error's text as the host reads it.
    std::string ErrorText() const { return TextOfLastError(LastErrorText); }

private:
    HMODULE library_;
};

// The Conduvex functions the tests use as a host would, from the Conduvex.dll Iobrant uses.
struct TConduvexLibrary {
    HMODULE library = LoadLibraryA(Beside("Conduvex.dll").c_str());
    PFN_ciCreate ciCreate = ExportOf<PFN_ciCreate>(library, "ciCreate");
    PFN_ciOpen ciOpen = ExportOf<PFN_ciOpen>(library, "ciOpen");
    PFN_ciClose ciClose = ExportOf<PFN_ciClose>(library, "ciClose");
    PFN_ciRelease ciRelease = ExportOf<PFN_ciRelease>(library, "ciRelease");
    PFN_ciIsActive ciIsActive = ExportOf<PFN_ciIsActive>(library, "ciIsActive");
    PFN_ciHandlesCount ciHandlesCount = ExportOf<PFN_ciHandlesCount>(library, "ciHandlesCount");
    PFN_ciRegisterCallBackNotifications ciRegisterCallBackNotifications =
        ExportOf<PFN_ciRegisterCallBackNotifications>(library, "ciRegisterCallBackNotifications");
    PFN_ciSndGetVantel97 ciSndGetVantel97 = ExportOf<PFN_ciSndGetVantel97>(library, "ciSndGetVantel97");
    PFN_LastError LastError = ExportOf<PFN_LastError>(library, "LastError");
    PFN_LastErrorText LastErrorText = ExportOf<PFN_LastErrorText>(library, "LastErrorText");
    PFN_ConduvexSetLastError SetLastError = ExportOf<PFN_ConduvexSetLastError>(library, "SetLastError");

    std::string ErrorText() const { return TextOfLastError(LastErrorText); }
};

// A request frame as the simulator logs it: lower-case hex, signature 0 (every request of
// the q exports is synchronous and reuses the first signature).
inline std::string Frame(uint8_t address, uint8_t instruction, std::initializer_list<uint8_t> data = {})
{
    std::string bytes = "*a";
    const size_t length = data.size() + 5;
    bytes += static_cast<char>(length >> 8);
    bytes += static_cast<char>(length & 0xFF);
    bytes += static_cast<char>(address);
    bytes += '\0';
    bytes += static_cast<char>(instruction);
    for (const uint8_t byte : data)
        bytes += static_cast<char>(byte);
    unsigned sum = 0;
    for (const char c : bytes)
        sum += static_cast<uint8_t>(c);
    bytes += static_cast<char>(255 - sum % 256);
    bytes += '\r';
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex += kDigits[static_cast<uint8_t>(c) >> 4];
        hex += kDigits[static_cast<uint8_t>(c) & 15];
    }
    return hex;
}

// The answer of the simulator's "log" command for these frames.
inline std::string Logged(std::initializer_list<std::string> frames)
{
    std::string text = "OK";
    for (const std::string& frame : frames)
        text += " " + frame;
    return text;
}
