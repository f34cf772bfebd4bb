#pragma once
// The Windows version and edition as the crash library reports it, worked out from what the
// system's version queries give.
#include <cstdint>

#include "text/ZelTypes.h"

enum class TOSVersion {
    None, Win95, Win95OSR2, Win98, Win98SE, WinME, Win9xNew, WinNT3, WinNT4, Win2000, WinXP, Win2003,
    WinVista, Win2008, Win7, Win2008R2, Win8, Win2012, Win81, Win2012R2, Win10, WinNTNew,
};

const char16_t* OSVersionName(TOSVersion version);

struct TOS {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    UnicodeString servicePackText;
    bool is9x = false;
    TOSVersion version9x = TOSVersion::None;
    bool isNT = false;
    TOSVersion versionNT = TOSVersion::None;
    TOSVersion version = TOSVersion::None;
    bool is64Bit = false;
    uint32_t servicePack = 0;
    UnicodeString description;
};

// What the version queries and system metrics tell.
struct TOSFacts {
    uint32_t platform = 0; // 1 Windows 9x, 2 NT
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    UnicodeString servicePackText;
    bool extendedRecord = false; // the service-pack number and product type below are known
    uint32_t servicePackMajor = 0;
    uint32_t productType = 0; // 1 workstation
    bool nativeX64 = false;
    bool serverR2 = false;
    bool tabletPC = false;
    bool starter = false;
    bool mediaCenter = false;
};

TOSVersion Classify9x(uint32_t major, uint32_t minor, uint32_t build);
TOSVersion ClassifyNT(uint32_t major, uint32_t minor, bool workstation);
TOS DescribeOS(const TOSFacts& facts);
