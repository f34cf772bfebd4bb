// A host program for the restart and close tests.
//   restart_host close [CODE]        ends through CloseApplication (with that close exit code)
//   restart_host restart OUT MODE    restarts itself with its own command line (MODE terminate or
//                                    exit); the successor finds the hand-over mapping named after
//                                    it and writes what it holds to OUT
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include "dispatch/win/HostEnd.h"

namespace {

constexpr int kSuccessorDone = 7;
constexpr int kUsage = 64;

std::array<uint8_t, 80> State()
{
    std::array<uint8_t, 80> state{};
    for (size_t index = 0; index < state.size(); ++index)
        state[index] = static_cast<uint8_t>(index * 3 + 1);
    return state;
}

// Writes "old=<pid> closed=<0|1> state=<ok|bad>" from the mapping; false when there is none.
bool ReportHandOver(const wchar_t* out)
{
    const UnicodeString name = RestartMappingName(GetCurrentProcessId());
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, reinterpret_cast<const wchar_t*>(name.c_str()));
    if (!mapping)
        return false;
    const auto* block = static_cast<const TRestartHandOver*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!block)
        return false;
    const std::array<uint8_t, 80> expected = State();
    const bool stateOk = std::equal(expected.begin(), expected.end(), block->history);
    const HANDLE handedOver = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(block->mappingHandle));
    const std::string text = "old=" + std::to_string(block->oldProcessId) +
                             " closed=" + (CloseHandle(handedOver) ? "1" : "0") + " state=" + (stateOk ? "ok" : "bad");
    UnmapViewOfFile(block);
    CloseHandle(mapping);
    if (FILE* file = _wfopen(out, L"wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"close") {
        if (argc > 2)
            SetCloseExitCode(static_cast<uint32_t>(_wtoi(argv[2])));
        CloseApplication();
    }
    if (mode != L"restart" || argc < 4)
        return kUsage;
    if (ReportHandOver(argv[2]))
        return kSuccessorDone;
    const std::array<uint8_t, 80> state = State();
    RestartApplication(u"", state, std::wstring(argv[3]) == L"terminate");
}
