// The whole dispatch: detection, then the detected format's parser. A
// detection failure must come back as a Detection error with the same
// message, and a parsed document must carry the detected format.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "source/detect.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  const bool input_is_utf8 = fuzz::is_valid_utf8(text);
  const auto detected = detect_source_format(text);
  ParseResult parsed = parse_source(text);
  if (!detected) {
    fuzz::require(!parsed);
    fuzz::require(parsed.error().kind == ParseError::Kind::Detection);
    fuzz::require(parsed.error().message() == std::string(messages::kDetectionPrefix) + detected.error().message());
    return 0;
  }
  if (!parsed) {
    fuzz::require(parsed.error().kind != ParseError::Kind::Detection);
    fuzz::require(!parsed.error().message().empty());
    fuzz::require_utf8(input_is_utf8, parsed.error().message());
    return 0;
  }
  fuzz::require(parsed.value().source_format == detected.value());
  fuzz::exercise_document(parsed.value(), input_is_utf8);
  return 0;
}
