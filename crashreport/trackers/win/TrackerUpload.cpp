#include "trackers/win/TrackerUpload.h"

#include <string>

#include "net/HttpServerText.h"
#include "trackers/BugZillaUpload.h"
#include "trackers/FogBugzUpload.h"
#include "trackers/MantisUpload.h"
#include "win32/WinFile.h"

namespace {

constexpr uint64_t kPrepareWeight = 500;
constexpr uint64_t kConnectWeight = 5000;
constexpr uint64_t kFinalWeight = 1000;
constexpr uint64_t kBytesPerWeight = 16;
constexpr DWORD kReadBlock = 1 << 14;

std::wstring Widen(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

// The whole content, or false when the file cannot be opened or read.
bool ReadWholeFile(const UnicodeString& path, AnsiString& content)
{
    const TWinFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    content.clear();
    char block[kReadBlock];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), block, kReadBlock, &read, nullptr))
            return false;
        if (read == 0)
            return true;
        content.append(block, read);
    }
}

std::vector<TTrackerFile> ReadFiles(const std::vector<TUploadFile>& files)
{
    std::vector<TTrackerFile> read;
    for (const TUploadFile& file : files) {
        TTrackerFile tracked{file.sendAsName, {}};
        if (ReadWholeFile(file.path, tracked.content))
            read.push_back(std::move(tracked));
    }
    return read;
}

void PlanProgress(IProgressAlert* alert, const TUploadProgressTexts& texts, const std::vector<TTrackerFile>& files)
{
    if (!alert)
        return;
    alert->ClearAreas();
    alert->AddArea(Widen(texts.prepareAttachments), kPrepareWeight);
    alert->AddArea(Widen(texts.connect), kConnectWeight);
    for (const TTrackerFile& file : files)
        alert->AddArea(Widen(texts.sendAttachment), file.content.size() / kBytesPerWeight);
    alert->AddArea(Widen(texts.sendFinal), kFinalWeight);
    alert->NextArea();
}

class TWinHttpTrackerExchange : public TTrackerExchange {
public:
    TWinHttpTrackerExchange(TWinHttp& http, IProgressAlert* alert) : http_(http), alert_(alert) {}

    bool Request(const char* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                 const AnsiString& body, AnsiString& answer) override
    {
        const std::string verbText(verb);
        const bool answered = http_.Request(std::wstring(verbText.begin(), verbText.end()).c_str(), path, headerLines,
                                            body, answer);
        if (alert_)
            alert_->NextArea();
        return answered;
    }

private:
    TWinHttp& http_;
    IProgressAlert* alert_;
};

} // namespace

bool UploadToTracker(TTrackerKind kind, TWinHttp& http, const AnsiString& server, const TTrackerCase& report,
                     const std::vector<TUploadFile>& files, IProgressAlert* alert, const TUploadProgressTexts& texts)
{
    const std::vector<TTrackerFile> read = ReadFiles(files);
    PlanProgress(alert, texts, read);
    TWinHttpTrackerExchange exchange(http, alert);
    const std::string path = ParseHttpServerText(server).path;
    switch (kind) {
    case TTrackerKind::FogBugz: return UploadToFogBugz(exchange, path, report, read);
    case TTrackerKind::BugZilla: return UploadToBugZilla(exchange, path, report, read);
    case TTrackerKind::Mantis: return UploadToMantis(exchange, path, report, read);
    }
    return false;
}
