#include "StackAccuracyCorpus.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "ExportTable.h"
#include "ImageFile.h"
#include "MapFileNamer.h"
#include "StackTracer.h"
#include "text/CaseFolding.h"

void TAccuracyTally::Add(const TAccuracyTally& other)
{
    chains += other.chains;
    exactChains += other.exactChains;
    trueFrames += other.trueFrames;
    found += other.found;
    stale += other.stale;
    staleAboveCrash += other.staleAboveCrash;
}

namespace {

// One image as a loader would map it, with its debug information or its exports.
struct TCorpusModule : TImageFile {
    std::unique_ptr<TExportTable> exports;
};

std::unique_ptr<TCorpusModule> LoadModule(const std::string& path, bool withExports)
{
    auto module = std::make_unique<TCorpusModule>();
    if (!LoadImageFile(path, *module))
        return nullptr;
    if (withExports)
        module->exports = std::make_unique<TExportTable>(*module->image, module->pe->imageBase, module->map.Layout());
    return module;
}

uint32_t MappedDword(const TPeImage& image, uint64_t rva)
{
    if (rva > image.mapped.size() || image.mapped.size() - rva < 4)
        return 0;
    const uint8_t* at = image.mapped.data() + rva;
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

std::string MappedText(const TPeImage& image, uint64_t rva)
{
    std::string text;
    for (; rva < image.mapped.size() && image.mapped[rva] != 0; ++rva)
        text += static_cast<char>(image.mapped[rva]);
    return text;
}

// Fills the import cells that the image takes by name from the module `from`, as the loader
// does before any of its code runs; cells of other modules keep what the file holds.
void BindImports(TPeImage& image, const TPeImage& from, const std::string& fromName)
{
    // The import directory's entry lies 104 bytes into the 32-bit optional header, which follows
    // the signature and the file header; each descriptor holds its list of names at 0, the
    // module's name at 12 and its cells at 16.
    constexpr uint32_t kImportDirectory = 24 + 104, kDescriptorSize = 20, kByOrdinal = 0x80000000;
    const uint32_t directory = MappedDword(image, MappedDword(image, 0x3C) + kImportDirectory);
    for (uint32_t descriptor = directory; directory && MappedDword(image, descriptor + 12);
         descriptor += kDescriptorSize) {
        if (!SameTextW(UTF8ToWide(MappedText(image, MappedDword(image, descriptor + 12))), UTF8ToWide(fromName)))
            continue;
        const uint32_t names = MappedDword(image, descriptor) ? MappedDword(image, descriptor)
                                                              : MappedDword(image, descriptor + 16);
        const uint32_t cells = MappedDword(image, descriptor + 16);
        for (uint32_t i = 0; const uint32_t entry = MappedDword(image, names + 4ull * i); ++i) {
            const std::string name = entry & kByOrdinal ? std::string() : MappedText(image, entry + 2ull);
            const auto exported = std::find_if(from.exports.begin(), from.exports.end(),
                                               [&](const auto& routine) { return routine.second == name; });
            if (name.empty() || exported == from.exports.end() || cells + 4ull * (i + 1) > image.mapped.size())
                continue;
            for (int byte = 0; byte < 4; ++byte)
                image.mapped[cells + 4 * i + byte] = static_cast<uint8_t>(exported->first >> (8 * byte));
        }
    }
}

// The images and one thread's stack, as the tracer reads a stopped process.
class TCorpusProcess : public IFunctionEnvironment, public ICodeReader {
public:
    TCorpusProcess(std::vector<const TImageEnvironment*> images, CodeAddress stackStart, std::string_view stack)
        : images_(std::move(images)), stackStart_(stackStart), stackSize_(stack.size()), stack_(stack, stackStart)
    {
    }

    const ICodeReader& Code() const override { return *this; }
    bool IsCommitted(CodeAddress address) const override { return InStack(address) || ImageOf(address); }
    TCodeBounds CodeBounds(CodeAddress entry) const override
    {
        const TImageEnvironment* image = ImageOf(entry);
        return image ? image->CodeBounds(entry) : TCodeBounds{};
    }
    CodeAddress CxxThrowRoutine() const override { return 0; }
    std::string SystemMessage(uint32_t) const override { return {}; }

    bool Read(CodeAddress address, uint8_t* buffer, size_t count) const override
    {
        if (InStack(address))
            return stack_.Read(address, buffer, count);
        const TImageEnvironment* image = ImageOf(address);
        return image && image->Code().Read(address, buffer, count);
    }

private:
    bool InStack(CodeAddress address) const { return address >= stackStart_ && address - stackStart_ < stackSize_; }
    const TImageEnvironment* ImageOf(CodeAddress address) const
    {
        for (const TImageEnvironment* image : images_) {
            if (image->IsCommitted(address))
                return image;
        }
        return nullptr;
    }

    std::vector<const TImageEnvironment*> images_;
    CodeAddress stackStart_;
    size_t stackSize_;
    TBufferReader stack_;
};

struct TTrueChain {
    std::string kind;
    TStackRegisters registers;
    std::vector<CodeAddress> returns; // most recent first
    std::string stack;                // from the stack pointer up
};

std::vector<CodeAddress> HexNumbers(std::istringstream& line)
{
    std::vector<CodeAddress> numbers;
    for (CodeAddress number = 0; line >> std::hex >> number;)
        numbers.push_back(number);
    return numbers;
}

std::vector<TTrueChain> ReadChains(std::istream& input)
{
    std::vector<TTrueChain> chains;
    for (std::string text; std::getline(input, text);) {
        std::istringstream line(text);
        std::string tag;
        line >> tag;
        if (tag == "chain") {
            chains.emplace_back();
            line >> chains.back().kind;
        } else if (chains.empty()) {
            continue;
        } else if (tag == "registers") {
            const std::vector<CodeAddress> values = HexNumbers(line);
            if (values.size() == 5)
                chains.back().registers = {values[0], values[1], values[2], values[3], values[4]};
        } else if (tag == "truth") {
            chains.back().returns = HexNumbers(line);
        } else if (tag == "stack") {
            for (const CodeAddress word : HexNumbers(line)) {
                for (int byte = 0; byte < 4; ++byte)
                    chains.back().stack.push_back(static_cast<char>(word >> (8 * byte)));
            }
        }
    }
    return chains;
}

// The traced chain against the true one; the forced crash address and thread start aside.
TAccuracyTally Compare(const TTrueChain& chain, const TStackTraceResult& result)
{
    std::vector<CodeAddress> listed;
    for (const TStackItem& item : result.items)
        listed.push_back(static_cast<CodeAddress>(item.address));
    const bool crashFirst = !listed.empty() && listed.front() == chain.registers.instruction;
    if (crashFirst)
        listed.erase(listed.begin());
    if (!listed.empty() && listed.back() == chain.registers.threadStart)
        listed.pop_back();
    TAccuracyTally tally;
    tally.chains = 1;
    tally.trueFrames = static_cast<int>(chain.returns.size());
    std::vector<CodeAddress> unmatched = chain.returns;
    bool trueCallerSeen = false;
    for (const CodeAddress address : listed) {
        const auto match = std::find(unmatched.begin(), unmatched.end(), address);
        if (match != unmatched.end()) {
            unmatched.erase(match);
            ++tally.found;
            trueCallerSeen = true;
        } else {
            ++tally.stale;
            tally.staleAboveCrash = trueCallerSeen ? tally.staleAboveCrash : 1;
        }
    }
    tally.staleAboveCrash = crashFirst ? tally.staleAboveCrash : 1;
    tally.exactChains = crashFirst && listed == chain.returns ? 1 : 0;
    return tally;
}

} // namespace

std::optional<TAccuracyReport> MeasureStackAccuracy(const TAccuracyCorpusFiles& files)
{
    const std::unique_ptr<TCorpusModule> corpus = LoadModule(files.corpusDll, false);
    const std::unique_ptr<TCorpusModule> system = LoadModule(files.systemDll, true);
    std::ifstream truth(files.truth);
    if (!corpus || !system || !truth || !corpus->map.Valid())
        return std::nullopt;
    BindImports(*corpus->pe, *system->pe, FileNameOf(files.systemDll));
    TMapFileNamer namer;
    namer.AddModule(corpus->map, UTF8ToWide(FileNameOf(files.corpusDll)));
    namer.AddModule(system->map, UTF8ToWide(FileNameOf(files.systemDll)), system->exports.get());
    TAccuracyReport report;
    for (const TTrueChain& chain : ReadChains(truth)) {
        const TCorpusProcess process({corpus->environment.get(), system->environment.get()},
                                     chain.registers.stackPointer, chain.stack);
        TStackTraceOptions options;
        options.exactAddress = true;
        const TAccuracyTally tally = Compare(chain, TraceStack(process, namer, chain.registers, options));
        report.kinds[chain.kind].Add(tally);
        report.total.Add(tally);
    }
    return report.total.chains ? std::optional(report) : std::nullopt;
}
