#include "ThreadSection.h"

#include "HexText.h"
#include "text/NumberFormat.h"

UnicodeString ThreadSectionTitle(const TThreadTitleFacts& facts)
{
    UnicodeString title = facts.name.empty() ? UnicodeString(u"thread") : facts.name;
    title += u" ($" + HexDigits(facts.threadId, 1) + u")";
    if (facts.innerLevel > 0)
        title += u", inner exception level " + IntToStrW(facts.innerLevel);
    title += u':';
    if (facts.suspended)
        title += u" <suspended>";
    if (facts.priority != 0)
        title += u" <priority:" + IntToStrW(facts.priority) + u">";
    return title;
}

UnicodeString ThreadSectionBody(const UnicodeString& stackText, const TThreadBodyFacts& facts)
{
    UnicodeString body = stackText;
    if (!facts.creatorName.empty() && !body.starts_with(u">")) {
        const size_t lastLine = body.rfind(u"\r\n");
        const size_t at = lastLine == UnicodeString::npos ? 0 : lastLine + 2;
        body.insert(at, u">> created by " + facts.creatorName + u" at:\r\n");
    }
    if (facts.innerLevel > 0) {
        const UnicodeString line =
            u">> " + facts.innerClass + u", " + facts.innerMessage;
        body = body.empty() ? line : line + u"\r\n" + body;
    }
    return body;
}

UnicodeString StackNotAccessibleText(const UnicodeString& exceptionLocation)
{
    if (exceptionLocation.empty())
        return kStackNotAccessible;
    return UnicodeString(kStackNotAccessible) + u", exception location: \r\n" + exceptionLocation;
}
