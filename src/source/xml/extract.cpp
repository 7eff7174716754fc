#include "source/xml/extract.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "text.hpp"

namespace tessellox::xml {

namespace {

// A copy of `text` in the arena, for strings the tree does not hold as they are.
std::string_view keep(Arena& arena, std::string_view text) { return arena.copy(text); }

}  // namespace

// ---------------------------------------------------------------------------
// Node queries
// ---------------------------------------------------------------------------

bool is_element_named(NodeRef node, std::string_view name) noexcept {
  return node.is_element() && node.local_name() == name;
}

bool is_blank_character_data(NodeRef node) noexcept { return node.is_character_data() && node.is_white_space(); }

NodeRef first_child_element(NodeRef node, std::string_view name) noexcept {
  for (NodeRef child : node.children()) {
    if (is_element_named(child, name)) return child;
  }
  return NodeRef();
}

Attributes copy_attributes(NodeRef node, Arena& arena) {
  Attributes attributes;
  const std::size_t count = node.attribute_count();
  if (count == 0 || !node.is_element()) return attributes;
  attributes.reserve(arena, count);
  for (std::size_t i = 0; i < count; ++i) {
    attributes.push_back(arena, model_attribute(node.attribute(i)));
  }
  return attributes;
}

std::optional<std::string_view> attribute_value(NodeRef element, std::string_view name) noexcept {
  if (!element.is_element()) return std::nullopt;
  for (AttributeView view : element.attributes()) {
    if (view.local_name == name) return view.value;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

void append_text_content(NodeRef node, std::string& out) {
  if (node.is_null()) return;
  switch (node.kind()) {
    case NodeKind::Text:
    case NodeKind::CData: out.append(node.value()); return;
    case NodeKind::EntityReference:
      if (node.has_replacement()) out.append(node.value());
      return;
    case NodeKind::Element:
    case NodeKind::Document:
      for (NodeRef child : node.children()) append_text_content(child, out);
      return;
    default: return;
  }
}

std::string text_content(NodeRef node) {
  std::string out;
  append_text_content(node, out);
  return out;
}

std::string_view trimmed_text(NodeRef node, Arena& arena) {
  // Most elements read this way hold one piece of character data: its
  // trimmed view is the text, with nothing copied.
  const NodeRef first = node.first_child();
  if (node.is_element() && !first.is_null() && first.next_sibling().is_null() && first.is_character_data()) {
    return trim(first.value());
  }
  if (node.is_character_data()) return trim(node.value());
  const std::string text = text_content(node);
  return keep(arena, trim(text));
}

namespace {

OptString trimmed_or_absent(NodeRef element, Arena& arena) {
  const std::string_view text = trimmed_text(element, arena);
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

OptString child_text(NodeRef element, std::initializer_list<std::string_view> names, Arena& arena) {
  for (NodeRef child : child_elements(element)) {
    const std::string_view name = child.local_name();
    for (std::string_view wanted : names) {
      if (name == wanted) return trimmed_or_absent(child, arena);
    }
  }
  return std::nullopt;
}

OptString child_text(NodeRef element, std::string_view name, Arena& arena) {
  const NodeRef child = first_child_element(element, name);
  if (child.is_null()) return std::nullopt;
  return trimmed_or_absent(child, arena);
}

OptLevel parse_level(std::string_view value) noexcept {
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  if (value.empty()) return std::nullopt;
  std::uint64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
    if (number > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(number);
}

OptLevel level_attribute(NodeRef element, std::string_view name) noexcept {
  const std::optional<std::string_view> value = attribute_value(element, name);
  if (!value) return std::nullopt;
  return parse_level(*value);
}

OptLevel level(NodeRef element) noexcept {
  if (attribute_value(element, "level")) return level_attribute(element, "level");
  return level_attribute(element, "lvl");
}

// ---------------------------------------------------------------------------
// Captured nodes
// ---------------------------------------------------------------------------

namespace {

void append_document_type(const Tree& tree, std::string& out) {
  const std::optional<DocumentTypeInfo> info = tree.document_type_info();
  if (!info) return;
  const auto append_quoted = [&out](std::string_view before, std::string_view literal) {
    out += before;
    out += '"';
    out += literal;
    out += '"';
  };
  out += "<!DOCTYPE ";
  out += info->name;
  if (info->public_id) {
    append_quoted(" PUBLIC ", *info->public_id);
    if (info->system_id) append_quoted(" ", *info->system_id);
  } else if (info->system_id) {
    append_quoted(" SYSTEM ", *info->system_id);
  }
  if (info->internal_subset) {
    out += " [";
    out += *info->internal_subset;
    out += ']';
  }
  out += '>';
}

}  // namespace

std::size_t child_element_count(NodeRef node) noexcept {
  std::size_t count = 0;
  for (NodeRef child = node.first_child(); !child.is_null(); child = child.next_sibling())
    count += child.is_element() ? 1 : 0;
  return count;
}

OptString non_empty(std::string_view text) noexcept {
  if (text.empty()) return std::nullopt;
  return text;
}

std::size_t child_count(NodeRef node) noexcept { return node.child_count(); }

void append_captured_text(NodeRef node, std::string& out) {
  if (node.is_null()) return;
  switch (node.kind()) {
    case NodeKind::Comment:
      out.reserve(out.size() + node.value().size() + 7);
      out += "<!--";
      out += node.value();
      out += "-->";
      break;
    case NodeKind::ProcessingInstruction:
      out += "<?";
      out += node.target();
      if (!node.value().empty()) {
        out += ' ';
        out += node.value();
      }
      out += "?>";
      break;
    case NodeKind::EntityReference:
      out.append(node.has_replacement() ? node.value() : node.reference_as_written());
      break;
    case NodeKind::DocumentType: append_document_type(node.tree(), out); break;
    default: append_text_content(node, out); break;  // character data, and the text of elements
  }
}

std::string_view captured_text(NodeRef node, Arena& arena) {
  if (node.is_character_data()) return node.value();
  if (node.kind() == NodeKind::EntityReference)
    return node.has_replacement() ? node.value() : node.reference_as_written();
  std::string out;
  append_captured_text(node, out);
  return keep(arena, out);
}

RawXml capture_node(NodeRef node, Arena& arena) {
  if (!node.is_element()) return RawXml::make_text(captured_text(node, arena));
  return capture_element(
      node, child_count(node), [](NodeRef) { return true; },
      [&arena](NodeRef child) { return capture_node(child, arena); }, arena);
}

RawXml capture_citations(NodeRef element, RecordCapture* capture, Arena& arena) {
  if (capture == nullptr || capture->read_citations == nullptr) return capture_node(element, arena);
  return capture->read_citations(element, *capture, arena);
}

void read_for_record(NodeRef element, RecordCapture* capture, Arena& arena) {
  if (capture == nullptr || capture->bibliographic_read) return;
  capture->bibliographic_read = true;
  capture->may_hold_ampersand = element.tree().may_hold_ampersand();
  if (capture->read_bibliographic != nullptr) capture->read_bibliographic(element, *capture, arena);
}

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

namespace {

// White space between inline elements on one line ("<b>1</b> <b>2</b>") is
// content; indentation between pretty-printed elements always holds a line
// feed and is not.
bool is_droppable_white_space(NodeRef node) noexcept {
  return node.is_white_space() && (node.holds_line_feed() || node.value().empty());
}

}  // namespace

std::size_t inline_node_bound(NodeRef element) noexcept {
  std::size_t bound = 0;
  for (NodeRef child : element.children()) {
    switch (child.kind()) {
      case NodeKind::Text:
      case NodeKind::CData: bound += is_droppable_white_space(child) ? 0 : 1; break;
      case NodeKind::Comment: break;
      default: ++bound; break;
    }
  }
  return bound;
}

bool append_inline_text(NodeRef child, InlineContent& out, Arena& arena) {
  switch (child.kind()) {
    case NodeKind::Text:
    case NodeKind::CData:
      if (!is_droppable_white_space(child)) out.push_back(arena, Text{child.value()});
      return true;
    case NodeKind::EntityReference: out.push_back(arena, Text{captured_text(child, arena)}); return true;
    default: return false;
  }
}

namespace {

// Text content, except that an unexpanded entity reference keeps its spelling.
void append_leaf_content(NodeRef node, std::string& out) {
  for (NodeRef child : node.children()) {
    switch (child.kind()) {
      case NodeKind::Text:
      case NodeKind::CData: out.append(child.value()); break;
      case NodeKind::EntityReference:
        if (child.has_replacement()) {
          out.append(child.value());
        } else {
          out += '&';
          out.append(child.local_name());
          out += ';';
        }
        break;
      case NodeKind::Element: append_leaf_content(child, out); break;
      default:  // comments and processing instructions carry no text
        break;
    }
  }
}

}  // namespace

void append_leaf_text(NodeRef leaf, InlineContent& out, Arena& arena) {
  std::string_view text;
  const NodeRef first = leaf.first_child();
  // Nearly every leaf holds a single piece of character data: its view.
  if (!first.is_null() && first.next_sibling().is_null() && first.is_character_data()) {
    text = first.value();
  } else {
    std::string joined;
    append_leaf_content(leaf, joined);
    text = keep(arena, joined);
  }
  if (!trim(text).empty()) out.push_back(arena, Text{text});
}

namespace {

// The commonest names first.
constexpr InlineName kInlineNames[] = {
    {"b", InlineKind::Bold},
    {"i", InlineKind::Italic},
    {"claim-text", InlineKind::ClaimText},
    {"figref", InlineKind::FigureReference},
    {"claim-ref", InlineKind::DependentClaimReference},
    {"bold", InlineKind::Bold},
    {"italic", InlineKind::Italic},
    {"highlight", InlineKind::Highlight},
    {"number", InlineKind::Number},
    {"cross-reference", InlineKind::CrossReference},
    {"dependent-claim-reference", InlineKind::DependentClaimReference},
};

constexpr TargetAttributes kTargets[] = {
    {InlineKind::CrossReference, {"target"}},
    {InlineKind::FigureReference, {"idref", "target"}},
    {InlineKind::DependentClaimReference, {"depends_on", "idref"}},
};

constexpr InlineVocabulary kInline{.names = kInlineNames, .targets = kTargets, .keeps_processing_instructions = true};

}  // namespace

InlineContent inline_content(NodeRef element, Arena& arena) { return inline_content_of<kInline>(element, arena); }

// ---------------------------------------------------------------------------
// Body records
// ---------------------------------------------------------------------------

Heading build_heading(NodeRef element, Arena& arena) { return heading_with<kInline, &level>(element, arena); }

Paragraph build_paragraph(NodeRef element, Arena& arena) { return paragraph_with<kInline, &level>(element, arena); }

ClaimElement build_claim_element(NodeRef element, Arena& arena) { return claim_with<kInline>(element, arena); }

Image build_image(NodeRef element, Arena& arena) {
  return Image{copy_attributes(element, arena), attribute_string(element, "id"), attribute_string(element, "file"),
               attribute_string(element, "imf"), attribute_string(element, "ti")};
}

Figure build_figure(NodeRef element, Arena& arena) {
  Figure figure;
  figure.attributes = copy_attributes(element, arena);
  figure.id = attribute_string(element, "id");
  figure.items.reserve(arena, child_element_count(element));
  for (NodeRef child : child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "img" || name == "image") {
      figure.items.push_back(arena, build_image(child, arena));
    } else {
      figure.items.push_back(arena, capture_node(child, arena));
    }
  }
  return figure;
}

DocumentId document_identity(NodeRef document_id, Arena& arena) {
  DocumentId identity;
  if (OptString number = child_text(document_id, "doc-number", arena)) identity.doc_number = *number;
  identity.kind_code = child_text(document_id, "kind", arena);
  identity.document_date = child_text(document_id, "date", arena);
  identity.country_code = child_text(document_id, "country", arena);
  return identity;
}

// ---------------------------------------------------------------------------
// The front end
// ---------------------------------------------------------------------------

Result<NodeRef, ParseError> checked_root(const Tree& tree, std::string_view root_name,
                                         std::string_view wrong_root_message) {
  const NodeRef root = tree.root_element();
  if (root.is_null()) return ParseError::xml(std::string(messages::kMissingRootElement));
  if (root.local_name() != root_name) return ParseError::structure(wrong_root_message);
  return root;
}

void capture_prolog(std::string_view text, const Tree& tree, SourceDocument& document) {
  if (const std::optional<DocumentTypeInfo> info = tree.document_type_info()) {
    document.doctype_name = info->name;
    document.doctype_public_id = info->public_id;
    document.doctype_system_id = info->system_id;
    document.doctype_internal_subset = info->internal_subset;
  }
  document.xml_version = tree.xml_version();
  if (text.starts_with("<?xml")) {
    document.xml_encoding = tree.xml_encoding();
    document.xml_standalone = tree.xml_standalone();
  }
}

}  // namespace tessellox::xml
