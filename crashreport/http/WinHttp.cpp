#include "http/WinHttp.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>

#include "crypto/Base64.h"
#include "http/FileHolds.h"
#include "http/WinHttpApi.h"
#include "http/WinHttpErrorText.h"
#include "net/HttpServerText.h"
#include "net/MailText.h"
#include "text/Utf.h"
#include "win32/WinFile.h"

namespace {

constexpr wchar_t kUserAgent[] = L"zelExcept/4.0";
constexpr DWORD kRawBlock = 2048;
// Three bytes make four Base64 characters, so a block of 1536 bytes is 2048 characters without
// padding and the blocks' texts join to the Base64 of the whole file.
constexpr DWORD kBase64Block = 1536;
constexpr uint64_t kPrepareWeight = 500;
constexpr uint64_t kConnectWeight = 5000;
constexpr uint64_t kFinalWeight = 1000;
constexpr uint64_t kBytesPerWeight = 16;
constexpr uint64_t kOwnAlertWeight = 1000;

std::atomic<uint32_t> lastHttpError{0};
// The schemes in the order they are preferred.
constexpr std::array kSchemePreference{WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM,
                                       WINHTTP_AUTH_SCHEME_PASSPORT, WINHTTP_AUTH_SCHEME_DIGEST,
                                       WINHTTP_AUTH_SCHEME_BASIC};

std::wstring Widen(std::string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring Widen(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

const wchar_t* Wide(const UnicodeString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

struct TOpenedFile {
    std::unique_ptr<TWinFile> file;
    TFormFile form;
};

// A server that closes the connection without a (readable) answer, or WinHTTP asking for the
// request again.
bool IsDroppedConnection(DWORD error)
{
    return error == ERROR_WINHTTP_RESEND_REQUEST || error == ERROR_WINHTTP_CONNECTION_ERROR ||
           error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
}

// Errors of a server that was reached and whose TLS failed: a proxy would not help.
constexpr std::array kSecurityErrors{
    ERROR_WINHTTP_SECURE_FAILURE,           ERROR_WINHTTP_SECURE_CHANNEL_ERROR,
    ERROR_WINHTTP_SECURE_INVALID_CA,        ERROR_WINHTTP_SECURE_CERT_CN_INVALID,
    ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, ERROR_WINHTTP_SECURE_INVALID_CERT,
    ERROR_WINHTTP_SECURE_CERT_REVOKED,      ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE,
    ERROR_WINHTTP_SECURE_CERT_REV_FAILED,   ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED};

bool IsSecurityError(DWORD error)
{
    return std::find(kSecurityErrors.begin(), kSecurityErrors.end(), error) != kSecurityErrors.end();
}

const wchar_t* OrNone(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

std::vector<TOpenedFile> OpenFiles(const std::vector<TUploadFile>& files)
{
    std::vector<TOpenedFile> opened;
    for (const TUploadFile& upload : files) {
        auto file = std::make_unique<TWinFile>(CreateFileW(Wide(upload.path), GENERIC_READ,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!file->IsOpen() || !GetFileSizeEx(file->Get(), &size))
            continue;
        opened.push_back({std::move(file), {upload.fieldName, upload.sendAsName, static_cast<uint64_t>(size.QuadPart)}});
    }
    return opened;
}

} // namespace

TWinHttp::TWinHttp(const THttpServer& server, IProgressAlert* alert, const TUploadProgressTexts& texts)
    : settings_(server), ownAlert_(alert ? nullptr : NewProgressAlert(L"", nullptr, L"")),
      alert_(alert ? alert : ownAlert_.Get()), texts_(texts)
{
    if (ownAlert_)
        ownAlert_->AddArea(L"", kOwnAlertWeight);
    const THttpServerText parsed = ParseHttpServerText(server.server);
    host_ = Widen(parsed.host);
    path_ = Widen(parsed.path);
}

TWinHttp::~TWinHttp()
{
    if (alert_)
        alert_->Close();
    CloseSession();
}

void TWinHttp::CloseRequest()
{
    if (request_)
        WinHttpApi().CloseHandle(request_);
    request_ = nullptr;
}

void TWinHttp::CloseSession()
{
    CloseRequest();
    const TWinHttpApi& api = WinHttpApi();
    if (connection_)
        api.CloseHandle(connection_);
    if (session_)
        api.CloseHandle(session_);
    connection_ = nullptr;
    session_ = nullptr;
}

uint32_t LastHttpErrorCode() { return lastHttpError.load(); }

bool TWinHttp::Fail() { return Fail(static_cast<uint32_t>(GetLastError())); }

bool TWinHttp::Fail(uint32_t code)
{
    // Some WinHTTPs pass the socket's time-out code through; it is WinHTTP's own time-out.
    if (code == WSAETIMEDOUT)
        code = ERROR_WINHTTP_TIMEOUT;
    lastError_ = code;
    lastErrorText_ = WinHttpErrorText(code);
    lastHttpError.store(code);
    return false;
}

bool TWinHttp::AnswerRefused(uint32_t status)
{
    wchar_t reason[256] = {};
    DWORD size = sizeof(reason) - sizeof(wchar_t);
    if (!WinHttpApi().QueryHeaders(request_, WINHTTP_QUERY_STATUS_TEXT, WINHTTP_HEADER_NAME_BY_INDEX, reason, &size,
                                   WINHTTP_NO_HEADER_INDEX))
        reason[0] = L'\0';
    lastError_ = status;
    lastErrorText_ = std::to_string(status);
    if (reason[0] != L'\0') {
        lastErrorText_ += ' ';
        lastErrorText_ += HeaderSafeLatin1(UnicodeString(reinterpret_cast<const char16_t*>(reason)));
    }
    lastHttpError.store(status);
    return false;
}

bool TWinHttp::OpenSession()
{
    const TWinHttpApi& api = WinHttpApi();
    if (!api.loaded)
        return Fail(ERROR_MOD_NOT_FOUND);
    if (!session_) {
        // The proxy goes with the session: not every WinHTTP takes the proxy option of a request.
        const std::wstring list = foundProxy_ ? foundProxy_->list : Widen(settings_.proxy.list);
        const std::wstring bypass = foundProxy_ ? foundProxy_->bypass : Widen(settings_.proxy.bypass);
        session_ = list.empty() ? api.Open(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                           WINHTTP_NO_PROXY_BYPASS, 0)
                                : api.Open(kUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, list.c_str(), OrNone(bypass), 0);
        if (!session_)
            return Fail();
    }
    if (!connection_) {
        const INTERNET_PORT port = settings_.port != 0 ? settings_.port
                                   : settings_.ssl     ? INTERNET_DEFAULT_HTTPS_PORT
                                                       : INTERNET_DEFAULT_HTTP_PORT;
        connection_ = api.Connect(session_, host_.c_str(), port, 0);
        if (!connection_)
            return Fail();
    }
    return true;
}

bool TWinHttp::OpenRequest(const wchar_t* verb, const std::wstring& path)
{
    if (!OpenSession())
        return false;
    const TWinHttpApi& api = WinHttpApi();
    CloseRequest();
    requestPath_ = path;
    request_ = api.OpenRequest(connection_, verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                               WINHTTP_DEFAULT_ACCEPT_TYPES, settings_.ssl ? WINHTTP_FLAG_SECURE : 0);
    if (!request_)
        return Fail();
    if (settings_.acceptAnyCertificate) {
        DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                       SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
        api.SetOption(request_, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof(ignore));
    }
    if (receiveTimeoutMs_ > 0) {
        DWORD timeout = receiveTimeoutMs_;
        // The wait for the answer's headers has an option of its own.
        api.SetOption(request_, WINHTTP_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
        api.SetOption(request_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeout, sizeof(timeout));
    }
    if (!settings_.followRedirects) {
        DWORD disable = WINHTTP_DISABLE_REDIRECTS;
        api.SetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable));
    }
    if (serverScheme_ != 0 &&
        !api.SetCredentials(request_, WINHTTP_AUTH_TARGET_SERVER, serverScheme_, Wide(settings_.account),
                            Wide(settings_.password), nullptr))
        return Fail();
    return true;
}

bool TWinHttp::AddHeader(const AnsiString& line)
{
    const std::wstring wide = Widen(line);
    return WinHttpApi().AddRequestHeaders(request_, wide.c_str(), static_cast<DWORD>(wide.size()),
                                          WINHTTP_ADDREQ_FLAG_ADD) ||
           Fail();
}

bool TWinHttp::SendRequest(std::string_view firstData, uint64_t totalLength)
{
    // WinHTTP takes 32-bit lengths; a larger upload cannot be announced.
    if (totalLength > 0xFFFFFFFFull)
        return Fail(ERROR_INVALID_PARAMETER);
    const TWinHttpApi& api = WinHttpApi();
    // Basic proxy credentials go with the request itself: not every WinHTTP sends those it was
    // given before the proxy asks again, and then a streamed body cannot be sent a second time.
    // Over https the request's headers travel through the tunnel to the server, so there the
    // proxy's credentials are WinHTTP's to send.
    if (proxyScheme_ == WINHTTP_AUTH_SCHEME_BASIC && !settings_.ssl) {
        if (!AddHeader("Proxy-Authorization: Basic " +
                       EncodeBase64Str(WideToUTF8(settings_.proxy.account + u":" + settings_.proxy.password))))
            return false;
    } else if (proxyScheme_ != 0 &&
               !api.SetCredentials(request_, WINHTTP_AUTH_TARGET_PROXY, proxyScheme_, Wide(settings_.proxy.account),
                                   Wide(settings_.proxy.password), nullptr)) {
        return Fail();
    }
    if (!api.SendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                         static_cast<DWORD>(totalLength), 0)) {
        Fail();
        resend_ = !IsSecurityError(lastError_) && UseFoundProxy();
        return false;
    }
    return WriteData(firstData);
}

// Once, and only without a configured proxy: a proxy found for the address is taken by a new
// session.
bool TWinHttp::UseFoundProxy()
{
    if (!settings_.proxy.list.empty() || autoProxyTried_)
        return false;
    autoProxyTried_ = true;
    const std::wstring url = (settings_.ssl ? L"https://" : L"http://") + host_ + requestPath_;
    foundProxy_ = settings_.findProxy ? settings_.findProxy(session_, url) : FindSystemProxy(session_, url);
    if (!foundProxy_ || foundProxy_->list.empty()) {
        foundProxy_.reset();
        return false;
    }
    CloseSession();
    return true;
}

bool TWinHttp::WriteData(std::string_view data)
{
    while (!data.empty()) {
        DWORD written = 0;
        if (!WinHttpApi().WriteData(request_, data.data(), static_cast<DWORD>(std::min<size_t>(data.size(), 1 << 20)),
                                    &written))
            return Fail();
        if (written == 0)
            return Fail(ERROR_WRITE_FAULT);
        data.remove_prefix(written);
    }
    return true;
}

// The first supported of the preferred schemes; false when there is none.
bool TWinHttp::TakeAuthScheme(DWORD& scheme)
{
    DWORD supported = 0;
    DWORD first = 0;
    DWORD target = 0;
    if (!WinHttpApi().QueryAuthSchemes(request_, &supported, &first, &target))
        return false;
    for (const DWORD preferred : kSchemePreference) {
        if (supported & preferred) {
            scheme = preferred;
            return true;
        }
    }
    return false;
}

// Not once credentials are in play (a drop then answers them) and only a few times an exchange:
// the server may have taken the report already.
bool TWinHttp::ResendAfterConnectionError()
{
    if (!IsDroppedConnection(lastError_) || serverScheme_ != 0 || proxyScheme_ != 0 ||
        connectionResends_ >= kMaxConnectionResends)
        return false;
    ++connectionResends_;
    return true;
}

bool TWinHttp::ReadResponse(std::string& response)
{
    const TWinHttpApi& api = WinHttpApi();
    if (!api.ReceiveResponse(request_, nullptr)) {
        Fail();
        resend_ = ResendAfterConnectionError();
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!api.QueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Fail();
    lastStatus_ = status;
    if (status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD) {
        wchar_t location[2048] = {};
        DWORD length = sizeof(location) - sizeof(wchar_t);
        if (api.QueryHeaders(request_, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &length,
                             WINHTTP_NO_HEADER_INDEX) &&
            settings_.openRedirectTarget && !settings_.quiet) {
            const std::wstring target(location);
            if (IsWebUrl(std::string(target.begin(), target.end())))
                ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        }
    } else if (status == HTTP_STATUS_DENIED) {
        if (!settings_.account.empty() && !serverSchemesQueried_) {
            serverSchemesQueried_ = true;
            resend_ = TakeAuthScheme(serverScheme_);
        }
        return AnswerRefused(status);
    } else if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
        if (!settings_.proxy.account.empty() && !proxySchemesQueried_) {
            proxySchemesQueried_ = true;
            resend_ = TakeAuthScheme(proxyScheme_);
        }
        return AnswerRefused(status);
    } else if (status != HTTP_STATUS_OK) {
        return AnswerRefused(status);
    }
    while (response.size() < kMaxAnswerBytes) {
        DWORD available = 0;
        if (!api.QueryDataAvailable(request_, &available) || available == 0)
            return true;
        available = static_cast<DWORD>(std::min<size_t>(available, kMaxAnswerBytes - response.size()));
        std::string block(available, '\0');
        DWORD read = 0;
        if (!api.ReadData(request_, block.data(), available, &read) || read == 0)
            return true;
        response.append(block.data(), read);
    }
    return true;
}

// Each resend is gated by a flag set once (an authentication scheme taken, a proxy looked for)
// or by the count of dropped connections, so the loop ends.
bool TWinHttp::Exchange(const wchar_t* verb, const std::wstring& path, const std::vector<AnsiString>& headerLines,
                        const TBodySender& sendBody, std::string& response)
{
    connectionResends_ = 0;
    for (;;) {
        response.clear();
        resend_ = false;
        if (!OpenRequest(verb, path))
            return false;
        for (const AnsiString& line : headerLines) {
            if (!AddHeader(line))
                return false;
        }
        if (sendBody() && ReadResponse(response))
            return true;
        if (!resend_)
            return false;
    }
}

bool TWinHttp::Request(const wchar_t* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                       std::string_view body, std::string& response)
{
    return Exchange(verb, Widen(path), headerLines, [&] { return SendRequest(body, body.size()); }, response);
}

void TWinHttp::PlanProgress(const std::vector<TFormFile>& files)
{
    if (!alert_)
        return;
    alert_->ClearAreas();
    alert_->AddArea(Widen(texts_.prepareAttachments), kPrepareWeight);
    alert_->AddArea(Widen(texts_.connect), kConnectWeight);
    for (const TFormFile& file : files)
        alert_->AddArea(Widen(texts_.sendAttachment), file.size / kBytesPerWeight);
    alert_->AddArea(Widen(texts_.sendFinal), kFinalWeight);
    alert_->NextArea();
}

bool TWinHttp::UploadForm(const UnicodeString& sender, const std::vector<TFormField>& fields,
                          const std::vector<TUploadFile>& files, bool alwaysUtf8, std::string& response)
{
    const std::vector<TOpenedFile> opened = OpenFiles(files);
    std::vector<TFormFile> forms;
    for (const TOpenedFile& file : opened)
        forms.push_back(file.form);
    const AnsiString boundary = ChooseFormBoundary(fields, alwaysUtf8, [&opened](std::string_view candidate) {
        return std::any_of(opened.begin(), opened.end(),
                           [candidate](const TOpenedFile& file) { return FileHolds(file.file->Get(), candidate); });
    });
    const AnsiString fieldParts = FormFieldParts(fields, alwaysUtf8, boundary);
    const uint64_t length = FormBodyLength(fields, forms, alwaysUtf8, boundary);
    PlanProgress(forms);
    const int32_t startArea = alert_ ? alert_->GetArea() : 0;
    const int32_t startPosition = alert_ ? alert_->GetPosition() : 0;
    std::vector<AnsiString> headers{FormContentTypeHeader(boundary)};
    if (!sender.empty())
        headers.push_back("From: " + FormatMailAddress(sender, true, alwaysUtf8, kOneLineWords));
    // Each attempt starts the alert over.
    const TBodySender sendBody = [&] {
        if (alert_) {
            alert_->SetArea(startArea);
            alert_->SetPosition(startPosition);
        }
        bool written = SendRequest(fieldParts, length);
        if (alert_)
            alert_->NextArea();
        for (const TOpenedFile& file : opened) {
            written = written && WriteData(FormFilePartHeader(file.form, alwaysUtf8, boundary)) &&
                      StreamFile(file.file->Get(), file.form.size, false);
            if (alert_)
                alert_->NextArea();
        }
        return written && WriteData(FormClosingText(boundary));
    };
    return Exchange(L"POST", path_, headers, sendBody, response);
}

bool TWinHttp::StreamFile(HANDLE file, uint64_t size, bool asBase64)
{
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return Fail();
    const DWORD blockSize = asBase64 ? kBase64Block : kRawBlock;
    char block[kRawBlock];
    uint64_t left = size;
    while (left != 0) {
        const DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(left, blockSize));
        DWORD read = 0;
        if (!ReadFile(file, block, wanted, &read, nullptr))
            return Fail();
        // A file that shrank would leave the announced length unfilled.
        if (read != wanted)
            return Fail(ERROR_HANDLE_EOF);
        const std::string encoded = asBase64 ? EncodeBase64Str({block, read}) : std::string();
        if (!WriteData(asBase64 ? std::string_view(encoded) : std::string_view(block, read)))
            return false;
        left -= read;
        if (alert_)
            alert_->SetPosition(static_cast<int32_t>((size - left) * 1000 / size));
    }
    return true;
}

uint64_t BodyPieceLength(const TBodyPiece& piece)
{
    if (!piece.file)
        return piece.text.size();
    return piece.base64 ? (piece.fileSize + 2) / 3 * 4 : piece.fileSize;
}

bool TWinHttp::SendPieces(const std::vector<TBodyPiece>& body)
{
    uint64_t length = 0;
    for (const TBodyPiece& piece : body)
        length += BodyPieceLength(piece);
    if (!SendRequest({}, length))
        return false;
    for (const TBodyPiece& piece : body) {
        if (piece.file ? !StreamFile(piece.file, piece.fileSize, piece.base64) : !WriteData(piece.text))
            return false;
    }
    return true;
}

bool TWinHttp::Request(const wchar_t* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                       const std::vector<TBodyPiece>& body, std::string& response)
{
    return Exchange(verb, Widen(path), headerLines, [&] { return SendPieces(body); }, response);
}
