#include "ImageEnvironment.h"

#include "ImageCodeBounds.h"

TImageEnvironment::TImageEnvironment(const TPeImage& image, std::string fileName)
    : image_(image), reader_(image.mapped, image.imageBase), fileName_(std::move(fileName)) {}

bool TImageEnvironment::IsCommitted(CodeAddress address) const {
  return address >= reader_.Base() && address < reader_.End();
}

TCodeBounds TImageEnvironment::CodeBounds(CodeAddress) const {
  return ImageCodeBounds(reader_, image_.imageBase).value_or(TCodeBounds{reader_.Base(), reader_.End()});
}

std::string TImageEnvironment::SystemMessage(std::uint32_t code) const {
  return code == 87 ? "The parameter is incorrect." : "Error " + std::to_string(code) + ".";
}

std::optional<TModuleRange> TImageEnvironment::ModuleOf(CodeAddress address) const {
  if (!IsCommitted(address)) return std::nullopt;
  return TModuleRange{reader_.Base(), reader_.End(), fileName_};
}

std::string TImageEnvironment::NameOf(CodeAddress address) const {
  const auto found = image_.exports.find(address);
  return found == image_.exports.end() ? std::string() : found->second;
}
