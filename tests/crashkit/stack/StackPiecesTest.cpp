#include <gtest/gtest.h>
#include <zlib.h>

#include "CallSite.h"
#include "ExplicitCandidates.h"
#include "RecursionRemoval.h"
#include "RuntimeRoutines.h"
#include "StackText.h"
#include "text/Utf.h"

namespace {

TEST(CallSite, QuickTestKnowsEveryCallLength)
{
    using B = std::array<uint8_t, 8>;
    EXPECT_TRUE(EndsInCall(B{0, 0, 0, 0xE8, 1, 2, 3, 4}));          // call rel32
    EXPECT_TRUE(EndsInCall(B{0, 0, 0, 0, 0, 0, 0xFF, 0xD0}));       // call eax
    EXPECT_TRUE(EndsInCall(B{0, 0, 0, 0, 0, 0xFF, 0x55, 0x08}));    // call [ebp+8]
    EXPECT_TRUE(EndsInCall(B{0, 0, 0, 0, 0xFF, 0x14, 0x24, 0}));    // call [esp+...] 4 bytes
    EXPECT_TRUE(EndsInCall(B{0, 0, 0xFF, 0x15, 1, 2, 3, 4}));       // call [abs32]
    EXPECT_TRUE(EndsInCall(B{0, 0xFF, 0x94, 0x24, 1, 2, 3, 4}));    // call [esp+disp32]
    EXPECT_TRUE(EndsInCall(B{0, 0x9A, 1, 2, 3, 4, 5, 6}));          // far call
    EXPECT_TRUE(EndsInCall(B{0, 0, 0, 0, 0, 0, 0xFF, 0x18}));       // far indirect call (reg 3)
    EXPECT_FALSE(EndsInCall(B{0, 0, 0, 0, 0, 0, 0xFF, 0xE0}));      // jmp eax
    EXPECT_FALSE(EndsInCall(B{0xE8, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(EndsInCall(B{}));
}

class TBytes : public ICodeReader {
public:
    TBytes(CodeAddress base, std::vector<uint8_t> bytes) : base_(base), bytes_(std::move(bytes)) {}
    bool Read(CodeAddress address, uint8_t* buffer, size_t count) const override
    {
        if (address < base_ || address - base_ + count > bytes_.size())
            return false;
        std::copy_n(bytes_.begin() + (address - base_), count, buffer);
        return true;
    }

private:
    CodeAddress base_;
    std::vector<uint8_t> bytes_;
};

TEST(RuntimeRoutines, RolesComeFromExactNamesWithoutParameterLists)
{
    const struct {
        std::u16string_view name;
        TRuntimeRole role;
    } cases[] = {
        {u"__cxa_throw", TRuntimeRole::Raises},
        {u"__wrap___cxa_rethrow", TRuntimeRole::Raises},
        {u"_Unwind_Resume", TRuntimeRole::Raises},
        {u"RaiseException", TRuntimeRole::Raises},
        {u"std::__throw_length_error(char const*)", TRuntimeRole::Raises},
        {u"std::terminate()", TRuntimeRole::Dispatches},
        {u"__gxx_personality_v0", TRuntimeRole::Dispatches},
        {u"KiUserExceptionDispatcher", TRuntimeRole::Dispatches},
        {u"DispatchMessageW", TRuntimeRole::Dispatches},
        {u"raiseexception", TRuntimeRole::None}, // names are exact
        {u"ERRORBOX", TRuntimeRole::None},
        {u"__cxa_throwing", TRuntimeRole::None},
        {u"", TRuntimeRole::None},
    };
    for (const auto& [name, role] : cases)
        EXPECT_EQ(role, RuntimeRoleOf(name)) << WideToUTF8(UnicodeString(name));
    TKnownRuntime runtime;
    runtime.Add(0x3000, TRuntimeRole::Dispatches);
    runtime.Add(0x2000, TRuntimeRole::Raises);
    runtime.Add(0x1000, TRuntimeRole::None);
    EXPECT_EQ((std::vector<CodeAddress>{0x2000, 0x3000}), runtime.Routines());
    EXPECT_TRUE(runtime.Raises(0x2000) && runtime.ForWalk().Raises(0x2000));
    EXPECT_FALSE(runtime.Raises(0x3000) || runtime.Raises(0) || runtime.IsRoutine(0x1000));
}

TEST(ExplicitCandidates, EntriesAreFlagAndValueAfterTheirCount)
{
    using namespace std::string_view_literals;
    const auto entries =
        ParseExplicitCandidates("\x02\x00\x00\x00" "\x00\x78\x56\x34\x12" "\x07\x01\x00\x00\x80"sv);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(0x12345678u, entries[0].value);
    EXPECT_FALSE(entries[0].withoutCall);
    EXPECT_EQ(0x80000001u, entries[1].value);
    EXPECT_TRUE(entries[1].withoutCall);
    // A count beyond the bytes yields the complete entries; a cut count none.
    EXPECT_EQ(1u, ParseExplicitCandidates("\xFF\xFF\xFF\xFF" "\x00\x01\x00\x00\x00" "\x01\x02\x00"sv).size());
    EXPECT_TRUE(ParseExplicitCandidates("\x01\x00\x00"sv).empty());
    EXPECT_TRUE(ParseExplicitCandidates("\x00\x00\x00\x00" "\x00\x01\x00\x00\x00"sv).empty());
}

TEST(CallSite, VerifiesOnlyACallEndingAtTheValue)
{
    // 0x1000: call 0x1100 (E8 FB 00 00 00); 0x1005: call eax; 0x1007: nop; 0x1008: jmp 0x1000
    const TBytes code(0x1000, {0xE8, 0xFB, 0x00, 0x00, 0x00, 0xFF, 0xD0, 0x90, 0xEB, 0xF6, 0x90, 0x90});
    const auto direct = VerifyCall(code, 0x1005);
    ASSERT_TRUE(direct);
    EXPECT_EQ(0x1000u, direct->start);
    EXPECT_EQ(0x1100u, direct->target);
    const auto indirect = VerifyCall(code, 0x1007);
    ASSERT_TRUE(indirect);
    EXPECT_EQ(0u, indirect->target);
    EXPECT_FALSE(VerifyCall(code, 0x1008));
    EXPECT_FALSE(VerifyCall(code, 0x100A));
    EXPECT_EQ(0x1000u, ResolveThunk(code, 0x1008));
    EXPECT_EQ(0x1007u, ResolveThunk(code, 0x1007));
}

std::vector<TStackCandidate> Values(std::initializer_list<CodeAddress> values)
{
    std::vector<TStackCandidate> items;
    for (const CodeAddress value : values)
        items.push_back({.value = value});
    return items;
}

std::vector<CodeAddress> ValuesOf(const std::vector<TStackCandidate>& items)
{
    std::vector<CodeAddress> values;
    for (const TStackCandidate& item : items)
        values.push_back(item.value);
    return values;
}

TEST(RecursionRemoval, RepeatedBlocksAreKeptOnce)
{
    auto direct = Values({1, 5, 5, 5, 5, 9});
    RemoveRepeatedBlocks(direct);
    EXPECT_EQ((std::vector<CodeAddress>{1, 5, 9}), ValuesOf(direct));
    auto mutual = Values({1, 5, 6, 5, 6, 5, 6, 9});
    RemoveRepeatedBlocks(mutual);
    EXPECT_EQ((std::vector<CodeAddress>{1, 5, 6, 9}), ValuesOf(mutual));
    // A value that comes back after other calls is no repeat of a block.
    auto apart = Values({5, 6, 7, 5, 8});
    RemoveRepeatedBlocks(apart);
    EXPECT_EQ((std::vector<CodeAddress>{5, 6, 7, 5, 8}), ValuesOf(apart));
}

uint32_t ZlibUpdate(uint32_t running, const std::u16string& text)
{
    std::string bytes;
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return ~static_cast<uint32_t>(crc32(~running, reinterpret_cast<const Bytef*>(bytes.data()),
                                        static_cast<uInt>(bytes.size())));
}

TEST(StackText, CrcsUseModuleRelativeValuesAndRawAddressesOtherwise)
{
    TNamedStackItem named;
    named.item = {0x401234, 0x34, u"Conduvex.DLL", u"Unit", 0, 12, u"Func"};
    named.functionStart = 0x401200;
    TNamedStackItem raw;
    raw.item.address = 0x77001234;
    raw.item.moduleName = u"???";
    const TCallStackCrcs crcs = CallStackCrcs({named, raw});
    const uint32_t first = ZlibUpdate(ZlibUpdate(ZlibUpdate(0x34, u"conduvex.dll"), u"unit"), u"func");
    EXPECT_EQ(first, crcs.firstItem);
    const uint8_t bytes[4] = {0x34, 0x12, 0x00, 0x77};
    EXPECT_EQ(~static_cast<uint32_t>(crc32(~first, bytes, 4)), crcs.callStack);
    // Another load address of the same module gives the same CRC.
    TNamedStackItem moved = named;
    moved.item.address += 0x10000;
    moved.functionStart += 0x10000;
    EXPECT_EQ(crcs.firstItem, CallStackCrcs({moved}).firstItem);
}

TEST(StackText, ColumnsAreAlignedToTheLongestEntry)
{
    TNamedStackItem a;
    a.item = {0x401234, 0x34, u"A.dll", u"LongUnit", 120, 4, u"First"};
    TNamedStackItem b;
    b.item = {0x1c, 0x1c, u"Longer.dll", u"U", 7, 0, u"Second"};
    EXPECT_EQ(u"00401234 +34 A.dll      LongUnit 120 +4 First\r\n"
              u"0000001c +1c Longer.dll U          7 +0 Second",
              ComposeStackText({a, b}, true, true));
    EXPECT_EQ(u"00401234 A.dll      LongUnit 120 4 First\r\n"
              u"0000001c Longer.dll U          7   Second",
              ComposeStackText({a, b}, false, false));
}

} // namespace
