// Shared checks of the fuzz targets: every parsed document goes through the
// derivations the Python getters call, and every text they hand out must be
// valid UTF-8 whenever the input was (the Python boundary would otherwise fail
// to build a str from it). A broken invariant traps, so libFuzzer reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "derive.hpp"
#include "handlers.hpp"
#include "model.hpp"
#include "render/template.hpp"
#include "result.hpp"
#include "text.hpp"

namespace tessellox::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) noexcept {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Strict UTF-8: no overlongs, no surrogates, nothing above U+10FFFF.
inline bool is_valid_utf8(std::string_view text) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) < length) return false;
    if (p[1] < low || p[1] > high) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if (p[i] < 0x80 || p[i] > 0xBF) return false;
    }
    p += length;
  }
  return true;
}

// Names the broken check before trapping, so a finding's log says which
// invariant failed without a debugger.
inline void require(bool condition, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed at %s:%d\n", file, line);
  __builtin_trap();
}

inline void require_utf8(bool input_is_utf8, std::string_view text) {
  if (input_is_utf8) require(is_valid_utf8(text));
}

inline void require_utf8(bool input_is_utf8, const std::string& text) {
  require_utf8(input_is_utf8, std::string_view(text));
}

inline void require_utf8(bool input_is_utf8, const std::optional<std::string>& text) {
  if (text) require_utf8(input_is_utf8, *text);
}

inline void require_utf8(bool input_is_utf8, const OptString& text) {
  if (text) require_utf8(input_is_utf8, *text);
}

inline void require_utf8(bool input_is_utf8, const List<std::string_view>& texts) {
  for (const std::string_view text : texts) require_utf8(input_is_utf8, text);
}

// What the Document getters compute from a parsed document (the derivation
// writes the strings it builds into the document's arena).
inline void exercise_document(SourceDocument& document, bool input_is_utf8) {
  const DerivedMetadata derived = derive_metadata(document);
  require_utf8(input_is_utf8, derived.applicants);
  require_utf8(input_is_utf8, derived.assignees);
  require_utf8(input_is_utf8, derived.inventors);
  require_utf8(input_is_utf8, derived.ipc_classifications);
  require_utf8(input_is_utf8, derived.us_classifications);
  require_utf8(input_is_utf8, derived.publication_number);
  require_utf8(input_is_utf8, derived.patent_number);
  require_utf8(input_is_utf8, derived.application_number);
  require_utf8(input_is_utf8, derived.title);
  require_utf8(input_is_utf8, derived.filing_date);
  require_utf8(input_is_utf8, derived.publication_date);
  require_utf8(input_is_utf8, derived.priority_date);
  // Exactly one of the two numbers exists whenever the first document id does.
  require(!(derived.publication_number && derived.patent_number));

  require_utf8(input_is_utf8, abstract_text(document));
  std::uint32_t expected_number = 1;
  for (const Claim& claim : claims(document)) {
    require(claim.number == expected_number++);
    require(!claim.text.empty());
    require_utf8(input_is_utf8, claim.text);
  }
}

// Parses with one parser and exercises what parses; a failure must carry a message.
inline void parse_and_exercise(ParseResult (*parse)(SourceText, SourceFormat, ParseScope), std::string_view text,
                               SourceFormat format) {
  const bool input_is_utf8 = is_valid_utf8(text);
  ParseResult result = parse(text, format, ParseScope::Document);
  if (!result) {
    require(!result.error().message().empty());
    require_utf8(input_is_utf8, result.error().message());
    return;
  }
  require(result.value().source_format == format);
  exercise_document(result.value(), input_is_utf8);
}

// The template rules written out plainly, as an oracle for parse and fill:
// the filled text, or the error the template must give.
inline Result<std::string, TemplateError> reference_template(std::string_view text, const RenderedSections& sections) {
  const std::string* by_index[] = {&sections.frontmatter, &sections.title, &sections.abstract, &sections.description,
                                   &sections.claims};
  constexpr std::string_view kNames[] = {"frontmatter", "title", "abstract", "description", "claims"};
  std::string joined;
  std::size_t position = 0;
  while (true) {
    const std::size_t open = text.find("{{", position);
    if (open == std::string_view::npos) {
      joined.append(text.substr(position));
      break;
    }
    joined.append(text.substr(position, open - position));
    const std::size_t close = text.find("}}", open + 2);
    if (close == std::string_view::npos) return TemplateError{TemplateError::Kind::UnterminatedPlaceholder, {}};
    const std::string_view name = trim(text.substr(open + 2, close - open - 2));
    std::size_t index = 0;
    while (index < 5 && kNames[index] != name) ++index;
    if (index == 5) return TemplateError{TemplateError::Kind::UnknownPlaceholder, std::string(name)};
    joined += *by_index[index];
    position = close + 2;
  }
  std::string collapsed;
  std::size_t run = 0;
  for (const char c : joined) {
    run = c == '\n' ? run + 1 : 0;
    if (run <= 2) collapsed += c;
  }
  return std::string(trim(collapsed));
}

}  // namespace tessellox::fuzz
