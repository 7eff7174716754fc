// Feeds arbitrary text to both version 4 parsers directly, bypassing detection.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "source/xml/v4.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  fuzz::parse_and_exercise(&parse_v4_grant, text, SourceFormat::UsptoGrantV45);
  fuzz::parse_and_exercise(&parse_v4_application, text, SourceFormat::UsptoApplicationV46);
  return 0;
}
