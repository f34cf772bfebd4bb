#include "dialog/box/AssistantList.h"

#include <gtest/gtest.h>

namespace {

std::function<UnicodeString(int)> Definitions(std::vector<UnicodeString> texts)
{
    return [texts](int number) {
        return number >= 1 && static_cast<size_t>(number) <= texts.size() ? texts[static_cast<size_t>(number - 1)]
                                                                           : UnicodeString();
    };
}

TEST(AssistantListTest, FindsTheNamedDefinitionWithItsTitleAndForms)
{
    const auto definitions = Definitions({u"SendAssistant|Send Assistant|ContactForm|DetailsForm|ScrShotForm",
                                          u"SaveAssistant|Save Assistant|ContactForm|DetailsForm"});
    const auto send = FindAssistant(definitions, u"SendAssistant", true);
    ASSERT_TRUE(send);
    EXPECT_EQ(send->title, u"Send Assistant");
    EXPECT_EQ(send->forms, (std::vector<UnicodeString>{u"ContactForm", u"DetailsForm", u"ScrShotForm"}));
    const auto save = FindAssistant(definitions, u"SaveAssistant", false);
    ASSERT_TRUE(save);
    EXPECT_EQ(save->title, u"Save Assistant");
    EXPECT_EQ(save->forms.size(), 2u);
}

TEST(AssistantListTest, ScreenshotFormOnlyWithAScreenshot)
{
    const auto found = FindAssistant(Definitions({u"A|T|ScrShotForm|ContactForm"}), u"A", false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->forms, (std::vector<UnicodeString>{u"ContactForm"}));
}

TEST(AssistantListTest, UnknownNamesAndDefinitionsAfterAGapAreNotFound)
{
    const auto definitions = Definitions({u"A|T|F", u"", u"B|T|F"});
    EXPECT_FALSE(FindAssistant(definitions, u"B", true)) << "the list ends at the first empty text";
    EXPECT_FALSE(FindAssistant(definitions, u"", true));
    EXPECT_FALSE(FindAssistant(definitions, u"a", true));
    const auto bare = FindAssistant(Definitions({u"Bare"}), u"Bare", true);
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->title.empty());
    EXPECT_TRUE(bare->forms.empty());
}

} // namespace
