// Reading values out of captured nodes (RawXml), or straight from the tree
// as they would read once captured: a named child, a path of children, and
// an element's text with its white space collapsed.
#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

#include "arena.hpp"
#include "model.hpp"
#include "source/xml/tree.hpp"

namespace tessellox {

// The first child element named `name`; nullptr when `node` is null or has none.
const RawXml* raw_child(const RawXml* node, std::string_view name) noexcept;

// The element's text with its white space collapsed; absent for a missing
// element or one with no visible text. A single plain text is used where it
// stands; anything else is joined in `arena`.
OptString raw_text(const RawXml* node, Arena& arena);

// Appends the text of every text node at or below `node`, normalized.
void append_raw_text(const RawXml& node, std::string& out);

// raw_child, raw_text and raw_attribute of the element as capture_node
// would keep it.
xml::NodeRef node_child(xml::NodeRef node, std::string_view name) noexcept;
OptString node_text(xml::NodeRef node, Arena& arena);
OptString node_attribute(xml::NodeRef node, std::string_view name) noexcept;

// What a reader asks of a captured node (a RawXml's address, null for none)
// and of a tree's node alike, for the readers that read both.
inline const RawXml* child_named(const RawXml* node, std::string_view name) noexcept { return raw_child(node, name); }
inline xml::NodeRef child_named(xml::NodeRef node, std::string_view name) noexcept { return node_child(node, name); }
inline OptString text_of(const RawXml* node, Arena& arena) { return raw_text(node, arena); }
inline OptString text_of(xml::NodeRef node, Arena& arena) { return node_text(node, arena); }
inline std::string_view name_of(const RawXml* node) noexcept { return node->name(); }
inline std::string_view name_of(xml::NodeRef node) noexcept { return node.local_name(); }

// The first child of each name in turn, one step per name.
template <class Node>
Node path_of(Node node, std::initializer_list<std::string_view> names) noexcept {
  for (std::string_view name : names) node = child_named(node, name);
  return node;
}

template <class Node>
OptString path_text(Node node, std::initializer_list<std::string_view> names, Arena& arena) {
  return text_of(path_of(node, names), arena);
}

// `visit(child)` for each child element, none for a null node.
template <class Visit>
void for_each_child_element(const RawXml* node, Visit&& visit) {
  if (node == nullptr) return;
  for (const RawXml& child : node->children())
    if (child.is_element()) visit(&child);
}
template <class Visit>
void for_each_child_element(xml::NodeRef node, Visit&& visit) {
  for (xml::NodeRef child : node.children())
    if (child.is_element()) visit(child);
}

// The value of the attribute named `name`; absent without one.
OptString raw_attribute(const RawXml& node, std::string_view name) noexcept;

// The first child element of each name in `names`, in one pass over the
// children: a citation's or a party's parts are read by the thousand.
template <class Node, std::size_t N>
std::array<Node, N> first_children(Node parent, const std::array<std::string_view, N>& names) {
  std::array<Node, N> found{};
  for_each_child_element(parent, [&](Node child) {
    const std::string_view name = name_of(child);
    for (std::size_t index = 0; index < N; ++index) {
      if (name != names[index]) continue;
      if (!found[index]) found[index] = child;
      break;
    }
  });
  return found;
}

}  // namespace tessellox
