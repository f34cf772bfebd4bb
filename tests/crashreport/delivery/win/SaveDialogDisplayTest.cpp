#include "delivery/win/SaveBugReport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace {

constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

class TDialogSettings : public IZESettings {
public:
    bool GetSettingBool(TSettingName name) override { return name == "AppendBugReps"; }
    int32_t GetSettingInt(TSettingName) override { return 0; }
    UnicodeString GetSettingText(TSettingName name) override
    {
        return name == "SaveBtnTxt" ? u"Save it here" : name == "BugRepFile" ? u"crash log.txt" : u"";
    }
    bool SetSettingBool(TSettingName, bool) override { return false; }
    bool SetSettingInt(TSettingName, int32_t) override { return false; }
    bool SetSettingText(TSettingName, const UnicodeString&) override { return false; }
};

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(dialog, id, text, MAX_PATH);
    return text;
}

// Answers the save dialog like a user: notes the offered name, types another and confirms.
void AnswerDialog(const std::wstring& target, std::wstring& offered, std::atomic<bool>& answered)
{
    for (int wait = 0; wait < 400 && !answered; ++wait) {
        const HWND dialog = FindWindowW(nullptr, L"Save it here");
        if (!dialog) {
            Sleep(25);
            continue;
        }
        const int id = GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
        offered = ItemText(dialog, id);
        SetDlgItemTextW(dialog, id, target.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        answered = true;
    }
}

TEST(SaveDialogDisplay, UserPicksTheFileUnderTheConfiguredTitle)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string target = std::string(temp) + "picked-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::wstring offered;
    std::atomic<bool> answered{false};
    std::thread user(AnswerDialog, std::wstring(target.begin(), target.end()), std::ref(offered), std::ref(answered));
    TDialogSettings settings;
    const bool saved = SaveBugReport(u"", u"date/time : now", nullptr, false, settings);
    answered = true;
    user.join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(offered, L"crash log.txt");
    std::ifstream in(target, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "\r\n\r\ndate/time : now");
    in.close();
    DeleteFileA(target.c_str());
}

} // namespace
