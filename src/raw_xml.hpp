// Captured nodes written back as markup, for the Markdown body and for plain
// text alike.
#pragma once

#include <string>
#include <vector>

#include "model.hpp"
#include "normalize.hpp"

namespace tessellox {

// Appends `node` as XML: explicit end tags, attributes in their order with
// values unchanged, nothing escaped; text nodes pass through the entity
// mapping. Iterative, as every walk over RawXml is.
void append_raw_xml(const RawXml& node, std::string& out);

// An element's start and end tags as append_raw_xml writes them.
void append_start_tag(const RawXml& element, std::string& out);
void append_end_tag(const RawXml& element, std::string& out);

// Walks `node`'s subtree, `node` included, in document order and
// iteratively: `visit(node)` is called on each node, text and elements
// alike, and returns true when it is done with it: its content is then
// passed over.
template <class Visit>
void walk_raw_xml(const RawXml& node, Visit&& visit) {
  std::vector<const RawXml*> pending{&node};
  while (!pending.empty()) {
    const RawXml* top = pending.back();
    pending.pop_back();
    if (visit(*top)) continue;
    const auto children = top->children();
    for (std::size_t i = children.size(); i-- > 0;) pending.push_back(&children[i]);
  }
}

// append_raw_xml with each element offered first to `write_instead`, which
// returns true when it has written the element (and its content) itself.
template <class WriteInstead>
void append_raw_xml_with(const RawXml& node, std::string& out, WriteInstead&& write_instead) {
  if (node.is_text()) {
    append_normalized_text(node.text(), out);
    return;
  }
  if (write_instead(node)) return;
  // Each frame is an open element and the index of its next child.
  struct Frame {
    const RawXml* element;
    std::size_t next_child;
  };
  std::vector<Frame> open;
  append_start_tag(node, out);
  open.push_back({&node, 0});
  while (!open.empty()) {
    Frame& top = open.back();
    if (top.next_child == top.element->children().size()) {
      append_end_tag(*top.element, out);
      open.pop_back();
      continue;
    }
    const RawXml& child = top.element->children()[top.next_child++];
    if (child.is_text()) {
      append_normalized_text(child.text(), out);
    } else if (!write_instead(child)) {
      append_start_tag(child, out);
      open.push_back({&child, 0});  // may invalidate `top`; not used after this
    }
  }
}

}  // namespace tessellox
