#pragma once
// The HTTP(S) client of the upload route over WinHTTP: one session and connection, a request
// at a time, resends after 401/407 and dropped connections, each capped.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "IProgressAlert.h"
#include "net/MultipartForm.h"
#include "text/ZelTypes.h"

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
};

struct TUploadProgressTexts {
    UnicodeString prepareAttachments; // PrepAttMsg
    UnicodeString connect;            // ConnMsg
    UnicodeString sendAttachment;     // SendAttMsg
    UnicodeString sendFinal;          // SendFinalMsg
};

struct TUploadFile {
    UnicodeString path;
    UnicodeString sendAsName;
    UnicodeString fieldName;
};

class TWinHttp {
public:
    // The alert, when given, is moved through the upload and closed with the object.
    TWinHttp(const THttpServer& server, IProgressAlert* alert = nullptr, const TUploadProgressTexts& texts = {});
    ~TWinHttp();
    TWinHttp(const TWinHttp&) = delete;
    TWinHttp& operator=(const TWinHttp&) = delete;

    // The multipart POST of the fields and the files that can be opened; true for 200 or a
    // redirect.
    bool UploadForm(const UnicodeString& sender, const std::vector<TFormField>& fields,
                    const std::vector<TUploadFile>& files, bool alwaysUtf8, std::string& response);

    uint32_t LastError() const { return lastError_; }
    uint32_t LastStatus() const { return lastStatus_; }

private:
    bool OpenRequest(const wchar_t* verb);
    bool AddHeader(const AnsiString& line);
    bool SendRequest(std::string_view firstData, uint64_t totalLength);
    bool WriteData(std::string_view data);
    bool ReadResponse(std::string& response);
    void TakeAuthScheme();
    bool Fail();
    void CloseRequest();

    void PlanProgress(const std::vector<TFormFile>& files);

    THttpServer settings_;
    IProgressAlert* alert_;
    TUploadProgressTexts texts_;
    std::wstring host_;
    std::wstring path_;
    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    DWORD serverScheme_ = 0;
    bool serverSchemesQueried_ = false;
    bool resend_ = false;
    uint32_t lastError_ = 0;
    uint32_t lastStatus_ = 0;
};
