// Templates on their own: parse arbitrary text and fill it with sections
// derived from the input, checking the segments against the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "render/template.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  auto parsed = parse_template(text);
  if (!parsed) {
    fuzz::require(!parsed.error().message().empty());
    fuzz::require(!parsed.error().debug_string().empty());
    // Without "{{" nothing can fail.
    fuzz::require(text.find("{{") != std::string_view::npos);
    return 0;
  }
  std::size_t literal_bytes = 0;
  for (const TemplateSegment& segment : parsed.value()) {
    if (segment.kind == TemplateSegment::Kind::Literal) {
      fuzz::require(!segment.literal.empty());
      literal_bytes += segment.literal.size();
    } else {
      fuzz::require(segment.section < 5);
    }
  }
  fuzz::require(literal_bytes <= text.size());

  RenderedSections sections;
  sections.frontmatter = "---\nfm: 1\n---";
  sections.title = "# T";
  sections.abstract = "";
  sections.description = "\n\n\nd\n\n\n";
  sections.claims = " c ";
  const std::string filled = fill_template(parsed.value(), sections);
  fuzz::require(filled.find("\n\n\n") == std::string::npos);
  fuzz::require(filled.size() <= literal_bytes + parsed.value().size() * 16);
  fuzz::require_utf8(fuzz::is_valid_utf8(text), filled);
  return 0;
}
