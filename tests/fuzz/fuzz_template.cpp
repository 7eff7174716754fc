// Templates on their own: parse arbitrary text and fill it, checking both
// against a plain rendition of the template rules (find "{{", find the next
// "}}", trim the name; concatenate, collapse line-feed runs, trim).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "render/template.hpp"
#include "text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  RenderedSections sections;
  sections.frontmatter = "---\nfm: 1\n---";
  sections.title = "# T";
  sections.abstract = "";
  sections.description = "\n\n\nd\n\n\n";
  sections.claims = " c ";

  const auto reference = fuzz::reference_template(text, sections);
  auto parsed = parse_template(text);
  fuzz::require(parsed.ok() == reference.ok());
  if (!parsed) {
    fuzz::require(parsed.error().kind == reference.error().kind);
    fuzz::require(parsed.error().name == reference.error().name);
    fuzz::require(!parsed.error().message().empty());
    return 0;
  }
  for (const TemplateSegment& segment : parsed.value()) {
    if (segment.kind == TemplateSegment::Kind::Literal) {
      fuzz::require(!segment.literal.empty());
    } else {
      fuzz::require(segment.section < 5);
    }
  }
  const std::string filled = fill_template(parsed.value(), sections);
  fuzz::require(filled == reference.value());
  return 0;
}
