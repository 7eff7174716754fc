// Helpers shared by the tests of the older XML generations: model lookups,
// a compact dump of inline content for table-driven comparisons, and access
// to the real samples.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model.hpp"

namespace tessellox::test {

template <class Part>
std::vector<const Part*> parts_of(const SourceDocument& document) {
  std::vector<const Part*> found;
  for (const RootPart& part : document.parts)
    if (const auto* typed = std::get_if<Part>(&part)) found.push_back(typed);
  return found;
}

template <class Part>
const Part* first_part(const SourceDocument& document) {
  for (const RootPart& part : document.parts)
    if (const auto* typed = std::get_if<Part>(&part)) return typed;
  return nullptr;
}

template <class Entry, class Entries>
const Entry* first_of(const Entries& entries) {
  for (const auto& entry : entries)
    if (const auto* typed = std::get_if<Entry>(&entry)) return typed;
  return nullptr;
}

// The first item of type Item in the first bibliographic part.
template <class Item>
const Item* first_item(const SourceDocument& document) {
  const auto* information = first_part<BibliographicInformation>(document);
  return information == nullptr ? nullptr : first_of<Item>(information->items);
}

inline std::string_view inline_kind_name(InlineKind kind) {
  switch (kind) {
    case InlineKind::Number: return "number";
    case InlineKind::CrossReference: return "xref";
    case InlineKind::FigureReference: return "figref";
    case InlineKind::DependentClaimReference: return "claimref";
    case InlineKind::Bold: return "bold";
    case InlineKind::Italic: return "italic";
    case InlineKind::Highlight: return "highlight";
    case InlineKind::ClaimText: return "claim-text";
  }
  return "?";
}

// Text as 'text'; typed elements as kind(content) or kind@target(content);
// captured elements as <name>; captured text as raw'text'. Nodes are
// separated by one space.
inline std::string dump(const InlineContent& content) {
  std::string out;
  for (const InlineNode& node : content) {
    if (!out.empty()) out += ' ';
    if (const auto text = node.get_if<Text>()) {
      out.append("'").append(text->text).append("'");
    } else if (const auto* element = node.get_if<InlineElement>()) {
      out += inline_kind_name(element->kind);
      if (const OptString target = element->target()) out.append("@").append(*target);
      out += "(" + dump(element->content) + ")";
    } else {
      const auto& raw = node.get<RawXml>();
      if (raw.is_element()) {
        out.append("<").append(raw.name()).append(">");
      } else {
        out.append("raw'").append(raw.text()).append("'");
      }
    }
  }
  return out;
}

// Concatenated Text of the content, containers flattened.
inline std::string flat_text(const InlineContent& content) {
  std::string out;
  for (const InlineNode& node : content) {
    if (const auto text = node.get_if<Text>()) {
      out += text->text;
    } else if (const auto* element = node.get_if<InlineElement>()) {
      out += flat_text(element->content);
    }
  }
  return out;
}

inline std::string sample_path(std::string_view relative) {
  return std::string(TESSELLOX_SOURCE_DIR "/tests/data/real/") + std::string(relative);
}

inline std::optional<std::string> read_sample(std::string_view relative) {
  std::ifstream in(sample_path(relative), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline std::size_t count_occurrences(std::string_view text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// The trimmed text between the first `open` and the next `close` after it;
// empty when either is missing.
inline std::string text_between(std::string_view text, std::string_view open, std::string_view close) {
  const std::size_t start = text.find(open);
  if (start == std::string_view::npos) return {};
  const std::size_t from = start + open.size();
  const std::size_t end = text.find(close, from);
  if (end == std::string_view::npos) return {};
  std::string_view found = text.substr(from, end - from);
  while (!found.empty() && (found.front() == ' ' || found.front() == '\n' || found.front() == '\r')) {
    found.remove_prefix(1);
  }
  while (!found.empty() && (found.back() == ' ' || found.back() == '\n' || found.back() == '\r')) {
    found.remove_suffix(1);
  }
  return std::string(found);
}

}  // namespace tessellox::test
