#include "mail/SchannelStream.h"

#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kContextRequests = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                   ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_EXTENDED_ERROR | ISC_REQ_STREAM |
                                   ISC_REQ_MANUAL_CRED_VALIDATION;

// The package's function table, looked up once; none without the library.
PSecurityFunctionTableW SecurityFunctions()
{
    static const PSecurityFunctionTableW table = []() -> PSecurityFunctionTableW {
        const HMODULE library = LoadLibraryW(L"secur32.dll");
        if (!library)
            return nullptr;
        const auto init = reinterpret_cast<INIT_SECURITY_INTERFACE_W>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "InitSecurityInterfaceW")));
        return init ? init() : nullptr;
    }();
    return table;
}

std::wstring Widen(const AnsiString& text) { return std::wstring(text.begin(), text.end()); }

struct TChainCloser {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
struct TCertificateCloser {
    void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};

} // namespace

TSchannelStream::~TSchannelStream()
{
    if (haveContext_)
        table_->DeleteSecurityContext(&context_);
    if (haveCredentials_)
        table_->FreeCredentialsHandle(&credentials_);
}

// Statuses are kept as their 32-bit pattern, as the system shows them.
bool TSchannelStream::Fail(uint32_t code)
{
    errorCode_ = code;
    return false;
}

bool TSchannelStream::Acquire()
{
    table_ = SecurityFunctions();
    if (!table_)
        return Fail(SEC_E_SECPKG_NOT_FOUND);
    SCHANNEL_CRED record{};
    record.dwVersion = SCHANNEL_CRED_VERSION;
    record.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
    TimeStamp expiry;
    const SECURITY_STATUS status =
        table_->AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                          &record, nullptr, nullptr, &credentials_, &expiry);
    haveCredentials_ = status == SEC_E_OK;
    return haveCredentials_ || Fail(status);
}

bool TSchannelStream::SendToken(TSmtpSocket& socket, SecBuffer& token)
{
    if (!token.pvBuffer)
        return true;
    const bool sent = token.cbBuffer == 0 ||
                      socket.Send({static_cast<const char*>(token.pvBuffer), token.cbBuffer});
    table_->FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    return sent;
}

bool TSchannelStream::Handshake(TSmtpSocket& socket, const AnsiString& host, bool checkCertificate)
{
    if (!Acquire())
        return false;
    host_ = Widen(host);
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status =
        table_->InitializeSecurityContextW(&credentials_, nullptr, host_.data(), kContextRequests, 0, 0, nullptr, 0,
                                           &context_, &outDesc, &attributes, &expiry);
    if (status != SEC_I_CONTINUE_NEEDED)
        return Fail(FAILED(status) ? status : SEC_E_INTERNAL_ERROR);
    haveContext_ = true;
    if (!SendToken(socket, out))
        return Fail(socket.LastError());
    checkCertificate_ = checkCertificate;
    return HandshakeLoop(socket, status, false) && Established();
}

// The sizes may change with a renegotiation, and so may the server's certificate.
bool TSchannelStream::Established()
{
    const SECURITY_STATUS sizes = table_->QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (sizes != SEC_E_OK)
        return Fail(sizes);
    return !checkCertificate_ || CertificateTrusted();
}

bool TSchannelStream::HandshakeLoop(TSmtpSocket& socket, SECURITY_STATUS status, bool renegotiation)
{
    bool needData = !renegotiation;
    bool first = true;
    DWORD requests = kContextRequests;
    while (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE ||
           status == SEC_I_INCOMPLETE_CREDENTIALS) {
        if (needData && !socket.Receive(pending_))
            return Fail(socket.LastError());
        SecBuffer in[2] = {{static_cast<ULONG>(pending_.size()), SECBUFFER_TOKEN, pending_.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
        ULONG attributes = 0;
        TimeStamp expiry;
        status = table_->InitializeSecurityContextW(&credentials_, &context_, host_.data(), requests, 0, 0, &inDesc, 0,
                                                    nullptr, &outDesc, &attributes, &expiry);
        // More asked for when given nothing: the package cannot start a renegotiation of its
        // own (Wine's cannot). It is declined then, as a TLS 1.2 client may (RFC 5246 7.4.1.1),
        // and the stream goes on under its keys.
        if (status == SEC_E_INCOMPLETE_MESSAGE && renegotiation && first && pending_.empty())
            return true;
        first = false;
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needData = true;
            continue;
        }
        if (!SendToken(socket, out))
            return Fail(socket.LastError());
        if (FAILED(status))
            return Fail(status);
        if (in[1].BufferType == SECBUFFER_EXTRA)
            pending_.erase(0, pending_.size() - in[1].cbBuffer);
        else
            pending_.clear();
        if (status == SEC_I_INCOMPLETE_CREDENTIALS)
            requests |= ISC_REQ_USE_SUPPLIED_CREDS;
        needData = pending_.empty() && status != SEC_I_INCOMPLETE_CREDENTIALS;
    }
    return status == SEC_E_OK || Fail(FAILED(status) ? status : SEC_E_INTERNAL_ERROR);
}

bool TSchannelStream::CertificateTrusted()
{
    PCCERT_CONTEXT received = nullptr;
    const SECURITY_STATUS status = table_->QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received);
    if (status != SEC_E_OK || !received)
        return Fail(status != SEC_E_OK ? status : SEC_E_NO_CREDENTIALS);
    const std::unique_ptr<const CERT_CONTEXT, TCertificateCloser> certificate(received);
    LPSTR serverUsage = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof(chainPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = &serverUsage;
    PCCERT_CHAIN_CONTEXT built = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate.get(), nullptr, certificate->hCertStore, &chainPara, 0, nullptr,
                                 &built) ||
        !built)
        return Fail(static_cast<uint32_t>(GetLastError()));
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, TChainCloser> chain(built);
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof(https);
    https.dwAuthType = AUTHTYPE_SERVER;
    https.pwszServerName = host_.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof(result);
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &result))
        return Fail(static_cast<uint32_t>(GetLastError()));
    return result.dwError == 0 || Fail(result.dwError);
}

bool TSchannelStream::Send(TSmtpSocket& socket, std::string_view data)
{
    std::vector<char> message(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer);
    while (!data.empty()) {
        const size_t piece = std::min<size_t>(data.size(), sizes_.cbMaximumMessage);
        std::copy_n(data.data(), piece, message.data() + sizes_.cbHeader);
        SecBuffer buffers[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, message.data()},
            {static_cast<ULONG>(piece), SECBUFFER_DATA, message.data() + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, message.data() + sizes_.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = table_->EncryptMessage(&context_, 0, &desc, 0);
        if (status != SEC_E_OK)
            return Fail(status);
        if (!socket.Send({message.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer}))
            return Fail(socket.LastError());
        data.remove_prefix(piece);
    }
    return true;
}

bool TSchannelStream::Receive(TSmtpSocket& socket, std::string& into)
{
    for (;;) {
        if (pending_.empty() && !socket.Receive(pending_))
            return Fail(socket.LastError());
        SecBuffer buffers[4] = {{static_cast<ULONG>(pending_.size()), SECBUFFER_DATA, pending_.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = table_->DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (!socket.Receive(pending_))
                return Fail(socket.LastError());
            continue;
        }
        // The end of the stream or a broken record.
        if (status == SEC_I_CONTEXT_EXPIRED)
            return Fail(WSAEDISCON);
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
            return Fail(status);
        const bool appended = TakeDecrypted(buffers, into);
        // The handshake messages are what was left over; nothing else is sent in between.
        if (status == SEC_I_RENEGOTIATE && !(HandshakeLoop(socket, SEC_I_CONTINUE_NEEDED, true) && Established()))
            return false;
        if (appended)
            return true;
    }
}

// Appends the data buffers; what is left over stays for the next round.
bool TSchannelStream::TakeDecrypted(const SecBuffer (&buffers)[4], std::string& into)
{
    bool appended = false;
    std::string extra;
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer != 0) {
            into.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            appended = true;
        } else if (buffer.BufferType == SECBUFFER_EXTRA) {
            extra.assign(pending_.data() + pending_.size() - buffer.cbBuffer, buffer.cbBuffer);
        }
    }
    pending_ = std::move(extra);
    return appended;
}

void TSchannelStream::Shutdown(TSmtpSocket& socket)
{
    DWORD token = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof(token), SECBUFFER_TOKEN, &token};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (table_->ApplyControlToken(&context_, &controlDesc) != SEC_E_OK)
        return;
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    TimeStamp expiry;
    table_->InitializeSecurityContextW(&credentials_, &context_, host_.data(), kContextRequests, 0, 0, nullptr, 0,
                                       nullptr, &outDesc, &attributes, &expiry);
    SendToken(socket, out);
}
