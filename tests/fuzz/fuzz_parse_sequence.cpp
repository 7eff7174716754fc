// Feeds arbitrary text to the sequence listing parser directly, bypassing detection.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "source/xml/sequence.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  fuzz::parse_and_exercise(&parse_sequence_listing, fuzz::as_text(data, size), SourceFormat::UsptoSequenceCwu);
  return 0;
}
