// How the Markdown writes what the model keeps as captured XML: tables,
// formulas and the description's processing instructions. The defaults
// write them as the source's XML.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessellox {

enum class TableRendering : std::uint8_t { Xml, Markdown, Html };
enum class MathsRendering : std::uint8_t { Xml, Latex };
enum class InstructionRendering : std::uint8_t { Xml, Drop };

struct MarkdownOptions {
  TableRendering tables = TableRendering::Xml;
  MathsRendering maths = MathsRendering::Xml;
  InstructionRendering instructions = InstructionRendering::Xml;

  // True when captured nodes are written as XML, as they stand.
  bool captures_as_xml() const noexcept { return tables == TableRendering::Xml && maths == MathsRendering::Xml; }
};

// The rendering an option's name gives ("xml", "markdown", "html"; "xml",
// "latex"; "xml", "drop"), or std::nullopt for any other name.
std::optional<TableRendering> table_rendering_named(std::string_view name) noexcept;
std::optional<MathsRendering> maths_rendering_named(std::string_view name) noexcept;
std::optional<InstructionRendering> instruction_rendering_named(std::string_view name) noexcept;

}  // namespace tessellox
