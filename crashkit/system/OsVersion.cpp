#include "system/OsVersion.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, 22> kNames = {
    u"None",          u"Windows 95",    u"Windows 95 OSR-2", u"Windows 98",      u"Windows 98 SE",
    u"Windows ME",    u"Windows 9x New", u"Windows NT 3",    u"Windows NT 4",    u"Windows 2000",
    u"Windows XP",    u"Windows 2003",  u"Windows Vista",    u"Windows 2008",    u"Windows 7",
    u"Windows 2008 R2", u"Windows 8",   u"Windows 2012",     u"Windows 8.1",     u"Windows 2012 R2",
    u"Windows 10",    u"Windows NT New",
};

constexpr uint32_t kPlatform9x = 1;
constexpr uint32_t kPlatformNT = 2;
constexpr uint32_t kWorkstation = 1;

// "Service Pack 3": the number from the 14th character on.
uint32_t ServicePackFromText(const UnicodeString& text)
{
    uint32_t number = 0;
    for (size_t at = 13; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        number = number * 10 + static_cast<uint32_t>(text[at] - '0');
    return number;
}

UnicodeString Description(const TOS& os, const TOSFacts& facts)
{
    UnicodeString text = OSVersionName(os.version);
    if (os.isNT) {
        if (facts.serverR2)
            text += u" R2";
        if (facts.tabletPC)
            text += u" Tablet PC";
        if (facts.starter)
            text += u" Starter";
        if (facts.mediaCenter && os.version < TOSVersion::WinVista)
            text += u" Media Center";
        if (os.is64Bit)
            text += u" x64";
    }
    if (!os.servicePackText.empty())
        text += u" " + os.servicePackText;
    return text;
}

} // namespace

const char16_t* OSVersionName(TOSVersion version)
{
    const auto index = static_cast<size_t>(version);
    return index < kNames.size() ? kNames[index] : kNames[0];
}

TOSVersion Classify9x(uint32_t major, uint32_t minor, uint32_t build)
{
    if (major < 4)
        return TOSVersion::None;
    if (major > 4 || minor >= 91)
        return TOSVersion::Win9xNew;
    if (minor < 10)
        return build <= 1000 ? TOSVersion::Win95 : TOSVersion::Win95OSR2;
    if (minor == 10) {
        if (build < 2001)
            return TOSVersion::Win98;
        return build <= 2700 ? TOSVersion::Win98SE : TOSVersion::WinME;
    }
    return TOSVersion::WinME;
}

TOSVersion ClassifyNT(uint32_t major, uint32_t minor, bool workstation)
{
    switch (major) {
    case 0: case 1: case 2: case 3:
        return TOSVersion::WinNT3;
    case 4:
        return TOSVersion::WinNT4;
    case 5:
        if (minor == 0)
            return TOSVersion::Win2000;
        return minor == 1 || workstation ? TOSVersion::WinXP : TOSVersion::Win2003;
    case 6:
        switch (minor) {
        case 0: return workstation ? TOSVersion::WinVista : TOSVersion::Win2008;
        case 1: return workstation ? TOSVersion::Win7 : TOSVersion::Win2008R2;
        case 2: return workstation ? TOSVersion::Win8 : TOSVersion::Win2012;
        case 3: return workstation ? TOSVersion::Win81 : TOSVersion::Win2012R2;
        default: return TOSVersion::WinNTNew;
        }
    case 10:
        return TOSVersion::Win10;
    default:
        return TOSVersion::WinNTNew;
    }
}

TOS DescribeOS(const TOSFacts& facts)
{
    TOS os;
    os.major = facts.major;
    os.minor = facts.minor;
    os.servicePackText = facts.servicePackText;
    os.is9x = facts.platform == kPlatform9x;
    os.isNT = facts.platform == kPlatformNT;
    os.build = os.is9x ? facts.build & 0xFFFF : facts.build;
    if (os.is9x)
        os.version9x = os.version = Classify9x(facts.major, facts.minor, os.build);
    if (os.isNT) {
        os.versionNT = os.version = ClassifyNT(facts.major, facts.minor, facts.productType == kWorkstation);
        os.servicePack = facts.extendedRecord ? facts.servicePackMajor : ServicePackFromText(facts.servicePackText);
    }
    os.is64Bit = facts.nativeX64;
    os.description = Description(os, facts);
    return os;
}
