#include "render/markdown/options.hpp"

namespace tessellox {

std::optional<TableRendering> table_rendering_named(std::string_view name) noexcept {
  if (name == "xml") return TableRendering::Xml;
  if (name == "markdown") return TableRendering::Markdown;
  if (name == "html") return TableRendering::Html;
  return std::nullopt;
}

std::optional<MathsRendering> maths_rendering_named(std::string_view name) noexcept {
  if (name == "xml") return MathsRendering::Xml;
  if (name == "latex") return MathsRendering::Latex;
  return std::nullopt;
}

std::optional<InstructionRendering> instruction_rendering_named(std::string_view name) noexcept {
  if (name == "xml") return InstructionRendering::Xml;
  if (name == "drop") return InstructionRendering::Drop;
  return std::nullopt;
}

}  // namespace tessellox
