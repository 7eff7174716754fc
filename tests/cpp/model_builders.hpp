// Builders of model records for the tests that write records by hand. Lists
// and the larger inline nodes live in an arena the caller names, and strings
// are views: the caller keeps the arena and every text it passes alive as
// long as the records (string literals always are).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "model.hpp"

namespace tessellox::test {

// The values of a list not yet built, which become a List of whatever element
// type the list initialises, in the arena given: each value is converted to
// that type (an InlineElement or a RawXml into an inline node in the arena).
template <class... Values>
class ListOf {
 public:
  explicit ListOf(Arena& arena, Values... values) : arena_(arena), values_(std::move(values)...) {}

  template <class T>
  operator List<T>() const {  // NOLINT: converts to the list it initialises
    List<T> list;
    list.reserve(arena_, sizeof...(Values));
    std::apply([&](const auto&... value) { (list.push_back(arena_, element<T>(value)), ...); }, values_);
    return list;
  }

 private:
  template <class T, class Value>
  T element(const Value& value) const {
    if constexpr (std::is_constructible_v<T, Arena&, const Value&>) {
      return T(arena_, value);
    } else {
      return T(value);
    }
  }

  Arena& arena_;
  std::tuple<Values...> values_;
};

// list(arena, a, b, c): a list of a, b and c in `arena`, for a List field or argument.
template <class... Values>
ListOf<std::decay_t<Values>...> list(Arena& arena, Values&&... values) {
  return ListOf<std::decay_t<Values>...>(arena, std::forward<Values>(values)...);
}

// The arena of the records that parameter tables hold: a table is built
// before any test runs and lasts as long as the program.
inline Arena& table_arena() {
  static Arena arena;
  return arena;
}

// list[index], or std::out_of_range (which fails the test) past its end.
template <class T>
const T& at(const List<T>& list, std::size_t index) {
  if (index >= list.size()) throw std::out_of_range("list index out of range");
  return list[index];
}

// --- inline content -----------------------------------------------------------

inline InlineNode text(std::string_view value) { return InlineNode(Text{value}); }

inline InlineNode element(Arena& arena, InlineKind kind, InlineContent content) {
  InlineElement node;
  node.kind = kind;
  node.content = content;
  return InlineNode(arena, node);
}
inline InlineNode element(Arena& arena, InlineKind kind, std::initializer_list<InlineNode> content) {
  return element(arena, kind, InlineContent(arena, content));
}

inline InlineNode claim_text(Arena& arena, std::initializer_list<InlineNode> content) {
  return element(arena, InlineKind::ClaimText, content);
}

// --- captured nodes -------------------------------------------------------------

inline RawXml raw_text(std::string_view value) { return RawXml::make_text(value); }

inline RawXml raw_element(Arena& arena, std::string_view name, std::initializer_list<Attribute> attributes,
                          std::initializer_list<RawXml> children, OptString prefix = std::nullopt) {
  char* block = static_cast<char*>(
      arena.allocate(RawXml::block_bytes(attributes.size(), children.size()) + 1, RawXml::kBlockAlignment));
  char* cursor = block;
  for (const Attribute& attribute : attributes)
    cursor = reinterpret_cast<char*>(::new (cursor) Attribute(attribute) + 1);
  for (const RawXml& child : children) cursor = reinterpret_cast<char*>(::new (cursor) RawXml(child) + 1);
  const std::string qualified = prefix ? std::string(*prefix) + ":" + std::string(name) : std::string(name);
  return RawXml::make_element(arena.copy(qualified), block, attributes.size(), children.size());
}
inline RawXml raw_element(Arena& arena, std::string_view name, std::initializer_list<RawXml> children = {}) {
  return raw_element(arena, name, {}, children);
}

// --- body records and documents -------------------------------------------------

inline Paragraph paragraph(InlineContent content, Attributes attributes = {}) {
  Paragraph result;
  result.attributes = attributes;
  result.content = content;
  return result;
}
inline Paragraph paragraph(Arena& arena, std::initializer_list<InlineNode> content, Attributes attributes = {}) {
  return paragraph(InlineContent(arena, content), attributes);
}

inline ClaimElement claim(Arena& arena, std::initializer_list<InlineNode> content) {
  return ClaimElement{{}, InlineContent(arena, content), std::nullopt};
}

// A document of `parts`, its list in the document's own arena.
inline SourceDocument document_of(std::initializer_list<RootPart> parts,
                                  SourceFormat format = SourceFormat::UsptoGrantV45) {
  SourceDocument document;
  document.parts = List<RootPart>(document.arena, parts);
  document.source_format = format;
  return document;
}

// A document whose one part is a bibliographic block of `items`.
inline SourceDocument document_with(std::initializer_list<BibliographicItem> items) {
  SourceDocument document;
  document.parts = list(document.arena, BibliographicInformation{{}, List<BibliographicItem>(document.arena, items)});
  return document;
}

}  // namespace tessellox::test
