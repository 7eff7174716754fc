#include "records/raw_text.hpp"

#include "normalize.hpp"
#include "source/xml/extract.hpp"
#include "text.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessellox {
namespace {

// ASCII text with no entity reference, no white space but single spaces:
// what it reads as is what it is. Sixteen bytes at a time: citations and
// names are read by the thousand, some of them long.
bool is_plain(std::string_view text) noexcept {
  const char* p = text.data();
  const char* const end = p + text.size();
#if defined(__SSE2__)
  const __m128i ampersand = _mm_set1_epi8('&');
  const __m128i space = _mm_set1_epi8(' ');
  // Each byte with the one after it, so the loop stops a byte short.
  while (end - p > 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    // A signed compare below ' ' catches the controls and every byte >= 0x80 at once.
    const __m128i other = _mm_or_si128(_mm_cmpeq_epi8(bytes, ampersand), _mm_cmplt_epi8(bytes, space));
    const __m128i double_space = _mm_and_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(next, space));
    if (_mm_movemask_epi8(_mm_or_si128(other, double_space)) != 0) return false;
    p += 16;
  }
#endif
  // The rest, or a short value whole, without a branch a byte: most values
  // are a few letters long.
  unsigned other = 0;
  unsigned previous_space = p != text.data() && p[-1] == ' ' ? 1 : 0;
  for (; p != end; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    const unsigned is_space = byte == ' ' ? 1 : 0;
    other |= static_cast<unsigned>(byte == '&' || byte < ' ' || byte >= 0x80) | (is_space & previous_space);
    previous_space = is_space;
  }
  return other == 0;
}

}  // namespace

const RawXml* raw_child(const RawXml* node, std::string_view name) noexcept {
  if (node == nullptr || name.empty()) return nullptr;
  for (const RawXml& candidate : node->children()) {
    if (!candidate.is_element()) continue;
    // Sibling names often share a length ("DNUM", "DATE", "KIND"): the first
    // letter tells most apart before a call to compare the rest.
    const std::string_view candidate_name = candidate.name();
    if (candidate_name.size() == name.size() && candidate_name.front() == name.front() && candidate_name == name)
      return &candidate;
  }
  return nullptr;
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

namespace {

// What a text or other non-element node reads as once captured: its
// characters, or its XML spelling (captured_text), written to `scratch`
// where it is not a view of the tree.
std::string_view captured_form(xml::NodeRef node, std::string& scratch) {
  if (node.is_character_data()) return node.value();
  if (node.kind() == xml::NodeKind::EntityReference)
    return node.has_replacement() ? node.value() : node.reference_as_written();
  scratch.clear();
  xml::append_captured_text(node, scratch);
  return scratch;
}

// append_raw_text of the node's capture. Depth is bounded by the parser's
// nesting limit, as capture_node's is.
void append_node_text(xml::NodeRef node, std::string& out, std::string& scratch) {
  if (!node.is_element()) {
    append_normalized_text(captured_form(node, scratch), out);
    return;
  }
  for (xml::NodeRef child : node.children()) append_node_text(child, out, scratch);
}

}  // namespace

xml::NodeRef node_child(xml::NodeRef node, std::string_view name) noexcept {
  if (node.is_null() || name.empty()) return {};
  for (xml::NodeRef candidate : node.children()) {
    if (!candidate.is_element()) continue;
    const std::string_view candidate_name = candidate.local_name();
    if (candidate_name.size() == name.size() && candidate_name.front() == name.front() && candidate_name == name)
      return candidate;
  }
  return {};
}

OptString node_text(xml::NodeRef node, Arena& arena) {
  if (node.is_null()) return std::nullopt;
  while (node.child_count() == 1 && node.first_child().is_element()) node = node.first_child();
  std::string scratch;
  if (node.child_count() == 1) {
    std::string_view text = captured_form(node.first_child(), scratch);
    const auto visible_ascii = [](char c) { return c > ' ' && c < 0x7F; };
    if (text.empty() || !visible_ascii(text.front()) || !visible_ascii(text.back())) text = trim(text);
    if (is_plain(text)) {
      if (text.empty()) return std::nullopt;
      return scratch.empty() ? text : arena.copy(text);  // a comment's or PI's spelling is in `scratch`
    }
  }
  std::string joined;
  append_node_text(node, joined, scratch);
  const std::string collapsed = collapse_white_space(joined);
  if (collapsed.empty()) return std::nullopt;
  return arena.copy(collapsed);
}

OptString node_attribute(xml::NodeRef node, std::string_view name) noexcept {
  for (const xml::AttributeView attribute : node.attributes())
    if (attribute.local_name == name) return attribute.value;
  return std::nullopt;
}

OptString raw_attribute(const RawXml& node, std::string_view name) noexcept {
  for (const Attribute& attribute : node.attributes())
    if (attribute.name() == name) return attribute.value();
  return std::nullopt;
}

}  // namespace tessellox
