#include "raw_xml.hpp"

#include <vector>

#include "normalize.hpp"

namespace tessellox {

namespace {

void append_start_tag(const RawXml& element, std::string& out) {
  out += '<';
  out += element.qualified_name();
  for (const Attribute& attribute : element.attributes()) {
    out += ' ';
    out += attribute.qualified_name();
    out += "=\"";
    out += attribute.value();
    out += '"';
  }
  out += '>';
}

void append_end_tag(const RawXml& element, std::string& out) {
  out += "</";
  out += element.qualified_name();
  out += '>';
}

}  // namespace

void append_raw_xml(const RawXml& node, std::string& out) {
  if (node.is_text()) {
    append_normalized_text(node.text(), out);
    return;
  }
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
    } else {
      append_start_tag(child, out);
      open.push_back({&child, 0});  // may invalidate `top`; not used after this
    }
  }
}

}  // namespace tessellox
