// Tracker answers: the XML reader alone, then whole uploads against a server whose answers
// are the input's pieces (split at 0x01), one per request.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "trackers/BugZillaUpload.h"
#include "trackers/FogBugzUpload.h"
#include "trackers/MantisUpload.h"
#include "trackers/SoapCall.h"
#include "trackers/XmlAnswer.h"
#include "trackers/XmlRpcCall.h"

namespace {

class TFuzzedServer : public TTrackerExchange {
public:
    explicit TFuzzedServer(std::string_view answers) : answers_(answers) {}

    bool Request(const char*, const AnsiString&, const std::vector<AnsiString>&, const TTrackerBody&,
                 AnsiString& answer) override
    {
        if (answers_.empty())
            return false;
        const size_t end = answers_.find('\x01');
        answer = answers_.substr(0, end);
        answers_.remove_prefix(end == std::string_view::npos ? answers_.size() : end + 1);
        return true;
    }

    bool FileHolds(size_t, std::string_view) override { return false; }

private:
    std::string_view answers_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const auto root = ParseXmlAnswer(input)) {
        root->FindAll("item");
        root->Find("return");
    }
    const TXmlRpcAnswer answer = ReadXmlRpcAnswer(input);
    if (answer.value) {
        for (const TXmlElement* item : XmlRpcItems(XmlRpcMember(*answer.value, "products")))
            XmlRpcScalar(XmlRpcMember(*item, "name"));
    }
    ReadSoapReturn(input);

    TTrackerCase report;
    report.project = u"P";
    report.area = u"A";
    report.version = u"1";
    const std::vector<TTrackerFile> files = {{u"a.txt", 1}};
    TFuzzedServer fogBugz(input);
    UploadToFogBugz(fogBugz, "/", report, files);
    TFuzzedServer bugZilla(input);
    UploadToBugZilla(bugZilla, "/", report, files);
    TFuzzedServer mantis(input);
    UploadToMantis(mantis, "/", report, files);
    return 0;
}
