#include "source/xml/extract.hpp"

#include <cstdint>

#include "text.hpp"

namespace tessellox::xml {

namespace {

std::string to_string(std::string_view view) { return std::string(view); }

// Most text starts with a letter, so the first byte usually decides.
bool is_white_space_only(std::string_view text) noexcept {
  if (!text.empty()) {
    const unsigned char first = static_cast<unsigned char>(text.front());
    if (first < 0x80 && first != ' ' && (first < '\t' || first > '\r')) return false;
  }
  return trim_start(text).empty();
}

OptString to_opt_string(std::optional<std::string_view> view) {
  if (!view) return std::nullopt;
  return std::string(*view);
}

}  // namespace

// ---------------------------------------------------------------------------
// Node queries
// ---------------------------------------------------------------------------

std::string_view node_name(NodeRef node) noexcept {
  if (node.is_null()) return {};
  switch (node.kind()) {
    case NodeKind::Element:
      return node.local_name();
    case NodeKind::ProcessingInstruction:
      return node.target();
    default:
      return {};
  }
}

bool is_element_named(NodeRef node, std::string_view name) noexcept {
  return node.is_element() && node.local_name() == name;
}

bool is_blank_character_data(NodeRef node) noexcept {
  return node.is_character_data() && is_white_space_only(node.value());
}

NodeRef first_child_element(NodeRef node, std::string_view name) noexcept {
  for (NodeRef child : node.children()) {
    if (is_element_named(child, name)) return child;
  }
  return NodeRef();
}

Attributes copy_attributes(NodeRef node) {
  Attributes attributes;
  if (!node.is_element() || node.attribute_count() == 0) return attributes;
  attributes.reserve(node.attribute_count());
  for (AttributeView view : node.attributes()) {
    Attribute& attribute = attributes.emplace_back();
    attribute.name.assign(view.local_name);
    attribute.value.assign(view.value);
    if (view.prefix) attribute.prefix = to_string(*view.prefix);
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

OptString attribute_string(NodeRef element, std::string_view name) {
  return to_opt_string(attribute_value(element, name));
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

void append_text_content(NodeRef node, std::string& out) {
  if (node.is_null()) return;
  switch (node.kind()) {
    case NodeKind::Text:
    case NodeKind::CData:
      out.append(node.value());
      return;
    case NodeKind::EntityReference:
      if (node.has_replacement()) out.append(node.value());
      return;
    case NodeKind::Element:
    case NodeKind::Document:
      for (NodeRef child : node.children()) append_text_content(child, out);
      return;
    default:
      return;
  }
}

std::string text_content(NodeRef node) {
  std::string out;
  append_text_content(node, out);
  return out;
}

std::string trimmed_text(NodeRef node) {
  // Most elements read this way hold one piece of character data: trim the
  // view and copy once.
  const NodeRef first = node.first_child();
  if (node.is_element() && !first.is_null() && first.next_sibling().is_null() && first.is_character_data()) {
    return to_string(trim(first.value()));
  }
  if (node.is_character_data()) return to_string(trim(node.value()));
  std::string text = text_content(node);
  const std::string_view kept = trim(text);
  if (kept.size() == text.size()) return text;
  const std::size_t start = static_cast<std::size_t>(kept.data() - text.data());
  const std::size_t length = kept.size();
  text.erase(start + length);
  text.erase(0, start);
  return text;
}

namespace {

OptString trimmed_or_absent(NodeRef element) {
  std::string text = trimmed_text(element);
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

OptString child_text(NodeRef element, std::initializer_list<std::string_view> names) {
  for (NodeRef child : child_elements(element)) {
    const std::string_view name = child.local_name();
    for (std::string_view wanted : names) {
      if (name == wanted) return trimmed_or_absent(child);
    }
  }
  return std::nullopt;
}

OptString child_text(NodeRef element, std::string_view name) {
  const NodeRef child = first_child_element(element, name);
  if (child.is_null()) return std::nullopt;
  return trimmed_or_absent(child);
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

OptLevel level(NodeRef element) noexcept {
  if (std::optional<std::string_view> value = attribute_value(element, "level")) return parse_level(*value);
  if (std::optional<std::string_view> value = attribute_value(element, "lvl")) return parse_level(*value);
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Captured nodes
// ---------------------------------------------------------------------------

namespace {

void append_document_type(const Tree& tree, std::string& out) {
  const std::optional<DocumentTypeInfo> info = tree.document_type_info();
  if (!info) return;
  out += "<!DOCTYPE ";
  out += info->name;
  if (info->public_id) {
    out += " PUBLIC \"";
    out += *info->public_id;
    out += '"';
    if (info->system_id) {
      out += " \"";
      out += *info->system_id;
      out += '"';
    }
  } else if (info->system_id) {
    out += " SYSTEM \"";
    out += *info->system_id;
    out += '"';
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

OptString non_empty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

std::size_t child_count(NodeRef node) noexcept {
  std::size_t count = 0;
  for (NodeRef child = node.first_child(); !child.is_null(); child = child.next_sibling()) ++count;
  return count;
}

void append_captured_text(NodeRef node, std::string& out) {
  if (node.is_null()) return;
  switch (node.kind()) {
    case NodeKind::Text:
    case NodeKind::CData:
      out.append(node.value());
      break;
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
      if (node.has_replacement()) {
        out.append(node.value());
      } else {
        out += '&';
        out += node.local_name();
        out += ';';
      }
      break;
    case NodeKind::DocumentType:
      append_document_type(node.tree(), out);
      break;
    case NodeKind::Element:
    case NodeKind::Document:
      append_text_content(node, out);
      break;
  }
}

std::string captured_text(NodeRef node) {
  std::string out;
  append_captured_text(node, out);
  return out;
}

namespace {

// Fills a default-constructed record in place: captured subtrees can be
// large, so children are sized once and never moved.
void capture_into(NodeRef node, RawXml& raw) {
  if (!node.is_element()) {
    raw.kind = RawXml::Kind::Text;
    append_captured_text(node, raw.text);
    return;
  }
  raw.kind = RawXml::Kind::Element;
  raw.name.assign(node.local_name());
  if (std::optional<std::string_view> prefix = node.prefix()) raw.prefix = to_string(*prefix);
  raw.attributes = copy_attributes(node);
  raw.children.reserve(child_count(node));
  // Constructed from a value rather than value-initialised, which would
  // first zero every record.
  for (NodeRef child : node.children()) capture_into(child, raw.children.emplace_back(RawXml::make_text(std::string())));
}

}  // namespace

RawXml capture_node(NodeRef node) {
  RawXml raw;
  capture_into(node, raw);
  return raw;
}

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

std::optional<InlineKind> inline_kind(std::string_view name) noexcept {
  if (name.empty()) return std::nullopt;
  switch (name.front()) {
    case 'b':
      if (name == "b" || name == "bold") return InlineKind::Bold;
      break;
    case 'i':
      if (name == "i" || name == "italic") return InlineKind::Italic;
      break;
    case 'h':
      if (name == "highlight") return InlineKind::Highlight;
      break;
    case 'n':
      if (name == "number") return InlineKind::Number;
      break;
    case 'c':
      if (name == "claim-text") return InlineKind::ClaimText;
      if (name == "cross-reference") return InlineKind::CrossReference;
      if (name == "claim-ref") return InlineKind::DependentClaimReference;
      break;
    case 'f':
      if (name == "figref") return InlineKind::FigureReference;
      break;
    case 'd':
      if (name == "dependent-claim-reference") return InlineKind::DependentClaimReference;
      break;
    default:
      break;
  }
  return std::nullopt;
}

namespace {

// White space between inline elements on one line ("<b>1</b> <b>2</b>") is
// content; indentation between pretty-printed elements always holds a line
// feed and is not.
bool is_droppable_white_space(std::string_view text) noexcept {
  if (!is_white_space_only(text)) return false;
  return text.empty() || text.find('\n') != std::string_view::npos;
}

OptString reference_target(NodeRef element, InlineKind kind) {
  switch (kind) {
    case InlineKind::CrossReference:
      return attribute_string(element, "target");
    case InlineKind::FigureReference:
      if (std::optional<std::string_view> idref = attribute_value(element, "idref")) return to_string(*idref);
      return attribute_string(element, "target");
    case InlineKind::DependentClaimReference:
      if (std::optional<std::string_view> depends_on = attribute_value(element, "depends_on")) {
        return to_string(*depends_on);
      }
      return attribute_string(element, "idref");
    default:
      return std::nullopt;
  }
}

// Nodes are built in place, each starting from an empty alternative, so
// that no finished record is moved or copied into the list.
void append_inline_content(NodeRef element, InlineContent& out) {
  out.reserve(out.size() + child_count(element));
  for (NodeRef child : element.children()) {
    switch (child.kind()) {
      case NodeKind::Text:
      case NodeKind::CData:
        if (!is_droppable_white_space(child.value())) {
          out.emplace_back().get<Text>().text.assign(child.value());
        }
        break;
      case NodeKind::EntityReference:
        append_captured_text(child, out.emplace_back().get<Text>().text);
        break;
      case NodeKind::Element:
        if (std::optional<InlineKind> kind = inline_kind(child.local_name())) {
          InlineElement& inline_element = out.emplace_back().emplace<InlineElement>();
          inline_element.kind = *kind;
          inline_element.attributes = copy_attributes(child);
          inline_element.target = reference_target(child, *kind);
          append_inline_content(child, inline_element.content);
        } else {
          capture_into(child, out.emplace_back().emplace<RawXml>());
        }
        break;
      case NodeKind::ProcessingInstruction:
        capture_into(child, out.emplace_back().emplace<RawXml>());
        break;
      default:
        break;
    }
  }
}

}  // namespace

InlineContent inline_content(NodeRef element) {
  InlineContent content;
  append_inline_content(element, content);
  return content;
}

// ---------------------------------------------------------------------------
// Body records
// ---------------------------------------------------------------------------

Heading build_heading(NodeRef element) {
  Heading heading;
  heading.attributes = copy_attributes(element);
  heading.content = inline_content(element);
  heading.align = attribute_string(element, "align");
  heading.lvl = level(element);
  return heading;
}

Paragraph build_paragraph(NodeRef element) {
  Paragraph paragraph;
  paragraph.attributes = copy_attributes(element);
  paragraph.id = attribute_string(element, "id");
  paragraph.lvl = level(element);
  paragraph.content = inline_content(element);
  return paragraph;
}

ClaimElement build_claim_element(NodeRef element) {
  ClaimElement claim;
  claim.attributes = copy_attributes(element);
  claim.content = inline_content(element);
  claim.id = attribute_string(element, "id");
  return claim;
}

Figure build_figure(NodeRef element) {
  Figure figure;
  figure.attributes = copy_attributes(element);
  figure.id = attribute_string(element, "id");
  for (NodeRef child : child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "img" || name == "image") {
      Image image;
      image.attributes = copy_attributes(child);
      image.id = attribute_string(child, "id");
      image.file = attribute_string(child, "file");
      image.imf = attribute_string(child, "imf");
      image.ti = attribute_string(child, "ti");
      figure.items.emplace_back(std::move(image));
    } else {
      figure.items.emplace_back(capture_node(child));
    }
  }
  return figure;
}

DocumentId document_identity(NodeRef document_id) {
  DocumentId identity;
  if (OptString number = child_text(document_id, "doc-number")) identity.doc_number = std::move(*number);
  identity.kind_code = child_text(document_id, "kind");
  identity.document_date = child_text(document_id, "date");
  identity.country_code = child_text(document_id, "country");
  return identity;
}

// ---------------------------------------------------------------------------
// The front end
// ---------------------------------------------------------------------------

Result<NodeRef, ParseError> checked_root(const Tree& tree, std::string_view root_name,
                                         std::string_view wrong_root_message) {
  const NodeRef root = tree.root_element();
  if (root.is_null()) return ParseError::xml(to_string(messages::kMissingRootElement));
  if (root.local_name() != root_name) return ParseError::structure(to_string(wrong_root_message));
  return root;
}

namespace {

bool is_declaration_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct DeclarationValues {
  std::optional<std::string_view> version;
  std::optional<std::string_view> encoding;
  std::optional<std::string_view> standalone;
};

// Reads the pseudo-attributes of `<?xml ... ?>`; stops at the first thing
// that is not `name = "value"`.
DeclarationValues read_declaration(std::string_view declaration) {
  DeclarationValues values;
  std::size_t i = 5;  // past "<?xml"
  const std::size_t end = declaration.size() - 2;  // the "?>"
  auto skip_space = [&] {
    while (i < end && is_declaration_space(declaration[i])) ++i;
  };
  while (true) {
    skip_space();
    const std::size_t name_start = i;
    while (i < end && !is_declaration_space(declaration[i]) && declaration[i] != '=') ++i;
    const std::string_view name = declaration.substr(name_start, i - name_start);
    if (name.empty()) break;
    skip_space();
    if (i >= end || declaration[i] != '=') break;
    ++i;
    skip_space();
    if (i >= end || (declaration[i] != '"' && declaration[i] != '\'')) break;
    const char quote = declaration[i++];
    const std::size_t close = declaration.find(quote, i);
    if (close == std::string_view::npos || close > end) break;
    const std::string_view value = declaration.substr(i, close - i);
    i = close + 1;
    std::optional<std::string_view>* slot = nullptr;
    if (name == "version") slot = &values.version;
    else if (name == "encoding") slot = &values.encoding;
    else if (name == "standalone") slot = &values.standalone;
    if (slot != nullptr && !*slot) *slot = value;
  }
  return values;
}

}  // namespace

void capture_prolog(std::string_view text, const Tree& tree, SourceDocument& document) {
  if (const std::optional<DocumentTypeInfo> info = tree.document_type_info()) {
    document.doctype_name = to_string(info->name);
    document.doctype_public_id = to_opt_string(info->public_id);
    document.doctype_system_id = to_opt_string(info->system_id);
    document.doctype_internal_subset = to_opt_string(info->internal_subset);
  }
  // "<?xml-stylesheet ...?>" also starts with "<?xml" but is no declaration.
  const bool has_declaration = text.size() >= 7 && text.substr(0, 5) == "<?xml" &&
                               (is_declaration_space(text[5]) || text[5] == '?');
  const std::size_t close = has_declaration ? text.find("?>") : std::string_view::npos;
  if (close != std::string_view::npos) {
    const DeclarationValues values = read_declaration(text.substr(0, close + 2));
    document.xml_version = to_opt_string(values.version);
    document.xml_encoding = to_opt_string(values.encoding);
    document.xml_standalone = to_opt_string(values.standalone);
  }
  if (!document.xml_version) document.xml_version = to_string(tree.xml_version());
}

}  // namespace tessellox::xml
