#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

struct RenderedSections {
  std::string frontmatter;
  std::string title;
  std::string abstract;
  std::string description;
  std::string claims;
};

RenderedSections render_sections(const SourceDocument& document);

}  // namespace tessellox
