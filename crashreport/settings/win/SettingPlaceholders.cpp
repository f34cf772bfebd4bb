#include "settings/win/SettingPlaceholders.h"

#include "engine/win/LibraryFolders.h"
#include "settings/win/ZeSettings.h"
#include "text/FilePaths.h"
#include "win32/OsInfo.h"
#include "win32/PathNames.h"

namespace {

constexpr int kDesktopFolder = 0x10;
constexpr int kUserAppDataFolder = 0x1A;
constexpr int kCommonAppDataFolder = 0x23;

TLocalTime Now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

} // namespace

UnicodeString TSettingPlaceholders::VersionOf(HMODULE module) const
{
    const TIZESettings settings(module, true);
    if (!settings.VersionText().empty())
        return settings.VersionText();
    const UnicodeString version = GetFileVersionStr(GetModuleFileNameText(module));
    return version.empty() ? u"?" : version;
}

UnicodeString TSettingPlaceholders::Value(TPlaceholder placeholder)
{
    switch (placeholder) {
    case TPlaceholder::AppName:
        return ExtractFileNameW(GetModuleFileNameText(nullptr));
    case TPlaceholder::ModName:
        return ExtractFileNameW(GetModuleFileNameText(module_));
    case TPlaceholder::AppVersion:
        return VersionOf(GetModuleHandleW(nullptr));
    case TPlaceholder::ModVersion:
        return VersionOf(module_);
    case TPlaceholder::ExceptClass:
        return exception_.exceptClass;
    case TPlaceholder::ExceptMsg:
        return exception_.exceptMsg.empty() ? u"Unknown" : exception_.exceptMsg;
    case TPlaceholder::BugReport:
        return exception_.bugReport;
    case TPlaceholder::LineFeed:
        return u"\r\n";
    case TPlaceholder::Date:
        return FormatPlaceholderDate(Now());
    case TPlaceholder::Time:
        return FormatPlaceholderTime(Now());
    case TPlaceholder::DateTime: {
        const TLocalTime now = Now();
        return FormatPlaceholderDate(now) + u", " + FormatPlaceholderTime(now);
    }
    case TPlaceholder::ComputerName:
        return GetComputerNameText();
    case TPlaceholder::Os:
        return GetOSInfo().description;
    case TPlaceholder::ErrorDetails:
        return exception_.errorDetails;
    case TPlaceholder::Desktop:
        return GetSpecialFolder(kDesktopFolder, false);
    case TPlaceholder::UserAppData:
        return GetSpecialFolder(kUserAppDataFolder, false);
    case TPlaceholder::CommonAppData:
        return GetSpecialFolder(kCommonAppDataFolder, false);
    }
    return {};
}
