#include "debuginfo/DebuggerSymbolData.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PeImageWriter.h"
#include "debuginfo/MapFileBuilder.h"
#include "debuginfo/SymbolDataLocation.h"

namespace {

constexpr uint64_t kCode = 0x401000;
constexpr uint64_t kData = 0x500000;

void Put16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

std::string Record(uint16_t type, uint16_t length, size_t nameAt, uint32_t name, size_t offsetAt, uint32_t offset)
{
    std::string record;
    Put16(record, length);
    Put16(record, type);
    record.resize(size_t{length} + 2);
    std::string field;
    Put32(field, name);
    record.replace(nameAt, 4, field);
    field.clear();
    Put32(field, offset);
    record.replace(offsetAt, 4, field);
    return record;
}

// Symbol data with the subsections given as (type, content), one directory after them whose
// next position is next (0 ends the ring).
std::string SymbolData(const char* form, const std::vector<std::pair<uint16_t, std::string>>& subsections, uint32_t next = 0)
{
    std::string data = form;
    data.resize(8);
    std::vector<std::pair<uint32_t, uint32_t>> places;
    for (const auto& [type, content] : subsections) {
        places.emplace_back(static_cast<uint32_t>(data.size()), static_cast<uint32_t>(content.size()));
        data += content;
    }
    const uint32_t directory = static_cast<uint32_t>(data.size());
    data.replace(4, 4, std::string(4, '\0'));
    std::string position;
    Put32(position, directory);
    data.replace(4, 4, position);
    Put16(data, 16);
    Put16(data, 12);
    Put32(data, static_cast<uint32_t>(subsections.size()));
    Put32(data, next == 1 ? directory : next);
    Put32(data, 0);
    for (size_t i = 0; i < subsections.size(); ++i) {
        Put16(data, subsections[i].first);
        Put16(data, 1);
        Put32(data, places[i].first);
        Put32(data, places[i].second);
    }
    return data;
}

std::string Names(const std::vector<std::string>& names)
{
    std::string out;
    Put32(out, static_cast<uint32_t>(names.size()));
    for (const std::string& name : names) {
        out += static_cast<char>(name.size());
        out += name + '\0';
    }
    return out;
}

std::string Module(uint32_t name, uint32_t offset, uint32_t size)
{
    std::string out(28, '\0');
    out[4] = 2; // two segments, the second without flags
    out[8] = static_cast<char>(name);
    Put16(out, 1);
    Put16(out, 1);
    Put32(out, offset);
    Put32(out, size);
    Put16(out, 1);
    Put16(out, 0);
    Put32(out, 0x800);
    Put32(out, 0x100);
    return out;
}

std::string SourceFiles(uint32_t name, uint16_t segment)
{
    std::string out;
    Put16(out, 1); // one file
    Put16(out, 1);
    Put32(out, 8); // at 8
    Put16(out, 1); // one block
    Put32(out, name);
    Put32(out, 18); // at 18
    Put16(out, segment);
    Put16(out, 3);
    for (uint32_t offset : {0x10u, 0x18u, 0x40u})
        Put32(out, offset);
    for (uint16_t line : {10, 11, 15})
        Put16(out, line);
    return out;
}

const std::vector<std::string> kNames = {"C:\\src\\Main.cpp", "Run", "Counter", "Stop"};

std::string Symbols(size_t headerSize)
{
    std::string out(headerSize, '\0');
    out += Record(0x205, 44, 40, 2, 28, 0x10);  // Run, code
    out += Record(0x201, 20, 16, 3, 4, 0x20);   // Counter, data
    out += Record(0x20, 26, 12, 4, 20, 0x40);   // Stop, code
    out += Record(0x205, 44, 40, 0, 28, 0x50);  // no name
    out += Record(0x205, 44, 40, 99, 28, 0x60); // beyond the table
    out += Record(0x999, 4, 2, 0, 2, 0);        // another type
    return out;
}

TMapFile EmptyMap(bool codeOnly = true)
{
    TMapFile map(codeOnly);
    TModuleLayout layout;
    layout.codeStart = kCode;
    layout.codeEnd = kCode + 0x1000;
    layout.dataStart = kData;
    map.SetLayout(layout);
    return map;
}

std::string SampleFB0A()
{
    return SymbolData("FB0A", {{0x130, Names(kNames)}, {0x120, Module(1, 0, 0x100)}, {0x127, SourceFiles(1, 1)},
                               {0x129, Symbols(32)}});
}

TEST(DebuggerSymbolData, ReadsModulesLinesAndSymbols)
{
    TMapFile map = EmptyMap(false);
    ASSERT_TRUE(LoadDebuggerSymbolData(SampleFB0A(), {}, map));
    EXPECT_EQ(map.FindSegment(true, kCode + 0x20).unitName, u"Main.cpp");
    ASSERT_EQ(map.Lines().size(), 3u);
    EXPECT_EQ(map.Lines()[2].address, kCode + 0x40);
    EXPECT_EQ(map.Lines()[2].line, 15);
    ASSERT_EQ(map.Publics().size(), 3u);
    EXPECT_EQ(map.Publics()[0].name, u"Run");
    EXPECT_EQ(map.Publics()[0].address, kCode + 0x10);
    EXPECT_EQ(map.Publics()[1].name, u"Stop");
    EXPECT_EQ(map.Publics()[2].name, u"Counter");
    EXPECT_EQ(map.Publics()[2].address, kData + 0x20);
    EXPECT_FALSE(map.Publics()[2].code);
}

TEST(DebuggerSymbolData, FB09OnlyWhenAcceptedWithItsOwnSymbolSubsection)
{
    const std::string data = SymbolData("FB09", {{0x130, Names(kNames)}, {0x120, Module(1, 0, 0x100)},
                                                 {0x125, Symbols(4)}, {0x129, Symbols(32)}});
    TMapFile first = EmptyMap();
    EXPECT_FALSE(LoadDebuggerSymbolData(data, {false, 0}, first));
    TMapFile second = EmptyMap();
    ASSERT_TRUE(LoadDebuggerSymbolData(data, {true, 0}, second));
    EXPECT_EQ(second.Publics().size(), 2u); // the 0x129 subsection is not read for FB09
    TMapFile other = EmptyMap();
    EXPECT_FALSE(LoadDebuggerSymbolData("FB0B" + data.substr(4), {}, other));
}

TEST(DebuggerSymbolData, LinesOfSegmentTwoMoveWithTheSecondCodeSection)
{
    const std::string data = SymbolData("FB0A", {{0x130, Names(kNames)}, {0x127, SourceFiles(1, 2)}});
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadDebuggerSymbolData(data, {true, 0x2000}, map));
    ASSERT_EQ(map.Lines().size(), 3u);
    EXPECT_EQ(map.Lines()[0].address, kCode + 0x2010);
}

TEST(DebuggerSymbolData, FB0ARecordsEndWithTheirSubsection)
{
    // Right after the symbol subsection lies a 28-byte record: an area of the subsection's size
    // less 4 from offset 32 would reach just over it.
    const std::string symbols = std::string(32, '\0') + Record(0x205, 44, 40, 2, 28, 0x10);
    const std::string data = SymbolData("FB0A", {{0x130, Names(kNames)}, {0x120, Module(1, 0, 0x100)}, {0x129, symbols},
                                                {0x999, Record(0x20, 26, 12, 4, 20, 0x44)}});
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadDebuggerSymbolData(data, {}, map));
    ASSERT_EQ(map.Publics().size(), 1u);
    EXPECT_EQ(map.Publics()[0].name, u"Run");
}

TEST(DebuggerSymbolData, DirectoryRingsThatLoopEnd)
{
    const std::vector<std::pair<uint16_t, std::string>> subsections = {{0x130, Names(kNames)}, {0x129, Symbols(32)}};
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadDebuggerSymbolData(SymbolData("FB0A", subsections, 1), {}, map)); // next is itself
    EXPECT_EQ(map.Publics().size(), 2u);
    TMapFile far = EmptyMap();
    EXPECT_TRUE(LoadDebuggerSymbolData(SymbolData("FB0A", subsections, 0x7FFFFFF0), {}, far));
    EXPECT_EQ(far.Publics().size(), 2u);
}

TEST(DebuggerSymbolData, EveryCutOfTheDataIsSafe)
{
    const std::string data = SampleFB0A();
    for (size_t length = 0; length <= data.size(); ++length) {
        TMapFile map = EmptyMap();
        LoadDebuggerSymbolData(data.substr(0, length), {}, map);
        EXPECT_LE(map.Publics().size(), 2u);
    }
}

class TSideFiles : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        if (path == u"C:\\Bin\\Mod.tds")
            return SampleFB0A();
        if (path == u"C:\\Bin\\Mod.map" && withMap)
            return "";
        return std::nullopt;
    }

    std::optional<int64_t> WriteDay(const UnicodeString& path) const override
    {
        if (path == u"C:\\Bin\\Mod.tds")
            return 100;
        if (path == u"C:\\Bin\\Mod.map" && withMap)
            return mapDay;
        return std::nullopt;
    }

    bool withMap = false;
    int64_t mapDay = 0;
};

TEST(DebuggerSymbolData, BuilderTakesATdsSideFile)
{
    TSideFiles files;
    const TMapFile map = BuildMapFile({nullptr, 0, u"C:\\Bin\\Mod.dll"}, files);
    ASSERT_TRUE(map.Valid());
    EXPECT_EQ(map.FindPublic(0x12).name, u"Run");

    // A map file of the same day does not displace it; one of a later day does (and is empty).
    files.withMap = true;
    files.mapDay = 100;
    EXPECT_EQ(BuildMapFile({nullptr, 0, u"C:\\Bin\\Mod.dll"}, files).FindPublic(0x12).name, u"Run");
    files.mapDay = 101;
    const TMapFile newer = BuildMapFile({nullptr, 0, u"C:\\Bin\\Mod.dll"}, files);
    EXPECT_TRUE(newer.Valid());
    EXPECT_TRUE(newer.Publics().empty());
}

// A module file larger than its headers, read in parts: the bytes each read asked for are
// counted, and a whole-file read is recorded.
class TModuleFile : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        wholeReads += path == kName ? 1 : 0;
        return path == kName ? std::optional(file) : std::nullopt;
    }

    std::optional<std::string> ReadFilePart(const UnicodeString& path, uint64_t offset, size_t length) const override
    {
        if (path != kName)
            return std::nullopt;
        const std::string part = offset < file.size() ? file.substr(offset, length) : std::string();
        bytesRead += part.size();
        return part;
    }

    static constexpr char16_t kName[] = u"C:\\Bin\\Big.dll";
    std::string file;
    mutable size_t bytesRead = 0;
    mutable int wholeReads = 0;
};

TEST(DebuggerSymbolData, DataBehindTheSectionsIsReadWithoutTheRestOfTheFile)
{
    TModuleFile module;
    const std::string image = TPeImageWriter::Image({{u"#10", u"BULK", std::string(300 * 1024, 'x')}});
    module.file = image + SampleFB0A();
    EXPECT_EQ(FindSymbolData(nullptr, TModuleFile::kName, module), SampleFB0A());
    EXPECT_EQ(module.wholeReads, 0);
    EXPECT_LT(module.bytesRead, 64 * 1024 + 4 + SampleFB0A().size() + 1);

    // Nothing behind the sections, or other data there: none, and still only the parts read.
    module.file = image;
    EXPECT_EQ(FindSymbolData(nullptr, TModuleFile::kName, module), std::nullopt);
    module.file = image + "NB11" + SampleFB0A();
    EXPECT_EQ(FindSymbolData(nullptr, TModuleFile::kName, module), std::nullopt);
    EXPECT_EQ(module.wholeReads, 0);
    // A loaded image's headers say where its sections end: only the marker and the data are read.
    module.file = image + SampleFB0A();
    module.bytesRead = 0;
    const TBufferReader reader(image, 0x400000);
    const TLoadedImage loaded(reader, 0x400000, *ReadPeHeaders(reader, 0x400000));
    EXPECT_EQ(FindSymbolData(&loaded, TModuleFile::kName, module), SampleFB0A());
    EXPECT_EQ(module.bytesRead, 4 + SampleFB0A().size());
    // A file too short for its headers is no module.
    module.file = image.substr(0, 0x60);
    EXPECT_EQ(FindSymbolData(nullptr, TModuleFile::kName, module), std::nullopt);
}

TEST(DebuggerSymbolData, TheWholeFileDefaultReadsPartsLikeASeekingReader)
{
    TSideFiles files;
    const std::string tds = SampleFB0A();
    EXPECT_EQ(files.ReadFilePart(u"C:\\Bin\\Mod.tds", 4, 6), tds.substr(4, 6));
    EXPECT_EQ(files.ReadFilePart(u"C:\\Bin\\Mod.tds", tds.size() - 2, 100), tds.substr(tds.size() - 2));
    EXPECT_EQ(files.ReadFilePart(u"C:\\Bin\\Mod.tds", tds.size(), 4), std::string());
    EXPECT_EQ(files.ReadFilePart(u"C:\\Bin\\None.tds", 0, 4), std::nullopt);
}

} // namespace
