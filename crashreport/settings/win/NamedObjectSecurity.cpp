#include "settings/win/NamedObjectSecurity.h"

#include <aclapi.h>

#include <array>
#include <memory>

namespace {

constexpr DWORD kFullAccess = 0x001FFFFF;
constexpr DWORD kEveryoneAccess = 4;

using TSetEntriesInAclA = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);

struct THandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using TOwnedHandle = std::unique_ptr<void, THandleCloser>;

std::vector<BYTE> ProcessUserSid()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return {};
    const TOwnedHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> info(size);
    if (!size || !GetTokenInformation(token.get(), TokenUser, info.data(), size, &size))
        return {};
    const PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
}

EXPLICIT_ACCESS_A Grant(PSID sid, DWORD access)
{
    EXPLICIT_ACCESS_A entry{};
    entry.grfAccessPermissions = access;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
    entry.Trustee.ptstrName = static_cast<LPSTR>(sid);
    return entry;
}

} // namespace

TNamedObjectSecurity::TNamedObjectSecurity()
{
    InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system_);
    AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_);
    user_ = ProcessUserSid();
    const HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    const auto setEntries = advapi ? reinterpret_cast<TSetEntriesInAclA>(
                                         reinterpret_cast<void*>(GetProcAddress(advapi, "SetEntriesInAclA")))
                                   : nullptr;
    if (setEntries && system_ && everyone_ && !user_.empty()) {
        std::array<EXPLICIT_ACCESS_A, 3> entries = {Grant(system_, kFullAccess), Grant(user_.data(), kFullAccess),
                                                    Grant(everyone_, kEveryoneAccess)};
        if (setEntries(static_cast<ULONG>(entries.size()), entries.data(), nullptr, &acl_) != ERROR_SUCCESS)
            acl_ = nullptr;
    }
    SetSecurityDescriptorDacl(&descriptor_, TRUE, acl_, FALSE);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
}

TNamedObjectSecurity::~TNamedObjectSecurity()
{
    if (acl_)
        LocalFree(acl_);
    if (system_)
        FreeSid(system_);
    if (everyone_)
        FreeSid(everyone_);
}
