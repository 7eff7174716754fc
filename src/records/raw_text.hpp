// Reading values out of captured nodes (RawXml), or straight from the tree
// as they would read once captured: a named child, a path of children, and
// an element's text with its white space collapsed.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "arena.hpp"
#include "model.hpp"
#include "source/xml/tree.hpp"

namespace tessellox {

// The first child element named `name`; nullptr when `node` is null or has none.
const RawXml* raw_child(const RawXml* node, std::string_view name) noexcept;
// raw_child along `names`, one step per name.
const RawXml* raw_path(const RawXml* node, std::initializer_list<std::string_view> names) noexcept;

// The element's text with its white space collapsed; absent for a missing
// element or one with no visible text. A single plain text is used where it
// stands; anything else is joined in `arena`.
OptString raw_text(const RawXml* node, Arena& arena);
OptString raw_path_text(const RawXml* node, std::initializer_list<std::string_view> names, Arena& arena);

// Appends the text of every text node at or below `node`, normalized.
void append_raw_text(const RawXml& node, std::string& out);

// raw_child and raw_text of the element as capture_node would keep it.
xml::NodeRef node_child(xml::NodeRef node, std::string_view name) noexcept;
OptString node_text(xml::NodeRef node, Arena& arena);

// The value of the attribute named `name`; absent without one.
OptString raw_attribute(const RawXml& node, std::string_view name) noexcept;

}  // namespace tessellox
