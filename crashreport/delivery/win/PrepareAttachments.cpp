#include "delivery/win/PrepareAttachments.h"

#include "delivery/AttachmentGroups.h"
#include "engine/win/LibraryFolders.h"
#include "settings/win/ZeSettings.h"
#include "win32/Win32ZipFiles.h"

namespace {

std::wstring Wide(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

bool FileExists(const UnicodeString& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TIntfPtr<IProgressAlert> ShowAlert(IZESettings& settings, bool hasAttachments, bool inThread, bool automatic,
                                   HWND parent)
{
    TIntfPtr<IProgressAlert> alert = NewProgressAlert(Wide(settings.SendBoxTitle()), CrashLibraryModule(),
                                                      L"ZEISEND32");
    if (!alert)
        return nullptr;
    const TSendAlertTexts texts{settings.PrepAttMsg(), settings.MxLookMsg(),  settings.ConnMsg(),
                                settings.SendMailMsg(), settings.SendAttMsg(), settings.SendFinalMsg()};
    for (const TAlertArea& area : SendAlertAreas(RoutesOf(settings), texts, hasAttachments))
        alert->AddArea(Wide(area.text), area.weight);
    if (!automatic || settings.AutoSendBox())
        alert->Show(inThread ? nullptr : parent, true);
    return alert;
}

} // namespace

TDeliveryRoutes RoutesOf(IZESettings& settings)
{
    TDeliveryRoutes routes;
    routes.fogBugz = settings.FogBugz();
    routes.bugZilla = settings.BugZilla();
    routes.mantis = settings.Mantis();
    routes.uploadViaHttp = settings.UploadViaHttp();
    routes.mailAsSmtpServer = settings.MailAsSmtpServer();
    routes.mailAsSmtpClient = settings.MailAsSmtpClient();
    routes.mailViaMapi = settings.MailViaMapi();
    routes.mailViaMailto = settings.MailViaMailto();
    return routes;
}

TIntfPtr<IProgressAlert> PrepareAttachments(IZESettings& settings, const std::vector<TAttachment>& entries,
                                            bool inThread, bool automatic, HWND parent, TAttachmentTriples& out)
{
    TIntfPtr<IProgressAlert> alert = ShowAlert(settings, !entries.empty(), inThread, automatic, parent);
    out = {};
    out.carried.assign(entries.size(), false);
    std::vector<TAttachment> present;
    std::vector<size_t> presentIndex;
    for (size_t index = 0; index < entries.size(); ++index) {
        TAttachment entry = entries[index];
        entry.file = ExpandProgramPathText(entry.file);
        if (!FileExists(entry.file))
            continue;
        present.push_back(entry);
        presentIndex.push_back(index);
    }
    const UnicodeString temporary = GetLibraryTempFolder();
    for (const TOutgoingAttachment& item : GroupAttachments(present)) {
        if (item.zipName.empty()) {
            out.files.push_back(item.files.front());
            out.sendAsNames.push_back(item.sendAsNames.front());
            out.fieldNames.push_back(item.fieldName);
        } else {
            const UnicodeString archive = temporary + item.zipName;
            if (!WriteZipArchive(archive, item.files, item.sendAsNames))
                continue;
            out.files.push_back(archive);
            out.sendAsNames.push_back(item.zipName);
            out.fieldNames.push_back(item.zipName);
        }
        for (const size_t source : item.sources)
            out.carried[presentIndex[source]] = true;
    }
    return alert;
}
