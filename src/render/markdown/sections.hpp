#pragma once

#include <string>

#include "model.hpp"
#include "render/markdown/options.hpp"

namespace tessellox {

struct RenderedSections {
  std::string frontmatter;
  std::string title;
  std::string abstract;
  std::string description;
  std::string claims;
};

// The five sections of a document, the front matter from its derived record.
// Tables, formulas and processing instructions are written as `options` say.
RenderedSections render_sections(const SourceDocument& document, const DerivedRecord& derived,
                                 const MarkdownOptions& options = {});
// The same, the record derived for the call in an arena of its own.
RenderedSections render_sections(const SourceDocument& document, const MarkdownOptions& options = {});

}  // namespace tessellox
