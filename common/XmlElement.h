#pragma once
// The three things a configuration node asks of an XML element. The library's own
// implementation wraps an MSXML element through COM; tests may use a stub.
#include "InterfacedObject.h"

#include <optional>
#include <string>

// {5B0F1C52-7E1D-4B8A-9C43-2F6A1D0E8B71}
inline constexpr GUID IID_IXmlElement = {
    0x5B0F1C52, 0x7E1D, 0x4B8A, {0x9C, 0x43, 0x2F, 0x6A, 0x1D, 0x0E, 0x8B, 0x71}};

struct IXmlElement : public virtual IUnknown {
    virtual bool HasAttribute(const std::string& name) = 0;
    virtual std::optional<std::string> GetAttribute(const std::string& name) = 0;
    virtual void SetAttribute(const std::string& name, const std::string& value) = 0;
};
