// A Simple MAPI provider for the tests: writes the mail it is handed to the file named by
// MAPI_STANDIN_RECORD and answers with the code in MAPI_STANDIN_RESULT (0 when unset).
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Environment(const char* name)
{
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

std::string Text(const char* text) { return text ? text : "(null)"; }

} // namespace

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR parent, lpMapiMessage message,
                                                           FLAGS flags, ULONG reserved)
{
    std::string record = "session=" + std::to_string(session) + "\nparent=" + (parent ? "set" : "none") +
                         "\nflags=" + std::to_string(flags) + "\nreserved=" + std::to_string(reserved) + "\n";
    if (message) {
        record += "subject=" + Text(message->lpszSubject) + "\nbody=" + Text(message->lpszNoteText) + "\n";
        for (ULONG i = 0; i < message->nRecipCount; ++i) {
            const MapiRecipDesc& recipient = message->lpRecips[i];
            record += "to=" + std::to_string(recipient.ulRecipClass) + "|" + Text(recipient.lpszName) + "|" +
                      Text(recipient.lpszAddress) + "\n";
        }
        for (ULONG i = 0; i < message->nFileCount; ++i) {
            const MapiFileDesc& file = message->lpFiles[i];
            record += "file=" + std::to_string(static_cast<long>(file.nPosition)) + "|" + Text(file.lpszPathName) +
                      "|" + Text(file.lpszFileName) + "\n";
        }
    }
    const std::string path = Environment("MAPI_STANDIN_RECORD");
    if (FILE* out = path.empty() ? nullptr : std::fopen(path.c_str(), "wb")) {
        std::fwrite(record.data(), 1, record.size(), out);
        std::fclose(out);
    }
    return static_cast<ULONG>(std::strtoul(Environment("MAPI_STANDIN_RESULT").c_str(), nullptr, 10));
}
