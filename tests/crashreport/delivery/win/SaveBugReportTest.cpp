#include "delivery/win/SaveBugReport.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "DeliveryTestSettings.h"

namespace {

std::string Line(const std::string& name, const std::string& value)
{
    return name + std::string(18 - name.size(), ' ') + ": " + value + "\r\n";
}

std::string Report(const std::string& time, const std::string& count = "")
{
    return Line("date/time", time) + Line("executable", "app.exe") + Line("current module", "app.exe") +
           Line("version", "1.0") + Line("callstack crc", "$11111111, $22222222, $33333333") +
           (count.empty() ? "" : Line("count", count)) + Line("exception class", "EAccessViolation") + "\r\nmain:";
}

class SaveBugReportTest : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "save-test-" + std::to_string(GetCurrentProcessId());
        file_ = folder_ + "\\deep\\er\\bugreport.txt";
        settings_.texts["BugRepFile"] = Utf16(file_);
        settings_.ints["AppendBugReps"] = 1;
        settings_.ints["NoDupExcepts"] = 1;
        settings_.ints["DupExceptDef"] = 1;
        hooks_.markSaved = [this] { ++saved_; };
    }

    void TearDown() override
    {
        DeleteFileA(file_.c_str());
        DeleteFileA((folder_ + "\\named.txt").c_str());
        RemoveDirectoryA((folder_ + "\\deep\\er").c_str());
        RemoveDirectoryA((folder_ + "\\deep").c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    TDeliveryTestSettings settings_;
    TSaveHooks hooks_;
    std::string folder_;
    std::string file_;
    int saved_ = 0;
};

TEST_F(SaveBugReportTest, AutomaticSavesGoToTheConfiguredFileAndCountDuplicates)
{
    EXPECT_TRUE(SaveBugReport(u"", Utf16(Report("1")), nullptr, true, settings_, hooks_));
    EXPECT_EQ(Read(file_), "\r\n\r\n" + Report("1"));
    EXPECT_EQ(saved_, 1);
    EXPECT_TRUE(SaveBugReport(u"", Utf16(Report("2")), nullptr, true, settings_, hooks_));
    EXPECT_EQ(Read(file_), "\r\n\r\n" + Report("2", "2"));
    settings_.ints["NoDupExcepts"] = 0;
    EXPECT_TRUE(SaveBugReport(u"", Utf16(Report("3")), nullptr, true, settings_, hooks_));
    EXPECT_EQ(Read(file_), "\r\n\r\n" + Report("2", "2") + "\r\n\r\n" + Report("3"));
    settings_.ints["AppendBugReps"] = 0;
    EXPECT_TRUE(SaveBugReport(u"", Utf16(Report("4")), nullptr, true, settings_, hooks_));
    EXPECT_EQ(Read(file_), "\r\n\r\n" + Report("4"));
    EXPECT_EQ(saved_, 4);
}

TEST_F(SaveBugReportTest, ReportIsWrittenInTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the prefix's code page is " << GetACP();
    EXPECT_TRUE(SaveBugReport(u"", u"date/time : Gr\u00FC\u00DFe \u20AC", nullptr, true, settings_, hooks_));
    EXPECT_EQ(Read(file_), "\r\n\r\ndate/time : Gr\xFC\xDF" "e \x80");
}

TEST_F(SaveBugReportTest, NamedFileIsNotTheConfiguredOne)
{
    CreateDirectoryA(folder_.c_str(), nullptr);
    const std::string named = folder_ + "\\named.txt";
    EXPECT_TRUE(SaveBugReport(Utf16(named), Utf16(Report("1")), nullptr, true, settings_, hooks_));
    EXPECT_EQ(Read(named), "\r\n\r\n" + Report("1"));
    EXPECT_EQ(saved_, 0);
    EXPECT_EQ(GetFileAttributesA(file_.c_str()), INVALID_FILE_ATTRIBUTES);

    // A named file that cannot be opened is not written anywhere else.
    const HANDLE held = CreateFileA(named.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveBugReport(Utf16(named), Utf16(Report("2")), nullptr, true, settings_, hooks_));
    CloseHandle(held);
    EXPECT_EQ(Read(named), "\r\n\r\n" + Report("1"));
    EXPECT_EQ(GetFileAttributesA(file_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SaveBugReportTest, EmptyReportsAndDialogsUnderTheLoaderLockSaveNothing)
{
    EXPECT_FALSE(SaveBugReport(u"", u"", nullptr, true, settings_, hooks_));
    EXPECT_EQ(GetFileAttributesA(file_.c_str()), INVALID_FILE_ATTRIBUTES);
    int lockChecks = 0;
    hooks_.loaderLocked = [&] { return ++lockChecks, true; };
    EXPECT_FALSE(SaveBugReport(u"", Utf16(Report("1")), nullptr, false, settings_, hooks_));
    EXPECT_EQ(lockChecks, 1);
    EXPECT_EQ(saved_, 0);
}

TEST_F(SaveBugReportTest, ConfiguredFileThatCannotBeOpenedMovesToTheUsersFolder)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string program = module;
    const std::string programFolder = program.substr(0, program.find_last_of('\\') + 1);
    std::string programName = program.substr(programFolder.size());
    programName.resize(programName.find_last_of('.'));
    const std::string name = "held-" + std::to_string(GetCurrentProcessId()) + ".txt";
    const std::string beside = programFolder + name;
    const HANDLE held = CreateFileA(beside.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    char appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    const std::string moved = std::string(appData) + "\\" + programName + "\\" + name;
    settings_.texts["BugRepFile"] = Utf16(name);
    EXPECT_TRUE(SaveBugReport(u"", Utf16(Report("1")), nullptr, true, settings_, hooks_));
    CloseHandle(held);
    EXPECT_EQ(Read(moved), "\r\n\r\n" + Report("1"));
    DeleteFileA(moved.c_str());
    RemoveDirectoryA((std::string(appData) + "\\" + programName).c_str());
}

TEST(ForceFolders, MakesEveryMissingFolderAndRefusesFiles)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string base = std::string(temp) + "force-" + std::to_string(GetCurrentProcessId());
    EXPECT_TRUE(ForceFolders(Utf16(base + "\\a\\b\\c\\")));
    EXPECT_NE(GetFileAttributesA((base + "\\a\\b\\c").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(ForceFolders(Utf16(base + "\\a")));
    std::ofstream(base + "\\a\\file") << "x";
    EXPECT_FALSE(ForceFolders(Utf16(base + "\\a\\file\\sub")));
    DeleteFileA((base + "\\a\\file").c_str());
    for (const char* folder : {"\\a\\b\\c", "\\a\\b", "\\a", ""})
        RemoveDirectoryA((base + folder).c_str());
}

} // namespace
