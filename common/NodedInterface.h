#pragma once
// A named configuration node bound to an XML element, with a parent link and an ordered
// list of children. Parent and children hold counted references to each other, so a tree
// stays alive until ReleaseTree breaks the links.
#include "INodedInterface.h"
#include "InterfaceList.h"
#include "InterfacedObject.h"

#include <string>

class TNodedInterface : public TMyInterfacedObject, public virtual INodedInterface {
public:
    // Name := ClassName(), binds and loads the element, attaches to the parent.
    TNodedInterface(IXmlElement* element, IUnknown* parent);

    void SetXMLNode(IXmlElement* element) override;
    void LoadFromXML(IXmlElement* element, bool store) override;
    void SaveToXML() override;
    TIntfPtr<IXmlElement> GetXMLNode() override;
    void LoadFromXMLNode(IXmlElement* element) override;
    TIntfPtr<IUnknown> GetParent() override;
    void SetParent(IUnknown* parent) override;
    TInterfaceList& GetChildren() override;
    int AddChild(IUnknown* child) override;
    int RemoveChild(IUnknown* child) override;
    int DetachChildren() override;
    int CountImplementing(REFIID iid, bool recursive) override;
    bool FindByGUIDText(const std::string& text, TIntfPtr<INodedInterface>& node) override;
    std::string GetName() override;
    void SetName(const std::string& name) override;
    // Throws EConduvexError when the GUID text is not a braced GUID.
    GUID GetGUID() override;
    std::string GetGUIDText() override;
    bool GetEnabled() override;
    void SetEnabled(bool enabled) override;
    void ReleaseTree() override;

    virtual std::string ClassName() const { return "TNodedInterface"; }

protected:
    // For descendants that are not built from an element: the name stays empty.
    TNodedInterface() = default;
    // Destruction detaches the children and saves the name into a bound element. Only
    // this class's SaveToXML runs here: descendants save their own state earlier.
    ~TNodedInterface() override;

    // The body of the element constructor. A descendant that wants it calls it from its
    // own constructor, so that ClassName and LoadFromXML resolve to its overrides.
    void InitNode(IXmlElement* element, IUnknown* parent);
    void* FindInterface(REFIID iid) override;

private:
    bool IsOwnChild(INodedInterface* child);

    bool enabled_ = false;
    TIntfPtr<IXmlElement> xmlNode_;
    TIntfPtr<IUnknown> parent_;
    TInterfaceList children_;
    std::string name_;
    std::string guidText_;
};
