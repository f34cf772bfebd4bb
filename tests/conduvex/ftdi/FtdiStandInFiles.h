#pragma once
// The stand-in converter driver (tools/ftd2xx) as tests drive it: its configuration file
// (attached devices, injected failures) and its call log, both named through environment
// variables of this process, which child processes inherit.
#include "support/ProgramFolder.h"

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ftdi_standin {

struct TDevice {
    std::string serialNumber;
    std::string description;
    uint32_t vendorId = 0x0403;
    uint32_t productId = 0x6001;
    uint32_t location = 0;
    uint16_t bridgePort = 0; // 0: what is written comes back
};

// The two converters most tests attach.
inline std::vector<TDevice> TwoDevices()
{
    return {{"FT4XA1B2", "Dual RS232-HS A", 0x0403, 0x6010, 0x0211},
            {"ftq77C", "Vantel USB Adapter", 0x1234, 0x5678, 0x0212}};
}

// Where the build puts a driver variant: "standin" or "missing" (lacks FT_EraseEE).
inline std::string DriverPath(const char* variant)
{
    return Beside("ftdi-" + std::string(variant) + "\\ftd2xx.dll");
}

class TStandInFiles {
public:
    TStandInFiles()
    {
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        const std::string stem =
            std::string(folder) + "ftdi-standin-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(NextNumber());
        configPath_ = stem + ".ini";
        logPath_ = stem + ".log";
        Attach({});
        SetEnvironmentVariableA("FTD2XX_STANDIN_CONFIG", configPath_.c_str());
        SetEnvironmentVariableA("FTD2XX_STANDIN_LOG", logPath_.c_str());
    }
    ~TStandInFiles()
    {
        SetEnvironmentVariableA("FTD2XX_STANDIN_CONFIG", nullptr);
        SetEnvironmentVariableA("FTD2XX_STANDIN_LOG", nullptr);
        DeleteFileA(configPath_.c_str());
        DeleteFileA(logPath_.c_str());
    }
    TStandInFiles(const TStandInFiles&) = delete;
    TStandInFiles& operator=(const TStandInFiles&) = delete;

    // Replaces the attached devices; failures stay.
    void Attach(std::vector<TDevice> devices)
    {
        devices_ = std::move(devices);
        Save();
    }
    // From now on every call of the function answers the status.
    void Fail(const std::string& function, uint32_t status)
    {
        failures_[function] = status;
        Save();
    }
    void Heal()
    {
        failures_.clear();
        Save();
    }
    // FT_ListDevices reports this many devices, whatever is attached.
    void ReportListCount(uint32_t count)
    {
        listCount_ = count;
        Save();
    }

    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls;
        std::ifstream log(logPath_);
        for (std::string line; std::getline(log, line);)
            calls.push_back(line);
        return calls;
    }
    void ClearCalls() const { DeleteFileA(logPath_.c_str()); }
    // Whether a call whose line starts with the text was made.
    bool Called(const std::string& start) const
    {
        for (const std::string& call : Calls())
            if (call.compare(0, start.size(), start) == 0)
                return true;
        return false;
    }

private:
    static int NextNumber()
    {
        static int number = 0;
        return ++number;
    }

    void Save()
    {
        std::ostringstream text;
        for (const TDevice& device : devices_) {
            text << "[device]\nserial=" << device.serialNumber
                 << "\ndescription=" << device.description << "\nvid=" << device.vendorId
                 << "\npid=" << device.productId << "\nlocation=" << device.location
                 << "\nbridge=" << device.bridgePort << "\n";
        }
        text << "[fail]\n";
        for (const auto& [function, status] : failures_)
            text << function << "=" << status << "\n";
        if (listCount_)
            text << "[options]\nlist_count=" << *listCount_ << "\n";
        // Written beside and moved over, so the driver never reads half a file.
        const std::string partial = configPath_ + ".new";
        {
            std::ofstream file(partial, std::ios::binary | std::ios::trunc);
            file << text.str();
        }
        MoveFileExA(partial.c_str(), configPath_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

    std::string configPath_;
    std::string logPath_;
    std::vector<TDevice> devices_;
    std::map<std::string, uint32_t> failures_;
    std::optional<uint32_t> listCount_;
};

} // namespace ftdi_standin
