// Feeds arbitrary text to the ST.32 grant parser directly, bypassing detection.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "source/xml/st32.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  fuzz::parse_and_exercise(&parse_st32, fuzz::as_text(data, size), SourceFormat::UsptoGrantV25);
  return 0;
}
