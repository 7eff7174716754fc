#include "records/raw_text.hpp"

#include "normalize.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

// ASCII text with no entity reference, no white space but single spaces:
// what it reads as is what it is.
bool is_plain(std::string_view text) noexcept {
  char previous = 0;
  for (const char c : text) {
    if (c == '&' || (c < ' ' && c >= 0) || (c & 0x80) != 0 || (c == ' ' && previous == ' ')) return false;
    previous = c;
  }
  return true;
}

}  // namespace

const RawXml* raw_child(const RawXml* node, std::string_view name) noexcept {
  if (node == nullptr) return nullptr;
  for (const RawXml& candidate : node->children())
    if (candidate.is_element() && candidate.name() == name) return &candidate;
  return nullptr;
}

const RawXml* raw_path(const RawXml* node, std::initializer_list<std::string_view> names) noexcept {
  for (std::string_view name : names) node = raw_child(node, name);
  return node;
}

void append_raw_text(const RawXml& node, std::string& out) {
  if (node.is_text()) {
    append_normalized_text(node.text(), out);
    return;
  }
  for (const RawXml& child_node : node.children()) append_raw_text(child_node, out);
}

OptString raw_text(const RawXml* node, Arena& arena) {
  if (node == nullptr) return std::nullopt;
  // An element that holds one element alone (NAM > SNM > STEXT > PDAT) has
  // that element's text.
  while (node->children().size() == 1 && node->children()[0].is_element()) node = &node->children()[0];
  const auto children = node->children();
  if (children.size() == 1 && children[0].is_text()) {
    std::string_view text = children[0].text();
    const auto visible_ascii = [](char c) { return c > ' ' && c < 0x7F; };
    if (text.empty() || !visible_ascii(text.front()) || !visible_ascii(text.back())) text = trim(text);
    if (is_plain(text)) {
      if (text.empty()) return std::nullopt;
      return text;
    }
  }
  std::string joined;
  append_raw_text(*node, joined);
  const std::string collapsed = collapse_white_space(joined);
  if (collapsed.empty()) return std::nullopt;
  return arena.copy(collapsed);
}

OptString raw_path_text(const RawXml* node, std::initializer_list<std::string_view> names, Arena& arena) {
  return raw_text(raw_path(node, names), arena);
}

OptString raw_attribute(const RawXml& node, std::string_view name) noexcept {
  for (const Attribute& attribute : node.attributes())
    if (attribute.name() == name) return attribute.value();
  return std::nullopt;
}

}  // namespace tessellox
