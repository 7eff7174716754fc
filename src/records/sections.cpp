#include "records/sections.hpp"

#include <optional>
#include <string>

#include "plain_text.hpp"
#include "records/entities.hpp"
#include "records/raw_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

// The kinds of section, as the kind column writes them.
struct SectionKinds {
  std::string_view summary, detailed, drawings, government, background, related, other;
};
constexpr SectionKinds kKind{"summary",
                             "detailed description",
                             "drawing description",
                             "government interest",
                             "background",
                             "related applications",
                             "other"};

std::string_view ascii_lower(std::string_view text, std::string& out) {
  out.assign(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The kind a processing instruction's target or a section element's name
// marks; nothing for any other name.
std::optional<std::string_view> kind_of_mark(std::string_view name) {
  std::string buffer;
  const std::string_view lower = ascii_lower(name, buffer);
  if (lower == "brfsum" || lower == "summary-of-invention") return kKind.summary;
  if (lower == "detdesc" || lower == "detailed-description") return kKind.detailed;
  if (lower == "drwdesc" || lower == "brief-description-of-drawings" || lower == "description-of-drawings")
    return kKind.drawings;
  if (lower == "govint" || lower == "govt" || lower == "federal-research-statement" || lower == "government-interest")
    return kKind.government;
  if (lower == "background" || lower == "background-of-invention") return kKind.background;
  if (lower == "relapp" || lower == "parn" || lower == "cross-reference-to-related-applications") return kKind.related;
  return std::nullopt;
}

std::string_view kind_of_part(DescriptionPartKind kind) noexcept {
  switch (kind) {
    case DescriptionPartKind::SummaryOfInvention: return kKind.summary;
    case DescriptionPartKind::BriefDescriptionOfDrawings: return kKind.drawings;
    case DescriptionPartKind::DetailedDescription: return kKind.detailed;
  }
  return kKind.other;
}

// Rows from a stream of headings and paragraphs, each under a kind.
class SectionWriter {
 public:
  explicit SectionWriter(Arena& arena) noexcept : arena_(arena) {}

  void heading(std::string_view kind, std::string_view text) {
    flush();
    kind_ = kind;
    text = trim(text);
    heading_ = text.empty() ? OptString() : OptString(kept(text));
  }

  void paragraph(std::string_view kind, std::string_view text) {
    paragraph_written(kind, [text](std::string& out) { out.append(text); });
  }

  // A paragraph whose text `write` appends to the string it is given: the
  // section's own, so that a paragraph is not copied into it. Trimmed, and
  // left out when blank.
  template <class Write>
  void paragraph_written(std::string_view kind, Write&& write) {
    const bool joins = kind == kind_ && kind != kKind.drawings;
    const std::size_t before = text_.size();
    if (joins && before != 0) text_.append("\n\n");
    const std::size_t start = text_.size();
    write(text_);
    const std::string_view trimmed = trim(std::string_view(text_).substr(start));
    if (trimmed.empty()) {
      text_.resize(before);
      return;
    }
    const std::size_t first = static_cast<std::size_t>(trimmed.data() - text_.data());
    if (joins) {
      text_.erase(start, first - start);
      text_.resize(start + trimmed.size());
      return;
    }
    // A new kind closes the section before the paragraph; a drawing's
    // paragraph is a row of its own.
    if (kind != kind_) {
      if (before != 0) emit(std::string_view(text_).substr(0, before));
      heading_.reset();
      kind_ = kind;
    }
    if (kind == kKind.drawings) {
      emit(trimmed);
      text_.clear();
      return;
    }
    text_.erase(0, first);
    text_.resize(trimmed.size());
  }

  std::vector<TextSectionRow> finish() {
    flush();
    return std::move(rows_);
  }

 private:
  void flush() {
    if (!text_.empty()) emit(text_);
    text_.clear();
  }

  void emit(std::string_view text) {
    TextSectionRow& row = rows_.emplace_back();
    row.kind = kind_;
    row.heading = heading_;
    row.sequence = static_cast<std::uint32_t>(rows_.size());
    row.text = kept(text);
  }

  // The text in the arena, its references resolved as in every record value:
  // here, while the text is fresh in the cache.
  std::string_view kept(std::string_view text) {
    if (text.find('&') == std::string_view::npos) return arena_.copy(text);
    resolved_.clear();
    return append_resolved_entities(text, resolved_) ? arena_.copy(resolved_) : arena_.copy(text);
  }

  Arena& arena_;
  std::vector<TextSectionRow> rows_;
  std::string_view kind_ = kKind.other;
  OptString heading_;
  std::string text_;
  std::string resolved_;
};

// A walk over the model's description. The kind in force is the one the
// last opening processing instruction marked, until its closing one; without
// one, that of the part or element the text is in.
class DescriptionReader {
 public:
  DescriptionReader(Arena& arena, bool may_hold_ampersand) noexcept
      : writer_(arena), may_hold_ampersand_(may_hold_ampersand) {}

  std::vector<TextSectionRow> read(const Description& description) {
    for (const DescriptionEntry& entry : description.entries) {
      if (const auto* section = std::get_if<Section>(&entry)) {
        read_section(*section, kKind.related);  // the pre-grant publications' cross-reference
      } else if (const auto* part = std::get_if<DescriptionPart>(&entry)) {
        for (const DescriptionPartItem& item : part->items) {
          if (const auto* inner = std::get_if<Section>(&item))
            read_section(*inner, kind_of_part(part->kind));
          else
            read_raw(std::get<RawXml>(item), kind_of_part(part->kind));
        }
      } else {
        read_raw(std::get<RawXml>(entry), kKind.other);
      }
    }
    return writer_.finish();
  }

 private:
  std::string_view kind_in_force(std::string_view structural) const noexcept { return marked_.value_or(structural); }

  void read_section(const Section& section, std::string_view kind) {
    for (const SectionBlock& block : section.blocks) {
      if (const auto* heading = std::get_if<Heading>(&block)) {
        writer_.heading(kind_in_force(kind), plain_text(heading->content));
      } else if (const auto* paragraph = std::get_if<Paragraph>(&block)) {
        writer_.paragraph_written(kind_in_force(kind), [&](std::string& out) {
          append_plain_text(paragraph->content, out, may_hold_ampersand_);
        });
      } else {
        read_raw(std::get<RawXml>(block), kind);
      }
    }
  }

  // A processing instruction sets or ends the kind in force; an element is
  // read for its headings and paragraphs, under the kind its name marks.
  void read_raw(const RawXml& node, std::string_view kind) {
    if (node.is_text()) {
      instruction(node.text());
      return;
    }
    const std::string_view name = node.name();
    if (name == "heading" || name == "H") {
      std::string text;
      append_raw_text(node, text);
      writer_.heading(kind_in_force(kind), collapse_white_space(text));
    } else if (name == "p" || name == "paragraph" || name == "PARA") {
      std::string text;
      append_raw_text(node, text);
      writer_.paragraph(kind_in_force(kind), collapse_white_space(text));
    } else {
      const std::string_view marked = kind_of_mark(name).value_or(kind);
      for (const RawXml& child : node.children())
        if (child.is_element()) read_raw(child, marked);
    }
  }

  // "<?BRFSUM description="Brief Summary" end="lead"?>"
  void instruction(std::string_view text) {
    if (!text.starts_with("<?")) return;
    text.remove_prefix(2);
    const std::size_t end = text.find_first_of(" \t\r\n?");
    const std::string_view target = text.substr(0, end);
    const std::optional<std::string_view> kind = kind_of_mark(target);
    if (!kind) return;
    if (text.find("end=\"tail\"") != std::string_view::npos)
      marked_.reset();
    else
      marked_ = *kind;
  }

  SectionWriter writer_;
  bool may_hold_ampersand_;
  std::optional<std::string_view> marked_;
};

std::optional<std::string_view> aps_section_kind(ApsSection section) noexcept {
  switch (section) {
    case ApsSection::Bsum: return kKind.summary;
    case ApsSection::Detd: return kKind.detailed;
    case ApsSection::Drwd: return kKind.drawings;
    case ApsSection::Govt: return kKind.government;
    case ApsSection::Parn: return kKind.related;
    default: return std::nullopt;
  }
}

}  // namespace

std::vector<TextSectionRow> text_section_rows(const SourceDocument& document, Arena& arena, bool may_hold_ampersand) {
  for (const RootPart& part : document.parts)
    if (const auto* description = std::get_if<Description>(&part))
      return DescriptionReader(arena, may_hold_ampersand).read(*description);
  return {};
}

std::vector<TextSectionRow> aps_text_section_rows(std::span<const ApsField> fields, Arena& arena) {
  SectionWriter writer(arena);
  std::string value;
  for (const ApsField& field : fields) {
    const std::optional<std::string_view> kind = aps_section_kind(field.section);
    if (!kind) continue;
    value.clear();
    append_aps_value(field, value);
    if (field.tag == "PAC")
      writer.heading(*kind, value);
    else
      writer.paragraph(*kind, value);
  }
  return writer.finish();
}

}  // namespace tessellox
