#include "mapi/win/MapiMail.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

TEST(MapiMailDisplay, TopMostParentStepsBackWhileTheProgramRuns)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string record = std::string(folder) + "mapi-display-" + std::to_string(GetCurrentProcessId()) + ".txt";
    SetEnvironmentVariableA("MAPI_STANDIN_RECORD", record.c_str());
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "0");
    const HWND parent = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"parent", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    bool wasTopMost = true;
    TMailClientHooks hooks;
    hooks.pauseWatchdog = [&](bool pause) {
        if (pause)
            wasTopMost = (GetWindowLongPtrW(parent, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    };
    const TMapiMail mail{u"a@x.org", u"s", u"b", {}};
    EXPECT_EQ(SendViaMapi(mail, parent, false, hooks, L"mapi_standin.dll"), TMapiResult::Sent);
    EXPECT_FALSE(wasTopMost);
    EXPECT_NE(GetWindowLongPtrW(parent, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    std::ifstream in(record, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("parent=set\n"), std::string::npos) << text.str();
    DestroyWindow(parent);
    in.close();
    DeleteFileA(record.c_str());
}

} // namespace
