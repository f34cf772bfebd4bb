#include "win32/CallbackThunk.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

struct TCallRecord {
    intptr_t arguments[4] = {};
    int calls = 0;
};

intptr_t CALLBACK FourArguments(void* context, intptr_t a, intptr_t b, intptr_t c, intptr_t d)
{
    auto* record = static_cast<TCallRecord*>(context);
    record->arguments[0] = a;
    record->arguments[1] = b;
    record->arguments[2] = c;
    record->arguments[3] = d;
    ++record->calls;
    return a + b + c + d;
}

using TFourArgumentCallback = intptr_t(CALLBACK*)(intptr_t, intptr_t, intptr_t, intptr_t);

BOOL CALLBACK CountResource(void* context, HMODULE module, LPCWSTR type, LPWSTR, LONG_PTR parameter)
{
    auto* record = static_cast<TCallRecord*>(context);
    record->arguments[0] = parameter;
    record->arguments[1] = reinterpret_cast<intptr_t>(module);
    record->arguments[2] = reinterpret_cast<intptr_t>(type);
    ++record->calls;
    return TRUE;
}

LRESULT CALLBACK ObjectWindowProc(void* context, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* record = static_cast<TCallRecord*>(context);
    if (message == WM_APP + 7) {
        record->arguments[0] = static_cast<intptr_t>(wParam);
        record->arguments[1] = lParam;
        ++record->calls;
        return 0x5A5A;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(CallbackThunk, PutsTheContextInFrontOfEveryArgument)
{
    TCallRecord record;
    const TCallbackThunk thunk = MakeCallbackThunk(&record, reinterpret_cast<const void*>(&FourArguments));
    ASSERT_NE(nullptr, thunk.Code());
    const auto callback = reinterpret_cast<TFourArgumentCallback>(thunk.Code());
    // Many calls: a stack that the stub left unbalanced would not survive them.
    for (intptr_t i = 0; i < 1000; ++i)
        ASSERT_EQ(i + 2 + 3 + 4, callback(i, 2, 3, 4));
    EXPECT_EQ(1000, record.calls);
    const intptr_t large = static_cast<intptr_t>(UINTPTR_MAX / 3);
    EXPECT_EQ(large + 1 - 1 + 7, callback(large, 1, -1, 7));
    EXPECT_EQ(large, record.arguments[0]);
    EXPECT_EQ(-1, record.arguments[2]);
    EXPECT_EQ(7, record.arguments[3]);
}

TEST(CallbackThunk, WorksAsASystemCallback)
{
    TCallRecord record;
    const TCallbackThunk thunk = MakeCallbackThunk(&record, reinterpret_cast<const void*>(&CountResource));
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    EXPECT_TRUE(EnumResourceNamesW(kernel32, MAKEINTRESOURCEW(16), reinterpret_cast<ENUMRESNAMEPROCW>(thunk.Code()),
                                   0x1234));
    EXPECT_GE(record.calls, 1);
    EXPECT_EQ(0x1234, record.arguments[0]);
    EXPECT_EQ(reinterpret_cast<intptr_t>(kernel32), record.arguments[1]);
    EXPECT_EQ(16, record.arguments[2]);
}

TEST(CallbackThunk, WorksAsAWindowProcedure)
{
    TCallRecord record;
    const TCallbackThunk thunk = MakeCallbackThunk(&record, reinterpret_cast<const void*>(&ObjectWindowProc));
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = reinterpret_cast<WNDPROC>(thunk.Code());
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CrashkitThunkTestWindow";
    ASSERT_NE(0, RegisterClassW(&windowClass));
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0x5A5A, SendMessageW(window, WM_APP + 7, 11, 22));
    EXPECT_EQ(1, record.calls);
    EXPECT_EQ(11, record.arguments[0]);
    EXPECT_EQ(22, record.arguments[1]);
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

TEST(CallbackThunk, StubsAreReusedAndEachKeepsItsOwnContext)
{
    TCallRecord first;
    TCallRecord second;
    void* firstCode = nullptr;
    {
        const TCallbackThunk thunk = MakeCallbackThunk(&first, reinterpret_cast<const void*>(&FourArguments));
        firstCode = thunk.Code();
    }
    TCallbackThunk reused = MakeCallbackThunk(&second, reinterpret_cast<const void*>(&FourArguments));
    EXPECT_EQ(firstCode, reused.Code());
    TCallbackThunk other = MakeCallbackThunk(&first, reinterpret_cast<const void*>(&FourArguments));
    EXPECT_NE(reused.Code(), other.Code());
    reinterpret_cast<TFourArgumentCallback>(reused.Code())(1, 1, 1, 1);
    reinterpret_cast<TFourArgumentCallback>(other.Code())(2, 2, 2, 2);
    EXPECT_EQ(1, second.calls);
    EXPECT_EQ(1, first.calls);
    EXPECT_EQ(2, first.arguments[0]);

    TCallbackThunk moved = std::move(reused);
    EXPECT_EQ(nullptr, reused.Code());
    EXPECT_EQ(firstCode, moved.Code());
    EXPECT_EQ(nullptr, MakeCallbackThunk(&first, nullptr).Code());
}

TEST(CallbackThunk, ManyStubsAtOnce)
{
    std::vector<TCallRecord> records(300);
    std::vector<TCallbackThunk> thunks;
    for (TCallRecord& record : records)
        thunks.push_back(MakeCallbackThunk(&record, reinterpret_cast<const void*>(&FourArguments)));
    for (size_t i = 0; i < thunks.size(); ++i)
        reinterpret_cast<TFourArgumentCallback>(thunks[i].Code())(static_cast<intptr_t>(i), 0, 0, 0);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(1, records[i].calls);
        EXPECT_EQ(static_cast<intptr_t>(i), records[i].arguments[0]);
    }
}

} // namespace

namespace {

#if defined(__x86_64__)
intptr_t CALLBACK Raises(void*, intptr_t, intptr_t, intptr_t, intptr_t)
{
    throw std::runtime_error("from the target");
}
#endif

TEST(CallbackThunk, ExceptionsPassThroughTheStubOnX64)
{
#if defined(__x86_64__)
    const TCallbackThunk thunk = MakeCallbackThunk(nullptr, reinterpret_cast<const void*>(&Raises));
    DWORD64 imageBase = 0;
    EXPECT_NE(nullptr, RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(thunk.Code()), &imageBase, nullptr));
    try {
        reinterpret_cast<TFourArgumentCallback>(thunk.Code())(1, 2, 3, 4);
        FAIL() << "nothing raised";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("from the target", error.what());
    }
#else
    GTEST_SKIP() << "i686 stubs carry no unwind data: callbacks catch everything themselves";
#endif
}

} // namespace
