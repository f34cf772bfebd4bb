#pragma once
// What the printing tests share: the PDF printer that with_pdf_printer.sh offers, the PDF files
// it writes and their text through pdftotext.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

inline std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

inline std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The PDF file whose name holds `mark`, once it is complete (its size stopped changing).
inline std::string WaitForPdf(const std::string& folder, const std::string& mark)
{
    long long lastSize = -1;
    for (int wait = 0; wait < 300; ++wait) {
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((WindowsPath(folder) + "\\*" + mark + "*.pdf").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            const long long size = (static_cast<long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            if (size > 0 && size == lastSize)
                return folder + "/" + found.cFileName;
            lastSize = size;
        }
        Sleep(100);
    }
    return {};
}

// pdftotext's output, run through the Unix shell.
inline std::string PdfText(const std::string& pdf)
{
    const std::string text = pdf + ".txt";
    std::string command = "/bin/sh -c \"pdftotext -layout '" + pdf + "' '" + text + ".part' && mv '" + text +
                          ".part' '" + text + "'\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {};
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int wait = 0; wait < 200 && GetFileAttributesA(WindowsPath(text).c_str()) == INVALID_FILE_ATTRIBUTES; ++wait)
        Sleep(50);
    const std::string content = Read(WindowsPath(text));
    DeleteFileA(WindowsPath(text).c_str());
    return content;
}
