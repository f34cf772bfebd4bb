#include "net/MultipartForm.h"

#include <gtest/gtest.h>

#include "net/MimeMail.h"

namespace {

const AnsiString kBoundary(kMultipartBoundary);

// The usual boundary here; names with quotes and backslashes as quoted pairs.
TEST(MultipartForm, FieldsFilesAndClosingFollowEachOther)
{
    const std::vector<TFormField> fields{{u"MailFrom", u"a@x.org"}, {u"MailBody", u"\u0416"}};
    EXPECT_EQ(FormFieldParts(fields, false, kBoundary),
              "\r\n--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"MailFrom\"\r\n"
              "Content-Type: text/plain; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\na@x.org"
              "\r\n--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"MailBody\"\r\n"
              "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\n0JY=");
    EXPECT_EQ(FormFilePartHeader({u"file\"1\"", u"a\\\"b.zbr", 10}, false, kBoundary),
              "\r\n--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file\\\"1\\\"\"; "
              "filename=\"a\\\\\\\"b.zbr\"\r\nContent-Type: application/octet-stream\r\n\r\n");
    EXPECT_EQ(FormClosingText(kBoundary), "\r\n--" + kBoundary + "--\r\n");
    EXPECT_EQ(FormContentTypeHeader(kBoundary), "Content-Type: multipart/form-data; boundary=" + kBoundary);
}

// A value's 8bit text or a file that holds the usual boundary gets the form another; the
// length announced is that of the texts made with it.
TEST(MultipartForm, BoundaryAndLengthAreThoseOfTheContent)
{
    const std::vector<TFormField> plain{{u"MailSubject", u"Crash \u00E4"}, {u"MailBody", u"x\ny"}};
    std::vector<TFormField> forging = plain;
    forging[1].value = u"x\n--" + UnicodeString(kMultipartBoundary.begin(), kMultipartBoundary.end()) + u"--\ny";
    const std::vector<TFormFile> files{{u"file1", u"a.zbr", 1000}, {u"file2", u"\u0416.png", 0}};
    struct TRow {
        const std::vector<TFormField>& fields;
        bool fileHolds;
        bool usual;
    };
    for (const TRow& row : {TRow{plain, false, true}, TRow{forging, false, false}, TRow{plain, true, false}}) {
        const AnsiString boundary = ChooseFormBoundary(row.fields, false, [&row](std::string_view candidate) {
            return row.fileHolds && candidate == kMultipartBoundary;
        });
        EXPECT_EQ(boundary == kMultipartBoundary, row.usual);
        for (const TFormField& field : row.fields)
            EXPECT_EQ(EncodeMailBody(field.value, false).text.find(boundary), AnsiString::npos);
        uint64_t sent = FormFieldParts(row.fields, false, boundary).size() + FormClosingText(boundary).size();
        for (const TFormFile& file : files)
            sent += FormFilePartHeader(file, false, boundary).size() + file.size;
        EXPECT_EQ(FormBodyLength(row.fields, files, false, boundary), sent);
    }
    // The fixed share of a file part's header is 102 bytes beside the boundary and names.
    EXPECT_EQ(FormFilePartHeader(files[0], false, kBoundary).size(), 102u + kBoundary.size() + 5 + 5);
    EXPECT_EQ(FormBodyLength({}, {}, false, kBoundary), FormClosingText(kBoundary).size());
    EXPECT_EQ(FormContentTypeHeader("b"), "Content-Type: multipart/form-data; boundary=b");
}

} // namespace
