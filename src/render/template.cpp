#include "render/template.hpp"

#include <algorithm>
#include <array>

#include "text.hpp"

namespace tessellox {

namespace {

// Placeholder names in section order: the index is the section's.
constexpr std::array<std::string_view, 5> kSectionNames = {"frontmatter", "title", "abstract", "description",
                                                           "claims"};

const std::string& section_text(const RenderedSections& sections, std::uint8_t index) noexcept {
  switch (index) {
    case 0: return sections.frontmatter;
    case 1: return sections.title;
    case 2: return sections.abstract;
    case 3: return sections.description;
    default: return sections.claims;
  }
}

// Appends `text`, keeping at most two consecutive line feeds across
// everything appended so far; `run` counts the line feeds that end `out`.
void append_collapsing_line_feeds(std::string_view text, std::string& out, std::size_t& run) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t line_feed = text.find('\n', pos);
    if (line_feed == std::string_view::npos) {
      out.append(text.substr(pos));
      run = 0;
      return;
    }
    if (line_feed > pos) {
      out.append(text.substr(pos, line_feed - pos));
      run = 0;
    }
    std::size_t end = line_feed;
    while (end < text.size() && text[end] == '\n') ++end;
    const std::size_t kept = std::min(end - line_feed, run < 2 ? 2 - run : 0);
    out.append(kept, '\n');
    run += end - line_feed;
    pos = end;
  }
}

}  // namespace

Result<std::vector<TemplateSegment>, TemplateError> parse_template(std::string_view text) {
  std::vector<TemplateSegment> segments;
  std::size_t pos = 0;
  while (true) {
    const std::size_t open = text.find("{{", pos);
    if (open == std::string_view::npos) {
      if (pos < text.size()) segments.push_back({TemplateSegment::Kind::Literal, std::string(text.substr(pos)), 0});
      return segments;
    }
    if (open > pos) segments.push_back({TemplateSegment::Kind::Literal, std::string(text.substr(pos, open - pos)), 0});
    const std::size_t close = text.find("}}", open + 2);
    if (close == std::string_view::npos) return TemplateError{TemplateError::Kind::UnterminatedPlaceholder, {}};
    const std::string_view name = trim(text.substr(open + 2, close - open - 2));
    std::size_t index = 0;
    while (index < kSectionNames.size() && kSectionNames[index] != name) ++index;
    if (index == kSectionNames.size()) return TemplateError{TemplateError::Kind::UnknownPlaceholder, std::string(name)};
    segments.push_back({TemplateSegment::Kind::Placeholder, {}, static_cast<std::uint8_t>(index)});
    pos = close + 2;
  }
}

std::string fill_template(const std::vector<TemplateSegment>& segments, const RenderedSections& sections) {
  std::size_t total = 0;
  for (const TemplateSegment& segment : segments)
    total += segment.kind == TemplateSegment::Kind::Literal ? segment.literal.size()
                                                           : section_text(sections, segment.section).size();
  std::string out;
  out.reserve(total);
  std::size_t line_feed_run = 0;
  for (const TemplateSegment& segment : segments) {
    const std::string_view piece =
        segment.kind == TemplateSegment::Kind::Literal ? segment.literal : section_text(sections, segment.section);
    append_collapsing_line_feeds(piece, out, line_feed_run);
  }
  const std::string_view trimmed = trim(out);
  const std::size_t leading = static_cast<std::size_t>(trimmed.data() - out.data());
  out.resize(leading + trimmed.size());
  out.erase(0, leading);
  return out;
}

}  // namespace tessellox
