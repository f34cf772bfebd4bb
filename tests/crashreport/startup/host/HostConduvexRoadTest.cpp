// Conduvex.dll with the crash library active, driven by a host process: each case gets a folder
// with a copy of the library carrying its own settings and a copy of the host.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../../dialog/box/win/BoxDriver.h"
#include "../../mail/MailTestServer.h"
#include "ConduvexRoadCase.h"
#include "support/ModuleSimulator.h"
#include "support/SerialPeers.h"

namespace {

constexpr DWORD kWildHostTimeoutMs = 120000;

long RunHost(const fs::path& folder, const std::wstring& arguments, DWORD timeoutMs = kHostTimeoutMs)
{
    return Finish(StartHost(folder, arguments), timeoutMs);
}

bool WaitForFile(const fs::path& file)
{
    for (DWORD waited = 0; waited < kHostTimeoutMs; waited += 50) {
        if (fs::exists(file))
            return true;
        Sleep(50);
    }
    return false;
}

TEST(ConduvexRoad, TraceIntoTheCallersMappingNamesEveryThreadAndKeepsWithinTheSize)
{
    const fs::path folder = PrepareCase("trace", "quiet");
    ASSERT_EQ(RunHost(folder, L"trace 20000"), 0) << "no report came of the naming";
    const std::string trace = ReadText(folder / "trace.txt");
    ASSERT_EQ(trace.size(), 20001u);
    const std::string text = trace.substr(0, trace.find('\0'));
    EXPECT_NE(text.find("first worker"), std::string::npos) << text.substr(0, 2000);
    EXPECT_NE(text.find("second worker"), std::string::npos);
    EXPECT_NE(text.find("zelExcept - TraceProcessThread"), std::string::npos) << "the calling thread";
    EXPECT_FALSE(fs::exists(folder / "bugreport.txt"));
}

TEST(ConduvexRoad, ASmallSizeGetsItsSizeLessOneCharactersAndANul)
{
    const fs::path folder = PrepareCase("trace-small", "quiet");
    ASSERT_EQ(RunHost(folder, L"trace 10"), 0);
    const std::string trace = ReadText(folder / "trace.txt");
    ASSERT_EQ(trace.size(), 11u);
    EXPECT_EQ(trace[9], '\0');
    EXPECT_EQ(trace.find('\0'), 9u);
    EXPECT_EQ(trace[10], 'x') << "nothing past the size";
}

TEST(ConduvexRoad, TraceWithoutASizeGoesOntoTheClipboard)
{
    const fs::path folder = PrepareCase("trace-clipboard", "quiet");
    ASSERT_EQ(RunHost(folder, L"trace 0"), 0);
    const std::string text = ReadText(folder / "trace.txt");
    EXPECT_NE(text.find("zelExcept - TraceProcessThread"), std::string::npos) << text.substr(0, 2000);
    EXPECT_NE(text.find("second worker"), std::string::npos);
}

std::string LineAfter(const std::string& text, const std::string& start)
{
    const size_t at = text.find(start);
    if (at == std::string::npos)
        return {};
    const size_t from = text.find('\n', at) + 1;
    return text.substr(from, text.find('\r', from) - from);
}

// The faulting address as the message gives it; 0 when there is none.
uint64_t FaultAddress(const std::string& message)
{
    const std::string lead = "Access violation at address ";
    const size_t at = message.find(lead);
    return at == std::string::npos ? 0 : std::stoull(message.substr(at + lead.size(), 2 * sizeof(void*)), nullptr, 16);
}

// The address a call-stack or disassembly line starts with (hexadecimal digits).
uint64_t LeadingAddress(const std::string& line)
{
    const size_t start = line.find_first_not_of(' ');
    return start == std::string::npos ? 0 : std::strtoull(line.c_str() + start, nullptr, 16);
}

// The host faults inside an export with every case of these settings ending the same way: the
// report of the first run is kept for the checks.
struct TExportFault {
    long exitCode = -2;
    std::string seen;   // what the host got back from the export
    std::string report;
};

const TExportFault& QuietExportFault()
{
    static const TExportFault fault = [] {
        const fs::path folder = PrepareCase("access-violation", "quiet");
        TExportFault result;
        result.exitCode = RunHost(folder, L"av");
        result.seen = ReadText(folder / "av.txt");
        result.report = ReadText(folder / "bugreport.txt");
        return result;
    }();
    return fault;
}

// Reported as a fault of the library, the export still fails with the fault's text and the host
// goes on.
TEST(ConduvexRoad, AnAccessViolationInsideAnExportIsSavedAndTheExportFailsWithTheFaultsText)
{
    const TExportFault& fault = QuietExportFault();
    ASSERT_EQ(fault.exitCode, 0) << "the host went on";
    EXPECT_EQ(fault.seen.substr(0, fault.seen.find('\n')), "-1") << fault.seen;
    EXPECT_NE(fault.seen.find("Access violation at address "), std::string::npos) << fault.seen;
    EXPECT_NE(fault.seen.find(" in module 'Conduvex.dll'. Write of address "), std::string::npos) << fault.seen;
    EXPECT_EQ(fault.seen.substr(fault.seen.size() - 2), "10") << "the address written to";

    const std::string& report = fault.report;
    ASSERT_FALSE(report.empty()) << "no report saved";
    EXPECT_NE(report.find("exception class    : EExternalException\r\n"), std::string::npos) << report.substr(0, 3000);
    EXPECT_NE(report.find("exception message  : Access violation at address "), std::string::npos);
    EXPECT_NE(report.find("current module     : Conduvex.dll\r\n"), std::string::npos);
    EXPECT_NE(report.find("version            : " PRODUCT_FILE_VERSION "\r\n"), std::string::npos)
        << "the library's version resource";
    EXPECT_NE(report.find("exception number   : 1\r\n"), std::string::npos);
    EXPECT_NE(report.find("command line       : "), std::string::npos);
}

// The settings carry the SMTP password enciphered; deciphered at load, it is the one the local
// server accepts, and the report sent on its own arrives. The library also carries the pictures
// of its progress alerts.
TEST(ConduvexRoad, AReportSentOnItsOwnLogsInWithTheStoredPasswordAndArrives)
{
    const TMailTestServer server("smtp_server.py", "--port " + std::to_string(ROAD_SMTP_PORT) +
                                                       " --auth road:" ROAD_SMTP_PASSWORD);
    ASSERT_EQ(server.Failure(), "");
    EXPECT_EQ(ReadText(ProgramFolder() / "road-settings-smtp.bin").find(ROAD_SMTP_PASSWORD), std::string::npos);
    const fs::path folder = PrepareCase("smtp-send", "smtp");
    EXPECT_EQ(RunHost(folder, L"av"), 0);
    for (int wait = 0; wait < 100 && server.ReadFile("mail-1.json").empty(); ++wait)
        Sleep(100);
    EXPECT_EQ(server.ReadFile("auth.log"), "LOGIN road tls=False\n");
    const std::string mail = server.ReadFile("mail-1.json");
    EXPECT_NE(mail.find("\"authenticated\": true"), std::string::npos) << mail.substr(0, 500);
    EXPECT_NE(mail.find("bugs@road.test"), std::string::npos) << mail.substr(0, 500);

    HMODULE library = LoadLibraryExW((folder / "Conduvex.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(library, nullptr);
    for (const wchar_t* picture : {L"ZEIPLWAIT", L"ZEISEND32"}) {
        const HRSRC found = FindResourceW(library, picture, MAKEINTRESOURCEW(2));
        EXPECT_EQ(found ? SizeofResource(library, found) : 0u, 40u + 4 * 32 * 32) << "picture " << picture;
    }
    FreeLibrary(library);
}

TEST(ConduvexRoad, TheLibrarysOwnErrorInsideAnExportMakesNoReport)
{
    const fs::path folder = PrepareCase("own-error", "quiet");
    ASSERT_EQ(RunHost(folder, L"error"), 0);
    EXPECT_EQ(ReadText(folder / "error.txt"), "-1\nInvalid parameters.");
    EXPECT_FALSE(fs::exists(folder / "bugreport.txt"));
}

// A careless host hands every export a wild pointer in each pointer argument in turn: the export
// fails with the fault's text, the fault is saved as the settings ask, and the export works again.
TEST(ConduvexRoad, EveryWildPointerFailsItsCallIsSavedAndLeavesTheExportWorking)
{
    TModuleSimulator simulator(TModuleSimulator::kSockets, "--address 3");
    ASSERT_EQ(simulator.Failure(), "");
    const fs::path folder = PrepareCase("wild-pointers", "quiet", "crashreport_wild_pointer_host.exe");
    fs::copy_file(ProgramFolder() / "ftdi-standin" / "ftd2xx.dll", folder / "ftd2xx.dll");
    // About a hundred faults, each with its report.
    ASSERT_EQ(RunHost(folder, std::to_wstring(simulator.UdpPort()), kWildHostTimeoutMs), 0);
    std::istringstream lines(ReadText(folder / "wild.txt"));
    std::string line;
    std::getline(lines, line);
    const size_t probes = std::strtoul(line.c_str(), nullptr, 10);
    EXPECT_GT(probes, 0u) << line;
    size_t seen = 0;
    while (std::getline(lines, line)) {
        ++seen;
        EXPECT_TRUE(line.ends_with(": ok")) << line;
    }
    EXPECT_EQ(seen, probes);
}

// The crash site is the export's guarded write through the host's pointer.
TEST(ConduvexRoad, TheExportFaultsCallStackStartsAtTheCrashSiteWithItsFunction)
{
    const TExportFault& fault = QuietExportFault();
    const uint64_t address = FaultAddress(fault.seen);
    ASSERT_NE(address, 0u) << fault.seen;
    const std::string first = LineAfter(fault.report, "main thread (");
    EXPECT_EQ(LeadingAddress(first), address) << first << "\n" << fault.report.substr(0, 4000);
    EXPECT_NE(first.find("Conduvex.dll"), std::string::npos) << first;
    EXPECT_NE(first.find("WriteHost"), std::string::npos) << first;
}

TEST(ConduvexRoad, TheExportFaultsReportDisassemblesAroundTheCrashSite)
{
#if !defined(__i386__)
    GTEST_SKIP() << "the disassembly is of 32-bit x86 code only";
#else
    const TExportFault& fault = QuietExportFault();
    char address[16];
    std::snprintf(address, sizeof address, "%08llx", static_cast<unsigned long long>(FaultAddress(fault.seen)));
    const size_t section = fault.report.find("\r\ndisassembling:\r\n");
    ASSERT_NE(section, std::string::npos) << fault.report;
    const std::string disassembly = fault.report.substr(section, fault.report.find("\r\n\r\n", section + 2) - section);
    const size_t marked = disassembly.find(std::string(" ") + address + " > ");
    ASSERT_NE(marked, std::string::npos) << "the faulting instruction is marked\n" << disassembly;
    EXPECT_NE(disassembly.rfind("\r\n    ", marked), std::string::npos) << "instructions before it";
    EXPECT_NE(disassembly.find("\r\n", marked), std::string::npos) << "instructions after it";
#endif
}

TEST(ConduvexRoad, AutoCloseAfterAnExportFaultEndsTheHostWithTheCloseExitCode)
{
    const fs::path folder = PrepareCase("fault-close", "faultclose");
    EXPECT_EQ(RunHost(folder, L"av"), 1);
    EXPECT_NE(ReadText(folder / "bugreport.txt").find("EExternalException"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "av.txt")) << "the export never returned";
    EXPECT_FALSE(fs::exists(folder / "restarted.txt"));
}

TEST(ConduvexRoad, AutoRestartAfterAnExportFaultStartsTheHostAgain)
{
    const fs::path folder = PrepareCase("fault-restart", "faultrestart");
    EXPECT_EQ(RunHost(folder, L"av"), 2) << "the restart exit code";
    ASSERT_TRUE(WaitForFile(folder / "restarted.txt")) << "the successor ran";
    EXPECT_NE(ReadText(folder / "bugreport.txt").find("EExternalException"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "av.txt")) << "the export never returned";
}

// The library's own box shows inside a window program while the export waits; continuing lets
// the export fail with the fault's text.
TEST(ConduvexRoad, TheExportFaultsBoxIsDrivenAndContinuingLetsTheHostGoOn)
{
    const fs::path folder = PrepareCase("fault-dialog", "dialog", "crashreport_road_window_host.exe");
    const PROCESS_INFORMATION host = StartHost(folder, L"av");
    ASSERT_TRUE(host.hProcess);
    const HWND box = WaitForWindowOf(host.dwProcessId, kExceptionDialogClass);
    if (!box) {
        Finish(host);
        FAIL() << "no exception box showed";
    }
    const std::vector<std::wstring> captions = box_driver::ButtonCaptions(box);
    EXPECT_TRUE(box_driver::SavePicture(box, "conduvex_road_export_fault_box"));
    const HWND resume = box_driver::ButtonCaptioned(box, L"continue application");
    EXPECT_TRUE(resume) << "buttons: " << captions.size();
    box_driver::Press(resume ? resume : box);
    if (!resume)
        PostMessageW(box, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(host), 0);
    const std::string seen = ReadText(folder / "av.txt");
    EXPECT_EQ(seen.substr(0, seen.find('\n')), "-1") << seen;
    EXPECT_NE(seen.find("Access violation at address "), std::string::npos) << seen;
}

// The box that follows the given one once that has gone; nil when none shows.
HWND WaitForNextBox(DWORD processId, HWND previous)
{
    box_driver::WaitFor([&] { return !IsWindow(previous); });
    return IsWindow(previous) ? nullptr : WaitForWindowOf(processId, kExceptionDialogClass);
}

// Asking for the report in one fault's box turns the report on and the automatic actions off for
// that fault alone: the next fault's box is whole again and continues on its own.
TEST(ConduvexRoad, ShowingOneFaultsReportLeavesTheNextFaultsBoxAsConfigured)
{
    const fs::path folder = PrepareCase("fault-twice", "autocontinue", "crashreport_road_window_host.exe");
    const PROCESS_INFORMATION host = StartHost(folder, L"av-twice");
    ASSERT_TRUE(host.hProcess);
    const HWND first = WaitForWindowOf(host.dwProcessId, kExceptionDialogClass);
    const HWND show = first ? box_driver::ButtonCaptioned(first, L"show bug report") : nullptr;
    if (show)
        box_driver::Press(show);
    const HWND reopened = show ? WaitForNextBox(host.dwProcessId, first) : nullptr;
    const HWND resume = reopened ? box_driver::ButtonCaptioned(reopened, L"continue application") : nullptr;
    if (!resume) {
        Finish(host);
        FAIL() << "the first fault's box did not reopen with the report and its continue button";
    }
    EXPECT_NE(box_driver::FindDescendant(reopened, WC_TABCONTROLW), nullptr) << "the first fault's report shows";
    box_driver::Press(resume);

    const HWND second = WaitForNextBox(host.dwProcessId, reopened);
    EXPECT_TRUE(second) << "no box for the second fault";
    if (second) {
        EXPECT_TRUE(box_driver::ButtonCaptioned(second, L"show bug report"))
            << "buttons: " << box_driver::ButtonCaptions(second).size();
        EXPECT_EQ(box_driver::FindDescendant(second, WC_TABCONTROLW), nullptr) << "the box opened on the report";
    }
    EXPECT_EQ(Finish(host), 0) << "the second box did not continue on its own";
    const std::string seen = ReadText(folder / "av2.txt");
    EXPECT_NE(seen.find("Access violation at address "), std::string::npos) << seen;
}

// Gives the library's file a CheckSum that its bytes do not sum to.
void FalsifyChecksum(const fs::path& library)
{
    std::fstream file(library, std::ios::in | std::ios::out | std::ios::binary);
    uint32_t headerAt = 0;
    file.seekg(0x3C);
    file.read(reinterpret_cast<char*>(&headerAt), sizeof headerAt);
    // Signature (4), file header (20), then the optional header's CheckSum at 64.
    file.seekp(headerAt + 4 + 20 + 64);
    const uint32_t wrong = 0x12345678;
    file.write(reinterpret_cast<const char*>(&wrong), sizeof wrong);
}

BOOL CALLBACK CollectText(HWND child, LPARAM text)
{
    *reinterpret_cast<std::wstring*>(text) += box_driver::TextOf(child) + L"\n";
    return TRUE;
}

// A corrupt library file is told to the user and the library does not load: the host gets no
// library rather than one whose code cannot be trusted.
TEST(ConduvexRoad, ACorruptLibraryFileIsToldAndFailsToLoad)
{
    const fs::path folder = PrepareCase("corrupt", "checked");
    FalsifyChecksum(folder / "Conduvex.dll");
    const PROCESS_INFORMATION host = StartHost(folder, L"av");
    ASSERT_TRUE(host.hProcess);
    const HWND box = WaitForWindowOf(host.dwProcessId, L"#32770");
    std::wstring text;
    if (box) {
        EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&text));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(Finish(host), 6) << "the library did not load";
    ASSERT_TRUE(box) << "the corrupt file is told";
    EXPECT_NE(text.find(L"Conduvex.dll"), std::wstring::npos);
    EXPECT_NE(text.find(L"seems to be corrupt"), std::wstring::npos);
    EXPECT_FALSE(fs::exists(folder / "av.txt"));
}

// What a link-fault host saw (link-fault.txt) holds each line, a line given by its start.
void ExpectLines(const std::string& seen, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        EXPECT_NE(("\n" + seen).find("\n" + line), std::string::npos) << line << " in\n" << seen;
}

// A link whose own thread or window procedure failed reports that it closed, the fault in the last
// error, and closing and releasing it afterwards return with none of its threads left.
const std::vector<std::string> kClosedByTheFault{
    "closed-by-fault=1", "error-at-close=536870914 Access violation at address ", "close=0", "release=0",
    "closed-seen=1", "threads-left=0"};
// The host's faulting callback is survived: the next arrival is told, the link closes when asked.
const std::vector<std::string> kCallbackFaultSurvived{"closed-by-fault=0", "data-seen=2", "close=0", "release=0",
                                                      "closed-seen=1", "threads-left=0"};

struct TLinkFaultCase {
    const char* kind;
    const char* argument;
    // The library as built, or its build with the fault switch for what nothing outside reaches.
    const char* library;
    const char* faultModule; // where the fault happened, as the report's message names it
    const std::vector<std::string>* seen;
};

const std::string kRoadComPort = std::to_string(serial_peers::LinkPort(serial_peers::kRoadPair));
constexpr char kSwitchedLibrary[] = "fault-switch/Conduvex.dll";
constexpr char kRoadConverter[] = "FTROAD1";
const std::vector<std::string> kDialogCancelled{"dialog=0", "release=0"};

const TLinkFaultCase kLinkFaultCases[] = {
    {"serial-event", kRoadComPort.c_str(), kSwitchedLibrary, "Conduvex.dll", &kClosedByTheFault},
    {"serial-write", kRoadComPort.c_str(), kSwitchedLibrary, "Conduvex.dll", &kClosedByTheFault},
    {"serial-callback", kRoadComPort.c_str(), "Conduvex.dll", "crashreport_road_host.exe", &kCallbackFaultSurvived},
    {"udp-send", "", kSwitchedLibrary, "Conduvex.dll", &kClosedByTheFault},
    {"udp-receive", "", kSwitchedLibrary, "Conduvex.dll", &kClosedByTheFault},
    {"tcp-window", "", kSwitchedLibrary, "Conduvex.dll", &kClosedByTheFault},
    {"tcp-callback", "", "Conduvex.dll", "crashreport_road_host.exe", &kCallbackFaultSurvived},
    {"ftdi-reader", kRoadConverter, "Conduvex.dll", "ftd2xx.dll", &kClosedByTheFault},
    {"dialog", "", kSwitchedLibrary, "Conduvex.dll", &kDialogCancelled},
};

// The stand-in converter driver beside the host, with one converter attached whose writes come
// back; its configuration is named to the host through the environment it inherits.
void AttachRoadConverter(const fs::path& folder)
{
    fs::copy_file(ProgramFolder() / "ftdi-standin" / "ftd2xx.dll", folder / "ftd2xx.dll");
    const fs::path config = folder / "ftd2xx-standin.ini";
    std::ofstream(config) << "[device]\nserial=" << kRoadConverter << "\ndescription=Road converter\n";
    SetEnvironmentVariableW(L"FTD2XX_STANDIN_CONFIG", config.c_str());
}

TEST(ConduvexRoad, AFaultOnALinksThreadOrInItsWindowProcedureIsReportedAndTheLinkClosesCleanly)
{
    for (const TLinkFaultCase& test : kLinkFaultCases) {
        SCOPED_TRACE(test.kind);
        const fs::path folder =
            PrepareCase(std::string("link-") + test.kind, "quiet", "crashreport_link_fault_host.exe", test.library);
        AttachRoadConverter(folder);
        const std::string argument = test.argument;
        EXPECT_EQ(RunHost(folder, std::wstring(test.kind, test.kind + std::strlen(test.kind)) + L" " +
                                      std::wstring(argument.begin(), argument.end())),
                  0);
        ExpectLines(ReadText(folder / "link-fault.txt"), *test.seen);
        const std::string report = ReadText(folder / "bugreport.txt");
        EXPECT_NE(report.find("exception message  : Access violation at address "), std::string::npos)
            << report.substr(0, 2000);
        EXPECT_NE(report.find(std::string(" in module '") + test.faultModule + "'"), std::string::npos)
            << report.substr(0, 2000);
    }
    SetEnvironmentVariableW(L"FTD2XX_STANDIN_CONFIG", nullptr);
}

TEST(ConduvexRoad, AFrozenMainThreadIsSavedAndTheHostGoesOn)
{
    const fs::path folder = PrepareCase("freeze", "freeze");
    ASSERT_EQ(RunHost(folder, L"freeze"), 0);
    const std::string report = ReadText(folder / "bugreport.txt");
    EXPECT_NE(report.find("frozen"), std::string::npos) << report.substr(0, 2000);
    EXPECT_NE(report.find("main thread"), std::string::npos);
    EXPECT_NE(report.find("Conduvex.dll"), std::string::npos);
}

TEST(ConduvexRoad, AutoCloseEndsTheHostWithTheCloseExitCodeAfterSaving)
{
    const fs::path folder = PrepareCase("freeze-close", "close");
    EXPECT_EQ(RunHost(folder, L"freeze"), 1);
    EXPECT_NE(ReadText(folder / "bugreport.txt").find("frozen"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "restarted.txt"));
}

TEST(ConduvexRoad, AutoRestartStartsTheHostAgainAfterSaving)
{
    const fs::path folder = PrepareCase("freeze-restart", "restart");
    EXPECT_EQ(RunHost(folder, L"freeze"), 2) << "the restart exit code";
    ASSERT_TRUE(WaitForFile(folder / "restarted.txt")) << "the successor ran";
    EXPECT_NE(ReadText(folder / "bugreport.txt").find("frozen"), std::string::npos);
}

} // namespace
