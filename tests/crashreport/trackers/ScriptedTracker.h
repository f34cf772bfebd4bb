#pragma once
// A tracker server played by the test: every request is recorded and answered by the test's
// function (no answer: the request fails).
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

    bool Request(const char* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                 const AnsiString& body, AnsiString& answer) override
    {
        seen.push_back({verb, path, headerLines, body});
        const std::optional<std::string> reply = answer_(seen.back());
        answer = reply.value_or("");
        return reply.has_value();
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
};
