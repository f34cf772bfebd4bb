#include "debuginfo/MapFileBuilder.h"

#include <fstream>
#include <iterator>
#include <map>

#include <gtest/gtest.h>

#include "OwnDebugInfoWriter.h"
#include "PeImageWriter.h"
#include "debuginfo/ModuleLayout.h"
#include "debuginfo/ResourceLookup.h"

namespace {

constexpr uint64_t kBase = 0x400000;
constexpr uint64_t kCode = kBase + TPeImageWriter::kCodeRva;

class TFiles : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        read.push_back(path);
        const auto file = files.find(path);
        return file == files.end() ? std::nullopt : std::optional(file->second);
    }

    std::optional<std::vector<UnicodeString>> FilesNamedLike(const UnicodeString&) const override { return listing; }

    std::map<UnicodeString, std::string> files;
    std::optional<std::vector<UnicodeString>> listing; // none: the folder cannot be listed
    mutable std::vector<UnicodeString> read;
};

TOwnDebugInfoWriter Writer(bool reduced)
{
    TOwnDebugInfoWriter writer;
    writer.segments = {{0, 0x800, "Main.cpp"}};
    writer.publics = {{reduced ? "" : "Resource()", 0x10}};
    writer.reduced = reduced;
    return writer;
}

std::string ZelFile()
{
    TOwnDebugInfoWriter writer;
    writer.segments = {{0, 0x800, "Main.cpp"}};
    writer.publics = {{"FromSideFile()", 0x10}};
    return writer.Data(0xA, 0xB);
}

// The settings resource that the build's generator makes of MinDebugInfoSettings.txt, beside
// the test program; its "MinDebugInfo" text names other data until a stamp is put in its place.
constexpr std::string_view kGeneratedStamp = "$00000000, $0000000a, $0000000b";

std::string Settings(const std::string& stamp)
{
    std::ifstream in("debuginfo-min-settings.bin", std::ios::binary);
    std::string settings{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t at = settings.find(kGeneratedStamp);
    EXPECT_NE(at, std::string::npos) << "no generated settings resource beside the test program";
    return at == std::string::npos ? settings : settings.replace(at, kGeneratedStamp.size(), stamp);
}

TMapFile Build(const std::string& image, const TFiles& files)
{
    const TBufferReader reader(image, kBase);
    const TLoadedImage view(reader, kBase, *ReadPeHeaders(reader, kBase));
    return BuildMapFile({&view, kBase, u"C:\\App\\Mod.dll"}, files);
}

TEST(MapFileBuilder, LayoutAndResourcesOfAnImage)
{
    const std::string image = TPeImageWriter::Image({{u"ZEL", u"EXCEPT", "one"}, {u"#10", u"TZELEXCEPT", "two"}});
    const TBufferReader reader(image, kBase);
    const TLoadedImage view(reader, kBase, *ReadPeHeaders(reader, kBase));
    const TModuleLayout layout = *ReadModuleLayout(view, kBase);
    EXPECT_EQ(layout.codeStart, kCode);
    EXPECT_EQ(layout.codeEnd, kCode + TPeImageWriter::kCodeSize);
    EXPECT_EQ(layout.dataStart, kBase + TPeImageWriter::kResourceRva);
    EXPECT_EQ(layout.entryPoint, kCode + 0x10);
    EXPECT_EQ(*PreferredImageBase(view), 0x400000u);

    EXPECT_EQ(FindResourceData(view, u"zel", u"except"), "one");
    EXPECT_EQ(FindResourceData(view, u"#10", u"TZELEXCEPT"), "two");
    EXPECT_FALSE(FindResourceData(view, u"#10", u"EXCEPT"));
    EXPECT_FALSE(FindResourceData(view, u"#11", u"TZELEXCEPT"));
    EXPECT_FALSE(FindResourceData(view, u"ZE", u"EXCEPT"));
}

TEST(MapFileBuilder, TheOwnResourceComesFirst)
{
    TFiles files;
    files.files[u"C:\\App\\Mod.zel"] = ZelFile();
    const TMapFile map = Build(TPeImageWriter::Image({{u"ZEL", u"EXCEPT", Writer(false).Data()}}), files);
    ASSERT_TRUE(map.Valid());
    EXPECT_EQ(map.FindPublic(kCode + 0x11).name, u"Resource()");
    EXPECT_TRUE(map.MinDebugInfo().empty());
}

TEST(MapFileBuilder, ReducedDataGivesWayToTheSideFileItsSettingsName)
{
    const std::string zel = ZelFile();
    const std::string stamp = OwnDebugInfoStamp(zel, *ReadOwnDebugInfoHeader(zel));
    TFiles files;
    files.files[u"C:\\App\\Mod.zel"] = zel;
    const std::string reduced = Writer(true).Data();

    const TMapFile named = Build(TPeImageWriter::Image({{u"ZEL", u"EXCEPT", reduced}, {u"#10", u"TZELEXCEPT", Settings(stamp)}}), files);
    ASSERT_TRUE(named.Valid());
    EXPECT_EQ(named.FindPublic(kCode + 0x10).name, u"FromSideFile()");
    EXPECT_EQ(named.MinDebugInfo(), stamp);

    const TMapFile other = Build(TPeImageWriter::Image({{u"ZEL", u"EXCEPT", reduced},
                                                        {u"#10", u"TZELEXCEPT", Settings(std::string(kGeneratedStamp))}}),
                                 files);
    ASSERT_TRUE(other.Valid());
    EXPECT_EQ(other.FindPublic(kCode + 0x10).name, u"public%0");
}

TEST(MapFileBuilder, AReadableMapFileEndsTheSearch)
{
    TFiles files;
    files.files[u"C:\\App\\Mod.map"] = "nothing of use";
    files.files[u"C:\\App\\Mod.zel"] = ZelFile();
    const TMapFile map = Build(TPeImageWriter::Image({}), files);
    EXPECT_TRUE(map.Valid());
    EXPECT_TRUE(map.Publics().empty());

    files.files.erase(u"C:\\App\\Mod.map");
    EXPECT_EQ(Build(TPeImageWriter::Image({}), files).FindPublic(kCode + 0x10).name, u"FromSideFile()");
}

TEST(MapFileBuilder, WithoutAnySourceTheMapIsInvalid)
{
    TFiles files;
    const TMapFile map = Build(TPeImageWriter::Image({{u"ZEL", u"EXCEPT", "damaged"}}), files);
    EXPECT_FALSE(map.Valid());
    EXPECT_FALSE(map.FindPublic(kCode).valid);
    EXPECT_EQ(map.ModuleFileName(), u"C:\\App\\Mod.dll");
    // Side files in order, the module's own file for symbol data behind its sections.
    const std::vector<UnicodeString> expected = {u"C:\\App\\Mod.tds", u"C:\\App\\Mod.dll", u"C:\\App\\Mod.map",
                                                 u"C:\\App\\Mod.zel", u"C:\\App\\Mod.jdbg"};
    EXPECT_EQ(files.read, expected);
}

TEST(MapFileBuilder, SideFileNames)
{
    EXPECT_EQ(SideFileName(u"C:\\App\\Mod.dll", u".zel"), u"C:\\App\\Mod.zel");
    EXPECT_EQ(SideFileName(u"C:\\App.d\\Mod", u".map"), u"C:\\App.d\\Mod.map");
    EXPECT_EQ(SideFileName(u"Mod.x.dll", u".tds"), u"Mod.x.tds");
}

TEST(MapFileBuilder, SideFilesTheFolderDoesNotHoldAreNotOpened)
{
    TFiles files;
    files.files[u"C:\\App\\Mod.zel"] = ZelFile();
    // Listed in another case: file names compare ignoring case.
    files.listing = std::vector<UnicodeString>{u"C:\\App\\MOD.DLL", u"C:\\App\\mod.ZEL"};
    const TMapFile map = Build(TPeImageWriter::Image({}), files);
    EXPECT_EQ(map.FindPublic(kCode + 0x10).name, u"FromSideFile()");
    const std::vector<UnicodeString> opened = {u"C:\\App\\Mod.dll", u"C:\\App\\Mod.zel"};
    EXPECT_EQ(files.read, opened);

    // An empty folder: nothing opened, nothing found; a folder that cannot be listed: all tried.
    files.read.clear();
    files.listing = std::vector<UnicodeString>();
    EXPECT_FALSE(Build(TPeImageWriter::Image({}), files).Valid());
    EXPECT_TRUE(files.read.empty());
    files.listing.reset();
    EXPECT_TRUE(Build(TPeImageWriter::Image({}), files).Valid());
    EXPECT_EQ(files.read.size(), 4u); // .tds, the module, .map, .zel
}

} // namespace
