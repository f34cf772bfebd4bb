#include "NodedInterface.h"

#include "ConduvexError.h"
#include "ParamSet.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && !b[i];
}

std::optional<double> NumberOf(const std::string& text)
{
    const std::string trimmed(TrimBlanks(text));
    if (trimmed.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

// An attribute value read as a boolean the way a variant converts: a number is true when
// nonzero, otherwise "true" or "false" in any letter case.
bool AttributeToBool(const std::string& text)
{
    if (const auto number = NumberOf(text))
        return *number != 0;
    const std::string trimmed(TrimBlanks(text));
    if (EqualsIgnoringCase(trimmed, "true"))
        return true;
    if (EqualsIgnoringCase(trimmed, "false"))
        return false;
    throw EConduvexError("Could not convert variant of type (String) into type (Boolean)");
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `pos`; false when any is not one.
bool ReadHex(const std::string& text, size_t pos, size_t digits, uint32_t& value)
{
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const int digit = HexDigit(text[pos + i]);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

// Registry form only: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::optional<GUID> ParseGuid(const std::string& text)
{
    static constexpr size_t kLength = 38;
    if (text.size() != kLength || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-')
        return std::nullopt;
    GUID guid{};
    uint32_t value = 0;
    if (!ReadHex(text, 1, 8, value))
        return std::nullopt;
    guid.Data1 = value;
    if (!ReadHex(text, 10, 4, value))
        return std::nullopt;
    guid.Data2 = static_cast<uint16_t>(value);
    if (!ReadHex(text, 15, 4, value))
        return std::nullopt;
    guid.Data3 = static_cast<uint16_t>(value);
    static constexpr size_t kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (size_t i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytePositions[i], 2, value))
            return std::nullopt;
        guid.Data4[i] = static_cast<uint8_t>(value);
    }
    return guid;
}

} // namespace

TNodedInterface::TNodedInterface(IXmlElement* element, IUnknown* parent)
{
    InitNode(element, parent);
}

TNodedInterface::~TNodedInterface()
{
    DetachChildren();
    SaveToXML();
}

void TNodedInterface::InitNode(IXmlElement* element, IUnknown* parent)
{
    name_ = ClassName();
    xmlNode_ = element;
    SetParent(parent);
    LoadFromXML(element, true);
}

void* TNodedInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_INodedInterface))
        return static_cast<INodedInterface*>(this);
    return TMyInterfacedObject::FindInterface(iid);
}

void TNodedInterface::SetXMLNode(IXmlElement* element)
{
    xmlNode_ = element;
}

void TNodedInterface::LoadFromXML(IXmlElement* element, bool store)
{
    if (store)
        SetXMLNode(element);
    if (!element)
        return;
    name_ = element->GetAttribute("name").value_or(name_);
    const auto enabled = element->GetAttribute("enabled");
    SetEnabled(enabled ? AttributeToBool(*enabled) : true);
    guidText_ = element->GetAttribute("GUID").value_or(std::string());
}

void TNodedInterface::SaveToXML()
{
    if (xmlNode_)
        xmlNode_->SetAttribute("name", name_);
}

TIntfPtr<IXmlElement> TNodedInterface::GetXMLNode()
{
    return xmlNode_;
}

void TNodedInterface::LoadFromXMLNode(IXmlElement* element)
{
    LoadFromXML(element, true);
}

TIntfPtr<IUnknown> TNodedInterface::GetParent()
{
    return parent_;
}

void TNodedInterface::SetParent(IUnknown* parent)
{
    IUnknown* self = static_cast<INodedInterface*>(this);
    if (const auto oldParent = QueryAs<INodedInterface>(parent_.Get(), IID_INodedInterface))
        oldParent->RemoveChild(self);
    parent_ = parent;
    if (const auto newParent = QueryAs<INodedInterface>(parent, IID_INodedInterface))
        newParent->AddChild(self);
}

TInterfaceList& TNodedInterface::GetChildren()
{
    return children_;
}

int TNodedInterface::AddChild(IUnknown* child)
{
    return children_.Add(child);
}

bool TNodedInterface::IsOwnChild(INodedInterface* child)
{
    // Compared with the IUnknown sub-object directly: no reference to this object is taken,
    // which matters when this runs from the destructor.
    return IdentityOf(child->GetParent().Get()) == reinterpret_cast<uintptr_t>(static_cast<IUnknown*>(this));
}

int TNodedInterface::RemoveChild(IUnknown* child)
{
    const TIntfPtr<IUnknown> keepChild(child);
    const int index = children_.Remove(child);
    if (index >= 0) {
        const auto node = QueryAs<INodedInterface>(child, IID_INodedInterface);
        if (node && IsOwnChild(node.Get()))
            node->SetParent(nullptr);
    }
    return index;
}

int TNodedInterface::DetachChildren()
{
    TInterfaceListLock guard(children_);
    const int rounds = children_.Count();
    int detached = 0;
    for (int round = 0; round < rounds; ++round) {
        // A last child that is not a node stays, and the next rounds see it again.
        if (const auto node = QueryAs<INodedInterface>(children_.Last().Get(), IID_INodedInterface)) {
            node->SetParent(nullptr);
            ++detached;
        }
    }
    return detached;
}

int TNodedInterface::CountImplementing(REFIID iid, bool recursive)
{
    TInterfaceListLock guard(children_);
    int count = 0;
    for (const auto& child : children_.Snapshot()) {
        if (recursive) {
            if (const auto node = QueryAs<INodedInterface>(child.Get(), IID_INodedInterface))
                count += node->CountImplementing(iid, true);
        }
        if (Supports(child.Get(), iid))
            ++count;
    }
    return count;
}

bool TNodedInterface::FindByGUIDText(const std::string& text, TIntfPtr<INodedInterface>& node)
{
    if (guidText_ == text) {
        node = static_cast<INodedInterface*>(this);
        return true;
    }
    TInterfaceListLock guard(children_);
    for (const auto& child : children_.Snapshot()) {
        const auto childNode = QueryAs<INodedInterface>(child.Get(), IID_INodedInterface);
        if (childNode && childNode->FindByGUIDText(text, node))
            return true;
    }
    return false;
}

std::string TNodedInterface::GetName()
{
    return name_;
}

void TNodedInterface::SetName(const std::string& name)
{
    name_ = name;
    if (xmlNode_)
        xmlNode_->SetAttribute("name", name);
}

GUID TNodedInterface::GetGUID()
{
    if (const auto guid = ParseGuid(guidText_))
        return *guid;
    throw EConduvexError("'" + guidText_ + "' is not a valid GUID value");
}

std::string TNodedInterface::GetGUIDText()
{
    return guidText_;
}

bool TNodedInterface::GetEnabled()
{
    return enabled_;
}

void TNodedInterface::SetEnabled(bool enabled)
{
    enabled_ = enabled;
}

void TNodedInterface::ReleaseTree()
{
    TInterfaceListLock guard(children_);
    for (const auto& child : children_.Snapshot()) {
        if (const auto node = QueryAs<INodedInterface>(child.Get(), IID_INodedInterface))
            node->ReleaseTree();
    }
    DetachChildren();
}
