#pragma once
// A tracker server played by the test: every request is recorded and answered by the test's
// function (no answer: the request fails).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "crypto/Base64.h"
#include "trackers/TrackerExchange.h"

struct TSeenRequest {
    std::string verb;
    std::string path;
    std::vector<std::string> headers;
    std::string body;
};

class TScriptedTracker : public TTrackerExchange {
public:
    using TAnswer = std::function<std::optional<std::string>(const TSeenRequest&)>;

    explicit TScriptedTracker(TAnswer answer) : answer_(std::move(answer)) {}

    // The attachments of an upload, their contents kept for the bodies that stream them.
    std::vector<TTrackerFile> Files(const std::vector<std::pair<std::u16string, std::string>>& files)
    {
        std::vector<TTrackerFile> tracked;
        for (const auto& [name, content] : files) {
            tracked.push_back({name, content.size()});
            contents_.push_back(content);
        }
        return tracked;
    }

    bool Request(const char* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                 const TTrackerBody& body, AnsiString& answer) override
    {
        std::string text;
        for (const TTrackerBodyPart& part : body.Parts()) {
            if (!part.isFile)
                text += part.text;
            else
                text += part.base64 ? EncodeBase64Str(contents_.at(part.file)) : contents_.at(part.file);
        }
        seen.push_back({verb, path, headerLines, text});
        const std::optional<std::string> reply = answer_(seen.back());
        answer = reply.value_or("");
        return reply.has_value();
    }

    bool FileHolds(size_t file, std::string_view text) override
    {
        return contents_.at(file).find(text) != std::string::npos;
    }

    // The first request whose path or body holds `text`; nullptr when none does.
    const TSeenRequest* Holding(const std::string& text) const
    {
        for (const TSeenRequest& request : seen) {
            if (request.path.find(text) != std::string::npos || request.body.find(text) != std::string::npos)
                return &request;
        }
        return nullptr;
    }

    std::vector<TSeenRequest> seen;

private:
    TAnswer answer_;
    std::vector<std::string> contents_;
};
