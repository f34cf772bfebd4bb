#pragma once
// The HTTP(S) client of the upload route over WinHTTP: one session and connection, a request
// at a time, resends after 401/407, after a proxy was found and after dropped connections,
// each capped.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "IProgressAlert.h"
#include "http/SystemProxy.h"
#include "net/MultipartForm.h"
#include "text/ZelTypes.h"

struct THttpProxy {
    UnicodeString list;   // "host:port" entries separated by ";"; empty: none configured
    UnicodeString bypass; // hosts reached directly
    UnicodeString account; // for 407
    UnicodeString password;
};

// Asked once, when a request without a configured proxy cannot be sent, for the proxy of an
// address (scheme, host and path).
using THttpProxyFinder = std::function<std::optional<THttpProxyList>(HINTERNET session, const std::wstring& url)>;

struct THttpServer {
    AnsiString server; // "[scheme://]host[/path]"
    bool ssl = false;
    uint16_t port = 0; // 0: the scheme's default
    bool quiet = false;
    UnicodeString account;  // for 401
    UnicodeString password;
    // Certificate errors of an https server end the upload unless this is set.
    bool acceptAnyCertificate = false;
    bool followRedirects = false;
    // Redirect targets (http and https only) are opened in the shell when not quiet.
    bool openRedirectTarget = true;
    THttpProxy proxy;
    // Empty: the user's browser settings, then automatic detection.
    THttpProxyFinder findProxy;
};

struct TUploadProgressTexts {
    UnicodeString prepareAttachments; // PrepAttMsg
    UnicodeString connect;            // ConnMsg
    UnicodeString sendAttachment;     // SendAttMsg
    UnicodeString sendFinal;          // SendFinalMsg
};

// A piece of a request body: a text, or the content of an open file streamed as it is sent (as
// Base64 when asked).
struct TBodyPiece {
    std::string_view text;
    HANDLE file = nullptr;
    uint64_t fileSize = 0;
    bool base64 = false;
};

// The bytes a piece adds to the body.
uint64_t BodyPieceLength(const TBodyPiece& piece);

struct TUploadFile {
    UnicodeString path;
    UnicodeString sendAsName;
    UnicodeString fieldName;
};

class TWinHttp {
public:
    // Resends of one exchange after dropped connections.
    static constexpr int kMaxConnectionResends = 2;
    // The most of an answer's body that is kept: a server that sends on and on is cut off there
    // (its status has already said whether the report was taken).
    static constexpr size_t kMaxAnswerBytes = 4 * 1024 * 1024;

    // The alert is moved through the upload and closed with the object; without one given the
    // object moves one of its own, which nothing shows.
    TWinHttp(const THttpServer& server, IProgressAlert* alert = nullptr, const TUploadProgressTexts& texts = {});
    ~TWinHttp();
    TWinHttp(const TWinHttp&) = delete;
    TWinHttp& operator=(const TWinHttp&) = delete;

    // The multipart POST of the fields and the files that can be opened; true for 200 or a
    // redirect.
    bool UploadForm(const UnicodeString& sender, const std::vector<TFormField>& fields,
                    const std::vector<TUploadFile>& files, bool alwaysUtf8, std::string& response);

    // One exchange with a body held in memory, to an absolute path on the server; true for 200
    // or a redirect, the response is the answer's body.
    bool Request(const wchar_t* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                 std::string_view body, std::string& response);

    // The same with a body of texts and streamed files.
    bool Request(const wchar_t* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                 const std::vector<TBodyPiece>& body, std::string& response);

    // Writes a file's content from its start into the request being sent: raw in blocks of 2048
    // bytes, or as Base64 in blocks of 1536 bytes (2048 characters each), moving the alert's
    // position after each block. A short read or a failed write ends with false.
    bool StreamFile(HANDLE file, uint64_t size, bool asBase64);

    // How long an answer is waited for from now on; 0 (the start): WinHTTP's own time-out.
    void SetReceiveTimeout(uint32_t milliseconds) { receiveTimeoutMs_ = milliseconds; }

    // The last failure: a system code (WinHTTP's, the files', ERROR_MOD_NOT_FOUND without
    // WinHTTP) with the system's text for it, or the status of an answer that was no success
    // (after the resends it allows) with its status line, "404 Not Found" say.
    uint32_t LastError() const { return lastError_; }
    const AnsiString& LastErrorText() const { return lastErrorText_; }
    // The status of the last answer.
    uint32_t LastStatus() const { return lastStatus_; }

private:
    using TBodySender = std::function<bool()>;

    bool Exchange(const wchar_t* verb, const std::wstring& path, const std::vector<AnsiString>& headerLines,
                  const TBodySender& sendBody, std::string& response);
    bool OpenSession();
    bool OpenRequest(const wchar_t* verb, const std::wstring& path);
    bool AddHeader(const AnsiString& line);
    bool SendRequest(std::string_view firstData, uint64_t totalLength);
    bool WriteData(std::string_view data);
    bool SendPieces(const std::vector<TBodyPiece>& body);
    bool ReadResponse(std::string& response);
    bool ResendAfterConnectionError();
    bool TakeAuthScheme(DWORD& scheme);
    bool UseFoundProxy();
    bool Fail();
    bool Fail(uint32_t code);
    bool AnswerRefused(uint32_t status);
    void CloseRequest();
    void CloseSession();

    void PlanProgress(const std::vector<TFormFile>& files);

    THttpServer settings_;
    TIntfPtr<IProgressAlert> ownAlert_;
    IProgressAlert* alert_;
    TUploadProgressTexts texts_;
    std::wstring host_;
    std::wstring path_;
    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    std::wstring requestPath_;
    std::optional<THttpProxyList> foundProxy_;
    bool autoProxyTried_ = false;
    DWORD serverScheme_ = 0;
    bool serverSchemesQueried_ = false;
    DWORD proxyScheme_ = 0;
    bool proxySchemesQueried_ = false;
    bool resend_ = false;
    int connectionResends_ = 0;
    uint32_t lastError_ = 0;
    AnsiString lastErrorText_;
    uint32_t lastStatus_ = 0;
    uint32_t receiveTimeoutMs_ = 0;
};

// The code of the last failure of any upload in this process (TWinHttp::LastError); 0 before
// the first.
uint32_t LastHttpErrorCode();
