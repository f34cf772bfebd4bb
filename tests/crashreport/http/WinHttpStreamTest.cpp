// Request bodies whose files are streamed from disk, raw or as Base64.
#include <gtest/gtest.h>

#include <string>

#include "RecordingAlert.h"
#include "UploadTest.h"
#include "crypto/Base64.h"
#include "win32/WinFile.h"

namespace {

std::string Printable(size_t size, char first)
{
    std::string text;
    for (size_t i = 0; i < size; ++i)
        text += static_cast<char>(first + i % 26);
    return text;
}

class OpenedFile {
public:
    explicit OpenedFile(const UnicodeString& path)
        : file_(CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    HANDLE Get() const { return file_.Get(); }

private:
    TWinFile file_;
};

// The JSON text of a string as the test server writes it: these bodies need no escapes.
std::string BodyRecord(const std::string& body) { return "\"body\": \"" + body + "\""; }

TEST_F(WinHttpUpload, StreamedFilesGoRawOrAsBase64BetweenTheTexts)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    // Both sizes end in a short block: 2048 + 2048 + 904 raw, 1536 + 1536 + 1 as Base64.
    const std::string raw = Printable(5000, 'a');
    const std::string encoded = Printable(3073, 'A');
    const OpenedFile rawFile(WriteFile("raw.txt", raw));
    const OpenedFile encodedFile(WriteFile("encoded.txt", encoded));
    // The file pointers are not at the start: streaming rewinds.
    SetFilePointer(rawFile.Get(), 100, nullptr, FILE_BEGIN);
    const TIntfPtr<TRecordingAlert> alert = MakeObject<TRecordingAlert>();
    TWinHttp http(Server(running), alert.Get());
    std::string response;
    EXPECT_TRUE(http.Request(L"POST", "/stream", {"Content-Type: text/plain"},
                             {{"<raw>"}, {{}, rawFile.Get(), raw.size(), false}, {"</raw><b64>"},
                              {{}, encodedFile.Get(), encoded.size(), true}, {"</b64>"}},
                             response))
        << http.LastError();
    const std::string expected = "<raw>" + raw + "</raw><b64>" + EncodeBase64Str(encoded) + "</b64>";
    const std::string request = running.ReadFile("request-1.json");
    EXPECT_NE(request.find("\"length\": " + std::to_string(expected.size()) + ", \"received\": " +
                           std::to_string(expected.size())),
              std::string::npos)
        << request.substr(0, 200);
    EXPECT_NE(request.find(BodyRecord(expected)), std::string::npos);
    // After each block, in thousandths of the file.
    EXPECT_EQ(alert->positions, (std::vector<int32_t>{409, 819, 1000, 499, 999, 1000}));
}

TEST(BodyPieceLength, Base64LengthCountsThePaddedLastGroup)
{
    EXPECT_EQ(BodyPieceLength({"text"}), 4u);
    EXPECT_EQ(BodyPieceLength({{}, INVALID_HANDLE_VALUE, 0, true}), 0u);
    EXPECT_EQ(BodyPieceLength({{}, INVALID_HANDLE_VALUE, 1, true}), 4u);
    EXPECT_EQ(BodyPieceLength({{}, INVALID_HANDLE_VALUE, 3, true}), 4u);
    EXPECT_EQ(BodyPieceLength({{}, INVALID_HANDLE_VALUE, 1537, true}), 2052u);
    EXPECT_EQ(BodyPieceLength({{}, INVALID_HANDLE_VALUE, 1537, false}), 1537u);
}

TEST_F(WinHttpUpload, FileShorterThanAnnouncedEndsTheRequestAsFailed)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    const OpenedFile file(WriteFile("short.txt", Printable(3000, 'a')));
    TWinHttp http(Server(running));
    for (const bool base64 : {false, true}) {
        std::string response;
        EXPECT_FALSE(http.Request(L"POST", "/stream", {}, {{"x"}, {{}, file.Get(), 5000, base64}}, response))
            << base64;
        EXPECT_EQ(http.LastError(), static_cast<uint32_t>(ERROR_HANDLE_EOF)) << base64;
    }
}

} // namespace
