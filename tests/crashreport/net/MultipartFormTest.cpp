#include "net/MultipartForm.h"

#include <gtest/gtest.h>

#include "net/MimeMail.h"

namespace {

const AnsiString kBoundary(kMultipartBoundary);

TEST(MultipartForm, FieldsFilesAndClosingFollowEachOther)
{
    const std::vector<TFormField> fields{{u"MailFrom", u"a@x.org"}, {u"MailBody", u"\u0416"}};
    EXPECT_EQ(FormFieldParts(fields, false),
              "\r\n--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"MailFrom\"\r\n"
              "Content-Type: text/plain; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\na@x.org"
              "\r\n--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"MailBody\"\r\n"
              "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\n0JY=");
    EXPECT_EQ(FormFilePartHeader({u"file1", u"report.zbr", 10}, false),
              "\r\n--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"report.zbr\"\r\n"
              "Content-Type: application/octet-stream\r\n\r\n");
    EXPECT_EQ(FormClosingText(), "\r\n--" + kBoundary + "--\r\n");
    EXPECT_EQ(FormContentTypeHeader(), "Content-Type: multipart/form-data; boundary=" + kBoundary);
}

TEST(MultipartForm, LengthIsWhatIsSent)
{
    const std::vector<TFormField> fields{{u"MailSubject", u"Crash \u00E4"}, {u"MailBody", u"x\ny"}};
    const std::vector<TFormFile> files{{u"file1", u"a.zbr", 1000}, {u"file2", u"\u0416.png", 0}};
    uint64_t sent = FormFieldParts(fields, false).size() + FormClosingText().size();
    for (const TFormFile& file : files) {
        sent += FormFilePartHeader(file, false).size() + file.size;
        // The fixed share of a file part's header is 102 bytes beside the boundary and names.
        if (file.fieldName == u"file1") {
            EXPECT_EQ(FormFilePartHeader(file, false).size(), 102u + kBoundary.size() + 5 + 5);
        }
    }
    EXPECT_EQ(FormBodyLength(fields, files, false), sent);
    EXPECT_EQ(FormBodyLength({}, {}, false), FormClosingText().size());
}

} // namespace
