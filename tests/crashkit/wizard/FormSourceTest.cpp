#include "wizard/FormSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

class TFormBuilder {
public:
    TFormBuilder() { Raw("TPF0"); }
    TFormBuilder& Raw(std::string_view bytes)
    {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TFormBuilder& Byte(uint8_t value)
    {
        data.push_back(value);
        return *this;
    }
    TFormBuilder& Short(std::string_view text) { return Byte(static_cast<uint8_t>(text.size())).Raw(text); }
    TFormBuilder& Object(std::string_view className, std::string_view name) { return Short(className).Short(name); }
    TFormBuilder& Text(std::string_view name, std::string_view value) { return Short(name).Byte(6).Short(value); }
    TFormBuilder& Flag(std::string_view name, bool value) { return Short(name).Byte(value ? 9 : 8); }
    TFormBuilder& Int(std::string_view name, int8_t value) { return Short(name).Byte(2).Byte(static_cast<uint8_t>(value)); }
    TFormBuilder& End() { return Byte(0); }

    std::vector<uint8_t> data;
};

std::string Narrow(const UnicodeString& text)
{
    return std::string(text.begin(), text.end());
}

std::string PropertyValue(const TFormProperties& properties, std::string_view name)
{
    for (const TFormProperty& property : properties) {
        if (Narrow(property.name) == name)
            return Narrow(property.value);
    }
    return "<missing>";
}

TEST(FormSource, ReadsFormPropertiesAndItemsOfEveryClass)
{
    TFormBuilder b;
    b.Object("TNVForm", "TestForm").Text("Message", "Hello").Int("Timer", -5).Flag("Flag", true).End();
    b.Object("TNVLabel", "Lbl").Text("Caption", "Name:").End().End();
    b.Object("INVEdit", "Edit").Flag("Optional", false).End().End();
    b.Object("TNVCheckBox", "Box").End().End();
    b.Object("TNVImage", "Img").Int("Width", 40).End().End();
    b.Object("TNVButton", "AbortBtn").Text("Caption", "Abort").End().End();
    b.End();
    const TFormSource form = ParseFormSource(b.data);
    EXPECT_EQ(TFormSourceEnd::Complete, form.end);
    EXPECT_EQ("TestForm", Narrow(form.name));
    EXPECT_EQ("Hello", PropertyValue(form.properties, "Message"));
    EXPECT_EQ("-5", PropertyValue(form.properties, "Timer"));
    EXPECT_EQ("1", PropertyValue(form.properties, "Flag"));
    ASSERT_EQ(5u, form.items.size());
    EXPECT_EQ(TNVItemKind::Label, form.items[0].kind);
    EXPECT_EQ("Name:", PropertyValue(form.items[0].properties, "Caption"));
    EXPECT_EQ(TNVItemKind::Edit, form.items[1].kind) << "any first letter names the class";
    EXPECT_EQ("0", PropertyValue(form.items[1].properties, "Optional"));
    EXPECT_EQ(TNVItemKind::CheckBox, form.items[2].kind);
    EXPECT_EQ(TNVItemKind::Image, form.items[3].kind);
    EXPECT_EQ(TNVItemKind::Button, form.items[4].kind);
    EXPECT_EQ("CancelBtn", Narrow(form.items[4].name)) << "AbortBtn is read as CancelBtn";
}

TEST(FormSource, UnknownClassesAndNestedObjectsAreReadOver)
{
    TFormBuilder b;
    b.Object("TNVForm", "F").End();
    b.Object("TPanel", "Panel").Text("Caption", "x").End();
    b.Object("TNVEdit", "Inner").End().End(); // a child of the panel: not an item of the form
    b.End();
    b.Object("TNVLabel", "After").End().End();
    b.End();
    const TFormSource form = ParseFormSource(b.data);
    EXPECT_EQ(TFormSourceEnd::Complete, form.end);
    ASSERT_EQ(1u, form.items.size());
    EXPECT_EQ("After", Narrow(form.items[0].name));
}

TEST(FormSource, BadTypeStopsAndKeepsWhatWasRead)
{
    TFormBuilder b;
    b.Object("TNVForm", "F").Text("Message", "kept").End();
    b.Object("TNVLabel", "First").End().End();
    b.Object("TNVLabel", "Broken").Short("Caption").Byte(5).Raw("trailing bytes");
    const TFormSource form = ParseFormSource(b.data);
    EXPECT_EQ(TFormSourceEnd::BadType, form.end);
    EXPECT_EQ(5, form.badType);
    EXPECT_EQ("kept", PropertyValue(form.properties, "Message"));
    ASSERT_EQ(1u, form.items.size()) << "the broken item is not added";
    EXPECT_EQ("First", Narrow(form.items[0].name));
    EXPECT_EQ("Internal error: Invalid assistant resource (5).", Narrow(BadResourceMessage(form.badType)));
}

TEST(FormSource, EveryTruncationStopsWithoutReadingPastTheEnd)
{
    TFormBuilder b;
    b.Object("TNVForm", "F").Text("Message", "m").End();
    b.Object("TNVEdit", "E").Short("Text").Byte(12).Raw(std::string("\x03\x00\x00\x00", 4)).Raw("abc").End().End();
    b.End();
    for (size_t size = 0; size < b.data.size(); ++size) {
        const std::vector<uint8_t> cut(b.data.begin(), b.data.begin() + static_cast<ptrdiff_t>(size));
        const TFormSource form = ParseFormSource(cut);
        EXPECT_NE(TFormSourceEnd::Complete, form.end) << size;
        for (const TItemSource& item : form.items)
            EXPECT_EQ("abc", PropertyValue(item.properties, "Text")) << "only whole items are kept";
    }
}

TEST(FormSource, NoSignatureGivesAnEmptyForm)
{
    const std::vector<uint8_t> data{'T', 'P', 'F', '1', 0, 0};
    const TFormSource form = ParseFormSource(data);
    EXPECT_EQ(TFormSourceEnd::NoSignature, form.end);
    EXPECT_TRUE(form.items.empty());
    EXPECT_EQ(TFormSourceEnd::NoSignature, ParseFormSource({}).end);
}

TEST(FormSource, AnsiTextsGoThroughTheDecoder)
{
    TFormBuilder b;
    b.Object("TNVForm", "F").Text("Message", "\xE9").Short("Id").Byte(7).Short("zelExcept.X").End().End();
    const auto decoder = [](std::string_view) { return UnicodeString(u"decoded"); };
    const TFormSource form = ParseFormSource(b.data, decoder);
    EXPECT_EQ("decoded", PropertyValue(form.properties, "Message"));
    EXPECT_EQ("zelExcept.X", PropertyValue(form.properties, "Id")) << "identifiers are UTF-8, not ANSI";
    EXPECT_EQ(u"\u00E9", ParseFormSource(b.data).properties[0].value) << "Latin-1 without a decoder";
}

std::vector<uint8_t> ReadFormFile(const std::string& name)
{
    std::ifstream file(std::string(WIZARD_FORMS_DIR) + "/" + name + ".bin", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The library's own forms, as the generator writes them, hold what the form routines use.
TEST(FormSource, TheLibrarysFormsHoldTheirItems)
{
    struct TExpected {
        const char* form;
        std::vector<std::pair<TNVItemKind, const char*>> items;
    };
    const TExpected expected[] = {
        {"ContactForm",
         {{TNVItemKind::Label, "NameLbl"}, {TNVItemKind::Edit, "NameEdit"}, {TNVItemKind::Label, "EmailLbl"},
          {TNVItemKind::Edit, "EmailEdit"}, {TNVItemKind::CheckBox, "MemCheck"}}},
        {"DetailsForm", {{TNVItemKind::Label, "DetailsLbl"}, {TNVItemKind::Edit, "Error Details"}}},
        {"ScrShotForm",
         {{TNVItemKind::Label, "ScrShotLbl"}, {TNVItemKind::Image, "ScrShotImg"}, {TNVItemKind::CheckBox, "AttachCheck"}}},
    };
    for (const TExpected& e : expected) {
        const std::vector<uint8_t> data = ReadFormFile(e.form);
        ASSERT_FALSE(data.empty()) << e.form;
        const TFormSource form = ParseFormSource(data);
        EXPECT_EQ(TFormSourceEnd::Complete, form.end) << e.form;
        EXPECT_EQ(e.form, Narrow(form.name));
        EXPECT_NE("<missing>", PropertyValue(form.properties, "Message")) << e.form;
        ASSERT_EQ(e.items.size(), form.items.size()) << e.form;
        for (size_t i = 0; i < e.items.size(); ++i) {
            EXPECT_EQ(e.items[i].first, form.items[i].kind) << e.form << " " << i;
            EXPECT_EQ(e.items[i].second, Narrow(form.items[i].name)) << e.form << " " << i;
        }
    }
    const TFormSource contact = ParseFormSource(ReadFormFile("ContactForm"));
    EXPECT_EQ("zelExcept.HandleContactForm", PropertyValue(contact.properties, "OnAction"));
    EXPECT_EQ("0", PropertyValue(contact.items[3].properties, "Optional"));
    const TFormSource shot = ParseFormSource(ReadFormFile("ScrShotForm"));
    EXPECT_EQ("zelExcept.HandleScreenshotForm", PropertyValue(shot.properties, "OnAction"));
    EXPECT_EQ("1", PropertyValue(shot.items[1].properties, "Clickable"));
    const TFormSource details = ParseFormSource(ReadFormFile("DetailsForm"));
    EXPECT_EQ("8", PropertyValue(details.items[1].properties, "Lines"));
    EXPECT_EQ("ownSection", PropertyValue(details.items[1].properties, "OutputType"));
}

} // namespace
