// Captured nodes in the Markdown body: written as XML, as they stand, except
// for the tables and formulas that the options render as Markdown, HTML or
// LaTeX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model.hpp"
#include "raw_xml.hpp"
#include "render/markdown/options.hpp"

namespace tessellox {

// The nesting the renderings follow by recursion: the front end's bound on
// the depth of XML. A deeper captured tree (a model built by other means) is
// written as XML from there on.
inline constexpr std::size_t kMaxRenderDepth = 256;

// Whether a formula block is written as display maths (between "$$" lines)
// or inline, as inside a claim's fenced text.
enum class FormulaLayout : std::uint8_t { Display, Inline };

// Appends `node` as the options say. Returns the offset in `out` where the
// first table or display formula starts (a block that must begin a line),
// or std::string::npos when none was written.
std::size_t append_captured(const RawXml& node, const MarkdownOptions& options, std::string& out,
                            FormulaLayout formulas = FormulaLayout::Display);

// The text of a node's character data, entities mapped, in document order.
void append_text_content(const RawXml& node, std::string& out);

// True for the elements whose content is chemistry, which every option
// writes as XML.
bool is_chemistry_name(std::string_view name) noexcept;

// The value of the attribute with local name `name` (either case), or
// nullptr.
const Attribute* find_attribute(const RawXml& element, std::string_view name) noexcept;

// Appends an image reference to the first image below `element` that names
// a file; false, appending nothing, when there is none.
bool append_image_reference(const RawXml& element, std::string_view alt, std::string& out);

// Appends a block of tables or of formulas by its parts: `write(element)`
// is offered the block's elements in document order and returns true when it
// has written that one, whose content is then passed over. A block none of
// whose parts was written is written as its image, or else as XML; `alt` is
// the image's alternative text.
template <class Write>
void append_block_by_parts(const RawXml& block, std::string_view alt, std::string& out, Write&& write) {
  const std::size_t start = out.size();
  walk_raw_xml(block, [&](const RawXml& node) { return node.is_element() && write(node); });
  if (out.size() != start) return;
  if (!append_image_reference(block, alt, out)) append_raw_xml(block, out);
}

}  // namespace tessellox
