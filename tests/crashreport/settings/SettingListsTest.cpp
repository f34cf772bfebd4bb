#include <gtest/gtest.h>

#include <map>
#include <string>

#include "settings/AttachmentsList.h"
#include "settings/FieldsList.h"

namespace {

class TTextSettings : public IZESettings {
public:
    bool GetSettingBool(TSettingName) override { return false; }
    int32_t GetSettingInt(TSettingName) override { return 0; }
    UnicodeString GetSettingText(TSettingName name) override { return texts[std::string(name)]; }
    bool SetSettingBool(TSettingName, bool) override { return false; }
    bool SetSettingInt(TSettingName, int32_t) override { return false; }
    bool SetSettingText(TSettingName name, const UnicodeString& value) override
    {
        texts[std::string(name)] = value;
        ++stores;
        return true;
    }

    std::map<std::string, UnicodeString> texts;
    int stores = 0;
};

TEST(FieldsList, FieldsReadFromTheSettingAndWrittenBackAfterEachChange)
{
    TTextSettings settings;
    settings.texts["AddFields"] = u"Name=Ann|Mail=ann@x.org";
    const auto fields = settings.Fields();
    ASSERT_EQ(fields->Count(), 2);
    EXPECT_EQ(fields->Name(1), u"Mail");
    EXPECT_EQ(fields->Value(u"mail"), u"ann@x.org");
    EXPECT_EQ(fields->Name(5), u"");
    fields->SetValue(u"Phone", u"  123  ");
    EXPECT_EQ(settings.texts["AddFields"], u"Name=Ann|Mail=ann@x.org|Phone=123");
    fields->SetValue(u"NAME", u"Bob");
    EXPECT_EQ(settings.texts["AddFields"], u"NAME=Bob|Mail=ann@x.org|Phone=123");
    fields->SetValue(u"mail", u"   ");
    EXPECT_EQ(settings.texts["AddFields"], u"NAME=Bob|Phone=123");
    const int stores = settings.stores;
    fields->SetValue(u"NAME", u"Bob"); // nothing differs: nothing written
    fields->Rename(0, u"NAME");
    EXPECT_EQ(settings.stores, stores);
    fields->Rename(0, u"Who");
    EXPECT_EQ(settings.texts["AddFields"], u"Who=Bob|Phone=123");
    EXPECT_EQ(settings.Fields(), fields); // made once
}

TEST(FieldsList, NewFieldsGoInAtTheCurrentIndexWhichFollowsDeletions)
{
    TTextSettings settings;
    settings.texts["AddFields"] = u"A=1|B=2|C=3";
    const auto fields = settings.Fields();
    fields->SetCurrentIndex(2);
    fields->Delete(0); // the current index moves down with the items
    fields->SetValue(u"X", u"9");
    EXPECT_EQ(settings.texts["AddFields"], u"B=2|X=9|C=3");
    fields->Delete(u"c");
    EXPECT_EQ(settings.texts["AddFields"], u"B=2|X=9");
    EXPECT_EQ(fields->IndexOf(u"x"), 1);
    EXPECT_EQ(fields->IndexOf(u"C"), -1);
}

TEST(FieldsList, AValueWithSeparatorsSplitsDifferentlyWhenReadBack)
{
    TTextSettings settings;
    settings.Fields()->SetValue(u"Note", u"a=b|c");
    EXPECT_EQ(settings.texts["AddFields"], u"Note=a=b|c");
    TTextSettings reread;
    reread.texts = settings.texts;
    const auto fields = reread.Fields();
    ASSERT_EQ(fields->Count(), 2);
    EXPECT_EQ(fields->Value(u"Note"), u"a");
    EXPECT_EQ(fields->Name(1), u"c");
}

TEST(FieldsList, AListThatIsNotReadyChangesNothing)
{
    TTextSettings settings;
    settings.texts["AddFields"] = u"A=1";
    TIZEFields fields(&settings);
    fields.SetValue(u"B", u"2");
    fields.SetValue(u"A", u"");
    EXPECT_EQ(fields.Count(), 1);
    EXPECT_EQ(settings.stores, 0);
    const auto copy = fields.Copy();
    copy->SetReady();
    copy->SetValue(u"B", u"2");
    EXPECT_EQ(copy->Count(), 2);
    EXPECT_EQ(settings.stores, 0); // a copy has no owner to write to
}

TEST(FieldsList, AListOutlivingItsOwnerWritesNowhere)
{
    std::shared_ptr<TIZEFields> fields;
    {
        TTextSettings settings;
        fields = settings.Fields();
    }
    fields->SetValue(u"A", u"1");
    EXPECT_EQ(fields->Value(u"A"), u"1");
}

TEST(AttachmentsList, EntriesGetDefaultNamesAndAreWrittenBack)
{
    TTextSettings settings;
    const auto attachments = settings.Attachments();
    attachments->Add(u"C:\\logs\\trace.log", u"", u"", u"");
    attachments->Add(u"C:\\data\\db.bin", u"database.dat", u"upload", u"data.zip");
    attachments->Add(u"", u"ignored", u"", u"");
    EXPECT_EQ(settings.texts["AddAttachs"], u"C:\\logs\\trace.log>trace.log>>trace|C:\\data\\db.bin>database.dat>data.zip>upload");
    ASSERT_EQ(attachments->Count(), 2);
    EXPECT_EQ(*attachments->Item(1), (TAttachment{u"C:\\data\\db.bin", u"database.dat", u"data.zip", u"upload"}));
    EXPECT_FALSE(attachments->Item(2));

    TTextSettings reread;
    reread.texts = settings.texts;
    EXPECT_EQ(*reread.Attachments()->Item(0), (TAttachment{u"C:\\logs\\trace.log", u"trace.log", u"", u"trace"}));

    EXPECT_TRUE(attachments->Delete(u"c:\\LOGS\\trace.log"));
    EXPECT_FALSE(attachments->Delete(u"C:\\logs\\trace.log"));
    EXPECT_EQ(settings.texts["AddAttachs"], u"C:\\data\\db.bin>database.dat>data.zip>upload");
    const auto copy = attachments->Copy();
    attachments->Clear();
    EXPECT_EQ(settings.texts["AddAttachs"], u"");
    const int stores = settings.stores;
    attachments->Clear(); // already empty: not written
    EXPECT_EQ(settings.stores, stores);
    EXPECT_EQ(copy->Count(), 1);
}

} // namespace
