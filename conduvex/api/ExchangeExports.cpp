// Request and answer in one step: the exchange holds the link's lock throughout, keeps the
// host's notifications away from the reply and leaves the answer in the read-ahead buffer,
// where ciRead or ciReadVant97 takes it.
#include "api/ApiFrame.h"
#include "HostMemory.h"
#include "serial/SerialPortCoreInterface.h"
#include "links/SuspendedNotifications.h"
#include "ILinkArrival.h"
#include "Ticks.h"
#include "Vantel97.h"
#include "conduvex.h"

#include <cmath>
#include <limits>

namespace {

enum class TAnswerEnd {
    QuietGap,        // only when nothing more arrives
    GoodVantelFrame, // also as soon as the answer so far is one good frame
};

struct TExchangeRule {
    TAnswerEnd end;
};

constexpr TExchangeRule kPlainExchange{TAnswerEnd::QuietGap};
constexpr TExchangeRule kVantelExchange{TAnswerEnd::GoodVantelFrame};

// A link that cannot wait for its arrivals is looked at in steps of this length.
constexpr DWORD kPollStepMs = 1;

// The first wait covers the request's own transmission plus this many characters.
constexpr double kRequestSlackChars = 10;
// After each arrival the answer is complete once the line stayed quiet this long.
constexpr double kQuietGapChars = 10;
constexpr uint32_t kQuietGapExtraMs = 50;

constexpr uint32_t kLongestSpan = std::numeric_limits<uint32_t>::max();

// Milliseconds as a tick span, rounded up; saturates instead of wrapping.
uint32_t CeilSpan(double ms)
{
    if (!(ms > 0))
        return 0;
    const double rounded = std::ceil(ms);
    return rounded >= static_cast<double>(kLongestSpan) ? kLongestSpan
                                                        : static_cast<uint32_t>(rounded);
}

uint32_t SaturatingAdd(uint32_t a, uint32_t b)
{
    return a > kLongestSpan - b ? kLongestSpan : a + b;
}

std::string RequestBytes(const uint8_t* request, int32_t length)
{
    if (length < 0 || (length > 0 && !request))
        RaiseCode(kErrInvalidParameters);
    return HostBytes(request, length);
}

// Sleeps until new bytes arrived on the link or the deadline passed.
void SleepUntilArrival(ILinkArrival* arrival, const TTickDeadline& deadline)
{
    if (arrival)
        arrival->AwaitArrival(deadline.UntilPassed(GetTickCount()));
    else
        Sleep(kPollStepMs);
}

// Pulls arrivals into the read-ahead buffer until the rule says the answer is complete;
// gives the answer so far (the whole buffer, which was empty when the request went out).
std::string AwaitAnswer(ICommunicationInterface& link, ILinkArrival* arrival, uint32_t firstSpan,
                        const TExchangeRule& rule)
{
    const uint32_t quietSpan =
        SaturatingAdd(CeilSpan(link.GetCharTime() * kQuietGapChars), kQuietGapExtraMs);
    TTickDeadline deadline(GetTickCount(), firstSpan);
    std::string answer;
    for (;;) {
        SleepUntilArrival(arrival, deadline);
        // Pulls whatever arrived: one look at the link instead of two.
        std::string sofar = link.PeekBuffered(-1);
        if (sofar != answer) {
            answer = std::move(sofar);
            deadline.Restart(GetTickCount(), quietSpan);
        }
        if (deadline.Passed(GetTickCount()))
            return answer;
        if (rule.end == TAnswerEnd::GoodVantelFrame && CheckVantel97(answer) == kVantelCheckOk)
            return answer;
    }
}

// The request is made only once the handle is known to be good.
template <class MakeRequest>
uint32_t RunExchange(uint32_t handle, int32_t* answerLength, uint32_t timeoutMs,
                     const TExchangeRule& rule, MakeRequest&& makeRequest)
{
    return CiCall([&]() -> uint32_t {
        WriteHost(Required(answerLength), 0);
        const TIntfPtr<ICommunicationInterface> link = RequireLink(handle);
        const std::string request = makeRequest();
        const TInterfaceLockScope exchangeLock(*link);
        if (!link->IsActive())
            return SetError(kErrNotOpened);
        const TSuspendedNotifications quiet(GlobalHandles(), handle);
        const auto arrival = QueryAs<ILinkArrival>(link.Get(), IID_ILinkArrival);
        const TAnswerWaitScope answerWait(arrival.Get());
        link->ReadBuffered(-1);
        link->BeforeExchange();
        link->BeforeExchange2();
        if (!answerWait.ReceiveReady())
            Sleep(0);
        if (!request.empty())
            link->Write(request);
        const uint32_t firstSpan = SaturatingAdd(
            timeoutMs, CeilSpan((static_cast<double>(request.size()) + kRequestSlackChars) *
                                link->GetCharTime()));
        const std::string answer = AwaitAnswer(*link, arrival.Get(), firstSpan, rule);
        WriteHost(answerLength, rule.end == TAnswerEnd::QuietGap
                                    ? link->BufferedLength(false)
                                    : static_cast<int32_t>(Vantel97FrameLength(answer)));
        return 0;
    });
}

} // namespace

extern "C" uint32_t CI_CALL ciSndGet(CI_HANDLE handle, const uint8_t* request,
                                    int32_t requestLength, int32_t* answerLength,
                                    uint32_t timeoutMs)
{
    return RunExchange(handle, answerLength, timeoutMs, kPlainExchange,
                       [&] { return RequestBytes(request, requestLength); });
}

extern "C" uint32_t CI_CALL ciSndGetVantel97(CI_HANDLE handle, const uint8_t* request,
                                            int32_t requestLength, int32_t* answerLength,
                                            uint32_t timeoutMs)
{
    return RunExchange(handle, answerLength, timeoutMs, kVantelExchange,
                       [&] { return RequestBytes(request, requestLength); });
}

extern "C" uint32_t CI_CALL ciSndGetVant97(CI_HANDLE handle, uint8_t address, uint8_t signature,
                                          uint8_t instruction, const uint8_t* data,
                                          int32_t dataLength, int32_t* answerLength,
                                          uint32_t timeoutMs)
{
    return RunExchange(handle, answerLength, timeoutMs, kVantelExchange, [&] {
        const std::string payload = data ? RequestBytes(data, dataLength) : std::string();
        return BuildVantel97(address, signature, instruction, payload);
    });
}
