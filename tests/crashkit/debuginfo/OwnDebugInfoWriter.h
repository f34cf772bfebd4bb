#pragma once
// Writes the library's own debug-information format in tests, as the build's generator does:
// the stream, packed as a compressed string, enciphered, behind the marker and header.
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/Blowfish.h"
#include "debuginfo/OwnDebugInfo.h"
#include "zip/CompressedString.h"

struct TWrittenSegment {
    uint32_t start;
    uint32_t length;
    std::string unit;
};

struct TWrittenPublic {
    std::string name;
    uint32_t offset;
};

struct TWrittenLine {
    uint32_t line;
    uint32_t offset;
};

class TOwnDebugInfoWriter {
public:
    std::vector<TWrittenSegment> segments;
    std::vector<TWrittenPublic> publics;
    std::vector<TWrittenLine> lines;
    std::optional<uint32_t> entryPoint;
    bool reduced = false;
    uint32_t version = 3;

    std::string Stream() const
    {
        std::string out;
        Dword(out, static_cast<uint32_t>(segments.size()));
        for (const TWrittenSegment& segment : segments) {
            Dword(out, segment.start);
            Dword(out, segment.length);
            Name(out, segment.unit);
        }
        Dword(out, static_cast<uint32_t>(publics.size()));
        for (size_t i = 0; i < publics.size(); ++i) {
            Name(out, publics[i].name);
            if (i == 0)
                Dword(out, publics[i].offset);
            else
                Compact(out, static_cast<int32_t>(publics[i].offset - publics[i - 1].offset));
        }
        Dword(out, static_cast<uint32_t>(lines.size()));
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == 0) {
                Dword(out, lines[i].line);
                Dword(out, lines[i].offset);
            } else {
                Compact(out, static_cast<int32_t>(lines[i].line - lines[i - 1].line));
                Compact(out, static_cast<int32_t>(lines[i].offset - lines[i - 1].offset));
            }
        }
        if (entryPoint)
            Dword(out, *entryPoint);
        return out;
    }

    std::string Data(uint32_t stamp1 = 0x11223344, uint32_t stamp2 = 0x55667788) const
    {
        return Wrap(CompressStr(Stream()), stamp1, stamp2);
    }

    // Marker and header around a payload that is enciphered here.
    std::string Wrap(std::string payload, uint32_t stamp1 = 0, uint32_t stamp2 = 0) const
    {
        BlowfishCrypt(payload.data(), payload.size(), true, false, 0, OwnDebugInfoKey(payload.size()));
        std::string out = "ZELDEBUGINFO";
        Dword(out, version);
        if (version == 3) {
            Dword(out, stamp1);
            Dword(out, stamp2);
            Dword(out, reduced ? 1 : 0);
        }
        Dword(out, static_cast<uint32_t>(payload.size()));
        return out + payload;
    }

    static void Dword(std::string& out, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(value >> (8 * i) & 0xFF);
    }

private:
    void Name(std::string& out, const std::string& name) const
    {
        if (reduced) {
            out += '\1';
            return;
        }
        out += static_cast<char>(name.size());
        out += name;
    }

    static void Compact(std::string& out, int32_t value)
    {
        if (value >= -127 && value <= 127) {
            out += static_cast<char>(static_cast<int8_t>(value));
            return;
        }
        out += '\x80';
        Dword(out, static_cast<uint32_t>(value));
    }
};
