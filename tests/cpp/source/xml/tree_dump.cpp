#include "tree_dump.hpp"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessellox::xml {

namespace {

std::string_view kind_name(NodeKind kind) noexcept {
  switch (kind) {
    case NodeKind::Document: return "document";
    case NodeKind::DocumentType: return "doctype";
    case NodeKind::Element: return "element";
    case NodeKind::Text: return "text";
    case NodeKind::CData: return "cdata";
    case NodeKind::Comment: return "comment";
    case NodeKind::ProcessingInstruction: return "pi";
    case NodeKind::EntityReference: return "entity-reference";
  }
  return "unknown-kind";
}

void append_quoted(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  out += '"';
}

void append_optional(std::string& out, const std::optional<std::string_view>& text) {
  if (text) {
    append_quoted(out, *text);
  } else {
    out += "absent";
  }
}

void append_node(std::string& out, NodeRef node, std::size_t depth) {
  out += std::to_string(depth);
  out += ' ';
  out += kind_name(node.kind());
  out += " name=";
  append_quoted(out, node.qualified_name());
  out += " prefix=";
  append_optional(out, node.prefix());
  out += " value=";
  append_quoted(out, node.value());
  out += node.has_replacement() ? " replacement=yes" : " replacement=no";
  if (node.is_character_data()) {
    out += node.is_white_space() ? " white-space=yes" : " white-space=no";
    if (node.holds_line_feed()) out += " line-feed";
  }
  out += " attributes=";
  out += std::to_string(node.attribute_count());
  out += '\n';
  for (const AttributeView attribute : node.attributes()) {
    out += "  @ prefix=";
    append_optional(out, attribute.prefix);
    out += " local=";
    append_quoted(out, attribute.local_name);
    out += " value=";
    append_quoted(out, attribute.value);
    out += '\n';
  }
}

}  // namespace

std::string dump_tree(const Tree& tree) {
  std::string out = "version ";
  append_quoted(out, tree.xml_version());
  out += '\n';
  if (const std::optional<DocumentTypeInfo> doctype = tree.document_type_info()) {
    out += "doctype name=";
    append_quoted(out, doctype->name);
    out += " public=";
    append_optional(out, doctype->public_id);
    out += " system=";
    append_optional(out, doctype->system_id);
    out += " subset=";
    append_optional(out, doctype->internal_subset);
    out += '\n';
  } else {
    out += "doctype absent\n";
  }

  // Depth first without recursion: `path` holds the node being written and
  // its open ancestors, so its size is the depth.
  std::vector<NodeRef> path{tree.document()};
  while (!path.empty()) {
    const NodeRef node = path.back();
    append_node(out, node, path.size() - 1);
    if (const NodeRef child = node.first_child()) {
      path.push_back(child);
      continue;
    }
    while (!path.empty()) {
      const NodeRef sibling = path.back().next_sibling();
      path.pop_back();
      if (sibling) {
        path.push_back(sibling);
        break;
      }
    }
  }
  return out;
}

std::string dump_without_hollow_content(const std::string& dump, std::string_view hollow) {
  std::string out;
  bool inside = false;   // below a hollow child
  bool dropped = false;  // the last node's line was left out, and so are its attributes'
  std::size_t start = 0;
  while (start < dump.size()) {
    const std::size_t end = dump.find('\n', start) + 1;
    const std::string_view line(dump.data() + start, end - start);
    start = end;
    if (line.front() >= '0' && line.front() <= '9') {
      const std::size_t depth = std::strtoul(line.data(), nullptr, 10);
      dropped = inside && depth > 2;
      if (dropped) continue;
      inside = false;
      if (line.starts_with("2 element name=\"")) {
        std::string_view name = line.substr(line.find('"') + 1);
        name = name.substr(0, name.find('"'));
        if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
        inside = name == hollow;
      }
    } else if (dropped) {
      continue;
    }
    out.append(line);
  }
  return out;
}

}  // namespace tessellox::xml
