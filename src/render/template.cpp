// placeholder: replaced by the template engine
#include "render/template.hpp"
namespace tessellox {
std::string TemplateError::message() const { return {}; }
std::string TemplateError::debug_string() const { return {}; }
Result<std::string, TemplateError> render_markdown(const SourceDocument&, std::optional<std::string_view>) {
  return std::string();
}
}  // namespace tessellox
