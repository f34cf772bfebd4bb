// The presentation follows the main program's subsystem and the web server's marker.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "startup/win/ProcessPresentation.h"

namespace {

constexpr size_t kNtOffset = 0x80;

// Just the headers of an image: DOS header, PE signature, file header, optional header.
class TFakeImage {
public:
    TFakeImage(WORD magic, WORD subsystem) : bytes_(0x400)
    {
        Put<WORD>(offsetof(IMAGE_DOS_HEADER, e_magic), IMAGE_DOS_SIGNATURE);
        Put<LONG>(offsetof(IMAGE_DOS_HEADER, e_lfanew), static_cast<LONG>(kNtOffset));
        Put<DWORD>(kNtOffset, IMAGE_NT_SIGNATURE);
        const size_t optional = kNtOffset + offsetof(IMAGE_NT_HEADERS32, OptionalHeader);
        Put<WORD>(optional, magic);
        const size_t subsystemAt = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                                       ? offsetof(IMAGE_OPTIONAL_HEADER64, Subsystem)
                                       : offsetof(IMAGE_OPTIONAL_HEADER32, Subsystem);
        Put<WORD>(optional + subsystemAt, subsystem);
    }

    template <typename T>
    void Put(size_t offset, T value)
    {
        std::memcpy(bytes_.data() + offset, &value, sizeof value);
    }

    HMODULE Module() { return reinterpret_cast<HMODULE>(bytes_.data()); }

private:
    std::vector<BYTE> bytes_;
};

TEST(ProcessPresentation, AConsoleProgramWritesToTheConsoleOrAnswersTheWebServer)
{
    for (const WORD magic : {WORD{IMAGE_NT_OPTIONAL_HDR32_MAGIC}, WORD{IMAGE_NT_OPTIONAL_HDR64_MAGIC}}) {
        TFakeImage image(magic, IMAGE_SUBSYSTEM_WINDOWS_CUI);
        EXPECT_EQ(ImagePresentation(image.Module(), false), TPresentation::Console) << magic;
        EXPECT_EQ(ImagePresentation(image.Module(), true), TPresentation::Cgi) << magic;
    }
}

TEST(ProcessPresentation, AWindowsProgramShowsTheDialogEvenWhenAWebServerRunsIt)
{
    for (const WORD magic : {WORD{IMAGE_NT_OPTIONAL_HDR32_MAGIC}, WORD{IMAGE_NT_OPTIONAL_HDR64_MAGIC}}) {
        TFakeImage image(magic, IMAGE_SUBSYSTEM_WINDOWS_GUI);
        EXPECT_EQ(ImagePresentation(image.Module(), false), TPresentation::Windows) << magic;
        EXPECT_EQ(ImagePresentation(image.Module(), true), TPresentation::Windows) << magic;
    }
}

TEST(ProcessPresentation, HeadersThatAreNoImagesShowTheDialog)
{
    TFakeImage noDosSignature(IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    noDosSignature.Put<WORD>(0, 0);
    TFakeImage noPeSignature(IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    noPeSignature.Put<DWORD>(kNtOffset, 0);
    TFakeImage unknownMagic(0x107, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    TFakeImage headersFarAway(IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    headersFarAway.Put<LONG>(offsetof(IMAGE_DOS_HEADER, e_lfanew), 0x7FFFFFF0);
    TFakeImage negativeOffset(IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    negativeOffset.Put<LONG>(offsetof(IMAGE_DOS_HEADER, e_lfanew), -4);
    for (TFakeImage* image : {&noDosSignature, &noPeSignature, &unknownMagic, &headersFarAway, &negativeOffset})
        EXPECT_EQ(ImagePresentation(image->Module(), false), TPresentation::Windows);
    EXPECT_EQ(ImagePresentation(nullptr, true), TPresentation::Windows);
}

TEST(ProcessPresentation, ThisTestProgramIsAConsoleProgramAndTheMarkerMakesItAWebOne)
{
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", nullptr);
    EXPECT_EQ(ProcessPresentation(), TPresentation::Console);
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", L"");
    EXPECT_EQ(ProcessPresentation(), TPresentation::Cgi) << "set, though empty";
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", L"CGI/1.1");
    EXPECT_EQ(ProcessPresentation(), TPresentation::Cgi);
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", nullptr);
}

} // namespace
