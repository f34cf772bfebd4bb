#pragma once
// A small PE32 image as the loader lays it out, for tests of the readers that walk images: a
// code section at 0x1000 and a resource section at 0x2000 holding the resources given (type
// and name each a text, or "#" and a number for the type).
#include <cstdint>
#include <string>
#include <vector>

struct TTestResource {
    std::u16string type;
    std::u16string name;
    std::string data;
};

class TPeImageWriter {
public:
    static constexpr uint32_t kCodeRva = 0x1000;
    static constexpr uint32_t kCodeSize = 0x800;
    static constexpr uint32_t kResourceRva = 0x2000;

    static std::string Image(const std::vector<TTestResource>& resources)
    {
        const std::string tree = ResourceTree(resources);
        std::string image(kResourceRva + tree.size(), '\0');
        Put16(image, 0, 0x5A4D);
        Put32(image, 60, 0x40);
        Put32(image, 0x40, 0x00004550);
        Put16(image, 0x44, 0x14C);
        Put16(image, 0x46, 2);    // sections
        Put16(image, 0x54, 0xE0); // optional header size
        const size_t optional = 0x58;
        Put16(image, optional, 0x10B);
        Put32(image, optional + 4, kCodeSize);
        Put32(image, optional + 16, kCodeRva + 0x10); // entry point
        Put32(image, optional + 20, kCodeRva);
        Put32(image, optional + 24, kResourceRva);
        Put32(image, optional + 28, 0x400000);
        Put32(image, optional + 56, static_cast<uint32_t>(image.size()));
        Put32(image, optional + 60, 0x400);
        Put32(image, optional + 92, 16);
        Put32(image, optional + 96 + 8 * 2, kResourceRva); // resource directory
        Put32(image, optional + 100 + 8 * 2, static_cast<uint32_t>(tree.size()));
        Section(image, optional + 0xE0, ".text", kCodeRva, kCodeSize, 0x60000020);
        Section(image, optional + 0xE0 + 40, ".rsrc", kResourceRva, static_cast<uint32_t>(tree.size()), 0x40000040);
        image.replace(kResourceRva, tree.size(), tree);
        return image;
    }

private:
    static void Put16(std::string& out, size_t at, uint32_t value)
    {
        out[at] = static_cast<char>(value & 0xFF);
        out[at + 1] = static_cast<char>(value >> 8 & 0xFF);
    }

    static void Put32(std::string& out, size_t at, uint32_t value)
    {
        Put16(out, at, value & 0xFFFF);
        Put16(out, at + 2, value >> 16);
    }

    static void Section(std::string& image, size_t at, const char* name, uint32_t rva, uint32_t size, uint32_t flags)
    {
        image.replace(at, std::char_traits<char>::length(name), name);
        Put32(image, at + 8, size);
        Put32(image, at + 12, rva);
        Put32(image, at + 16, size);
        Put32(image, at + 20, rva);
        Put32(image, at + 36, flags);
    }

    // A directory with one entry per key; the keys' texts go to the strings area.
    static uint32_t Directory(std::string& tree, const std::vector<std::pair<std::u16string, uint32_t>>& entries,
                              std::string& strings, uint32_t stringsAt)
    {
        const uint32_t at = static_cast<uint32_t>(tree.size());
        tree.resize(tree.size() + 16 + 8 * entries.size());
        Put16(tree, at + 14, static_cast<uint32_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const std::u16string& key = entries[i].first;
            uint32_t name = 0;
            if (key.starts_with(u'#')) {
                for (char16_t c : key.substr(1))
                    name = name * 10 + (c - u'0');
            } else {
                name = 0x80000000 | (stringsAt + static_cast<uint32_t>(strings.size()));
                strings.resize(strings.size() + 2);
                Put16(strings, strings.size() - 2, static_cast<uint32_t>(key.size()));
                for (char16_t c : key) {
                    strings.resize(strings.size() + 2);
                    Put16(strings, strings.size() - 2, c);
                }
            }
            Put32(tree, at + 16 + 8 * i, name);
            Put32(tree, at + 20 + 8 * i, entries[i].second);
        }
        return at;
    }

    // Types, names and languages, then the data entries, the strings and the data.
    static std::string ResourceTree(const std::vector<TTestResource>& resources)
    {
        constexpr uint32_t kSubdirectory = 0x80000000;
        const uint32_t count = static_cast<uint32_t>(resources.size());
        const uint32_t rootSize = 16 + 8 * count;
        const uint32_t levelSize = 16 + 8; // one entry each
        const uint32_t namesAt = rootSize;
        const uint32_t languagesAt = namesAt + levelSize * count;
        const uint32_t entriesAt = languagesAt + levelSize * count;
        const uint32_t stringsAt = entriesAt + 16 * count;
        std::string tree;
        std::string strings;
        std::vector<std::pair<std::u16string, uint32_t>> types;
        for (uint32_t i = 0; i < count; ++i)
            types.emplace_back(resources[i].type, kSubdirectory | (namesAt + levelSize * i));
        Directory(tree, types, strings, stringsAt);
        for (uint32_t i = 0; i < count; ++i)
            Directory(tree, {{resources[i].name, kSubdirectory | (languagesAt + levelSize * i)}}, strings, stringsAt);
        for (uint32_t i = 0; i < count; ++i)
            Directory(tree, {{u"#1033", entriesAt + 16 * i}}, strings, stringsAt);
        std::string data;
        const uint32_t dataAt = stringsAt + 0x200;
        tree.resize(entriesAt + 16 * count);
        for (uint32_t i = 0; i < count; ++i) {
            Put32(tree, entriesAt + 16 * i, kResourceRva + dataAt + static_cast<uint32_t>(data.size()));
            Put32(tree, entriesAt + 16 * i + 4, static_cast<uint32_t>(resources[i].data.size()));
            data += resources[i].data;
        }
        strings.resize(0x200);
        return tree + strings + data;
    }
};
