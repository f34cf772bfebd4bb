// Unloading Conduvex while links are still open: FreeLibrary must come back within a bounded
// time and take the library and the links' threads with it, also after an export has failed
// with an exception on the host's thread, and a process that exits with open links must end
// instead of waiting for threads that can no longer run.
#include "conduvex.h"
#include "support/ChildSuite.h"
#include "support/ProcessProbe.h"
#include "support/ProgramFolder.h"
#include "support/SerialPeers.h"
#include "WinHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int kLinkPort = serial_peers::LinkPort(3);
constexpr DWORD kUnloadBoundMs = 2000;
constexpr DWORD kChildBoundMs = 30000;

template <class Function>
Function Bind(HMODULE dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

// Opens a serial link (with its event and write threads) and a UDP link (with its receiver
// and sender threads) through the given library, and leaves both open.
void OpenLinksThrough(HMODULE dll)
{
    const auto create = Bind<PFN_ciCreate>(dll, "ciCreate");
    const auto isActive = Bind<PFN_ciIsActive>(dll, "ciIsActive");
    ASSERT_NE(create, nullptr);
    ASSERT_NE(isActive, nullptr);
    const std::string serial = "provider=COM;comport=" + std::to_string(kLinkPort) + ";active=1";
    for (const std::string& text : {serial, std::string("provider=UDP;host=127.0.0.1;port=9;active=1")}) {
        const CI_HANDLE handle = create(text.c_str());
        ASSERT_NE(handle, 0u) << text;
        CI_BOOL active = CI_FALSE;
        ASSERT_EQ(isActive(handle, &active), 0u);
        ASSERT_EQ(active, CI_TRUE) << text;
    }
}

// Fails an export the way a host's mistake does: the library raises its error inside the
// export, on the host's thread, and the export's frame catches it.
void FailAnExportThrough(HMODULE dll)
{
    const auto open = Bind<PFN_ciOpen>(dll, "ciOpen");
    ASSERT_NE(open, nullptr);
    ASSERT_EQ(open(0x1234), CI_ERR_INVALID_HANDLE);
}

// Runs the child suite in a process of its own beside a copy of the library.
DWORD RunChild(const char* suite)
{
    return child_suite::RunChildSuite(suite, {{Beside("Conduvex.dll"), "Conduvex.dll"}}, kChildBoundMs);
}

// FreeLibrary with a serial and a UDP link open, after an export failed first if asked.
void UnloadWithOpenLinks(bool exportFailsFirst)
{
    // A copy under its own name is a library instance of its own, whatever else the
    // process has loaded, so FreeLibrary really unloads it.
    const std::string copy = Beside("ConduvexUnloadCopy.dll");
    ASSERT_TRUE(CopyFileA(Beside("Conduvex.dll").c_str(), copy.c_str(), FALSE));
    // Loading and unloading alone may leave threads of the system's own behind: count
    // after one plain cycle, so that only the links' threads are measured.
    FreeLibrary(LoadLibraryA(copy.c_str()));
    Sleep(200);
    const std::vector<DWORD> idsBefore = ThreadIdsOfProcess();
    const size_t threadsBefore = idsBefore.size();

    HMODULE dll = LoadLibraryA(copy.c_str());
    ASSERT_NE(dll, nullptr);
    if (exportFailsFirst)
        FailAnExportThrough(dll);
    OpenLinksThrough(dll);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    EXPECT_GE(ThreadIdsOfProcess().size(), threadsBefore + 4);
    // The library's own threads (the links' and the crash library's), watched to their end.
    std::vector<TWinHandle> libraryThreads;
    for (const DWORD id : ThreadIdsOfProcess()) {
        if (std::find(idsBefore.begin(), idsBefore.end(), id) != idsBefore.end())
            continue;
        if (const HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, id))
            libraryThreads.emplace_back(thread);
    }

    const DWORD start = GetTickCount();
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_LT(GetTickCount() - start, kUnloadBoundMs);
    EXPECT_EQ(GetModuleHandleA(copy.c_str()), nullptr) << "the library stayed loaded";

    // The threads finish their bodies during the unload and end once the loader lets go.
    size_t threadsAfter = ThreadIdsOfProcess().size();
    for (int wait = 0; wait < 100 && threadsAfter > threadsBefore; ++wait) {
        Sleep(50);
        threadsAfter = ThreadIdsOfProcess().size();
    }
    EXPECT_LE(threadsAfter, threadsBefore);
    // Each ended by itself once the unload was over: one terminated would have skipped the
    // system's own end of a thread (exit code 1 is the terminating one's).
    for (const TWinHandle& thread : libraryThreads) {
        DWORD exitCode = STILL_ACTIVE;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 5000));
        EXPECT_TRUE(GetExitCodeThread(thread.Get(), &exitCode));
        EXPECT_EQ(0u, exitCode) << "a thread of the library was terminated";
    }
    DeleteFileA(copy.c_str());
}

constexpr char kPlainChild[] = "HostUnloadPlainChild";
constexpr char kAfterFailedExportChild[] = "HostUnloadAfterFailedExportChild";
constexpr char kExitChild[] = "HostUnloadChild";

struct TUnloadCase {
    const char* name;
    const char* childSuite;
};

void PrintTo(const TUnloadCase& unloadCase, std::ostream* out)
{
    *out << unloadCase.name;
}

} // namespace

class HostUnloadWithLinks : public testing::TestWithParam<TUnloadCase> {};

// Each case in a process of its own that has loaded nothing after using a serial port:
// Wine's serial event waits end threads without unlinking them from the loader's list,
// which a later load of an image with thread-local data walks.
TEST_P(HostUnloadWithLinks, FreeLibraryWithOpenLinksUnloadsPromptlyAndStopsTheirThreads)
{
    EXPECT_EQ(RunChild(GetParam().childSuite), 0u);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostUnloadWithLinks,
                         testing::Values(TUnloadCase{"Plain", kPlainChild},
                                         TUnloadCase{"AfterFailedExport", kAfterFailedExportChild}),
                         [](const testing::TestParamInfo<TUnloadCase>& info) { return info.param.name; });

TEST(HostUnloadPlainChild, FreeLibraryWithOpenLinks)
{
    if (!child_suite::IsChildSuite(kPlainChild))
        GTEST_SKIP() << "runs in a child process of HostUnloadWithLinks";
    UnloadWithOpenLinks(false);
}

TEST(HostUnloadAfterFailedExportChild, FreeLibraryWithOpenLinks)
{
    if (!child_suite::IsChildSuite(kAfterFailedExportChild))
        GTEST_SKIP() << "runs in a child process of HostUnloadWithLinks";
    UnloadWithOpenLinks(true);
}

TEST(HostUnload, ProcessExitWithOpenLinksEnds)
{
    EXPECT_EQ(RunChild(kExitChild), 0u) << "the process hung at exit or failed";
}

// Runs only as the child of ProcessExitWithOpenLinksEnds: opens links and leaves the
// process with them open, without unloading anything.
TEST(HostUnloadChild, ExitsWithLinksOpen)
{
    if (!child_suite::IsChildSuite(kExitChild))
        GTEST_SKIP() << "runs in a child process of HostUnload";
    HMODULE dll = LoadLibraryA("Conduvex.dll");
    ASSERT_NE(dll, nullptr);
    OpenLinksThrough(dll);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    ExitProcess(0);
}
