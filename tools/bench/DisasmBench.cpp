// Throughput of the x86 disassembler over the largest .text section among the PE files given,
// beside GNU objdump on the same file in the same run. Not a test: run it by hand, e.g.
//   DisasmBench build/bin/*.dll /usr/lib/i386-linux-gnu/wine/i386-windows/*.dll
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "BufferCodeReader.h"
#include "InstructionDecoder.h"
#include "LinearSweep.h"
#include "PeImage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kMinimumSeconds = 1.0;

struct TCandidate {
  std::string path;
  TPeImage image;
  const TPeFileSection* text = nullptr;
};

std::optional<TCandidate> Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
  std::optional<TPeImage> image = LoadPeImage(bytes);
  if (!image || !image->FindSection(".text")) return std::nullopt;
  return TCandidate{path, std::move(*image), nullptr};
}

// Runs work until a second has passed; megabytes of code per second.
template <typename Work>
double Throughput(std::size_t bytes, Work work) {
  unsigned rounds = 0;
  const Clock::time_point start = Clock::now();
  double seconds = 0;
  do {
    work();
    ++rounds;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < kMinimumSeconds);
  return bytes * static_cast<double>(rounds) / seconds / 1e6;
}

double ObjdumpThroughput(const std::string& path, std::size_t bytes) {
  const std::string command = "objdump -d -M intel -j .text '" + path + "' > /dev/null";
  return Throughput(bytes, [&] {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "objdump failed\n");
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<TCandidate> largest;
  for (int i = 1; i < argc; ++i) {
    std::optional<TCandidate> candidate = Load(argv[i]);
    if (!candidate) continue;
    if (!largest || candidate->image.FindSection(".text")->size > largest->image.FindSection(".text")->size)
      largest = std::move(candidate);
  }
  if (!largest) {
    std::fprintf(stderr, "usage: DisasmBench PE-FILE... (the largest .text among them is decoded)\n");
    return 2;
  }
  const TPeFileSection& text = *largest->image.FindSection(".text");
  const TBufferCodeReader reader(largest->image.Bytes(text), text.address);
  std::size_t instructions = 0;
  const double decode = Throughput(text.size, [&] {
    instructions = 0;
    for (CodeAddress at = reader.Base(); at < reader.End(); ++instructions) {
      const TInstructionInfo info = ParseCode(reader, at);
      at = info.valid ? info.next : at + 1;
    }
  });
  std::string lines;
  const double withText = Throughput(text.size, [&] {
    lines.clear();
    AppendLinearSweep(reader, reader.Base(), reader.End(), lines);
  });
  const double objdump = ObjdumpThroughput(largest->path, text.size);
  std::printf("%s: .text %u bytes, %zu instructions\n", largest->path.c_str(), text.size, instructions);
  std::printf("ParseCode alone      %8.1f MB/s  (%.1f x objdump)\n", decode, decode / objdump);
  std::printf("decode plus text     %8.1f MB/s  (%.1f x objdump)\n", withText, withText / objdump);
  std::printf("objdump -d -M intel  %8.1f MB/s\n", objdump);
  return 0;
}
