// Reading values out of captured nodes (RawXml): a named child, a path of
// children, an element's text with its white space collapsed, and the plain
// text of a run of paragraphs.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "arena.hpp"
#include "model.hpp"

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

// The value of the attribute named `name`; absent without one.
OptString raw_attribute(const RawXml& node, std::string_view name) noexcept;

}  // namespace tessellox
