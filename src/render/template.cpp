#include "render/template.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "text.hpp"

namespace tessellox {

namespace {

// Placeholder names in section order: the index is the section's.
constexpr std::array<std::string_view, 5> kSectionNames = {"frontmatter", "title", "abstract", "description", "claims"};

std::string& section_text(RenderedSections& sections, std::uint8_t index) noexcept {
  switch (index) {
    case 0: return sections.frontmatter;
    case 1: return sections.title;
    case 2: return sections.abstract;
    case 3: return sections.description;
    default: return sections.claims;
  }
}

constexpr std::uint8_t kDescriptionSection = 3;

// Writes `text` from `read` on to `out` from `write` on (write <= read, so
// the two may be one buffer), keeping at most two consecutive line feeds
// across everything written so far; `run` counts the line feeds that end
// what is written. Returns the new write position.
std::size_t write_collapsing_line_feeds(const char* text, std::size_t size, char* out, std::size_t write,
                                        std::size_t& run) {
  std::size_t pos = 0;
  while (pos < size) {
    const void* found = std::memchr(text + pos, '\n', size - pos);
    const std::size_t line_feed = found ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : size;
    if (line_feed > pos) {
      std::memmove(out + write, text + pos, line_feed - pos);
      write += line_feed - pos;
      run = 0;
    }
    if (line_feed == size) break;
    std::size_t end = line_feed;
    while (end < size && text[end] == '\n') ++end;
    const std::size_t kept = std::min(end - line_feed, run < 2 ? 2 - run : 0);
    std::memset(out + write, '\n', kept);
    write += kept;
    run += end - line_feed;
    pos = end;
  }
  return write;
}

void append_collapsing_line_feeds(std::string_view text, std::string& out, std::size_t& run) {
  const std::size_t start = out.size();
  out.resize(start + text.size());
  out.resize(write_collapsing_line_feeds(text.data(), text.size(), out.data(), start, run));
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

std::string fill_template(const std::vector<TemplateSegment>& segments, RenderedSections sections) {
  const auto is_description = [](const TemplateSegment& segment) {
    return segment.kind == TemplateSegment::Kind::Placeholder && segment.section == kDescriptionSection;
  };
  const auto description_count = std::count_if(segments.begin(), segments.end(), is_description);
  const auto piece_of = [&](const TemplateSegment& segment) -> std::string_view {
    return segment.kind == TemplateSegment::Kind::Literal ? std::string_view(segment.literal)
                                                          : std::string_view(section_text(sections, segment.section));
  };
  std::size_t line_feed_run = 0;
  std::string out;
  if (description_count == 1) {
    // What comes before the description, then the description collapsed
    // where it stands, then what follows it, then the head moved in front.
    const auto description_at = std::find_if(segments.begin(), segments.end(), is_description);
    std::string head;
    for (auto segment = segments.begin(); segment != description_at; ++segment)
      append_collapsing_line_feeds(piece_of(*segment), head, line_feed_run);
    out = std::move(sections.description);
    out.resize(write_collapsing_line_feeds(out.data(), out.size(), out.data(), 0, line_feed_run));
    for (auto segment = description_at + 1; segment != segments.end(); ++segment)
      append_collapsing_line_feeds(piece_of(*segment), out, line_feed_run);
    out.insert(0, head);
  } else {
    std::size_t total = 0;
    for (const TemplateSegment& segment : segments) total += piece_of(segment).size();
    out.reserve(total);
    for (const TemplateSegment& segment : segments) append_collapsing_line_feeds(piece_of(segment), out, line_feed_run);
  }
  const std::string_view trimmed = trim(out);
  const std::size_t leading = static_cast<std::size_t>(trimmed.data() - out.data());
  out.resize(leading + trimmed.size());
  out.erase(0, leading);
  return out;
}

}  // namespace tessellox
