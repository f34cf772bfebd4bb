#include "startup/win/ProcessPresentation.h"

#include <cstddef>
#include <cstring>

#include "dispatch/win/RequestHandler.h"

namespace {

// Headers past this offset are taken for garbage rather than followed.
constexpr LONG kMaxHeaderOffset = 0x1000;

template <typename T>
T ReadAt(const BYTE* base, size_t offset)
{
    T value{};
    std::memcpy(&value, base + offset, sizeof value);
    return value;
}

// The subsystem field of the image's optional header; 0 when the headers are not those of an image.
WORD ImageSubsystem(HMODULE image)
{
    const auto* base = reinterpret_cast<const BYTE*>(image);
    if (!base || ReadAt<WORD>(base, offsetof(IMAGE_DOS_HEADER, e_magic)) != IMAGE_DOS_SIGNATURE)
        return 0;
    const LONG headers = ReadAt<LONG>(base, offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (headers < static_cast<LONG>(sizeof(IMAGE_DOS_HEADER)) || headers > kMaxHeaderOffset)
        return 0;
    const size_t nt = static_cast<size_t>(headers);
    if (ReadAt<DWORD>(base, nt) != IMAGE_NT_SIGNATURE)
        return 0;
    const size_t optional = nt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader);
    switch (ReadAt<WORD>(base, optional)) {
    case IMAGE_NT_OPTIONAL_HDR32_MAGIC:
        return ReadAt<WORD>(base, optional + offsetof(IMAGE_OPTIONAL_HEADER32, Subsystem));
    case IMAGE_NT_OPTIONAL_HDR64_MAGIC:
        return ReadAt<WORD>(base, optional + offsetof(IMAGE_OPTIONAL_HEADER64, Subsystem));
    default:
        return 0;
    }
}

bool GatewayInterfaceSet()
{
    // An empty value still counts: the size asked for includes the terminating NUL.
    return GetEnvironmentVariableW(L"GATEWAY_INTERFACE", nullptr, 0) > 0;
}

} // namespace

TPresentation ImagePresentation(HMODULE image, bool gatewaySet)
{
    if (ImageSubsystem(image) != IMAGE_SUBSYSTEM_WINDOWS_CUI)
        return TPresentation::Windows;
    return gatewaySet ? TPresentation::Cgi : TPresentation::Console;
}

TPresentation ProcessPresentation()
{
    return ImagePresentation(GetModuleHandleW(nullptr), GatewayInterfaceSet());
}

void SetUpPresentation()
{
    const TPresentation presentation = ProcessPresentation();
    DialogEnvironment().presentation = presentation;
    RequestHandler().SetConsoleMode(presentation != TPresentation::Windows);
}
