// Which settings apply where: the module that owns an address, the main settings, and the
// look-up order of one name (own records, then the main settings, then the built-in table).
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <algorithm>

#include "engine/EngineText.h"
#include "settings/win/NamedObjectSecurity.h"
#include "settings/win/ZeSettings.h"
#include "SettingsTestSupport.h"

namespace {

__attribute__((noinline)) TSettingsRef CallerSettingsOfThisProgram()
{
    return GetCallerSettings();
}

TEST(SettingsLookUp, TheModuleThatHoldsAnAddressGivesItsSettings)
{
    const TLoadedModule conduvex(L"ConduvexCopyA.dll");
    ASSERT_NE(conduvex.Get(), nullptr);
    const auto exported = reinterpret_cast<const void*>(GetProcAddress(conduvex.Get(), "ciOpen"));
    ASSERT_NE(exported, nullptr);
    const TSettingsRef owner = GetSettingsOfAddress(exported);
    EXPECT_EQ(owner->Module(), conduvex.Get());
    EXPECT_TRUE(owner->Enabled());
    // This program has no settings of its own: the main settings found in the process apply.
    const TSettingsRef program = GetSettingsOfAddress(reinterpret_cast<const void*>(&CollectMessage));
    EXPECT_EQ(program->Module(), conduvex.Get());
    EXPECT_EQ(FindMainSettings()->Module(), conduvex.Get());
    EXPECT_EQ(CallerSettingsOfThisProgram()->Module(), conduvex.Get());
}

__attribute__((noinline)) bool OwnFrameGivesOwnReturnAddress()
{
    return FrameReturnAddress(__builtin_frame_address(0), 0) ==
           reinterpret_cast<uintptr_t>(__builtin_return_address(0));
}

// Up the frame-pointer chain, and never along a link that cannot be read or leads down.
TEST(SettingsLookUp, TheFrameChainGivesTheReturnAddressThatManyFramesUpUntilItBreaks)
{
    EXPECT_TRUE(OwnFrameGivesOwnReturnAddress());
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    uintptr_t chain[6] = {};
    const auto frame = [&chain](int index) { return reinterpret_cast<uintptr_t>(&chain[2 * index]); };
    chain[0] = frame(1), chain[1] = 0x1111;
    chain[2] = frame(2), chain[3] = 0x2222;
    chain[4] = frame(0), chain[5] = 0x3333;
    const struct {
        const void* frame;
        int levels;
        uintptr_t expected;
    } cases[] = {{chain, 0, 0x1111}, {chain, 1, 0x2222}, {chain, 2, 0x3333}, {chain, 3, 0},
                 {nullptr, 0, 0},    {reserved, 0, 0},   {reinterpret_cast<const char*>(chain) + 1, 0, 0}};
    for (const auto& test : cases)
        EXPECT_EQ(FrameReturnAddress(test.frame, test.levels), test.expected) << test.levels;
    VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST(SettingsLookUp, NamesMissingInAModuleComeFromTheMainSettingsBeforeTheBuiltInTable)
{
    const TLoadedModule conduvex(L"ConduvexCopyA.dll");
    const TLoadedModule sample(L"crashreport_sample_types.dll");
    ASSERT_NE(sample.Get(), nullptr);
    TIZESettings settings(sample.Get(), true);
    EXPECT_EQ(settings.HttpPort(), 0); // no main settings yet: built-in
    SetMainSettings(std::make_shared<TIZESettings>(conduvex.Get(), true));
    EXPECT_EQ(settings.HttpPort(), 80);                  // the main settings' value
    EXPECT_EQ(settings.FreezeTimeout(), 123456);         // its own value first
    EXPECT_EQ(settings.AutoDelay(), 60);                 // in neither: the main settings' built-in
    SetMainSettings(nullptr);
    EXPECT_EQ(settings.HttpPort(), 0);
}

TEST(SettingsLookUp, WithoutTheSharedMappingNothingIsSharedAndBuiltInValuesApply)
{
    // Another object holding the mapping's name: it can be neither opened nor created.
    const UnicodeString name = u"zelExceptSettingsBuf2" + ProcessSuffix(GetCurrentProcessId());
    const HANDLE squatter = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(name.c_str()));
    ASSERT_NE(squatter, nullptr);
    g_messages.clear();
    const TSettingsMessageSink previous = SetSettingsMessageSink(CollectMessage);
    {
        const TLoadedModule sample(L"crashreport_sample_types.dll");
        TIZESettings settings(sample.Get(), true);
        EXPECT_FALSE(settings.HasSettings());
        EXPECT_FALSE(settings.Enabled());
        EXPECT_EQ(settings.FreezeTimeout(), 60);
        EXPECT_EQ(g_messages, std::vector<AnsiString>{"internal error (opening settings buffer)"});
        // A copy of the library loads all the same, inactive.
        const TLoadedModule conduvex(L"ConduvexCopyB.dll");
        EXPECT_NE(conduvex.Get(), nullptr);
    }
    SetSettingsMessageSink(previous);
    CloseHandle(squatter);
    EXPECT_TRUE(OpenSettingsBuffer());
    CloseSettingsBuffer();
}

TEST(SettingsLookUp, NamedObjectsGrantFullAccessToSystemAndUserAndSynchroniseToEveryone)
{
    TNamedObjectSecurity security;
    ASSERT_TRUE(security.HasAccessList());
    const HANDLE mutex = CreateMutexW(security.Attributes(), FALSE, L"crashreport-security-test");
    ASSERT_NE(mutex, nullptr);
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(acl, nullptr);
    ASSERT_EQ(acl->AceCount, 3);
    std::vector<DWORD> masks;
    for (WORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, i, &ace));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(allowed->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), 0);
        masks.push_back(allowed->Mask);
    }
    std::sort(masks.begin(), masks.end());
    EXPECT_EQ(masks, (std::vector<DWORD>{4, 0x1FFFFF, 0x1FFFFF}));
    EXPECT_FALSE(security.Attributes()->bInheritHandle);
    LocalFree(descriptor);
    CloseHandle(mutex);
}

} // namespace
