#include "tarvo/TarvoInfo.h"

#include "ParamSet.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <vector>

namespace {

constexpr const char* kTarvoName = "TARVO";
constexpr const char* kLegacyStart = "Tarvo;";
constexpr const char* kLegacyVersion = "0573.26";
constexpr int32_t kLegacyInputs = 8;
constexpr int32_t kLegacyOutputs = 8;
constexpr std::array<const char*, 3> kConnectionKinds{"ETH", "USB", "RS"};

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return text;
}

// Digits only: a count is never negative.
std::optional<int32_t> WholeNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return std::stoi(text);
}

// The words of the first token: each ends at the next blank or ";", whichever comes
// first; the scan stops at the first word that does not end before the first ";" or that
// has no blank after it.
std::vector<std::string> FirstTokenWords(const std::string& text)
{
    std::vector<std::string> words;
    const size_t firstSeparator = text.find(';');
    size_t start = 0;
    for (;;) {
        const size_t blank = text.find(' ', start);
        const size_t separator = text.find(';', start);
        if (blank == std::string::npos || separator == std::string::npos)
            break;
        const size_t end = std::min(blank, separator);
        if (end >= firstSeparator)
            break;
        words.push_back(UpperCase(std::string(TrimBlanks(std::string_view(text).substr(start, end - start)))));
        start = end + 1;
    }
    return words;
}

} // namespace

bool TTarvoInfo::Parse(const std::string& answer)
{
    connectionKind.clear();
    inputs = -1;
    outputs = -1;
    thermometers = 0;
    std::vector<std::string> extra;
    const bool isTarvo = device.Parse(answer, &extra) && UpperCase(device.name).rfind(kTarvoName, 0) == 0;
    bool countsRead = false;
    for (const std::string& word : FirstTokenWords(answer)) {
        if (const size_t slash = word.find('/'); slash != std::string::npos) {
            const auto in = WholeNumber(word.substr(0, slash));
            const auto out = WholeNumber(word.substr(slash + 1));
            inputs = in.value_or(-1);
            outputs = out.value_or(-1);
            countsRead = in && out;
        } else if (std::find(kConnectionKinds.begin(), kConnectionKinds.end(), word) != kConnectionKinds.end()) {
            connectionKind = word;
        }
    }
    for (const std::string& token : extra) {
        if (token[0] == 'T' || token[0] == 't')
            thermometers = WholeNumber(token.substr(1)).value_or(0);
    }
    return isTarvo && countsRead;
}

bool TTarvoInfo::ApplyLegacyProfile(const std::string& answer)
{
    if (answer.rfind(kLegacyStart, 0) != 0 || device.version != kLegacyVersion)
        return false;
    inputs = kLegacyInputs;
    outputs = kLegacyOutputs;
    thermometers = 0;
    return true;
}
