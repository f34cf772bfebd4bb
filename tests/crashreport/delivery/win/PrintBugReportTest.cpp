#include "delivery/win/PrintBugReport.h"

#include <gtest/gtest.h>

#include <string>

#include "PdfPrinter.h"

namespace {

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// Through a PDF printer of a CUPS scheduler that tests/crashreport/delivery/with_pdf_printer.sh
// starts for this program.
TEST(PrintBugReport, ReportLinesReachThePrinterWrappedAndPaged)
{
    const std::string missing = Environment("CRASHREPORT_TEST_PRINTER_MISSING");
    if (!missing.empty())
        GTEST_SKIP() << "no PDF printer: " << missing;
    const std::string printer = Environment("CRASHREPORT_TEST_PRINTER");
    ASSERT_FALSE(printer.empty()) << "run through with_pdf_printer.sh";
    const std::wstring printerName(printer.begin(), printer.end());
    const HDC dc = CreateDCW(L"WINSPOOL", printerName.c_str(), nullptr, nullptr);
    ASSERT_NE(dc, nullptr) << "the printer is not known to Wine";

    std::string report = "date/time         : 2026-12-09\r\n\r\nmain thread:\r\n";
    std::string longLine;
    for (int word = 1; word <= 40; ++word)
        longLine += "word" + std::to_string(word) + " ";
    report += longLine + "\r\n";
    for (int line = 1; line <= 150; ++line) {
        const std::string number = std::to_string(1000 + line).substr(1);
        report += "line " + number + "\r\n";
    }
    const std::string mark = "zelprint" + std::to_string(GetCurrentProcessId());
    const UnicodeString text(report.begin(), report.end());
    EXPECT_TRUE(PrintReportOn(dc, text, UnicodeString(mark.begin(), mark.end())));
    DeleteDC(dc);

    const std::string pdf = WaitForPdf(Environment("CRASHREPORT_TEST_PDF_DIR"), mark);
    ASSERT_FALSE(pdf.empty()) << "no PDF named after " << mark;
    const std::string printed = PdfText(pdf);
    DeleteFileA(WindowsPath(pdf).c_str());
    // The layout of the text keeps each line, not the exact run of blanks.
    const size_t header = printed.find("date/time");
    EXPECT_LT(header, printed.find(": 2026-12-09")) << printed;
    EXPECT_EQ(printed.find('\n', header), printed.find(": 2026-12-09") + 12) << "one line";
    EXPECT_NE(printed.find("main thread:"), std::string::npos);
    EXPECT_NE(printed.find("line 001"), std::string::npos);
    EXPECT_NE(printed.find("line 150"), std::string::npos);
    EXPECT_NE(printed.find("word1 "), std::string::npos);
    EXPECT_NE(printed.find("word40"), std::string::npos);
    EXPECT_EQ(printed.find(longLine.substr(0, longLine.size() - 1)), std::string::npos)
        << "a line wider than the page is wrapped";
    EXPECT_GE(Count(printed, "\f"), 2u) << "150 lines of 8 points take more than one page";
}

} // namespace
