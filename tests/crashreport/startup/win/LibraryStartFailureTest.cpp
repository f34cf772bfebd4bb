// A start that cannot have the process-wide thread-name buffer tells why and leaves the library
// inactive; the process goes on. This program carries the shipped settings (Enabled).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/EngineText.h"
#include "settings/win/SharedSettings.h"
#include "startup/win/CrashLibrary.h"
#include "threads/ThreadNameBuffer.h"

namespace {

std::vector<AnsiString> g_messages;

void CollectMessage(const AnsiString& message)
{
    g_messages.push_back(message);
}

void* NoView(HANDLE, SIZE_T)
{
    return nullptr;
}

// Holds a name as another kind of object, so that no mapping of that name can be made.
class TNameSquatter {
public:
    TNameSquatter()
    {
        const UnicodeString name = u"zelExceptThreadNameBuf" + ProcessSuffix(GetCurrentProcessId());
        mutex_ = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(name.c_str()));
    }
    ~TNameSquatter() { CloseHandle(mutex_); }
    TNameSquatter(const TNameSquatter&) = delete;
    TNameSquatter& operator=(const TNameSquatter&) = delete;

private:
    HANDLE mutex_;
};

TEST(LibraryStartFailure, WithoutTheThreadNameBufferTheLibraryTellsWhyAndStaysInactive)
{
    const struct {
        const char* why;
        std::function<void()> test;
        AnsiString message;
    } cases[] = {
        {"the buffer's name is taken",
         [] {
             const TNameSquatter squatter;
             EXPECT_EQ(StartCrashLibrary(), TLibraryState::Inactive);
         },
         "internal error (opening global buffer)"},
        {"a new buffer cannot be mapped",
         [] {
             const TBufferViewMapper previous = SetBufferViewMapper(NoView);
             EXPECT_EQ(StartCrashLibrary(), TLibraryState::Inactive);
             SetBufferViewMapper(previous);
         },
         "internal error. please notify support@conduvex.example"},
    };
    ThreadNameBuffer().Close(); // as a suite before may have left it
    const TSettingsMessageSink previous = SetSettingsMessageSink(CollectMessage);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.why);
        g_messages.clear();
        test.test();
        EXPECT_EQ(g_messages, std::vector<AnsiString>{test.message});
        EXPECT_EQ(ThreadNameBuffer().Data(), nullptr);
        StopCrashLibrary();
    }
    SetSettingsMessageSink(previous);
}

} // namespace
