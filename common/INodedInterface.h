#pragma once
// A named configuration node bound to an XML element, with an ordered child list.
#include "InterfacedObject.h"
#include "XmlElement.h"

#include <string>

class TInterfaceList;

// {932E676F-ACE9-4CE9-BDEB-60D2688BA949}
inline constexpr GUID IID_INodedInterface = {
    0x932E676F, 0xACE9, 0x4CE9, {0xBD, 0xEB, 0x60, 0xD2, 0x68, 0x8B, 0xA9, 0x49}};

struct INodedInterface : public virtual IUnknown {
    virtual void SetXMLNode(IXmlElement* element) = 0;
    virtual void LoadFromXML(IXmlElement* element, bool store) = 0;
    virtual void SaveToXML() = 0;
    virtual TIntfPtr<IXmlElement> GetXMLNode() = 0;
    virtual void LoadFromXMLNode(IXmlElement* element) = 0;
    virtual TIntfPtr<IUnknown> GetParent() = 0;
    virtual void SetParent(IUnknown* parent) = 0;
    virtual TInterfaceList& GetChildren() = 0;
    virtual int AddChild(IUnknown* child) = 0;
    virtual int RemoveChild(IUnknown* child) = 0;
    virtual int DetachChildren() = 0;
    virtual int CountImplementing(REFIID iid, bool recursive) = 0;
    virtual bool FindByGUIDText(const std::string& text, TIntfPtr<INodedInterface>& node) = 0;
    virtual std::string GetName() = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual GUID GetGUID() = 0;
    virtual std::string GetGUIDText() = 0;
    virtual bool GetEnabled() = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void ReleaseTree() = 0;
};
