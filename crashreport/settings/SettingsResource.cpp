#include "settings/SettingsResource.h"

#include "props/PropertyStream.h"

namespace {

constexpr std::string_view kClassName = "TZelExcept";
constexpr std::string_view kObjectName = "zelExcept";

TSettingValue RecordOf(const TStreamProperty& property, TAnsiDecoder decodeAnsi)
{
    TSettingValue record;
    record.name = std::string(property.name);
    switch (property.Kind()) {
    case TPropertyKind::Integer:
        record.kind = TSettingKind::Integer;
        record.integer = property.number;
        break;
    case TPropertyKind::Boolean:
        record.kind = TSettingKind::Boolean;
        record.boolean = property.number != 0;
        break;
    case TPropertyKind::Text:
        record.kind = TSettingKind::Text;
        const bool ansi = property.type == TPropertyType::ShortString || property.type == TPropertyType::LongString;
        record.text = ansi && decodeAnsi ? decodeAnsi(property.text) : property.WideText();
        break;
    }
    return record;
}

} // namespace

TParsedSettings ParseSettingsResource(std::span<const uint8_t> data, TAnsiDecoder decodeAnsi)
{
    TParsedSettings parsed;
    TPropertyStream stream(data);
    std::string_view className;
    std::string_view objectName;
    if (!stream.ReadSignature() || !stream.ReadShortString(className) || className != kClassName
        || !stream.ReadShortString(objectName) || objectName != kObjectName)
        return parsed;
    parsed.headerValid = true;
    for (;;) {
        TStreamProperty property;
        switch (stream.ReadProperty(property)) {
        case TPropertyRead::Property:
            parsed.records.push_back(RecordOf(property, decodeAnsi));
            continue;
        case TPropertyRead::ListEnd:
            return parsed;
        case TPropertyRead::Overrun:
            parsed.truncated = true;
            return parsed;
        case TPropertyRead::BadType:
            parsed.badType = stream.BadTypeByte();
            return parsed;
        }
    }
}

AnsiString InvalidSettingsResourceText(uint8_t type)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    AnsiString hex;
    if (type >= 16)
        hex += kDigits[type >> 4];
    hex += kDigits[type & 0xF];
    return "Internal error: Invalid settings resource ($" + hex + ").";
}
