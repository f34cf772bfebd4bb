#include "delivery/DeliveryRoutes.h"

#include "net/MailText.h"
#include "text/CaseFolding.h"

bool MayDeleteBugReportFile(TDeliveredBy route, bool attachedByCopy, bool copyWasSent, bool delBugRepFile)
{
    const bool carried = route == TDeliveredBy::Upload || route == TDeliveredBy::Smtp;
    return carried && attachedByCopy && copyWasSent && delBugRepFile;
}

UnicodeString DefaultSender(const UnicodeString& mailFrom, const UnicodeString& mailAddr)
{
    if (!mailFrom.empty())
        return mailFrom;
    const std::vector<UnicodeString> recipients = SplitRecipients(mailAddr);
    if (recipients.empty())
        return {};
    return u"zelExcept <" + MailAddressOf(recipients.front()) + u">";
}

std::vector<TAlertArea> SendAlertAreas(const TDeliveryRoutes& routes, const TSendAlertTexts& texts,
                                       bool hasAttachments)
{
    std::vector<TAlertArea> areas{{texts.prepareAttachments}};
    if (!routes.AnyNetwork())
        return areas;
    if (routes.mailAsSmtpServer)
        areas.push_back({texts.lookUpExchanger});
    areas.push_back({texts.connect});
    if (routes.AnySmtp())
        areas.push_back({texts.sendMail});
    if (hasAttachments)
        areas.push_back({texts.sendAttachments});
    areas.push_back({texts.sendFinal});
    return areas;
}

void SetFieldValue(std::vector<TFormField>& fields, const UnicodeString& name, const UnicodeString& value)
{
    if (value.empty())
        return;
    for (TFormField& field : fields) {
        if (SameTextW(field.name, name)) {
            field.value = value;
            return;
        }
    }
    fields.push_back({name, value});
}
