#include "delivery/win/SaveBugReport.h"

#include <commdlg.h>

#include <string>

#include "delivery/BugReportFile.h"
#include "engine/win/LibraryFolders.h"
#include "settings/win/DualText.h"
#include "settings/win/SettingPlaceholders.h"
#include "text/FilePaths.h"
#include "win32/WinFile.h"

namespace {

constexpr int kDesktopFolder = 0x10;
constexpr DWORD kFileNameCharacters = 260;

const wchar_t* Wide(const UnicodeString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool HasBackslash(const UnicodeString& path) { return path.find(u'\\') != UnicodeString::npos; }

// The user's choice, or empty when cancelled.
UnicodeString AskForFileName(HWND parent, IZESettings& settings)
{
    const UnicodeString bugRepFile = settings.BugRepFile();
    const UnicodeString folder = HasBackslash(bugRepFile)
                                     ? ExtractFilePathW(ExpandProgramPathText(bugRepFile))
                                     : GetSpecialFolder(kDesktopFolder, false);
    const UnicodeString title = settings.SaveBtnTxt();
    std::wstring file(kFileNameCharacters, L'\0');
    const UnicodeString initial = ExtractFileNameW(bugRepFile).substr(0, kFileNameCharacters - 1);
    std::copy(initial.begin(), initial.end(), file.begin());
    static constexpr wchar_t kFilter[] = L"*.txt\0*.txt\0";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = parent;
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kFileNameCharacters;
    dialog.lpstrInitialDir = Wide(folder);
    dialog.lpstrTitle = Wide(title);
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOREADONLYRETURN;
    if (!GetSaveFileNameW(&dialog))
        return {};
    file.resize(wcsnlen(file.c_str(), file.size()));
    return UnicodeString(file.begin(), file.end());
}

HANDLE OpenReportFile(const UnicodeString& path)
{
    ForceFolders(ExtractFilePathW(path));
    return CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool ReadAll(HANDLE file, std::string& content)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF)
        return false;
    content.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < content.size()) {
        DWORD read = 0;
        if (!ReadFile(file, content.data() + done, static_cast<DWORD>(content.size() - done), &read, nullptr) ||
            read == 0)
            return false;
        done += read;
    }
    return true;
}

// Writes what differs from the old content and ends the file there.
bool WriteChanges(HANDLE file, const std::string& before, const std::string& after)
{
    size_t same = 0;
    while (same < before.size() && same < after.size() && before[same] == after[same])
        ++same;
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(same);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN))
        return false;
    size_t done = same;
    while (done < after.size()) {
        DWORD written = 0;
        if (!WriteFile(file, after.data() + done, static_cast<DWORD>(after.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return SetEndOfFile(file) != FALSE;
}

TBugReportFileRules RulesOf(IZESettings& settings)
{
    TBugReportFileRules rules;
    rules.append = settings.AppendBugReps();
    rules.noDupExcepts = settings.NoDupExcepts();
    rules.dupExceptDef = settings.DupExceptDef();
    rules.noDupFreezes = settings.NoDupFreezes();
    rules.dupFreezeDef = settings.DupFreezeDef();
    rules.maxFileSize = settings.BugRepFileSize();
    return rules;
}

} // namespace

UnicodeString UserAppDataPath(const UnicodeString& bugRepFile)
{
    UnicodeString program = ExtractFileNameW(GetModuleFileNameText(nullptr));
    program.resize(program.size() - ExtractFileExtW(program).size());
    TSettingPlaceholders values(nullptr, TExceptionPlaceholders::Unchanged());
    return ExpandPlaceholders(u"%userappdata%\\" + program + u"\\" + bugRepFile, values);
}

bool ForceFolders(const UnicodeString& folder)
{
    UnicodeString path = folder;
    while (!path.empty() && path.back() == u'\\')
        path.pop_back();
    if (path.empty() || path.back() == u':')
        return true;
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const UnicodeString parent = ExtractFilePathW(path);
    if (parent.size() < path.size() && !parent.empty() && !ForceFolders(parent))
        return false;
    return CreateDirectoryW(Wide(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool SaveBugReport(const UnicodeString& fileName, const UnicodeString& report, HWND parent, bool automatic,
                   IZESettings& settings, const TSaveHooks& hooks)
{
    if (report.empty())
        return false;
    const UnicodeString bugRepFile = settings.BugRepFile();
    const bool configuredFile = fileName.empty() && automatic;
    UnicodeString path = fileName;
    if (configuredFile) {
        path = ExpandProgramPathText(bugRepFile);
    } else if (path.empty()) {
        if (hooks.loaderLocked && hooks.loaderLocked()) {
            MessageBeep(MB_OK);
            return false;
        }
        path = AskForFileName(parent, settings);
        if (path.empty())
            return false;
    }
    HANDLE handle = OpenReportFile(path);
    // Only the configured file moves: a file the caller named must not land elsewhere.
    if (handle == INVALID_HANDLE_VALUE && configuredFile && !HasBackslash(bugRepFile))
        handle = OpenReportFile(UserAppDataPath(bugRepFile));
    const TWinFile file(handle);
    std::string before;
    if (!file.IsOpen() || !ReadAll(file.Get(), before))
        return false;
    const std::string after = UpdateBugReportFile(before, WideToSystemAnsi(report), RulesOf(settings));
    const bool written = WriteChanges(file.Get(), before, after);
    if (written && configuredFile && hooks.markSaved)
        hooks.markSaved();
    return written;
}
