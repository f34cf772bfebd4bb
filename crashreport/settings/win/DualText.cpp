#include "settings/win/DualText.h"

#include <windows.h>

#include <cstring>

namespace {

bool HasCharacterAbove255(std::u16string_view text)
{
    for (const char16_t c : text)
        if (c > 255)
            return true;
    return false;
}

} // namespace

void* SharedAlloc(size_t size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void SharedFree(void* block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

size_t SharedSize(const void* block)
{
    if (!block)
        return 0;
    const SIZE_T size = HeapSize(GetProcessHeap(), 0, block);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
}

UnicodeString SystemAnsiToWide(std::string_view text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    UnicodeString wide(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(wide.data()),
                        length);
    return wide;
}

AnsiString WideToSystemAnsi(std::u16string_view text)
{
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    AnsiString ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), ansi.data(), length, nullptr, nullptr);
    return ansi;
}

void* MakeDualText(std::u16string_view text)
{
    if (text.empty())
        return nullptr;
    const AnsiString ansi = WideToSystemAnsi(text);
    const bool keepWide = HasCharacterAbove255(text) || SystemAnsiToWide(ansi) != text;
    const size_t ansiBytes = ansi.size() + 1;
    const size_t wideBytes = keepWide ? (text.size() + 1) * sizeof(char16_t) : 0;
    auto* block = static_cast<char*>(SharedAlloc(ansiBytes + wideBytes));
    if (!block)
        return nullptr;
    std::memcpy(block, ansi.c_str(), ansiBytes);
    if (keepWide)
        std::memcpy(block + ansiBytes, text.data(), text.size() * sizeof(char16_t));
    return block;
}

UnicodeString ReadDualText(const void* block)
{
    if (!block)
        return {};
    const size_t size = SharedSize(block);
    const auto* bytes = static_cast<const char*>(block);
    const size_t ansiLength = strnlen(bytes, size);
    if (ansiLength >= size)
        return {};
    if (size <= 3 * ansiLength)
        return SystemAnsiToWide(std::string_view(bytes, ansiLength));
    UnicodeString wide;
    for (size_t at = ansiLength + 1; at + sizeof(char16_t) <= size; at += sizeof(char16_t)) {
        char16_t c;
        std::memcpy(&c, bytes + at, sizeof c);
        if (c == u'\0')
            break;
        wide += c;
    }
    return wide;
}

void FreeDualText(void* block)
{
    SharedFree(block);
}
