// The Markdown of a document: its five sections rendered and put in place
// by a template.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model.hpp"
#include "render/template.hpp"
#include "result.hpp"

namespace tessellox {

// Parses the template (the default one when absent) before rendering.
Result<std::string, TemplateError> render_markdown(const SourceDocument& document,
                                                   std::optional<std::string_view> template_text);
// The same for a document that is not needed afterwards: it is released as
// soon as its sections are rendered, so that the model and the whole output
// are never held at once.
Result<std::string, TemplateError> render_markdown(SourceDocument&& document,
                                                   std::optional<std::string_view> template_text);

}  // namespace tessellox
