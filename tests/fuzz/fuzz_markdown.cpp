// Renders whatever parses, with the default template and with a template
// taken from the input: the text before the first NUL byte is the document,
// the text after it (when there is a NUL) is the template. Tables, formulas
// and processing instructions are rendered in every mode as well.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.hpp"
#include "render/markdown.hpp"
#include "text.hpp"

namespace {

using namespace tessellox;

void require_filled_shape(std::string_view markdown) {
  // Filling collapses line-feed runs to two and trims the result.
  fuzz::require(markdown.find("\n\n\n") == std::string_view::npos);
  fuzz::require(trim(markdown).size() == markdown.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::as_text(data, size);
  const std::size_t nul = input.find('\0');
  const std::string_view text = input.substr(0, nul);
  std::optional<std::string_view> template_text;
  if (nul != std::string_view::npos) template_text = input.substr(nul + 1);

  ParseResult parsed = parse_source(text);
  if (!parsed) return 0;
  SourceDocument& document = parsed.value();
  const bool input_is_utf8 = fuzz::is_valid_utf8(text);
  fuzz::exercise_document(document, input_is_utf8);

  const auto with_default = render_markdown(document, std::nullopt);
  fuzz::require(with_default.ok());
  fuzz::require_utf8(input_is_utf8, with_default.value());
  require_filled_shape(with_default.value());
  // The default template spelled out gives the same text.
  const auto spelled_out = render_markdown(document, kDefaultTemplate);
  fuzz::require(spelled_out.ok() && spelled_out.value() == with_default.value());

  // Tables as pipe and HTML tables, formulas as LaTeX, markers left out:
  // never a failure, and UTF-8 in, UTF-8 out.
  for (const MarkdownOptions options :
       {MarkdownOptions{TableRendering::Markdown, MathsRendering::Latex, InstructionRendering::Drop},
        MarkdownOptions{TableRendering::Html, MathsRendering::Latex, InstructionRendering::Xml}}) {
    const auto rendered = render_markdown(document, std::nullopt, options);
    fuzz::require(rendered.ok());
    fuzz::require_utf8(input_is_utf8, rendered.value());
    require_filled_shape(rendered.value());
  }

  if (template_text) {
    const auto with_template = render_markdown(document, *template_text);
    // The template decides alone whether rendering fails, and the text is
    // the template filled with the five sections.
    const auto expected = fuzz::reference_template(*template_text, render_sections(document));
    fuzz::require(with_template.ok() == expected.ok());
    if (with_template) {
      fuzz::require(with_template.value() == expected.value());
      fuzz::require_utf8(input_is_utf8 && fuzz::is_valid_utf8(*template_text), with_template.value());
      require_filled_shape(with_template.value());
    } else {
      fuzz::require(!with_template.error().message().empty());
    }
  }
  return 0;
}
