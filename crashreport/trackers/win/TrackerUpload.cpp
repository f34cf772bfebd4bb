#include "trackers/win/TrackerUpload.h"

#include <memory>
#include <string>

#include "http/FileHolds.h"
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
std::wstring Widen(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

// The attachments that can be opened, with their sizes; the others are left out.
class TOpenedFiles {
public:
    explicit TOpenedFiles(const std::vector<TUploadFile>& files)
    {
        for (const TUploadFile& file : files) {
            auto opened = std::make_unique<TWinFile>(CreateFileW(Widen(file.path).c_str(), GENERIC_READ,
                                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER size{};
            if (!opened->IsOpen() || !GetFileSizeEx(opened->Get(), &size))
                continue;
            handles_.push_back(std::move(opened));
            tracked_.push_back({file.sendAsName, static_cast<uint64_t>(size.QuadPart)});
        }
    }

    const std::vector<TTrackerFile>& Tracked() const { return tracked_; }

    std::vector<TBodyPiece> Pieces(const TTrackerBody& body) const
    {
        std::vector<TBodyPiece> pieces;
        for (const TTrackerBodyPart& part : body.Parts()) {
            if (part.isFile)
                pieces.push_back({{}, handles_.at(part.file)->Get(), tracked_.at(part.file).size, part.base64});
            else
                pieces.push_back({part.text});
        }
        return pieces;
    }

    bool Holds(size_t file, std::string_view text) const { return FileHolds(handles_.at(file)->Get(), text); }

private:
    std::vector<std::unique_ptr<TWinFile>> handles_;
    std::vector<TTrackerFile> tracked_;
};

void PlanProgress(IProgressAlert* alert, const TUploadProgressTexts& texts, const std::vector<TTrackerFile>& files)
{
    if (!alert)
        return;
    alert->ClearAreas();
    alert->AddArea(Widen(texts.prepareAttachments), kPrepareWeight);
    alert->AddArea(Widen(texts.connect), kConnectWeight);
    for (const TTrackerFile& file : files)
        alert->AddArea(Widen(texts.sendAttachment), file.size / kBytesPerWeight);
    alert->AddArea(Widen(texts.sendFinal), kFinalWeight);
    alert->NextArea();
}

class TWinHttpTrackerExchange : public TTrackerExchange {
public:
    TWinHttpTrackerExchange(TWinHttp& http, const TOpenedFiles& files, IProgressAlert* alert)
        : http_(http), files_(files), alert_(alert)
    {
    }

    bool Request(const char* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                 const TTrackerBody& body, AnsiString& answer) override
    {
        const std::string verbText(verb);
        const bool answered = http_.Request(std::wstring(verbText.begin(), verbText.end()).c_str(), path, headerLines,
                                            files_.Pieces(body), answer);
        if (alert_)
            alert_->NextArea();
        return answered;
    }

    bool FileHolds(size_t file, std::string_view text) override { return files_.Holds(file, text); }

private:
    TWinHttp& http_;
    const TOpenedFiles& files_;
    IProgressAlert* alert_;
};

} // namespace

bool UploadToTracker(TTrackerKind kind, TWinHttp& http, const AnsiString& server, const TTrackerCase& report,
                     const std::vector<TUploadFile>& files, IProgressAlert* alert, const TUploadProgressTexts& texts)
{
    const TOpenedFiles opened(files);
    const std::vector<TTrackerFile>& read = opened.Tracked();
    PlanProgress(alert, texts, read);
    TWinHttpTrackerExchange exchange(http, opened, alert);
    const std::string path = ParseHttpServerText(server).path;
    switch (kind) {
    case TTrackerKind::FogBugz: return UploadToFogBugz(exchange, path, report, read);
    case TTrackerKind::BugZilla: return UploadToBugZilla(exchange, path, report, read);
    case TTrackerKind::Mantis: return UploadToMantis(exchange, path, report, read);
    }
    return false;
}
