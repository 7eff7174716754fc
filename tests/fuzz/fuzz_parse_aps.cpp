// Feeds arbitrary text to the APS Green Book parser directly, bypassing detection.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "source/aps/aps.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  fuzz::parse_and_exercise(&parse_aps, fuzz::as_text(data, size), SourceFormat::UsptoGrantApsGreenBook);
  return 0;
}
