#include "SerialPeer.h"

#include <array>
#include <atomic>
#include <fstream>
#include <sstream>

namespace {

constexpr DWORD kWriteTimeoutMs = 10000;
constexpr DWORD kCancelTimeoutMs = 2000;
constexpr DWORD kSttyTimeoutMs = 5000;
constexpr size_t kChunk = 65536;
constexpr DWORD kPurgeEverything = PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR;

// Reads return at once with what is queued; the overlapped wait does the waiting.
constexpr COMMTIMEOUTS kNonBlocking{MAXDWORD, 0, 0, 0, 0};

TWinHandle OpenPort(int comNumber)
{
    const std::string name = "\\\\.\\COM" + std::to_string(comNumber);
    TWinHandle port(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr));
    if (!port)
        return TWinHandle();
    COMMTIMEOUTS timeouts = kNonBlocking;
    SetCommTimeouts(port.Get(), &timeouts);
    return port;
}

} // namespace

TSerialPeer::TSerialPeer(int peerComNumber, int linkComNumber)
{
    // The link's end holds what the peer sent to a link that is gone.
    port_ = OpenPort(linkComNumber);
    if (port_) {
        PurgeComm(port_.Get(), kPurgeEverything);
        Drain();
    }
    port_ = OpenPort(peerComNumber);
    stop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!port_)
        return;
    PurgeComm(port_.Get(), kPurgeEverything);
    Drain();
}

void TSerialPeer::Drain()
{
    while (!ReadFor(20).empty()) {
    }
}

TSerialPeer::~TSerialPeer()
{
    StopBackground();
}

TSerialPeer::TOverlapped::TOverlapped() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

OVERLAPPED* TSerialPeer::TOverlapped::Restart()
{
    record_ = {};
    record_.hEvent = event_.Get();
    ResetEvent(event_.Get());
    return &record_;
}

bool TSerialPeer::Write(const std::string& bytes)
{
    return WriteWith(foregroundWrite_, bytes, nullptr);
}

bool TSerialPeer::WriteWith(TOverlapped& overlapped, const std::string& bytes, HANDLE stop)
{
    DWORD written = 0;
    if (!WriteFile(port_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, overlapped.Restart())) {
        if (GetLastError() != ERROR_IO_PENDING)
            return false;
        const std::array<HANDLE, 2> handles{overlapped.Event(), stop};
        if (WaitForMultipleObjects(stop ? 2 : 1, handles.data(), FALSE, kWriteTimeoutMs) != WAIT_OBJECT_0) {
            CancelIo(port_.Get());
            WaitForSingleObject(overlapped.Event(), kCancelTimeoutMs);
            return false;
        }
        if (!GetOverlappedResult(port_.Get(), overlapped.Get(), &written, FALSE))
            return false;
    }
    return written == bytes.size();
}

std::string TSerialPeer::ReadSome(TOverlapped& overlapped, size_t count, DWORD timeoutMs, HANDLE stop)
{
    std::string bytes(count, '\0');
    DWORD got = 0;
    if (ReadFile(port_.Get(), bytes.data(), static_cast<DWORD>(count), &got, overlapped.Restart())) {
        bytes.resize(got);
        return bytes;
    }
    if (GetLastError() != ERROR_IO_PENDING)
        return {};
    const std::array<HANDLE, 2> handles{overlapped.Event(), stop};
    const DWORD result = WaitForMultipleObjects(stop ? 2 : 1, handles.data(), FALSE, timeoutMs);
    if (result != WAIT_OBJECT_0) {
        CancelIo(port_.Get());
        WaitForSingleObject(overlapped.Event(), kCancelTimeoutMs);
    }
    if (!GetOverlappedResult(port_.Get(), overlapped.Get(), &got, FALSE))
        got = 0;
    bytes.resize(got);
    return bytes;
}

std::string TSerialPeer::Read(size_t count, DWORD timeoutMs)
{
    std::string bytes;
    const DWORD start = GetTickCount();
    while (bytes.size() < count) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            break;
        bytes += ReadSome(foregroundRead_, std::min(count - bytes.size(), kChunk), timeoutMs - elapsed, nullptr);
    }
    return bytes;
}

std::string TSerialPeer::ReadFor(DWORD timeoutMs)
{
    std::string bytes;
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < timeoutMs; elapsed = GetTickCount() - start)
        bytes += ReadSome(foregroundRead_, kChunk, timeoutMs - elapsed, nullptr);
    return bytes;
}

void TSerialPeer::StartEcho()
{
    StopBackground();
    background_ = std::thread([this] { EchoLoop(); });
}

void TSerialPeer::StartFlood(const std::string& chunk, DWORD pauseMs)
{
    StopBackground();
    background_ = std::thread([this, chunk, pauseMs] { FloodLoop(chunk, pauseMs); });
}

void TSerialPeer::StopBackground()
{
    if (!background_.joinable())
        return;
    SetEvent(stop_.Get());
    background_.join();
    ResetEvent(stop_.Get());
}

void TSerialPeer::EchoLoop()
{
    try {
        TOverlapped read;
        TOverlapped write;
        while (WaitForSingleObject(stop_.Get(), 0) != WAIT_OBJECT_0) {
            const std::string bytes = ReadSome(read, kChunk, INFINITE, stop_.Get());
            if (!bytes.empty())
                WriteWith(write, bytes, stop_.Get());
        }
    } catch (...) {
        // A test thread ends quietly; the test sees the missing echo.
    }
}

void TSerialPeer::FloodLoop(std::string chunk, DWORD pauseMs)
{
    try {
        TOverlapped write;
        while (WaitForSingleObject(stop_.Get(), pauseMs) != WAIT_OBJECT_0)
            WriteWith(write, chunk, stop_.Get());
    } catch (...) {
    }
}

std::string DeviceSettingsOf(int comNumber)
{
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto toDosName = reinterpret_cast<DosFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDosName)
        return {};
    static std::atomic<int> serial{0};
    const std::string unixPath = "/tmp/conduvex-stty-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++serial) + ".txt";
    // The host's shell writes the file under a temporary name and renames it when complete.
    std::string command = "/bin/sh -c \"stty -a -F \\\"${WINEPREFIX:-$HOME/.wine}/dosdevices/com" +
                          std::to_string(comNumber) + "\\\" > " + unixPath + ".part 2>&1; mv " + unixPath +
                          ".part " + unixPath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // A host program gets no process handle under Wine: completion is the file appearing.
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return {};
    WCHAR* dosPath = toDosName(unixPath.c_str());
    if (!dosPath)
        return {};
    const std::wstring path(dosPath);
    HeapFree(GetProcessHeap(), 0, dosPath);
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > kSttyTimeoutMs)
            return {};
        Sleep(10);
    }
    std::string text;
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        TWinHandle owned(file);
        std::array<char, 4096> buffer;
        DWORD got = 0;
        while (owned && ReadFile(owned.Get(), buffer.data(), buffer.size(), &got, nullptr) && got > 0)
            text.append(buffer.data(), got);
    }
    DeleteFileW(path.c_str());
    return text;
}
