#include "iobrant/binding/FakeConduvex.h"

#include "ConduvexError.h"
#include "binding/ForwardedError.h"
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A Conduvex stand-in, in its folder beside this program.
std::string StandIn(const char* folder)
{
    return Beside(std::string(folder) + "\\Conduvex.dll");
}

std::string ThrownMessage(TConduvexBinding& binding)
{
    try {
        binding.EnsureBound();
    } catch (const EConduvexError& error) {
        return error.what();
    }
    return "(nothing raised)";
}

struct TAsked {
    std::string text;
    std::string caption;
    UINT type = 0;
    int answer = IDNO;
};

TAsked asked;

int WINAPI AskTerminate(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    EXPECT_EQ(owner, nullptr);
    asked.text = text;
    asked.caption = caption;
    asked.type = type;
    return asked.answer;
}

bool QuitPosted()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

TEST(ConduvexBinding, AMissingLibraryIsKeptAsTheReason)
{
    TConduvexBinding binding(StandIn("no-such-folder"));
    EXPECT_FALSE(binding.Bind());
    EXPECT_FALSE(binding.IsBound());
    EXPECT_EQ(binding.KeptMessage(), "Can't load library Conduvex.dll.");
    EXPECT_EQ(ThrownMessage(binding), "Can't load library Conduvex.dll.");
}

TEST(ConduvexBinding, AMissingExportIsNamedAndTheLibraryFreed)
{
    const std::string path = StandIn("missing-export");
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    TConduvexBinding binding(path);
    EXPECT_FALSE(binding.Bind());
    EXPECT_EQ(binding.KeptMessage(), "Can not map function ciSetValid in Conduvex.dll");
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
    // One attempt per binding: later uses report it without loading again.
    EXPECT_EQ(ThrownMessage(binding), "Can not map function ciSetValid in Conduvex.dll");
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
    EXPECT_THROW(binding.Open(1), EConduvexError);
}

TEST(ConduvexBinding, EveryExportIsFoundByName)
{
    const std::string path = StandIn("complete-exports");
    TConduvexBinding binding(path);
    ASSERT_TRUE(binding.Bind()) << binding.KeptMessage();
    EXPECT_TRUE(binding.KeptMessage().empty());
    EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr);
    const TConduvexFunctions& table = binding.Functions();
    const auto* slots = reinterpret_cast<void* const*>(&table);
    for (size_t i = 0; i < sizeof(table) / sizeof(void*); ++i)
        EXPECT_NE(slots[i], nullptr) << "slot " << i;
    EXPECT_EQ(sizeof(table) / sizeof(void*), kConduvexExports.size());

    binding.Unbind();
    EXPECT_FALSE(binding.IsBound());
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
}

TEST(ConduvexBinding, AFailureAtLoadOffersToEndTheApplication)
{
    TConduvexBinding binding(StandIn("missing-export"));
    asked = {};
    asked.answer = IDNO;
    EXPECT_FALSE(BindOrOfferToTerminate(binding, &AskTerminate));
    EXPECT_EQ(asked.text, "Can not map function ciSetValid in Conduvex.dll\r\nTerminate aplication?");
    EXPECT_EQ(asked.caption, "Error in loading library");
    EXPECT_EQ(asked.type, static_cast<UINT>(MB_YESNO | MB_ICONERROR));
    EXPECT_FALSE(QuitPosted());

    TConduvexBinding again(StandIn("missing-export"));
    asked.answer = IDYES;
    EXPECT_FALSE(BindOrOfferToTerminate(again, &AskTerminate));
    EXPECT_TRUE(QuitPosted());

    TConduvexBinding good(StandIn("complete-exports"));
    asked = {};
    EXPECT_TRUE(BindOrOfferToTerminate(good, &AskTerminate));
    EXPECT_TRUE(asked.text.empty());
}

uint32_t CI_CALL SilentlyRefusingOpen(CI_HANDLE)
{
    return CI_ERR_API;
}

class ConduvexWrappers : public ::testing::Test {
protected:
    void SetUp() override { fake_conduvex::Install(); }

    TConduvexBinding& binding = ProcessConduvex();
    const CI_HANDLE link = fake_conduvex::kLinkHandle;
    const CI_HANDLE unknown = 99;
};

TEST_F(ConduvexWrappers, FailuresRaiseConduvexsText)
{
    EXPECT_TRUE(binding.Open(link));
    EXPECT_TRUE(binding.IsActive(link));
    EXPECT_TRUE(binding.Close(link));
    EXPECT_FALSE(binding.IsActive(link));

    fake_conduvex::State().refuseOpen = true;
    try {
        binding.Open(link);
        FAIL() << "a refused open did not raise";
    } catch (const EConduvexError& error) {
        EXPECT_STREQ(error.what(), "Port COM21 is busy");
    }
    EXPECT_THROW(binding.Close(unknown), EConduvexError);
    EXPECT_THROW(binding.IsActive(unknown), EConduvexError);
    EXPECT_THROW(binding.GetValid(unknown), EConduvexError);
    EXPECT_THROW(binding.SetValid(unknown, true), EConduvexError);
    EXPECT_THROW(binding.GetID(unknown), EConduvexError);
}

TEST_F(ConduvexWrappers, AFailureCodeWithoutALastErrorIsOnlyFalse)
{
    TConduvexFunctions table = fake_conduvex::Table();
    table.ciOpen = &SilentlyRefusingOpen;
    binding.Adopt(table);
    bool opened = true;
    EXPECT_NO_THROW(opened = binding.Open(link));
    EXPECT_FALSE(opened);
}

TEST_F(ConduvexWrappers, WriteReportsWhetherConduvexTookTheBytes)
{
    EXPECT_TRUE(binding.Write(link, "abc"));
    EXPECT_EQ(fake_conduvex::State().written, "abc");
    EXPECT_TRUE(binding.Write(link, ""));
    fake_conduvex::State().refuseWrite = true;
    EXPECT_FALSE(binding.Write(link, "def"));
    EXPECT_FALSE(binding.Write(unknown, "def"));
    EXPECT_EQ(fake_conduvex::State().written, "abc");
}

TEST_F(ConduvexWrappers, ReadTakesWhatIsWaiting)
{
    EXPECT_EQ(binding.Read(link), "");
    fake_conduvex::State().incoming = std::string("he\0llo", 6);
    EXPECT_EQ(binding.Read(link), std::string("he\0llo", 6));
    EXPECT_EQ(fake_conduvex::State().incoming, "");
    try {
        binding.Read(unknown);
        FAIL() << "reading an unknown handle did not raise";
    } catch (const EConduvexError& error) {
        EXPECT_STREQ(error.what(), "Invalid handle.");
    }
}

TEST_F(ConduvexWrappers, TextsComeWithoutTheirTerminator)
{
    EXPECT_EQ(binding.GetID(link), "COM21");
    EXPECT_EQ(binding.GetDescription(link), "Serial port COM21");
    EXPECT_EQ(binding.GetProvider(link), "SERIAL_PORT");
    fake_conduvex::State().id.clear();
    EXPECT_EQ(binding.GetID(link), "");

    fake_conduvex::SetLastError(CI_ERR_NO_RESPONSE, "No response from device.");
    EXPECT_EQ(binding.ConduvexLastErrorText(), "No response from device.");
    fake_conduvex::SetLastError(0, "");
    fake_conduvex::State().lastErrorText.clear();
    EXPECT_EQ(binding.ConduvexLastErrorText(), "");
}

TEST_F(ConduvexWrappers, IobrantsLastErrorIsConduvexs)
{
    EXPECT_EQ(IobrantSetLastError(CI_ERR_NO_RESPONSE), CI_ERR_NO_RESPONSE);
    EXPECT_EQ(fake_conduvex::State().lastErrorText, "No response from device.");
    EXPECT_EQ(IobrantLastError(), CI_ERR_NO_RESPONSE);
    char text[64] = {};
    int32_t length = sizeof(text);
    EXPECT_EQ(IobrantLastErrorText(text, &length), CI_ERR_NO_RESPONSE);
    EXPECT_STREQ(text, "No response from device.");

    EXPECT_EQ(IobrantHandleException(std::make_exception_ptr(std::runtime_error("broken"))), CI_ERR_EXCEPTION);
    EXPECT_EQ(fake_conduvex::State().lastErrorText, "broken");
    EXPECT_EQ(IobrantHandleException(nullptr), 0u);
    EXPECT_EQ(IobrantClearError(), 0u);

    binding.Unbind();
    EXPECT_EQ(IobrantLastError(), CI_ERR_LIBRARY_MISSING);
    EXPECT_EQ(IobrantSetLastError(CI_ERR_NO_RESPONSE), CI_ERR_LIBRARY_MISSING);
    EXPECT_EQ(IobrantLastErrorText(text, &length), CI_ERR_LIBRARY_MISSING);
}

} // namespace
