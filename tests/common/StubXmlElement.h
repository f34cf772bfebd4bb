#pragma once
// An XML element held in a map, for tests of the objects that load from and save to one.
#include "InterfacedObject.h"
#include "XmlElement.h"

#include <map>
#include <string>
#include <utility>

class TStubXmlElement : public TMyInterfacedObject, public virtual IXmlElement {
public:
    TStubXmlElement() = default;
    explicit TStubXmlElement(std::map<std::string, std::string> attributes)
        : attributes_(std::move(attributes))
    {
    }

    bool HasAttribute(const std::string& name) override { return attributes_.count(name) != 0; }

    std::optional<std::string> GetAttribute(const std::string& name) override
    {
        const auto found = attributes_.find(name);
        if (found == attributes_.end())
            return std::nullopt;
        return found->second;
    }

    void SetAttribute(const std::string& name, const std::string& value) override
    {
        attributes_[name] = value;
    }

    const std::map<std::string, std::string>& Attributes() const { return attributes_; }

protected:
    void* FindInterface(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IXmlElement))
            return static_cast<IXmlElement*>(this);
        return TMyInterfacedObject::FindInterface(iid);
    }

private:
    std::map<std::string, std::string> attributes_;
};
