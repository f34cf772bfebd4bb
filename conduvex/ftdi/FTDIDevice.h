#pragma once
// The link over a USB serial converter driven directly through its driver (Ftd2xx.h),
// provider "FTD_USB". The device is opened by its serial number, which is also the link's
// ID. Baud rate, word length, DTR and RTS given while closed are kept and applied on open.
// Driver failures go to the last error; an I/O error (status 4) closes the device.
#include "ftdi/FTDIDeviceCore.h"
#include "ftdi/IFTDISerialPortInterface.h"
#include "serial/SerialPortCoreInterface.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

class TFTDIDevice : public TSerialPortCoreInterface, public virtual IFTDISerialPortInterface {
public:
    static constexpr uint32_t kDefaultBaudRate = 115200;

    // Applies the connection string ("serial_number=...;baudrate=...;active=1").
    explicit TFTDIDevice(const std::string& connectionString = {});
    // The device at that index of the driver's list (FindFtdiDeviceIndex finds it): its
    // serial number and description are read at once.
    TFTDIDevice(int32_t index, const std::string& name);
    ~TFTDIDevice() override;

    bool IsActive() override;
    bool Open() override;
    bool Close() override;
    // On a closed link, and after a driver failure, raises the error it also leaves in
    // the last error.
    int32_t Write(const std::string& bytes) override;
    std::string Read() override;
    int32_t ReadLength() override;
    std::string GetID() override;
    std::string GetDescription() override;
    // The stored flag, then a forced close.
    void SetValid(bool valid) override;
    bool ExecuteConfigDialog() override;
    bool ConfigDialogAvailable() override;
    // "provider=FTD_USB;serial_number=...;" and the serial settings.
    std::string GetConnectionString() override;
    // "serial_number" (re-opens an open link), then the serial settings.
    void SetConnectionString(const std::string& text) override;

    uint32_t GetBaudRate() override;
    void SetBaudRate(uint32_t rate) override;
    bool GetRTS() override;
    void SetRTS(bool on) override;
    bool GetDTR() override;
    void SetDTR(bool on) override;
    // The converter's modem lines are not read: always false.
    bool GetCTS() override;
    bool GetDSR() override;
    void PurgeRx() override;
    void PurgeTx() override;
    // A converter has neither a COM number nor buffer sizes: these raise.
    void SetComPort(uint16_t number) override;
    uint16_t GetComPort() override;
    uint8_t GetDataBits() override;
    void SetDataBits(uint8_t bits) override;
    uint32_t GetOutBufSize() override;
    void SetOutBufSize(uint32_t size) override;
    uint32_t GetInBufSize() override;
    void SetInBufSize(uint32_t size) override;

    std::string GetSerialNumber() override;
    std::string GetDeviceDescription() override;
    int32_t GetDeviceIndex() override;
    std::string GetDeviceName() override;
    ftd2xx::TFtHandle GetFTHandle() override;
    void NotifyDataReceived() override;
    bool EraseEE() override;

    // Closes the device. Forced, it counts as closed even when the driver refuses; an I/O
    // error closes it the same way. True when the driver closed it.
    bool CloseDevice(bool force);
    // On the reader thread, which ended with the exception: the device is closed (forced)
    // and the close announced with the exception in the last error.
    void ReaderFailed(std::exception_ptr fault);

protected:
    void* FindInterface(REFIID iid) override;
    // Woken by the reader thread.
    bool WaitForNewBytes(uint32_t maxMs) override;

private:
    void ApplyLineSettings();
    ftd2xx::TFtStatus ApplyDtr(bool on);
    ftd2xx::TFtStatus ApplyRts(bool on);
    void StartReader(ftd2xx::TFtHandle handle);
    void StopReader();
    // Puts a failed driver step into the last error; an I/O error closes the device.
    void ReportDriverError(const char* step, ftd2xx::TFtStatus status);
    [[noreturn]] void RaiseDriverError(const char* step, ftd2xx::TFtStatus status);

    std::atomic<ftd2xx::TFtHandle> handle_ = nullptr;
    std::string name_;
    std::shared_ptr<TFTDIDevicecore> reader_;
    // A reader stopped on its own thread (it closed its failed device), still to be waited for.
    std::shared_ptr<TFTDIDevicecore> endingReader_;
    // Set by the reader on every arrival.
    TWinHandle arrival_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    std::string serialNumber_;
    std::string description_;
    int32_t index_ = -1;
    uint32_t baudRate_ = kDefaultBaudRate;
    bool rts_ = false;
    bool dtr_ = false;
    uint8_t wordLength_ = 8;
    uint8_t stopBits_ = 1;
    uint8_t parity_ = 0;
};
