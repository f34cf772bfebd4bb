// Drives the built library as a host does: loaded by name, reached by GetProcAddress.
#include "conduvex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct TExport {
    const char* name;
    WORD ordinal;
};

constexpr TExport kExports[] = {
    {"ciHandleByIndex", 24}, {"ciHandlesCount", 25}, {"ciEnumHandles", 28},
    {"SetLastError", 48},    {"LastErrorText", 49},  {"LastError", 50},
    {"Info", 51},
};

class HostApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { library_ = LoadLibraryA("Conduvex.dll"); }
    static void TearDownTestSuite() { FreeLibrary(library_); }

    void SetUp() override
    {
        ASSERT_NE(nullptr, library_) << "Conduvex.dll beside the test program";
        setLastError_ = Bind<PFN_ConduvexSetLastError>("SetLastError");
        lastErrorText_ = Bind<PFN_LastErrorText>("LastErrorText");
        lastError_ = Bind<PFN_LastError>("LastError");
        info_ = Bind<PFN_Info>("Info");
        handlesCount_ = Bind<PFN_ciHandlesCount>("ciHandlesCount");
        handleByIndex_ = Bind<PFN_ciHandleByIndex>("ciHandleByIndex");
        enumHandles_ = Bind<PFN_ciEnumHandles>("ciEnumHandles");
    }

    template <class Function>
    static Function Bind(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
    }

    std::string ErrorText()
    {
        char text[256] = {};
        int32_t length = sizeof text;
        lastErrorText_(text, &length);
        return text;
    }

    static HMODULE library_;
    PFN_ConduvexSetLastError setLastError_ = nullptr;
    PFN_LastErrorText lastErrorText_ = nullptr;
    PFN_LastError lastError_ = nullptr;
    PFN_Info info_ = nullptr;
    PFN_ciHandlesCount handlesCount_ = nullptr;
    PFN_ciHandleByIndex handleByIndex_ = nullptr;
    PFN_ciEnumHandles enumHandles_ = nullptr;
};

HMODULE HostApiTest::library_ = nullptr;

TEST_F(HostApiTest, EveryExportIsFoundByNameAndByItsOrdinal)
{
    for (const TExport& entry : kExports) {
        const FARPROC byName = GetProcAddress(library_, entry.name);
        const FARPROC byOrdinal = GetProcAddress(library_, MAKEINTRESOURCEA(entry.ordinal));
        EXPECT_NE(nullptr, byName) << entry.name;
        EXPECT_EQ(byName, byOrdinal) << entry.name;
    }
}

TEST_F(HostApiTest, SetLastErrorIsTheLibrarysOwnNotTheSystems)
{
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    EXPECT_NE(reinterpret_cast<void*>(GetProcAddress(kernel, "SetLastError")),
              reinterpret_cast<void*>(setLastError_));
}

TEST_F(HostApiTest, InfoNamesTheLibraryAndItsVersion)
{
    int32_t length = 0;
    EXPECT_EQ(CI_OK, info_(nullptr, &length));
    ASSERT_GT(length, 10);

    std::string text(static_cast<size_t>(length), '#');
    EXPECT_EQ(CI_OK, info_(text.data(), &length));
    EXPECT_EQ(static_cast<int32_t>(text.size()) - 1, length) << "length without the NUL";
    text.resize(static_cast<size_t>(length));
    EXPECT_EQ("Conduvex 1.0.0", text);

    length = 3;
    char small[3] = {'#', '#', '#'};
    EXPECT_EQ(CI_ERR_BUFFER_TOO_SMALL, info_(small, &length));
    EXPECT_EQ(15, length);
    EXPECT_EQ('#', small[0]);
}

TEST_F(HostApiTest, SetLastErrorWithoutTextTakesTheCodesText)
{
    EXPECT_EQ(CI_ERR_NO_RESPONSE, setLastError_(CI_ERR_NO_RESPONSE, nullptr));
    EXPECT_EQ(CI_ERR_NO_RESPONSE, lastError_());
    EXPECT_EQ("No response from device.", ErrorText());

    EXPECT_EQ(CI_ERR_NOT_SUPPORTED, setLastError_(CI_ERR_NOT_SUPPORTED, ""));
    EXPECT_EQ("Not supported.", ErrorText());

    setLastError_(CI_ERR_NOT_SUPPORTED, "The host's own words");
    EXPECT_EQ("The host's own words", ErrorText());
    EXPECT_EQ(CI_ERR_NOT_SUPPORTED, lastError_()) << "reading does not clear";
}

TEST_F(HostApiTest, UnknownCodeWithoutTextHasAnEmptyText)
{
    EXPECT_EQ(0x12345678u, setLastError_(0x12345678, nullptr));
    EXPECT_EQ(0x12345678u, lastError_());
    int32_t length = 99;
    EXPECT_EQ(CI_OK, lastErrorText_(nullptr, &length));
    EXPECT_EQ(1, length);
}

TEST_F(HostApiTest, LastErrorTextFitsExactlyWithItsNul)
{
    setLastError_(CI_ERR_INVALID_HANDLE, nullptr);
    char text[16];
    int32_t length = 16;
    EXPECT_EQ(CI_OK, lastErrorText_(text, &length));
    EXPECT_STREQ("Invalid handle.", text);
    EXPECT_EQ(16, length);
}

TEST_F(HostApiTest, LastErrorTextOneByteShortIsTruncated)
{
    setLastError_(CI_ERR_INVALID_HANDLE, nullptr);
    char text[16];
    std::memset(text, '#', sizeof text);
    int32_t length = 15;
    EXPECT_EQ(CI_ERR_BUFFER_TOO_SMALL, lastErrorText_(text, &length));
    EXPECT_STREQ("Invalid handle", text);
    EXPECT_EQ('#', text[15]);
    EXPECT_EQ(16, length);
    EXPECT_EQ(CI_ERR_INVALID_HANDLE, lastError_()) << "the error itself stays";
}

TEST_F(HostApiTest, LastErrorTextWithoutRoomWritesNothing)
{
    setLastError_(CI_ERR_INVALID_HANDLE, nullptr);
    for (int32_t room : {0, -5}) {
        char text[4] = {'#', '#', '#', '#'};
        int32_t length = room;
        EXPECT_EQ(CI_ERR_BUFFER_TOO_SMALL, lastErrorText_(text, &length)) << room;
        EXPECT_EQ('#', text[0]) << room;
        EXPECT_EQ(16, length) << room;
    }
}

TEST_F(HostApiTest, LastErrorTextWithoutALengthIsInvalidParameters)
{
    char text[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(CI_ERR_INVALID_PARAMETERS, lastErrorText_(text, nullptr));
    EXPECT_EQ('#', text[0]);
}

TEST_F(HostApiTest, NoLinksMeansNoHandles)
{
    EXPECT_EQ(0, handlesCount_());

    EXPECT_EQ(0u, handleByIndex_(0));
    EXPECT_EQ(CI_ERR_INDEX_OUT_OF_BAND, lastError_());
    EXPECT_EQ("Index out of band.", ErrorText());
    EXPECT_EQ(0u, handleByIndex_(-1));
    EXPECT_EQ(CI_ERR_INDEX_OUT_OF_BAND, lastError_());

    EXPECT_EQ(0, handlesCount_());
    EXPECT_EQ(0u, lastError_()) << "every call clears the error first";
}

TEST_F(HostApiTest, EnumHandlesWithoutLinks)
{
    int32_t size = 40;
    EXPECT_EQ(0, enumHandles_(nullptr, &size));
    EXPECT_EQ(0, size);

    CI_HANDLE handles[2] = {7, 7};
    size = sizeof handles;
    EXPECT_EQ(0, enumHandles_(handles, &size));
    EXPECT_EQ(static_cast<int32_t>(sizeof handles), size) << "size unchanged";
    EXPECT_EQ(7u, handles[0]);

    EXPECT_EQ(-1, enumHandles_(handles, nullptr));
    EXPECT_EQ(CI_ERR_INVALID_PARAMETERS, lastError_());
    EXPECT_EQ("Invalid parameters.", ErrorText());
}

} // namespace
