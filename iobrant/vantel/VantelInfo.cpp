#include "vantel/VantelInfo.h"

#include "ParamSet.h"

#include <array>
#include <cctype>

namespace {

constexpr size_t kMinTokens = 3;
constexpr size_t kVersionLength = 10;
constexpr std::array<const char*, 3> kFormatNumbers{"65", "66", "97"};

// ";" separates, and so does a line break (CR LF counting as one).
std::vector<std::string> Tokens(const std::string& text)
{
    std::vector<std::string> tokens(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == ';' || c == '\r' || c == '\n')
            tokens.emplace_back();
        else
            tokens.back() += c;
    }
    return tokens;
}

char UpperFirst(const std::string& token)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])));
}

std::string Characters(const std::string& text, size_t first, size_t count)
{
    return first < text.size() ? text.substr(first, count) : std::string();
}

} // namespace

bool TVantelInfo::Parse(const std::string& source, std::vector<std::string>* extra)
{
    text = source;
    name.clear();
    if (extra)
        extra->clear();
    const std::vector<std::string> tokens = Tokens(source);
    if (tokens.size() < kMinTokens)
        return false;
    name = TrimBlanks(tokens[0]);
    std::string formatToken;
    std::string versionToken;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const std::string token(TrimBlanks(tokens[i]));
        if (token.empty())
            continue;
        if (UpperFirst(token) == 'F')
            formatToken = token;
        else if (UpperFirst(token) == 'V')
            versionToken = token;
        else if (extra)
            extra->push_back(token);
    }
    const bool formatRead = ReadFormats(formatToken);
    const bool versionRead = ReadVersion(versionToken);
    return formatRead && versionRead;
}

bool TVantelInfo::ReadFormats(const std::string& token)
{
    if (token.empty())
        return false;
    formats.clear();
    for (const char* number : kFormatNumbers) {
        if (token.find(number) != std::string::npos)
            formats.insert(std::stoi(number));
    }
    return true;
}

bool TVantelInfo::ReadVersion(const std::string& token)
{
    if (token.empty())
        return false;
    const std::string rest = token.substr(1);
    version = rest.substr(0, kVersionLength);
    product = Characters(version, 0, 4);
    part2 = Characters(version, 5, 2);
    part3 = Characters(version, 8, 2);
    return rest.size() == kVersionLength;
}
