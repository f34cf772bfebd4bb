#include "binding/ConduvexBinding.h"

#include "ConduvexError.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr const char* kCannotLoad = "Can't load library Conduvex.dll.";
constexpr const char* kTerminateQuestion = "Terminate aplication?";
constexpr const char* kBindingCaption = "Error in loading library";

// A binding failure; only this kind is turned into the kept message.
class EBindingError : public EConduvexError {
public:
    using EConduvexError::EConduvexError;
};

std::string BytesOf(const std::vector<char>& buffer, int32_t length)
{
    if (length <= 0)
        return {};
    return std::string(buffer.data(), std::min(buffer.size(), static_cast<size_t>(length)));
}

} // namespace

TConduvexBinding::TConduvexBinding(std::string path) : path_(std::move(path)) {}

TConduvexBinding::~TConduvexBinding() = default;

bool TConduvexBinding::Bind()
{
    if (tried_)
        return bound_;
    tried_ = true;
    keptMessage_.clear();
    try {
        library_.reset(LoadLibraryA(path_.c_str()));
        if (!library_)
            throw EBindingError(kCannotLoad);
        for (const TConduvexExport& entry : kConduvexExports)
            MapConduvexFunction(entry);
        bound_ = true;
    } catch (const EBindingError& error) {
        library_.reset();
        keptMessage_ = error.what();
    }
    return bound_;
}

void TConduvexBinding::MapConduvexFunction(const TConduvexExport& entry)
{
    const FARPROC address = GetProcAddress(library_.get(), entry.name);
    if (!address)
        throw EBindingError(std::string("Can not map function ") + entry.name + " in " + kLibraryName);
    entry.store(functions_, address);
}

void TConduvexBinding::EnsureBound()
{
    if (!Bind())
        throw EConduvexError(keptMessage_);
}

const TConduvexFunctions& TConduvexBinding::Functions()
{
    EnsureBound();
    return functions_;
}

void TConduvexBinding::Adopt(const TConduvexFunctions& functions)
{
    library_.reset();
    functions_ = functions;
    keptMessage_.clear();
    tried_ = true;
    bound_ = true;
}

void TConduvexBinding::Unbind()
{
    library_.reset();
    keptMessage_.clear();
    bound_ = false;
}

void TConduvexBinding::Abandon()
{
    static_cast<void>(library_.release());
    bound_ = false;
}

std::string TConduvexBinding::ConduvexLastErrorText()
{
    const TConduvexFunctions& f = Functions();
    int32_t length = 0;
    f.LastErrorText(nullptr, &length);
    if (length < 1)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length));
    f.LastErrorText(buffer.data(), &length);
    // The reported length counts the terminating NUL; the text ends before it.
    const std::string text = BytesOf(buffer, length);
    return text.substr(0, std::strlen(text.c_str()));
}

void TConduvexBinding::RaiseConduvexError()
{
    if (Functions().LastError() != 0)
        throw EConduvexError(ConduvexLastErrorText());
}

bool TConduvexBinding::Open(CI_HANDLE h)
{
    if (Functions().ciOpen(h) == CI_OK)
        return true;
    RaiseConduvexError();
    return false;
}

bool TConduvexBinding::Close(CI_HANDLE h)
{
    if (Functions().ciClose(h) == CI_OK)
        return true;
    RaiseConduvexError();
    return false;
}

bool TConduvexBinding::StateResult(uint32_t code, CI_BOOL state)
{
    if (code != CI_OK)
        RaiseConduvexError();
    return state != CI_FALSE;
}

bool TConduvexBinding::IsActive(CI_HANDLE h)
{
    CI_BOOL state = CI_FALSE;
    const uint32_t code = Functions().ciIsActive(h, &state);
    return StateResult(code, state);
}

bool TConduvexBinding::GetValid(CI_HANDLE h)
{
    CI_BOOL state = CI_FALSE;
    const uint32_t code = Functions().ciGetValid(h, &state);
    return StateResult(code, state);
}

void TConduvexBinding::SetValid(CI_HANDLE h, bool valid)
{
    if (Functions().ciSetValid(h, valid ? CI_TRUE : CI_FALSE) != CI_OK)
        RaiseConduvexError();
}

std::string TConduvexBinding::Read(CI_HANDLE h)
{
    const TConduvexFunctions& f = Functions();
    const int32_t waiting = f.ciReadLength(h);
    if (waiting < 0 && f.LastError() != 0)
        RaiseConduvexError();
    if (waiting <= 0)
        return {};
    // Room for what arrives between the two calls.
    std::vector<char> buffer(static_cast<size_t>(waiting) * 2);
    int32_t length = static_cast<int32_t>(buffer.size());
    if (f.ciRead(h, reinterpret_cast<uint8_t*>(buffer.data()), &length) != CI_OK)
        RaiseConduvexError();
    return BytesOf(buffer, length);
}

bool TConduvexBinding::Write(CI_HANDLE h, const std::string& bytes)
{
    if (bytes.empty())
        return true;
    try {
        return Functions().ciWrite(h, reinterpret_cast<const uint8_t*>(bytes.data()),
                                   static_cast<int32_t>(bytes.size())) == CI_OK;
    } catch (...) {
        return false;
    }
}

std::string TConduvexBinding::TextOf(TTextGetter getter, CI_HANDLE h)
{
    int32_t length = 0;
    if (getter(h, nullptr, &length) != CI_OK)
        RaiseConduvexError();
    if (length <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length));
    if (getter(h, buffer.data(), &length) != CI_OK)
        RaiseConduvexError();
    return BytesOf(buffer, length);
}

std::string TConduvexBinding::GetDescription(CI_HANDLE h)
{
    return TextOf(Functions().ciGetDescription, h);
}

std::string TConduvexBinding::GetID(CI_HANDLE h)
{
    return TextOf(Functions().ciGetID, h);
}

std::string TConduvexBinding::GetProvider(CI_HANDLE h)
{
    return TextOf(Functions().ciGetProvider, h);
}

TConduvexBinding& ProcessConduvex()
{
    static TConduvexBinding binding;
    return binding;
}

bool BindOrOfferToTerminate(TConduvexBinding& binding, TAskBox ask)
{
    if (binding.Bind())
        return true;
    const std::string text = binding.KeptMessage() + "\r\n" + kTerminateQuestion;
    if (ask(nullptr, text.c_str(), kBindingCaption, MB_YESNO | MB_ICONERROR) == IDYES) {
        // No application window inside a library: the quit lands in the loading thread's queue.
        PostMessageA(nullptr, WM_QUIT, 0, 0);
    }
    return false;
}
