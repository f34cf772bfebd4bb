#pragma once
// The enumeration exports of the built Conduvex.dll, and the link exports a converter
// test needs, as a host reaches them: loaded by name (from the test program's folder),
// bound by GetProcAddress.
#include "conduvex.h"

#include <string>

class THostEnumerationLibrary {
    HMODULE module_ = LoadLibraryA("Conduvex.dll");

    template <class Function>
    Function Bind(const char* name) const
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

public:
    static THostEnumerationLibrary& Get()
    {
        static THostEnumerationLibrary library;
        return library;
    }

    bool Loaded() const { return module_ != nullptr; }

    // "code text" of the last error.
    std::string Error() const
    {
        char text[512] = {};
        int32_t length = sizeof text;
        LastErrorText(text, &length);
        char code[16];
        wsprintfA(code, "0x%08X ", LastError());
        return code + std::string(text);
    }

#define ENUMERATION_EXPORT(name) PFN_##name name = Bind<PFN_##name>(#name);
    ENUMERATION_EXPORT(EnumSerialPorts)
    ENUMERATION_EXPORT(SerialPortCount)
    ENUMERATION_EXPORT(SerialPortNumByIndex)
    ENUMERATION_EXPORT(SerialPortByIndex)
    ENUMERATION_EXPORT(GetSerialPortState)
    ENUMERATION_EXPORT(FTDDeviceCount)
    ENUMERATION_EXPORT(FTDGetDetailByIndex)
    ENUMERATION_EXPORT(FTDSerNumByIndex)
    ENUMERATION_EXPORT(FTDDevNameByIndex)
    ENUMERATION_EXPORT(FTDVidPidByIndex)
    ENUMERATION_EXPORT(FTDFindDevice)
    ENUMERATION_EXPORT(FTDFindDeviceCS)
    ENUMERATION_EXPORT(LastError)
    ENUMERATION_EXPORT(LastErrorText)
    ENUMERATION_EXPORT(ciCreate)
    ENUMERATION_EXPORT(ciRelease)
    ENUMERATION_EXPORT(ciIsActive)
    ENUMERATION_EXPORT(ciGetID)
    ENUMERATION_EXPORT(ciWrite)
    ENUMERATION_EXPORT(ciRead)
    ENUMERATION_EXPORT(ciReadLength)
#undef ENUMERATION_EXPORT
};
