#pragma once
// A device's information text: tokens separated by ";" (or line breaks), the first being
// the name, then a format token ("F" and the format numbers it names) and a version token
// ("V" and ten characters: product, two parts) among others.
#include <set>
#include <string>
#include <vector>

struct TVantelInfo {
    std::string text;
    // What follows "V" in the version token, at most 10 characters.
    std::string version;
    // Characters 1-4, 6-7 and 9-10 of the version.
    std::string product;
    std::string part2;
    std::string part3;
    // Of 65, 66 and 97, those the format token names.
    std::set<int> formats;
    std::string name;

    // True when both a format token and a well-formed version token were read (a text of
    // fewer than three tokens gives false). Tokens that are neither go to `extra` (cleared
    // first) when it is given.
    bool Parse(const std::string& source, std::vector<std::string>* extra = nullptr);

private:
    bool ReadFormats(const std::string& token);
    bool ReadVersion(const std::string& token);
};
