#include "delivery/win/SendBugReportEx.h"

#include <process.h>

#include <exception>
#include <optional>

#include "delivery/ReportTextOps.h"
#include "delivery/win/PrepareAttachments.h"
#include "delivery/win/SaveBugReport.h"
#include "engine/win/LibraryFolders.h"
#include "http/HttpProcessValues.h"
#include "mail/MailProcessValues.h"
#include "mail/SmtpMail.h"
#include "mapi/win/Connectivity.h"
#include "mapi/win/Mailto.h"
#include "mapi/win/MapiMail.h"
#include "model/win/ExceptionHooks.h"
#include "net/MailText.h"
#include "settings/FieldsList.h"
#include "settings/win/DualText.h"
#include "settings/win/SettingPlaceholders.h"
#include "text/FilePaths.h"
#include "trackers/win/TrackerUpload.h"

namespace {

std::wstring Wide(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

bool LoaderLocked()
{
    const auto& probe = ExceptionHooks().isLoaderLocked;
    return probe && probe(250);
}

TMailClientHooks MailClientHooks()
{
    return {[] { return LoaderLocked(); }, DeliveryEnvironment().pauseWatchdog};
}

void LowerOutOfTopmost(HWND window)
{
    if (window)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool FileExists(const UnicodeString& path)
{
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DeleteIfThere(const UnicodeString& path) { DeleteFileW(Wide(path).c_str()); }

UnicodeString HexTicks()
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    UnicodeString text;
    for (uint32_t ticks = GetTickCount(); ticks != 0 || text.empty(); ticks >>= 4)
        text.insert(text.begin(), kDigits[ticks & 15]);
    return text;
}

// One send in the calling thread, step by step.
class TDeliveryRun {
public:
    explicit TDeliveryRun(const TSendRequest& request)
        : request_(request), settings_(request.target->Settings()), routes_(RoutesOf(settings_))
    {
    }

    bool Run()
    {
        ReadMailTexts();
        if (routes_.NeedsAttachments())
            CollectAttachments();
        fields_ = Fields();
        if (routes_.AnyUpload())
            TryUpload();
        if (deliveredBy_ == TDeliveredBy::Nothing && routes_.AnySmtp())
            TrySmtp();
        if (alert_)
            alert_->Close();
        if (!copy_.empty() && !(deliveredBy_ == TDeliveredBy::Nothing && routes_.mailViaMapi))
            DeleteIfThere(copy_);
        if (deliveredBy_ == TDeliveredBy::Nothing)
            TryMailClients();
        if (deliveredBy_ == TDeliveredBy::Nothing)
            return false;
        request_.target->MarkSent();
        if (MayDeleteBugReportFile(deliveredBy_, attachedByCopy_, copySent_, delBugRepFile_)) {
            SetFileAttributesW(Wide(bugRepPath_).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(Wide(bugRepPath_).c_str());
        }
        return true;
    }

private:
    void ReadMailTexts()
    {
        mailAddr_ = settings_.MailAddr();
        sender_ = DefaultSender(settings_.MailFrom(), mailAddr_);
        const std::u16string_view report = request_.report;
        TSettingPlaceholders values(nullptr, {GetReportHeaderValue(report, "exception class"),
                                              GetReportHeaderValue(report, "exception message"), request_.report,
                                              GetReportSection(report, "error details")});
        subject_ = ExpandPlaceholders(settings_.MailSubj(), values);
        body_ = ExpandPlaceholders(settings_.MailBody(), values);
        title_ = ExpandPlaceholders(settings_.BugTrTitle(), values);
        description_ = ExpandPlaceholders(settings_.BugTrDescr(), values);
    }

    // Where the bug-report file is: the program's folder, else the user's application data.
    UnicodeString BugReportPath()
    {
        const UnicodeString configured = settings_.BugRepFile();
        UnicodeString path = ExpandProgramPathText(configured);
        if (!FileExists(path) && configured.find(u'\\') == UnicodeString::npos)
            path = UserAppDataPath(configured);
        return path;
    }

    bool SaveCurrentReport(const UnicodeString& file)
    {
        return SaveBugReport(file, request_.report, nullptr, true, settings_);
    }

    void AttachBugReport(std::vector<TAttachment>& entries)
    {
        bugRepPath_ = BugReportPath();
        const UnicodeString temporary = GetLibraryTempFolder();
        copy_ = temporary + ExtractFileNameW(bugRepPath_);
        bool addReport = true;
        if (settings_.AttachBugRepFile() &&
            CopyFileW(Wide(bugRepPath_).c_str(), Wide(copy_).c_str(), FALSE)) {
            attachedByCopy_ = true;
            delBugRepFile_ = settings_.DelBugRepFile();
            addReport = !request_.target->ReportSaved();
        } else {
            DeleteIfThere(copy_);
        }
        if (addReport && !SaveCurrentReport(copy_)) {
            copy_ = temporary + HexTicks() + ExtractFileNameW(bugRepPath_);
            if (!SaveCurrentReport(copy_))
                DeleteIfThere(copy_);
        }
        if (FileExists(copy_)) {
            copyEntry_ = entries.size();
            entries.push_back({copy_, settings_.BugRepSendAs(), settings_.BugRepZip(), u"BugReport"});
        } else {
            copy_.clear();
        }
    }

    void AttachScreenShot(std::vector<TAttachment>& entries)
    {
        const UnicodeString file = GetLibraryTempFolder() + u"screenShot.png";
        DeleteIfThere(file);
        if (request_.screenShot->SavePng(Wide(file), static_cast<uint8_t>(settings_.ScrShotDepth())))
            entries.push_back({file, settings_.ScrShotSendAs(), settings_.ScrShotZip(), u"ScreenShot"});
    }

    void CollectAttachments()
    {
        std::vector<TAttachment> entries;
        if (settings_.AttachBugRep())
            AttachBugReport(entries);
        if (request_.screenShot)
            AttachScreenShot(entries);
        const std::shared_ptr<TIZEAttachments> configured = settings_.Attachments();
        configured->Lock();
        for (int index = 0; index < configured->Count(); ++index) {
            if (const std::optional<TAttachment> entry = configured->Item(index))
                entries.push_back(*entry);
        }
        configured->Unlock();
        alert_ = PrepareAttachments(settings_, entries, request_.inThread, request_.automatic, request_.parent,
                                    attachments_);
        copySent_ = copyEntry_ && attachments_.carried[*copyEntry_];
    }

    std::vector<TFormField> Fields()
    {
        std::vector<TFormField> fields;
        const std::shared_ptr<TIZEFields> configured = settings_.Fields()->Copy();
        for (int index = 0; index < configured->Count(); ++index) {
            const UnicodeString name = configured->Name(index);
            fields.push_back({name, configured->Value(name)});
        }
        SetFieldValue(fields, u"MailFrom", sender_);
        SetFieldValue(fields, u"MailSubject", subject_);
        SetFieldValue(fields, u"MailBody", body_);
        SetFieldValue(fields, u"MailAddr", mailAddr_);
        return fields;
    }

    bool Reachable() { return TestConnectivity(!request_.automatic, MailClientHooks()); }

    std::vector<TUploadFile> UploadFiles() const
    {
        std::vector<TUploadFile> files;
        for (size_t index = 0; index < attachments_.files.size(); ++index)
            files.push_back({attachments_.files[index], attachments_.sendAsNames[index], attachments_.fieldNames[index]});
        return files;
    }

    void TryUpload()
    {
        UnicodeString server = settings_.HttpServer();
        if (server.empty() || !Reachable())
            return;
        if (routes_.AnyTracker() && server.back() == u'/')
            server.pop_back();
        THttpServer http;
        http.server = WideToSystemAnsi(server);
        http.ssl = settings_.HttpSsl();
        http.port = static_cast<uint16_t>(settings_.HttpPort());
        http.account = settings_.HttpAccount();
        http.password = settings_.HttpPassword();
        ApplyHttpProcessValues(http);
        const TUploadProgressTexts texts{settings_.PrepAttMsg(), settings_.ConnMsg(), settings_.SendAttMsg(),
                                         settings_.SendFinalMsg()};
        TWinHttp client(http, alert_.Get(), texts);
        bool uploaded = false;
        if (routes_.AnyTracker()) {
            const TTrackerKind kind = routes_.fogBugz    ? TTrackerKind::FogBugz
                                      : routes_.bugZilla ? TTrackerKind::BugZilla
                                                         : TTrackerKind::Mantis;
            uploaded = UploadToTracker(kind, client, http.server, TrackerCase(), UploadFiles(), alert_.Get(), texts);
        } else {
            std::string response;
            uploaded = client.UploadForm(sender_, fields_, UploadFiles(), mailValues_.alwaysUtf8, response);
        }
        if (uploaded)
            deliveredBy_ = TDeliveredBy::Upload;
    }

    TTrackerCase TrackerCase() const
    {
        const std::u16string_view report = request_.report;
        TTrackerCase item;
        item.account = settings_.BugTrAccount();
        item.password = settings_.BugTrPassword();
        item.title = title_;
        item.description = description_;
        item.project = settings_.BugTrProject();
        item.area = settings_.BugTrArea();
        item.assignee = settings_.BugTrAssignTo();
        item.version = GetReportHeaderValue(report, "version");
        item.operatingSystem = GetReportHeaderValue(report, "operating system");
        item.computerName = GetReportHeaderValue(report, "computer name");
        item.callstackCrc = GetReportHeaderValue(report, "callstack crc");
        item.sender = sender_;
        item.fields = fields_;
        item.alwaysUtf8 = mailValues_.alwaysUtf8;
        return item;
    }

    void TrySmtp()
    {
        TSmtpServer server;
        server.timeoutMs = mailValues_.timeoutMs;
        server.heloHost = mailValues_.heloHost;
        if (routes_.mailAsSmtpServer) {
            if (mailAddr_.empty() || !Reachable())
                return;
            server.port = 25;
        } else {
            const UnicodeString host = settings_.SmtpServer();
            if (mailAddr_.empty() || host.empty() || !Reachable())
                return;
            server.host = WideToSystemAnsi(host);
            server.port = static_cast<uint16_t>(settings_.SmtpPort());
            server.ssl = settings_.SmtpSsl();
            server.tls = settings_.SmtpTls();
            server.account = settings_.SmtpAccount();
            server.password = settings_.SmtpPassword();
        }
        TSmtpMail mail;
        mail.sender = sender_;
        mail.recipients = mailAddr_;
        mail.replyTo = sender_;
        mail.subject = subject_;
        mail.body = body_;
        mail.files = attachments_.files;
        mail.sendAsNames = attachments_.sendAsNames;
        mail.alwaysUtf8 = mailValues_.alwaysUtf8;
        mail.alert = alert_.Get();
        mail.progressTexts = {settings_.PrepAttMsg(), settings_.MxLookMsg(),  settings_.ConnMsg(),
                              settings_.SendMailMsg(), settings_.SendAttMsg(), settings_.SendFinalMsg()};
        if (SendSmtpMail(mail, server).sent)
            deliveredBy_ = TDeliveredBy::Smtp;
    }

    void TryMailClients()
    {
        bool cancelled = false;
        if (routes_.mailViaMapi) {
            TMapiMail mail{mailAddr_, subject_, body_, {}};
            for (size_t index = 0; index < attachments_.files.size(); ++index)
                mail.files.push_back({attachments_.files[index], attachments_.sendAsNames[index]});
            const TMapiResult result = SendViaMapi(mail, request_.parent, request_.automatic, MailClientHooks(),
                                                   DeliveryEnvironment().mapiLibrary);
            if (result == TMapiResult::Sent)
                deliveredBy_ = TDeliveredBy::Mapi;
            cancelled = result == TMapiResult::Cancelled;
        }
        if (deliveredBy_ == TDeliveredBy::Nothing && !cancelled && routes_.mailViaMailto && !request_.automatic) {
            LowerOutOfTopmost(request_.parent);
            if (SendViaMailto(mailAddr_, subject_, body_))
                deliveredBy_ = TDeliveredBy::Mailto;
        }
        if (deliveredBy_ == TDeliveredBy::Nothing && !cancelled && !request_.automatic) {
            if (const auto& show = DeliveryEnvironment().showFailure)
                show(request_.parent, settings_.SendFailMsg());
        }
    }

    const TSendRequest& request_;
    IZESettings& settings_;
    const TDeliveryRoutes routes_;
    const TMailProcessValues mailValues_ = MailProcessValues();
    UnicodeString mailAddr_;
    UnicodeString sender_;
    UnicodeString subject_;
    UnicodeString body_;
    UnicodeString title_;
    UnicodeString description_;
    std::vector<TFormField> fields_;
    TIntfPtr<IProgressAlert> alert_;
    TAttachmentTriples attachments_;
    UnicodeString bugRepPath_;
    UnicodeString copy_;
    std::optional<size_t> copyEntry_;
    bool attachedByCopy_ = false;
    bool delBugRepFile_ = false;
    bool copySent_ = false;
    TDeliveredBy deliveredBy_ = TDeliveredBy::Nothing;
};

unsigned __stdcall SendThreadProc(void* parameter)
{
    const std::unique_ptr<TSendRequest> request(static_cast<TSendRequest*>(parameter));
    try {
        request->parent = nullptr;
        request->inThread = true;
        SendBugReportEx(*request);
    } catch (...) {
        // A thread entry lets nothing escape; the send simply did not happen.
    }
    return 0;
}

bool StartSendThread(const TSendRequest& request, HANDLE* thread)
{
    auto copy = std::make_unique<TSendRequest>(request);
    const uintptr_t handle = _beginthreadex(nullptr, 0, &SendThreadProc, copy.get(), 0, nullptr);
    if (handle == 0)
        return false;
    copy.release();
    if (thread)
        *thread = reinterpret_cast<HANDLE>(handle);
    else
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}

void ShowFailureBox(HWND parent, const UnicodeString& text)
{
    MessageBoxW(parent, Wide(text).c_str(), nullptr, MB_ICONERROR);
}

} // namespace

bool SendBugReportEx(const TSendRequest& request, HANDLE* thread)
{
    if (thread)
        *thread = nullptr;
    if (request.report.empty() || !request.target)
        return false;
    if (request.background && !request.inThread && !LoaderLocked()) {
        LowerOutOfTopmost(request.parent);
        if (StartSendThread(request, thread))
            return true;
    }
    return TDeliveryRun(request).Run();
}

TDeliveryEnvironment& DeliveryEnvironment()
{
    static TDeliveryEnvironment environment{L"mapi32.dll", ShowFailureBox, {}};
    return environment;
}
