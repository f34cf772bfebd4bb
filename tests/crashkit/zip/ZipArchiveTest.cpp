#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "zip/ZipReading.h"

namespace {

// Files in memory; the archive is written into a string, and writing can be made to fail.
class TMemoryFiles : public IZipFileSystem {
public:
    std::map<UnicodeString, TZipSourceFile> files;
    std::map<UnicodeString, std::string> archives;
    size_t failWritesAfter = SIZE_MAX;

    std::optional<TZipSourceFile> ReadWholeFile(const UnicodeString& name) override
    {
        const auto found = files.find(name);
        if (found == files.end())
            return std::nullopt;
        return found->second;
    }

    std::unique_ptr<IZipOutput> CreateArchive(const UnicodeString& name) override
    {
        if (name.empty())
            return nullptr;
        archives[name].clear();
        return std::make_unique<TOutput>(archives[name], failWritesAfter);
    }

    void DeleteArchive(const UnicodeString& name) override { archives.erase(name); }

private:
    class TOutput : public IZipOutput {
    public:
        TOutput(std::string& target, size_t& writesLeft) : target_(target), writesLeft_(writesLeft) {}
        bool Write(const void* data, size_t length) override
        {
            if (writesLeft_ == 0)
                return false;
            --writesLeft_;
            target_.append(static_cast<const char*>(data), length);
            return true;
        }
        bool Close() override { return true; }

    private:
        std::string& target_;
        size_t& writesLeft_;
    };
};

class ZipArchiveTest : public ::testing::Test {
protected:
    TMemoryFiles fs;

    void Add(const UnicodeString& name, const std::string& contents, uint32_t attributes = 0x20)
    {
        fs.files[name] = {contents, 0x6B2A, 0x5A89, attributes};
    }
};

TEST_F(ZipArchiveTest, StoresEachFileWithItsHeaders)
{
    Add(u"C:\\data\\report.txt", std::string(5000, 'r'), 0x21);
    Add(u"C:\\data\\empty.log", "");
    ASSERT_TRUE(WriteZipArchive(fs, u"out.zip", {u"C:\\data\\report.txt", u"C:\\data\\empty.log"}, {}));
    const std::string& archive = fs.archives.at(u"out.zip");
    const std::vector<TMember> members = CentralDirectory(archive);
    ASSERT_EQ(2u, members.size());
    EXPECT_EQ("report.txt", members[0].name);
    EXPECT_EQ(0x0800, members[0].flags);
    EXPECT_EQ(8, members[0].method);
    EXPECT_EQ(0x6B2A, members[0].time);
    EXPECT_EQ(0x5A89, members[0].date);
    EXPECT_EQ(0x21u, members[0].attributes);
    EXPECT_EQ(0u, members[0].offset);
    EXPECT_EQ(std::string(5000, 'r'), MemberData(archive, members[0]));
    EXPECT_EQ("empty.log", members[1].name);
    EXPECT_EQ(0u, members[1].crc);
    EXPECT_EQ(0u, members[1].size);
    EXPECT_EQ("", MemberData(archive, members[1]));
}

TEST_F(ZipArchiveTest, SendAsNamesCoverTheFirstFilesOnly)
{
    Add(u"a\\one.txt", "1");
    Add(u"b\\two.txt", "2");
    Add(u"c/three.txt", "3");
    ASSERT_TRUE(WriteZipArchive(fs, u"out.zip", {u"a\\one.txt", u"b\\two.txt", u"c/three.txt"},
                                {u"Erster.txt", u"Zweiter \u00FCber.txt"}));
    const std::vector<TMember> members = CentralDirectory(fs.archives.at(u"out.zip"));
    ASSERT_EQ(3u, members.size());
    EXPECT_EQ("Erster.txt", members[0].name);
    EXPECT_EQ("Zweiter \xC3\xBC" "ber.txt", members[1].name); // UTF-8
    EXPECT_EQ("three.txt", members[2].name);
}

TEST_F(ZipArchiveTest, UnreadableFilesAreLeftOut)
{
    Add(u"there.txt", "here");
    ASSERT_TRUE(WriteZipArchive(fs, u"out.zip", {u"missing.txt", u"there.txt"}, {u"first", u"second"}));
    const std::vector<TMember> members = CentralDirectory(fs.archives.at(u"out.zip"));
    ASSERT_EQ(1u, members.size());
    EXPECT_EQ("second", members[0].name);
}

TEST_F(ZipArchiveTest, NothingStoredLeavesNoArchive)
{
    EXPECT_FALSE(WriteZipArchive(fs, u"out.zip", {u"missing.txt", u"gone.txt"}, {}));
    EXPECT_FALSE(WriteZipArchive(fs, u"out.zip", {}, {}));
    EXPECT_TRUE(fs.archives.empty());
}

TEST_F(ZipArchiveTest, WriteFailureDeletesTheArchive)
{
    Add(u"x.txt", "x");
    for (size_t allowed = 0; allowed < 4; ++allowed) {
        fs.failWritesAfter = allowed; // local header, data, central entry, end record
        EXPECT_FALSE(WriteZipArchive(fs, u"out.zip", {u"x.txt"}, {})) << allowed;
        EXPECT_TRUE(fs.archives.empty()) << allowed;
    }
    EXPECT_FALSE(WriteZipArchive(fs, u"", {u"x.txt"}, {}));
}

} // namespace
