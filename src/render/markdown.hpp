// The Markdown of a document: its five sections rendered and put in place
// by a template.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model.hpp"
#include "render/markdown/options.hpp"
#include "render/template.hpp"
#include "result.hpp"

namespace tessellox {

// Parses the template (the default one when absent) before rendering; the
// front matter comes from the document's derived record. Tables, formulas
// and processing instructions are written as `options` say.
Result<std::string, TemplateError> render_markdown(const SourceDocument& document, const DerivedRecord& derived,
                                                   std::optional<std::string_view> template_text,
                                                   const MarkdownOptions& options = {});
// The same for a document whose record is not at hand: it is derived for
// the call, in an arena of its own.
Result<std::string, TemplateError> render_markdown(const SourceDocument& document,
                                                   std::optional<std::string_view> template_text,
                                                   const MarkdownOptions& options = {});
// The same for a document that is not needed afterwards: its record is
// derived in its own arena, and it is released as soon as its sections are
// rendered, so that the model and the whole output are never held at once.
Result<std::string, TemplateError> render_markdown(SourceDocument&& document,
                                                   std::optional<std::string_view> template_text,
                                                   const MarkdownOptions& options = {});

}  // namespace tessellox
