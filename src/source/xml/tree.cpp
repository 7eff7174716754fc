#include "source/xml/tree.hpp"

#include "source/xml/expat_tree.hpp"
#include "source/xml/scanner.hpp"

namespace tessellox::xml {

static_assert(sizeof(Tree::NodeRecord) == 32, "nodes stay compact: a tree may hold ten million");

NodeRef Tree::root_element() const noexcept {
  for (NodeRef child : document().children()) {
    if (child.is_element()) return child;
  }
  return NodeRef();
}

NodeRef Tree::document_type() const noexcept {
  return doctype_node_ == kNoNode ? NodeRef() : NodeRef(this, doctype_node_);
}

Result<Tree, ParseError> parse_tree(std::string_view text) {
  if (std::optional<Tree> scanned = scan_tree(text)) return std::move(*scanned);
  return parse_tree_with_expat(text);
}

}  // namespace tessellox::xml
