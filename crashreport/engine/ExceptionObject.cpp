#include "engine/ExceptionObject.h"

#include "text/CharSet.h"
#include "text/TextEdit.h"
#include "text/Utf.h"

namespace {

constexpr uint32_t kMaxMessageLength = 64 * 1024;
const char16_t kUnknown[] = u"Unknown";

std::optional<uint64_t> ReadPointer(const TObjectCheckTarget& target, uint64_t address)
{
    uint64_t value = 0;
    if (!target.memory.Read(address, &value, target.pointerSize))
        return std::nullopt;
    return value;
}

// The runtime's string: its length (in characters) stands in the 4 bytes before its text.
UnicodeString ReadRuntimeString(const TObjectCheckTarget& target, uint64_t text, bool wide)
{
    int32_t length = 0;
    if (text < 4 || !target.memory.Read(text - 4, &length, sizeof length) || length <= 0
        || static_cast<uint32_t>(length) > kMaxMessageLength)
        return {};
    if (wide) {
        UnicodeString message(static_cast<size_t>(length), u'\0');
        return target.memory.Read(text, message.data(), message.size() * sizeof(char16_t)) ? message : UnicodeString();
    }
    std::string bytes(static_cast<size_t>(length), '\0');
    if (!target.memory.Read(text, bytes.data(), bytes.size()))
        return {};
    UnicodeString message;
    for (const char c : bytes)
        message += static_cast<char16_t>(static_cast<unsigned char>(c));
    return message;
}

TCharSet ControlCharactersButLineBreaks()
{
    TCharSet set;
    for (unsigned char c = 0; c < 32; ++c)
        if (c != '\r' && c != '\n')
            set.Add(c);
    return set;
}

} // namespace

UnicodeString ExceptionClassName(const TObjectCheckTarget& target, uint64_t object)
{
    const auto found = CheckObject(target, object);
    return found ? UTF8ToWide(found->className) : UnicodeString(kUnknown);
}

UnicodeString ExceptionMessage(const TObjectCheckTarget& target, uint64_t object)
{
    const auto found = CheckObject(target, object);
    if (!found)
        return kUnknown;
    UnicodeString message;
    if (CheckObject(target, object, "ZelException") || CheckObject(target, object, "Exception")) {
        const auto text = ReadPointer(target, object + target.pointerSize);
        if (text && *text)
            message = ReadRuntimeString(target, *text, found->newerLayout);
    } else
        message = UTF8ToWide(found->className);
    DeleteCharSetW(message, ControlCharactersButLineBreaks());
    TrimW(message);
    return message.empty() ? UnicodeString(kUnknown) : message;
}
