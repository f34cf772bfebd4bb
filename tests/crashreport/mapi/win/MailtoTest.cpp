#include "mapi/win/Mailto.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace {

constexpr wchar_t kCommandKey[] = L"mailto\\shell\\open\\command";


// Registers the test's stand-in mail program for mailto in the prefix, and puts back what was
// there before.
class Mailto : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t module[MAX_PATH];
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        const std::wstring path(module);
        standIn_ = path.substr(0, path.find_last_of(L'\\') + 1) + L"mailto_standin.exe";
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        output_ = std::string(folder) + "mailto-standin-" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(output_.c_str());
        SetEnvironmentVariableA("MAILTO_STANDIN_OUT", output_.c_str());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::wstring old(size / sizeof(wchar_t), L'\0');
            RegQueryValueExW(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old.data()), &size);
            saved_ = std::make_pair(type, old);
        }
    }

    void TearDown() override
    {
        if (saved_)
            RegSetValueExW(key_, nullptr, 0, saved_->first, reinterpret_cast<const BYTE*>(saved_->second.data()),
                           static_cast<DWORD>(saved_->second.size() * sizeof(wchar_t)));
        else
            RegDeleteValueW(key_, nullptr);
        RegCloseKey(key_);
        DeleteFileA(output_.c_str());
    }

    void Register(const std::wstring& command, DWORD type = REG_EXPAND_SZ)
    {
        ASSERT_EQ(RegSetValueExW(key_, nullptr, 0, type, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    // The stand-in's command line, once it has written it.
    std::string CapturedLine() const
    {
        for (int wait = 0; wait < 200; ++wait) {
            std::ifstream in(output_, std::ios::binary);
            if (in) {
                std::ostringstream text;
                text << in.rdbuf();
                return text.str();
            }
            Sleep(25);
        }
        return "<nothing>";
    }

    // The command line's first item; the rest is appended to it.
    std::string QuotedStandIn() const
    {
        std::string text = "\"";
        text.append(standIn_.begin(), standIn_.end());
        text += '"';
        return text;
    }

    HKEY key_ = nullptr;
    std::wstring standIn_;
    std::string output_;
    std::optional<std::pair<DWORD, std::wstring>> saved_;
};

TEST_F(Mailto, HandlerGetsTheEncodedUrlInPlaceOfItsPlaceholder)
{
    Register(L"\"" + standIn_ + L"\" \"%MAILTO_STANDIN_OUT%\" \"%1\" -compose");
    EXPECT_TRUE(SendViaMailto(u"Ann <ann@x.org>,bob@y.org", u"Crash in Gr\u00FC\u00DFe", u"100% \u20AC\r\n."));
    EXPECT_EQ(CapturedLine(), QuotedStandIn() + " \"" + output_ +
                                  "\" \"mailto:Ann%20%3Cann@x.org%3E%2Cbob@y.org?subject=Crash%20in%20Gr%C3%BC%C3%9Fe"
                                  "&body=100%25%20%E2%82%AC%0D%0A.\" -compose");
}

TEST_F(Mailto, UrlIsAppendedWithoutASecondBlankAndOutlookGetsSemicolons)
{
    Register(L"\"" + standIn_ + L"\" \"%MAILTO_STANDIN_OUT%\" /OUTLOOK ");
    EXPECT_TRUE(SendViaMailto(u"a@x.org,b@y.org", u"s", u"b"));
    EXPECT_EQ(CapturedLine(), QuotedStandIn() + " \"" + output_ + "\" /OUTLOOK mailto:a@x.org%3Bb@y.org?subject=s&body=b");
}

TEST_F(Mailto, LongMailsAreCutToWhatAProcessTakes)
{
    Register(L"\"" + standIn_ + L"\" \"%MAILTO_STANDIN_OUT%\" %1", REG_EXPAND_SZ);
    EXPECT_TRUE(SendViaMailto(u"a@x.org", u"s", UnicodeString(20000, u'\u00E9')));
    const std::string line = CapturedLine();
    EXPECT_GE(line.size(), 32764u);
    EXPECT_LE(line.size(), 32766u);
    EXPECT_EQ(line.size() - line.rfind('%'), 3u);
}

TEST_F(Mailto, NoHandlerOrOneThatCannotStartIsAFailure)
{
    RegDeleteValueW(key_, nullptr);
    EXPECT_FALSE(SendViaMailto(u"a@x.org", u"s", u"b"));
    Register(L"\"C:\\no\\such\\mailer.exe\" %1", REG_SZ);
    EXPECT_FALSE(SendViaMailto(u"a@x.org", u"s", u"b"));
}

} // namespace
