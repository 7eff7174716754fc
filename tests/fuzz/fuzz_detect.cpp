// Detection on arbitrary text: it must name a format or say why not, and the
// named format must be one of the twenty.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "source/detect.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  const auto detected = detect_source_format(text);
  if (detected) {
    fuzz::require(static_cast<std::size_t>(detected.value()) < kSourceFormatCount);
    fuzz::require(!source_format_name(detected.value()).empty());
  } else {
    const std::string message = detected.error().message();
    fuzz::require(!message.empty());
    fuzz::require_utf8(fuzz::is_valid_utf8(text), message);
  }
  return 0;
}
