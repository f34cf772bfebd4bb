#include "delivery/win/PrintBugReport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DeliveryTestSettings.h"
#include "PdfPrinter.h"

namespace {

// Answers the print dialogs of this process with OK (the default printer) while it runs.
class TDialogAnswerer {
public:
    TDialogAnswerer()
        : thread_([this] {
              while (!stop_) {
                  EnumWindows(&TDialogAnswerer::Answer, reinterpret_cast<LPARAM>(this));
                  Sleep(50);
              }
          })
    {
    }
    ~TDialogAnswerer()
    {
        stop_ = true;
        thread_.join();
    }
    TDialogAnswerer(const TDialogAnswerer&) = delete;
    TDialogAnswerer& operator=(const TDialogAnswerer&) = delete;

    int Answered() const { return answered_; }

private:
    static BOOL CALLBACK Answer(HWND window, LPARAM self)
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::wstring(className) == L"#32770") {
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            ++reinterpret_cast<TDialogAnswerer*>(self)->answered_;
        }
        return TRUE;
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

class PrintDialog : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string missing = Environment("CRASHREPORT_TEST_PRINTER_MISSING");
        if (!missing.empty())
            GTEST_SKIP() << "no PDF printer: " << missing;
        ASSERT_FALSE(Environment("CRASHREPORT_TEST_PRINTER").empty()) << "run through with_pdf_printer.sh";
        mark_ = "zeldialog" + std::to_string(GetCurrentProcessId());
        settings_.texts["PrintBtnTxt"] = Utf16(mark_);
    }

    TDeliveryTestSettings settings_;
    std::string mark_;
};

TEST_F(PrintDialog, ChosenPrinterGetsTheReportUnderThePrintButtonsText)
{
    {
        const TDialogAnswerer answerer;
        PrintBugReport(u"exception class   : EAccessViolation\r\nmain thread:\r\nR&D tools", nullptr, settings_);
        EXPECT_GE(answerer.Answered(), 1);
    }
    const std::string pdf = WaitForPdf(Environment("CRASHREPORT_TEST_PDF_DIR"), mark_);
    ASSERT_FALSE(pdf.empty()) << "no PDF named after " << mark_;
    const std::string printed = PdfText(pdf);
    DeleteFileA(WindowsPath(pdf).c_str());
    EXPECT_NE(printed.find("EAccessViolation"), std::string::npos) << printed;
    EXPECT_NE(printed.find("R&D tools"), std::string::npos) << "an ampersand is text, not a prefix\n" << printed;
}

TEST_F(PrintDialog, NoDialogUnderTheLoaderLock)
{
    int asked = 0;
    const TDialogAnswerer answerer;
    PrintBugReport(u"text", nullptr, settings_, [&] { return ++asked, true; });
    EXPECT_EQ(asked, 1);
    Sleep(200);
    EXPECT_EQ(answerer.Answered(), 0);
}

} // namespace
