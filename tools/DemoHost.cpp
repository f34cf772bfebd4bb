// Demo host: loads Iobrant.dll the way a host application does, creates a Tarvo object on
// a COM port where the module simulator answers, reads its inputs, switches outputs, reads
// the temperature, and prints the notifications that arrive while the simulated inputs
// change (this program changes them through the simulator's control port).
//
//   DemoHost.exe COM-NUMBER CONTROL-PORT
#include "iobrant/api/IobrantHost.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kSettleMs = 400;
constexpr const char* kModuleParameters = "ADDR=1";

// One command line to the simulator's control port; its answer line.
std::string Control(int port, const std::string& command)
{
    const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    std::string answer;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        const std::string line = command + "\n";
        send(connection, line.data(), static_cast<int>(line.size()), 0);
        char byte = 0;
        while (recv(connection, &byte, 1, 0) == 1 && byte != '\n')
            answer += byte;
    }
    closesocket(connection);
    return answer;
}

// Notifications arrive on this thread while it processes messages.
void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Q_CALL PrintNotification(Q_HANDLE, uint32_t kind, uint32_t data, uint32_t)
{
    const unsigned position = data & 0xFF;
    const unsigned states = (data >> 8) & 0xFF;
    switch (kind & 0xFFFF) {
    case Q_NOTIFY_INPUT_CHANGED:
        std::printf("  notification 514: input %u changed %u -> %u\n", position + 1, states & 1, states >> 1);
        break;
    case Q_NOTIFY_OUTPUT_CHANGED:
        std::printf("  notification 515: output %u changed %u -> %u\n", position + 1, states & 1, states >> 1);
        break;
    case Q_NOTIFY_INPUTS_CHANGED:
        std::printf("  notification 512: inputs changed\n");
        break;
    case Q_NOTIFY_OUTPUTS_CHANGED:
        std::printf("  notification 513: outputs changed\n");
        break;
    default:
        std::printf("  notification %u\n", kind & 0xFFFF);
        break;
    }
}

std::string StatesText(const uint8_t* states, int32_t count)
{
    std::string text;
    for (int32_t i = 0; i < count; ++i)
        text += states[i] ? '1' : '0';
    return text;
}

int Fail(const TIobrantLibrary& iobrant, const char* what)
{
    std::printf("%s failed: %s\n", what, iobrant.ErrorText().c_str());
    return 1;
}

int RunDemo(const TIobrantLibrary& iobrant, int comPort, int controlPort)
{
    char text[128] = {};
    int32_t length = sizeof(text);
    iobrant.DllInfo(text, &length);
    std::printf("Loaded %s\n", text);

    const std::string link = "provider=COM;comport=" + std::to_string(comPort) + ";baudrate=115200";
    const Q_HANDLE tarvo = iobrant.qCreateTarvo(link.c_str(), kModuleParameters);
    if (tarvo == 0)
        return Fail(iobrant, "qCreateTarvo");
    if (iobrant.qOpen(tarvo) != Q_OK)
        return Fail(iobrant, "qOpen");
    length = sizeof(text);
    if (iobrant.qInfo(tarvo, text, &length) != Q_OK)
        return Fail(iobrant, "qInfo");
    std::printf("Module on COM%d: \"%s\", %d inputs, %d outputs\n", comPort, text, iobrant.qInputsCount(tarvo),
                iobrant.qOutputsCount(tarvo));

    uint8_t states[128];
    int32_t count = sizeof(states);
    if (iobrant.qGetInputs(tarvo, states, &count) != Q_OK)
        return Fail(iobrant, "qGetInputs");
    std::printf("Inputs:  %s\n", StatesText(states, count).c_str());
    count = sizeof(states);
    if (iobrant.qGetOutputs(tarvo, states, &count) != Q_OK)
        return Fail(iobrant, "qGetOutputs");
    std::printf("Outputs: %s\n", StatesText(states, count).c_str());

    // From here on every change the library sees is printed as it is notified.
    iobrant.qRegisterCallBackNotifications(tarvo, &PrintNotification, 0);
    std::printf("Switching outputs 1 and 3 on\n");
    if (iobrant.qSetOutput(tarvo, 0, 1) != Q_OK || iobrant.qSetOutput(tarvo, 2, 1) != Q_OK)
        return Fail(iobrant, "qSetOutput");
    const std::string outputs = Control(controlPort, "get-outputs");
    std::printf("Simulator's outputs: %s\n", outputs.substr(outputs.find(' ') + 1).c_str());

    Control(controlPort, "set-temperature 21.5 0");
    int32_t tenths = 0;
    if (iobrant.qGetTemperature(tarvo, 0, &tenths) != Q_OK)
        return Fail(iobrant, "qGetTemperature");
    std::printf("Temperature: %d.%d degrees\n", tenths / 10, std::abs(tenths % 10));

    if (iobrant.qSetAutoNotify(tarvo, 1) != Q_OK)
        return Fail(iobrant, "qSetAutoNotify");
    for (const char* change : {"set-input 2 1", "set-input 5 1", "set-input 2 0"}) {
        std::printf("Simulator: %s\n", change);
        Control(controlPort, change);
        PumpFor(kSettleMs);
    }
    count = sizeof(states);
    if (iobrant.qGetRecentInputsState(tarvo, states, &count) == Q_OK)
        std::printf("Inputs as last notified: %s\n", StatesText(states, count).c_str());
    iobrant.qReleaseTarvo(tarvo);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::printf("usage: DemoHost COM-NUMBER CONTROL-PORT\n");
        return 2;
    }
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) {
        std::printf("no sockets\n");
        return 1;
    }
    TIobrantLibrary iobrant;
    if (!iobrant.Complete()) {
        std::printf("Iobrant.dll could not be loaded or lacks an export (error %lu)\n", GetLastError());
        return 1;
    }
    const int result = RunDemo(iobrant, std::atoi(argv[1]), std::atoi(argv[2]));
    iobrant.Free();
    WSACleanup();
    return result;
}
