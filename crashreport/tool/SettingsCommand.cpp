#include "tool/SettingsCommand.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "settings/SettingsResource.h"
#include "system/PeImage.h"
#include "text/NumberFormat.h"
#include "text/Utf.h"
#include "settings/PeResources.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

// CR, LF and "\" escaped, so that each setting stays on one line.
std::string EscapedUtf8(const UnicodeString& text)
{
    std::string escaped;
    for (const char c : WideToUTF8(text)) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

std::string ValueText(const TSettingValue& record)
{
    switch (record.kind) {
    case TSettingKind::Boolean:
        return record.boolean ? "true" : "false";
    case TSettingKind::Integer:
        return IntToStrA(record.integer);
    case TSettingKind::Text:
        break;
    }
    return EscapedUtf8(record.text);
}

} // namespace

int SettingsCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return kBadArguments;
    std::ifstream file(arguments[0], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const TBufferReader reader(bytes);
    const auto headers = ReadPeHeaders(reader, 0);
    if (!file || !headers) {
        std::fprintf(stderr, "not a PE file: %s\n", arguments[0].c_str());
        return kFailed;
    }
    const TFileImage image(reader, 0, *headers);
    const auto resource = FindResourceData(image, kRcDataType, u"TZELEXCEPT");
    if (!resource) {
        std::fprintf(stderr, "no settings resource\n");
        return kFailed;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(resource->data());
    const TParsedSettings parsed = ParseSettingsResource({data, resource->size()});
    if (!parsed.headerValid) {
        std::fprintf(stderr, "the settings resource has no valid header\n");
        return kFailed;
    }
    for (const TSettingValue& record : parsed.records)
        std::printf("%s=%s\n", record.name.c_str(), ValueText(record).c_str());
    std::fflush(stdout);
    if (parsed.badType) {
        std::fprintf(stderr, "%s\n", InvalidSettingsResourceText(*parsed.badType).c_str());
        return kFailed;
    }
    if (parsed.truncated) {
        std::fprintf(stderr, "the settings resource ends inside an entry\n");
        return kFailed;
    }
    return 0;
}
