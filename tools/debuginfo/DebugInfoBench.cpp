// Look-ups of the debug-information reader in a DLL that carries its own debug information:
// the first look-up in the module (finding, deciphering, unpacking and parsing the resource),
// then look-ups per second on the warm object, beside GNU addr2line on the same addresses in
// the same run. Not a test: run it by hand, e.g.
//   DebugInfoBench build/win/unstripped/Conduvex.dll [i686-w64-mingw32-addr2line]
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "debuginfo/Location.h"
#include "debuginfo/MapFileBuilder.h"
#include "debuginfo/ModuleLayout.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kAddresses = 2000;
constexpr double kMinimumSeconds = 1.0;

class TNoSideFiles : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString&) const override { return std::nullopt; }
};

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: DebugInfoBench DLL [ADDR2LINE]\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::string addr2line = argc > 2 ? argv[2] : "i686-w64-mingw32-addr2line";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return 1;
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const TBufferReader reader(bytes);
    const std::optional<TPeHeaders> headers = ReadPeHeaders(reader, 0);
    if (!headers) {
        std::fprintf(stderr, "%s: no PE image\n", path.c_str());
        return 1;
    }
    const TFileImage image(reader, 0, *headers);
    const uint64_t base = PreferredImageBase(image).value_or(0);

    const Clock::time_point buildStart = Clock::now();
    const TMapFile map = BuildMapFile({&image, base, u"bench.dll"}, TNoSideFiles());
    const double firstLookup = Seconds(buildStart);
    if (!map.Valid()) {
        std::fprintf(stderr, "%s: no debug information of its own\n", path.c_str());
        return 1;
    }

    std::mt19937_64 random(15);
    std::uniform_int_distribution<uint64_t> pick(map.Layout().codeStart, map.Layout().codeEnd - 1);
    std::vector<uint64_t> addresses(kAddresses);
    for (uint64_t& address : addresses)
        address = pick(random);

    size_t lookups = 0;
    int64_t checksum = 0;
    const Clock::time_point warmStart = Clock::now();
    do {
        for (uint64_t address : addresses) {
            TLocation location;
            LocateAddress(map, address, location);
            checksum += location.line;
        }
        lookups += addresses.size();
    } while (Seconds(warmStart) < kMinimumSeconds);
    const double perSecond = static_cast<double>(lookups) / Seconds(warmStart);

    std::string command = addr2line + " -f -C -e '" + path + "'";
    for (uint64_t address : addresses) {
        char text[24];
        std::snprintf(text, sizeof text, " %" PRIx64, address);
        command += text;
    }
    command += " > /dev/null";
    const Clock::time_point toolStart = Clock::now();
    const bool toolRan = std::system(command.c_str()) == 0;
    const double toolSeconds = Seconds(toolStart);

    std::printf("%s: %zu segments, %zu publics, %zu line items (check %" PRId64 ")\n", path.c_str(), map.Segments().size(),
                map.Publics().size(), map.Lines().size(), checksum);
    std::printf("first look-up (find, decipher, unpack, parse): %.1f ms\n", firstLookup * 1e3);
    std::printf("warm look-ups: %.0f per second\n", perSecond);
    if (toolRan)
        std::printf("addr2line, %zu addresses in one run: %.0f per second (%.1f ms)\n", addresses.size(),
                    static_cast<double>(addresses.size()) / toolSeconds, toolSeconds * 1e3);
    else
        std::printf("addr2line did not run\n");
    return 0;
}
