#include "wizard/FormSource.h"

#include "props/PropertyStream.h"
#include "text/NumberFormat.h"

namespace {

// Items hold no objects of their own; deeper nesting is read over but never deeper than this.
constexpr int MaxObjectDepth = 16;

const struct {
    std::string_view className; // without the first letter
    TNVItemKind kind;
} ItemClasses[] = {
    {"NVButton", TNVItemKind::Button}, {"NVLabel", TNVItemKind::Label}, {"NVEdit", TNVItemKind::Edit},
    {"NVCheckBox", TNVItemKind::CheckBox}, {"NVImage", TNVItemKind::Image},
};

class TFormReader {
public:
    TFormReader(std::span<const uint8_t> resource, TAnsiDecoder decodeAnsi, TFormSource& form)
        : stream_(resource), decodeAnsi_(decodeAnsi), form_(form)
    {
    }

    void Read()
    {
        std::string_view className;
        std::string_view objectName;
        if (!stream_.ReadSignature()) {
            form_.end = TFormSourceEnd::NoSignature;
            return;
        }
        if (!stream_.ReadShortString(className) || !stream_.ReadShortString(objectName)) {
            form_.end = TFormSourceEnd::Overrun;
            return;
        }
        form_.name = NameText(objectName);
        if (ReadProperties(form_.properties))
            ReadItems();
    }

private:
    UnicodeString ValueText(const TStreamProperty& property) const
    {
        const bool ansi = property.type == TPropertyType::ShortString || property.type == TPropertyType::LongString;
        return ansi && decodeAnsi_ ? decodeAnsi_(property.text) : property.WideText();
    }

    static UnicodeString NameText(std::string_view name)
    {
        return UnicodeString(name.begin(), name.end());
    }

    // False when reading has to stop; the reason is in the form.
    bool ReadProperties(TFormProperties& properties)
    {
        TStreamProperty property;
        for (;;) {
            switch (stream_.ReadProperty(property)) {
            case TPropertyRead::Property:
                properties.push_back({NameText(property.name), ValueText(property)});
                break;
            case TPropertyRead::ListEnd:
                return true;
            case TPropertyRead::BadType:
                form_.end = TFormSourceEnd::BadType;
                form_.badType = stream_.BadTypeByte();
                return false;
            case TPropertyRead::Overrun:
                form_.end = TFormSourceEnd::Overrun;
                return false;
            }
        }
    }

    bool ReadObject(int depth)
    {
        std::string_view className;
        std::string_view objectName;
        if (depth > MaxObjectDepth || !stream_.ReadShortString(className) || !stream_.ReadShortString(objectName)) {
            form_.end = TFormSourceEnd::Overrun;
            return false;
        }
        TItemSource item;
        if (!ReadProperties(item.properties))
            return false;
        const std::optional<TNVItemKind> kind = ItemKindOfClass(className);
        if (depth == 1 && kind) {
            item.kind = *kind;
            item.name = NameText(objectName == "AbortBtn" ? std::string_view("CancelBtn") : objectName);
            form_.items.push_back(std::move(item));
        }
        return ReadChildren(depth);
    }

    bool ReadChildren(int depth)
    {
        while (!stream_.ReadListEnd()) {
            if (!ReadObject(depth + 1))
                return false;
        }
        return true;
    }

    void ReadItems() { ReadChildren(0); }

    TPropertyStream stream_;
    TAnsiDecoder decodeAnsi_;
    TFormSource& form_;
};

} // namespace

std::optional<TNVItemKind> ItemKindOfClass(std::string_view className)
{
    if (className.empty())
        return std::nullopt;
    for (const auto& entry : ItemClasses) {
        if (className.substr(1) == entry.className)
            return entry.kind;
    }
    return std::nullopt;
}

TFormSource ParseFormSource(std::span<const uint8_t> resource, TAnsiDecoder decodeAnsi)
{
    TFormSource form;
    TFormReader(resource, decodeAnsi, form).Read();
    return form;
}

UnicodeString BadResourceMessage(uint8_t type)
{
    return u"Internal error: Invalid assistant resource (" + IntToStrW(type) + u").";
}
