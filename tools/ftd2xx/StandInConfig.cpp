#include "StandInConfig.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

namespace {

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

uint32_t Number(const std::string& text)
{
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
}

void ApplyDeviceKey(TStandInDevice& device, const std::string& key, const std::string& value)
{
    if (key == "serial")
        device.serialNumber = value;
    else if (key == "description")
        device.description = value;
    else if (key == "vid")
        device.vendorId = Number(value);
    else if (key == "pid")
        device.productId = Number(value);
    else if (key == "location")
        device.location = Number(value);
    else if (key == "type")
        device.type = Number(value);
    else if (key == "bridge")
        device.bridgePort = static_cast<uint16_t>(Number(value));
}

std::string EnvironmentValue(const char* name)
{
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::optional<uint32_t> TStandInConfig::FailureOf(const std::string& function) const
{
    const auto found = failures.find(function);
    if (found == failures.end())
        return std::nullopt;
    return found->second;
}

TStandInConfig TStandInConfig::Parse(const std::string& text)
{
    TStandInConfig config;
    std::string section;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        line = Trimmed(line.substr(0, line.find(';')));
        if (line.empty())
            continue;
        if (line.front() == '[') {
            section = line;
            if (section == "[device]")
                config.devices.emplace_back();
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Trimmed(line.substr(equals + 1));
        if (section == "[device]")
            ApplyDeviceKey(config.devices.back(), key, value);
        else if (section == "[fail]")
            config.failures[key] = Number(value);
        else if (section == "[fault]" && Number(value) != 0)
            config.faults.insert(key);
        else if (section == "[options]" && key == "list_count")
            config.listCount = Number(value);
    }
    return config;
}

TStandInConfig CurrentStandInConfig()
{
    static std::mutex lock;
    static std::string cachedText;
    static TStandInConfig cached;

    const std::string path = EnvironmentValue("FTD2XX_STANDIN_CONFIG");
    const std::string text = path.empty() ? std::string() : FileText(path);
    const std::lock_guard<std::mutex> guard(lock);
    if (text != cachedText) {
        cached = TStandInConfig::Parse(text);
        cachedText = text;
    }
    return cached;
}
