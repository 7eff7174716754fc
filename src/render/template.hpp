// Templates: literal text with {{name}} placeholders naming the five
// rendered sections.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.hpp"
#include "render/markdown/body.hpp"
#include "result.hpp"

namespace tessellox {

struct TemplateError {
  enum class Kind : unsigned char { UnknownPlaceholder, UnterminatedPlaceholder };

  Kind kind = Kind::UnterminatedPlaceholder;
  std::string name;  // UnknownPlaceholder: the name as written, trimmed

  std::string message() const;
  std::string debug_string() const;
};

struct TemplateSegment {
  enum class Kind : unsigned char { Literal, Placeholder };

  Kind kind = Kind::Literal;
  std::string literal;          // Literal: non-empty text
  std::uint8_t section = 0;     // Placeholder: 0 frontmatter ... 4 claims
};

inline constexpr std::string_view kDefaultTemplate =
    "{{frontmatter}}\n\n{{title}}\n\n{{abstract}}\n\n{{description}}\n\n{{claims}}\n";

Result<std::vector<TemplateSegment>, TemplateError> parse_template(std::string_view text);
// The sections laid out by the template. When the description appears once,
// the output is written into the description's own buffer, most of the
// output already, instead of into a second buffer of the same size.
std::string fill_template(const std::vector<TemplateSegment>& segments, RenderedSections sections);

// Parses the template (the default one when absent) before rendering.
Result<std::string, TemplateError> render_markdown(const SourceDocument& document,
                                                   std::optional<std::string_view> template_text);
// The same for a document that is not needed afterwards: it is released as
// soon as its sections are rendered, so that the model and the whole output
// are never held at once.
Result<std::string, TemplateError> render_markdown(SourceDocument&& document,
                                                   std::optional<std::string_view> template_text);

}  // namespace tessellox
