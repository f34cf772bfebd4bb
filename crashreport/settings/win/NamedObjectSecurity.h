#pragma once
// Security of the library's named mutexes and mappings: full access for the local system
// account and the process's user, synchronise-only access (4) for everyone; not inheritable.
#include <windows.h>

#include <vector>

class TNamedObjectSecurity {
public:
    TNamedObjectSecurity();
    ~TNamedObjectSecurity();
    TNamedObjectSecurity(const TNamedObjectSecurity&) = delete;
    TNamedObjectSecurity& operator=(const TNamedObjectSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }
    // False when the access list could not be built (everyone has full access then).
    bool HasAccessList() const { return acl_ != nullptr; }

private:
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    std::vector<BYTE> user_;
    PSID system_ = nullptr;
    PSID everyone_ = nullptr;
    PACL acl_ = nullptr;
};
