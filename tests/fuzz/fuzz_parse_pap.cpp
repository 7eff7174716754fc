// Feeds arbitrary text to the version 1.5/1.6 application parser directly, bypassing detection.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "source/xml/pap.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  fuzz::parse_and_exercise(&parse_pap, fuzz::as_text(data, size), SourceFormat::UsptoApplicationV16);
  return 0;
}
