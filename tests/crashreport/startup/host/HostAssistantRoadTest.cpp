// The send button of the box that a host's export fault shows goes through the Send Assistant,
// whose forms the library as shipped draws from its own resources; what is typed into them
// reaches the mail that a local SMTP server receives.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "../../mail/MailTestServer.h"
#include "ConduvexRoadCase.h"

namespace {

constexpr wchar_t kFormClass[] = L"zelNVAssistantWnd";
constexpr DWORD kMailWaitMs = 30000;

// Typed as a person would, one character after the other into the edit's queue.
void Type(HWND edit, const std::wstring& text)
{
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    for (const wchar_t character : text)
        PostMessageW(edit, WM_CHAR, character, 1);
}

// The edit's text as its window procedure gives it: GetWindowText reads no control of another
// process.
std::wstring TextOfEdit(HWND edit)
{
    wchar_t text[256] = {};
    SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

size_t ChildCount(HWND window)
{
    size_t count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ++count;
    return count;
}

// The visible form of the host that follows the given one once that has gone; nil when none shows.
HWND WaitForNextForm(DWORD processId, HWND previous)
{
    if (previous && !box_driver::WaitFor([&] { return !IsWindow(previous); }))
        return nullptr;
    return WaitForWindowOf(processId, kFormClass);
}

// The text of the mail's attachment of that name, which the server records in hexadecimal.
std::string Attachment(const std::string& mail, const std::string& fileName)
{
    const size_t named = mail.find("\"filename\": \"" + fileName + "\"");
    const std::string lead = "\"data\": \"";
    const size_t data = named == std::string::npos ? named : mail.find(lead, named);
    if (data == std::string::npos)
        return {};
    std::string text;
    for (size_t at = data + lead.size(); at + 1 < mail.size() && mail[at] != '"'; at += 2)
        text += static_cast<char>(std::stoi(mail.substr(at, 2), nullptr, 16));
    return text;
}

struct TFormStep {
    const char* picture;
    size_t edits;
    std::vector<std::wstring> typed; // into its edits in order
};

// Each form shows its own items besides the three buttons; the contact form's address is checked
// as it is typed; the report that goes out holds what was typed, and the sender is the person.
TEST(AssistantRoad, SendingFromTheBoxGoesThroughTheAssistantsFormsIntoTheMail)
{
    const TMailTestServer server("smtp_server.py", "--port " + std::to_string(ROAD_SMTP_PORT));
    ASSERT_EQ(server.Failure(), "");
    const fs::path folder = PrepareCase("assistant-send", "assistant", "crashreport_road_window_host.exe");
    const PROCESS_INFORMATION host = StartHost(folder, L"av");
    ASSERT_TRUE(host.hProcess);
    const HWND box = WaitForWindowOf(host.dwProcessId, kExceptionDialogClass);
    const HWND send = box ? box_driver::ButtonCaptioned(box, L"send bug report") : nullptr;
    if (!send) {
        Finish(host, 0);
        FAIL() << "no exception box with its send button showed";
    }
    box_driver::Press(send);

    const TFormStep steps[] = {
        {"contact-form", 2, {L"Jo Tester", L"jo@road.test"}},
        {"details-form", 1, {L"I pressed the red button"}},
        {"screenshot-form", 0, {}},
    };
    HWND form = nullptr;
    for (const TFormStep& step : steps) {
        form = WaitForNextForm(host.dwProcessId, form);
        if (!form) {
            Finish(host, 0);
            FAIL() << "the form for " << step.picture << " did not show";
        }
        EXPECT_GT(ChildCount(form), 3u) << step.picture << ": more than the three buttons";
        const std::vector<HWND> edits = box_driver::Children(form, L"Edit");
        EXPECT_EQ(edits.size(), step.edits) << step.picture;
        for (size_t index = 0; index < step.typed.size() && index < edits.size(); ++index) {
            Type(edits[index], step.typed[index]);
            EXPECT_TRUE(box_driver::WaitFor([&] { return TextOfEdit(edits[index]) == step.typed[index]; }));
        }
        const HWND next = box_driver::ButtonCaptioned(form, L"Next >");
        EXPECT_TRUE(box_driver::WaitFor([&] { return IsWindowEnabled(next) != FALSE; })) << step.picture;
        EXPECT_TRUE(box_driver::SavePicture(form, step.picture, folder.string())) << step.picture;
        EXPECT_GT(fs::file_size(folder / (std::string(step.picture) + ".png")), 0u);
        box_driver::Press(next);
    }

    box_driver::WaitFor([&] { return !server.ReadFile("mail-1.json").empty(); }, kMailWaitMs);
    const std::string mail = server.ReadFile("mail-1.json");
    if (const HWND resume = IsWindow(box) ? box_driver::ButtonCaptioned(box, L"continue application") : nullptr)
        box_driver::Press(resume);
    EXPECT_EQ(Finish(host), 0);
    ASSERT_FALSE(mail.empty()) << "no mail arrived";
    EXPECT_NE(mail.find("\"rcpt_tos\": [\"bugs@road.test\"]"), std::string::npos) << mail.substr(0, 500);
    EXPECT_NE(mail.find("\"from\": \"Jo Tester <jo@road.test>\""), std::string::npos) << mail.substr(0, 500);
    EXPECT_NE(mail.find("\"filename\": \"screenshot.png\""), std::string::npos) << "the screenshot is attached";
    const std::string report = Attachment(mail, "bugreport.txt");
    for (const char* typed : {"Jo Tester", "jo@road.test", "I pressed the red button"})
        EXPECT_NE(report.find(typed), std::string::npos) << typed << " in\n" << report.substr(0, 1500);
}

} // namespace
