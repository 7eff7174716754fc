#include "records/reread.hpp"

#include <algorithm>
#include <new>
#include <span>

#include "source/xml/extract.hpp"
#include "source/xml/parse_tree.hpp"

namespace tessellox {
namespace {

std::string_view bibliographic_element_name(SourceFormat format) noexcept {
  switch (format) {
    case SourceFormat::UsptoApplicationV15:
    case SourceFormat::UsptoApplicationV16: return "subdoc-bibliographic-information";
    case SourceFormat::UsptoGrantV25: return "SDOBI";
    case SourceFormat::UsptoGrantApsGreenBook:
    case SourceFormat::UsptoSequenceCwu: return {};
    default:
      return static_cast<std::uint8_t>(format) <= static_cast<std::uint8_t>(SourceFormat::UsptoApplicationV46)
                 ? "us-bibliographic-data-application"
                 : "us-bibliographic-data-grant";
  }
}

bool ends_name(char c) noexcept { return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The offset of the first `<name` that is a whole name, npos without one.
std::size_t find_start_tag(std::string_view text, std::string_view name, std::size_t from = 0) noexcept {
  const std::string opening = "<" + std::string(name);
  for (std::size_t at = text.find(opening, from); at != std::string_view::npos; at = text.find(opening, at + 1))
    if (at + opening.size() < text.size() && ends_name(text[at + opening.size()])) return at;
  return std::string_view::npos;
}

// Copies into `arena` every string of the captured tree that is not inside
// `kept`: the parser decodes into its own arena, which dies with the tree, the
// strings it could not decode in place.
void keep_strings(RawXml& node, std::string_view kept, Arena& arena) {
  const auto inside = [kept](std::string_view text) {
    return text.empty() || (text.data() >= kept.data() && text.data() + text.size() <= kept.data() + kept.size());
  };
  if (node.is_text()) {
    if (!inside(node.text())) node = RawXml::make_text(arena.copy(node.text()));
    return;
  }
  for (const Attribute& attribute : node.attributes()) {
    if (inside(attribute.qualified_name()) && inside(attribute.value())) continue;
    // The attribute block is this capture's own, in `arena`.
    const_cast<Attribute&>(attribute) =
        Attribute(arena.copy(attribute.qualified_name()), arena.copy(attribute.value()));
  }
  for (const RawXml& child : node.children()) keep_strings(const_cast<RawXml&>(child), kept, arena);
}

}  // namespace

std::string bibliographic_markup(std::string_view text, SourceFormat format) {
  const std::string_view name = bibliographic_element_name(format);
  if (name.empty()) return {};
  const std::size_t start = find_start_tag(text, name);
  if (start == std::string_view::npos) return {};
  const std::string closing = "</" + std::string(name) + ">";
  const std::size_t end = text.find(closing, start);
  if (end == std::string_view::npos) return {};
  return std::string(text.substr(start, end + closing.size() - start));
}

const RawXml* reread_bibliographic(std::string_view markup, Arena& arena) {
  if (markup.empty()) return nullptr;
  // The nodes point into the markup, which lives as long as the arena and
  // which the parse decodes in place where it can.
  char* buffer = static_cast<char*>(arena.allocate(markup.size()));
  std::copy(markup.begin(), markup.end(), buffer);
  const std::string_view kept(buffer, markup.size());
  auto tree = xml::parse_tree_in_place(std::span<char>(buffer, markup.size()));
  if (!tree) return nullptr;
  const xml::NodeRef root = tree.value().root_element();
  if (root.is_null()) return nullptr;
  auto* captured = ::new (arena.allocate(sizeof(RawXml), alignof(RawXml))) RawXml(xml::capture_node(root, arena));
  keep_strings(*captured, kept, arena);
  return captured;
}

}  // namespace tessellox
