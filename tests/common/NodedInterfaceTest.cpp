#include "NodedInterface.h"

#include "ConduvexError.h"
#include "StubXmlElement.h"

#include <gtest/gtest.h>

namespace {

using TAttributes = std::map<std::string, std::string>;

TIntfPtr<TStubXmlElement> Element(TAttributes attributes = {})
{
    return MakeObject<TStubXmlElement>(std::move(attributes));
}

// A descendant built from an element, counting its destructions.
class TTestNode : public TNodedInterface {
public:
    TTestNode(IXmlElement* element, IUnknown* parent, int* destroyed = nullptr)
        : destroyed_(destroyed)
    {
        InitNode(element, parent);
    }

    std::string ClassName() const override { return "TTestNode"; }

protected:
    ~TTestNode() override
    {
        if (destroyed_)
            ++*destroyed_;
    }

private:
    int* destroyed_;
};

// A child that is not a configuration node.
class TPlainChild : public TMyInterfacedObject {};

TIntfPtr<TTestNode> Node(IUnknown* parent = nullptr, int* destroyed = nullptr)
{
    return MakeObject<TTestNode>(nullptr, parent, destroyed);
}

IUnknown* Unknown(TNodedInterface* node)
{
    return static_cast<INodedInterface*>(node);
}

IUnknown* ParentOf(TNodedInterface* node)
{
    return node->GetParent().Get();
}

} // namespace

TEST(NodedInterface, WithoutElementIsDisabledAndNamedAfterItsClass)
{
    auto node = MakeObject<TNodedInterface>(nullptr, nullptr);
    EXPECT_FALSE(node->GetEnabled());
    EXPECT_EQ(node->GetName(), "TNodedInterface");
    EXPECT_EQ(node->GetGUIDText(), "");
    EXPECT_FALSE(node->GetXMLNode());
    EXPECT_EQ(Node()->GetName(), "TTestNode");
}

TEST(NodedInterface, ElementWithoutAttributesEnablesAndKeepsTheName)
{
    auto element = Element();
    auto node = MakeObject<TTestNode>(element.Get(), nullptr);
    EXPECT_TRUE(node->GetEnabled());
    EXPECT_EQ(node->GetName(), "TTestNode");
    EXPECT_EQ(node->GetXMLNode().Get(), static_cast<IXmlElement*>(element.Get()));
}

TEST(NodedInterface, LoadsNameEnabledAndGuidFromTheElement)
{
    auto node = Node();
    auto element = Element({{"name", "Port A"}, {"enabled", "true"}, {"GUID", "{X}"}});
    node->LoadFromXML(element.Get(), false);
    EXPECT_EQ(node->GetName(), "Port A");
    EXPECT_TRUE(node->GetEnabled());
    EXPECT_EQ(node->GetGUIDText(), "{X}");
    EXPECT_FALSE(node->GetXMLNode()); // not stored

    node->LoadFromXMLNode(Element().Get());
    EXPECT_EQ(node->GetName(), "Port A");
    EXPECT_EQ(node->GetGUIDText(), ""); // GUID defaults to empty, name to the current one
    EXPECT_TRUE(node->GetXMLNode());

    node->LoadFromXML(nullptr, true); // unbinds, reads nothing
    EXPECT_FALSE(node->GetXMLNode());
    EXPECT_EQ(node->GetName(), "Port A");
}

TEST(NodedInterface, EnabledAttributeConvertsLikeAVariant)
{
    const std::pair<const char*, bool> cases[] = {
        {"0", false}, {"false", false}, {"FALSE", false}, {"False", false},
        {"1", true},  {"-1", true},     {"true", true},   {"TRUE", true},  {"2", true},
    };
    for (const auto& [text, expected] : cases) {
        auto node = Node();
        node->LoadFromXML(Element({{"enabled", text}}).Get(), false);
        EXPECT_EQ(node->GetEnabled(), expected) << text;
    }
    EXPECT_THROW(Node()->LoadFromXML(Element({{"enabled", "maybe"}}).Get(), false),
                 EConduvexError);
}

TEST(NodedInterface, NameGoesIntoTheBoundElement)
{
    auto element = Element();
    {
        auto node = MakeObject<TTestNode>(element.Get(), nullptr);
        EXPECT_EQ(element->Attributes().count("name"), 0u); // loading writes nothing
        node->SetName("first");
        EXPECT_EQ(element->Attributes().at("name"), "first");
        element->SetAttribute("name", "changed behind");
        node->SaveToXML();
        EXPECT_EQ(element->Attributes().at("name"), "first");
        node->SetEnabled(false); // no attribute for it
        EXPECT_EQ(element->Attributes().count("enabled"), 0u);
        element->SetAttribute("name", "changed again");
    }
    // Destruction saves the name once more.
    EXPECT_EQ(element->Attributes().at("name"), "first");
}

TEST(NodedInterface, GuidConvertsFromItsRegistryForm)
{
    auto node = Node();
    node->LoadFromXML(Element({{"GUID", "{932E676F-ACE9-4CE9-BDEB-60D2688BA949}"}}).Get(), false);
    EXPECT_TRUE(IsEqualGUID(node->GetGUID(), IID_INodedInterface));
    node->LoadFromXML(Element({{"GUID", "{932e676f-ace9-4ce9-bdeb-60d2688ba949}"}}).Get(), false);
    EXPECT_TRUE(IsEqualGUID(node->GetGUID(), IID_INodedInterface));
}

TEST(NodedInterface, MalformedGuidTextRaisesTheConversionError)
{
    const char* malformed[] = {
        "",
        "932E676F-ACE9-4CE9-BDEB-60D2688BA949",
        "{932E676F-ACE9-4CE9-BDEB-60D2688BA94}",
        "{932E676F-ACE9-4CE9-BDEB-60D2688BA94G}",
        "{932E676F+ACE9-4CE9-BDEB-60D2688BA949}",
        "{932E676F-ACE9-4CE9-BDEB-60D2688BA949} ",
    };
    for (const char* text : malformed) {
        auto node = Node();
        node->LoadFromXML(Element({{"GUID", text}}).Get(), false);
        try {
            node->GetGUID();
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const EConduvexError& error) {
            EXPECT_EQ(error.Code(), 0x20000002u);
            EXPECT_NE(std::string(error.what()).find(text), std::string::npos);
        }
    }
}

TEST(NodedInterface, ParentAndChildrenLinkBothWays)
{
    auto parent = Node();
    auto child = Node(Unknown(parent.Get()));
    EXPECT_EQ(ParentOf(child.Get()), Unknown(parent.Get()));
    ASSERT_EQ(parent->GetChildren().Count(), 1);
    EXPECT_EQ(parent->GetChildren().Get(0).Get(), Unknown(child.Get()));

    // Remove answers the index and clears the child's parent.
    EXPECT_EQ(parent->RemoveChild(Unknown(child.Get())), 0);
    EXPECT_EQ(ParentOf(child.Get()), nullptr);
    EXPECT_EQ(parent->RemoveChild(Unknown(child.Get())), -1);

    // AddChild alone does not set the parent, and does not check for duplicates.
    EXPECT_EQ(parent->AddChild(Unknown(child.Get())), 0);
    EXPECT_EQ(parent->AddChild(Unknown(child.Get())), 1);
    EXPECT_EQ(ParentOf(child.Get()), nullptr);
    parent->GetChildren().Clear();
}

TEST(NodedInterface, NewParentTakesTheChildFromTheOldOne)
{
    auto oldParent = Node();
    auto newParent = Node();
    auto child = Node(Unknown(oldParent.Get()));
    child->SetParent(Unknown(newParent.Get()));
    EXPECT_EQ(oldParent->GetChildren().Count(), 0);
    EXPECT_EQ(newParent->GetChildren().Count(), 1);
    EXPECT_EQ(ParentOf(child.Get()), Unknown(newParent.Get()));

    child->SetParent(nullptr);
    EXPECT_EQ(newParent->GetChildren().Count(), 0);
    EXPECT_EQ(ParentOf(child.Get()), nullptr);
}

TEST(NodedInterface, DetachChildrenCountsNodesAndStopsAtAPlainLastChild)
{
    auto parent = Node();
    auto first = Node(Unknown(parent.Get()));
    auto second = Node(Unknown(parent.Get()));
    EXPECT_EQ(parent->DetachChildren(), 2);
    EXPECT_EQ(parent->GetChildren().Count(), 0);
    EXPECT_EQ(ParentOf(first.Get()), nullptr);

    // A plain last child stays, and every round sees it again.
    first->SetParent(Unknown(parent.Get()));
    auto plain = MakeObject<TPlainChild>();
    parent->AddChild(static_cast<IUnknown*>(plain.Get()));
    EXPECT_EQ(parent->DetachChildren(), 0);
    EXPECT_EQ(parent->GetChildren().Count(), 2);
    EXPECT_EQ(ParentOf(first.Get()), Unknown(parent.Get()));
    parent->ReleaseTree();
}

TEST(NodedInterface, CountImplementingWalksTheTreeWhenAsked)
{
    auto root = Node();
    auto child = Node(Unknown(root.Get()));
    auto grandchild = Node(Unknown(child.Get()));
    auto plain = MakeObject<TPlainChild>();
    root->AddChild(static_cast<IUnknown*>(plain.Get()));

    EXPECT_EQ(root->CountImplementing(IID_INodedInterface, false), 1);
    EXPECT_EQ(root->CountImplementing(IID_INodedInterface, true), 2);
    EXPECT_EQ(root->CountImplementing(IID_IUnknown, true), 3);
    root->ReleaseTree();
}

TEST(NodedInterface, FindByGuidTextSearchesDepthFirstAndCaseSensitively)
{
    const std::string guid = "{932E676F-ACE9-4CE9-BDEB-60D2688BA949}";
    auto root = Node();
    root->LoadFromXML(Element({{"GUID", "{root}"}}).Get(), false);
    auto child = Node(Unknown(root.Get()));
    child->LoadFromXML(Element({{"GUID", "{child}"}}).Get(), false);
    auto grandchild = Node(Unknown(child.Get()));
    grandchild->LoadFromXML(Element({{"GUID", guid}}).Get(), false);

    TIntfPtr<INodedInterface> found;
    ASSERT_TRUE(root->FindByGUIDText(guid, found));
    EXPECT_EQ(IdentityOf(found.Get()), IdentityOf(Unknown(grandchild.Get())));
    ASSERT_TRUE(root->FindByGUIDText("{root}", found));
    EXPECT_EQ(IdentityOf(found.Get()), IdentityOf(Unknown(root.Get())));

    TIntfPtr<INodedInterface> notFound;
    EXPECT_FALSE(root->FindByGUIDText("{932e676f-ace9-4ce9-bdeb-60d2688ba949}", notFound));
    EXPECT_FALSE(notFound);
    root->ReleaseTree();
}

TEST(NodedInterface, ReleaseTreeBreaksTheCyclesSoTheTreeIsFreed)
{
    int destroyed = 0;
    {
        auto root = Node(nullptr, &destroyed);
        auto child = Node(Unknown(root.Get()), &destroyed);
        Node(Unknown(child.Get()), &destroyed);
        Node(Unknown(root.Get()), &destroyed);
        root->ReleaseTree();
        EXPECT_EQ(root->GetChildren().Count(), 0);
        EXPECT_EQ(child->GetChildren().Count(), 0);
        EXPECT_EQ(destroyed, 2); // the two held only by the tree
    }
    EXPECT_EQ(destroyed, 4);
}

TEST(NodedInterface, AnswersItsInterfaceWithOneIdentity)
{
    auto node = Node();
    auto nodeInterface = QueryAs<INodedInterface>(Unknown(node.Get()), IID_INodedInterface);
    ASSERT_TRUE(nodeInterface);
    EXPECT_EQ(IdentityOf(nodeInterface.Get()), IdentityOf(Unknown(node.Get())));
}
