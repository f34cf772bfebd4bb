#include "MsxmlElement.h"

#include "ConduvexError.h"
#include "NodedInterface.h"

#include <gtest/gtest.h>

namespace {

constexpr char kConfig[] =
    "<config>"
    "<link name=\"Port A\" enabled=\"0\" GUID=\"{932E676F-ACE9-4CE9-BDEB-60D2688BA949}\"/>"
    "<empty/>"
    "</config>";

class MsxmlElement : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(initialised_)); }
    void TearDown() override
    {
        if (SUCCEEDED(initialised_))
            CoUninitialize();
    }

    TIntfPtr<TMsxmlElement> Select(IXMLDOMDocument* document, const std::string& xpath)
    {
        auto element = SelectElement(document, xpath);
        if (!element)
            return nullptr;
        return MakeObject<TMsxmlElement>(element);
    }

private:
    HRESULT initialised_ = CoInitialize(nullptr);
};

} // namespace

TEST_F(MsxmlElement, ReadsAttributesAndTellsMissingOnes)
{
    auto document = LoadMsxmlDocument(kConfig);
    auto link = Select(document.Get(), "/config/link");
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->HasAttribute("name"));
    EXPECT_FALSE(link->HasAttribute("connectionstring"));
    EXPECT_FALSE(link->HasAttribute("Name")); // attribute names are case-sensitive
    EXPECT_EQ(link->GetAttribute("name"), "Port A");
    EXPECT_EQ(link->GetAttribute("missing"), std::nullopt);
}

TEST_F(MsxmlElement, WritesAttributesIntoTheDocument)
{
    auto document = LoadMsxmlDocument(kConfig);
    auto empty = Select(document.Get(), "/config/empty");
    ASSERT_TRUE(empty);
    empty->SetAttribute("connectionstring", "Port=COM3; Baud=9600");
    empty->SetAttribute("name", "");
    EXPECT_EQ(empty->GetAttribute("connectionstring"), "Port=COM3; Baud=9600");
    EXPECT_TRUE(empty->HasAttribute("name"));
    EXPECT_EQ(empty->GetAttribute("name"), "");
    EXPECT_NE(XmlTextOf(document.Get()).find("connectionstring=\"Port=COM3; Baud=9600\""),
              std::string::npos);
}

TEST_F(MsxmlElement, ConfigurationNodeLoadsFromARealElement)
{
    auto document = LoadMsxmlDocument(kConfig);
    auto link = Select(document.Get(), "/config/link");
    ASSERT_TRUE(link);
    auto node = MakeObject<TNodedInterface>(link.Get(), nullptr);
    EXPECT_EQ(node->GetName(), "Port A");
    EXPECT_FALSE(node->GetEnabled());
    EXPECT_TRUE(IsEqualGUID(node->GetGUID(), IID_INodedInterface));
    node->SetName("Port B");
    EXPECT_EQ(link->GetAttribute("name"), "Port B");
}

TEST_F(MsxmlElement, BadInputRaises)
{
    EXPECT_THROW(LoadMsxmlDocument("<config><unclosed></config>"), EConduvexError);
    EXPECT_THROW(MakeObject<TMsxmlElement>(TComPtr<IXMLDOMElement>()), EConduvexError);
    auto document = LoadMsxmlDocument(kConfig);
    EXPECT_FALSE(SelectElement(document.Get(), "/config/none"));
    EXPECT_FALSE(DocumentElementOf(CreateMsxmlDocument().Get()));
    ASSERT_TRUE(DocumentElementOf(document.Get()));
}
