// Templates: literal text with {{name}} placeholders naming the five
// rendered sections.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors.hpp"
#include "model.hpp"
#include "render/markdown/sections.hpp"
#include "result.hpp"

namespace tessellox {

struct TemplateSegment {
  enum class Kind : unsigned char { Literal, Placeholder };

  Kind kind = Kind::Literal;
  std::string literal;       // Literal: non-empty text
  std::uint8_t section = 0;  // Placeholder: 0 frontmatter ... 4 claims
};

inline constexpr std::string_view kDefaultTemplate =
    "{{frontmatter}}\n\n{{title}}\n\n{{abstract}}\n\n{{description}}\n\n{{claims}}\n";

Result<std::vector<TemplateSegment>, TemplateError> parse_template(std::string_view text);
// The sections laid out by the template. When the description appears once,
// the output is written into the description's own buffer, most of the
// output already, instead of into a second buffer of the same size.
std::string fill_template(const std::vector<TemplateSegment>& segments, RenderedSections sections);

}  // namespace tessellox
