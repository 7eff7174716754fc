#include "render/markdown.hpp"

#include "derive.hpp"
#include "render/markdown/sections.hpp"

namespace tessellox {

Result<std::string, TemplateError> render_markdown(const SourceDocument& document, const DerivedRecord& derived,
                                                   std::optional<std::string_view> template_text,
                                                   const MarkdownOptions& options) {
  auto segments = parse_template(template_text.value_or(kDefaultTemplate));
  if (!segments) return std::move(segments).error();
  return fill_template(segments.value(), render_sections(document, derived, options));
}

Result<std::string, TemplateError> render_markdown(const SourceDocument& document,
                                                   std::optional<std::string_view> template_text,
                                                   const MarkdownOptions& options) {
  Arena arena;
  return render_markdown(document, derive(document, arena), template_text, options);
}

Result<std::string, TemplateError> render_markdown(SourceDocument&& document,
                                                   std::optional<std::string_view> template_text,
                                                   const MarkdownOptions& options) {
  auto segments = parse_template(template_text.value_or(kDefaultTemplate));
  if (!segments) return std::move(segments).error();
  RenderedSections sections = render_sections(document, derive(document, document.arena), options);
  {
    const SourceDocument released = std::move(document);
  }
  return fill_template(segments.value(), std::move(sections));
}

}  // namespace tessellox
