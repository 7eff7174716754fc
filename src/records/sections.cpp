#include "records/sections.hpp"

#include <optional>
#include <string>

#include "plain_text.hpp"
#include "records/raw_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

constexpr std::string_view kSummary = "summary";
constexpr std::string_view kDetailed = "detailed description";
constexpr std::string_view kDrawings = "drawing description";
constexpr std::string_view kGovernment = "government interest";
constexpr std::string_view kBackground = "background";
constexpr std::string_view kRelated = "related applications";
constexpr std::string_view kOther = "other";

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
  if (lower == "brfsum" || lower == "summary-of-invention") return kSummary;
  if (lower == "detdesc" || lower == "detailed-description") return kDetailed;
  if (lower == "drwdesc" || lower == "brief-description-of-drawings" || lower == "description-of-drawings")
    return kDrawings;
  if (lower == "govint" || lower == "govt" || lower == "federal-research-statement" || lower == "government-interest")
    return kGovernment;
  if (lower == "background" || lower == "background-of-invention") return kBackground;
  if (lower == "relapp" || lower == "parn" || lower == "cross-reference-to-related-applications") return kRelated;
  return std::nullopt;
}

std::string_view kind_of_part(DescriptionPartKind kind) noexcept {
  switch (kind) {
    case DescriptionPartKind::SummaryOfInvention: return kSummary;
    case DescriptionPartKind::BriefDescriptionOfDrawings: return kDrawings;
    case DescriptionPartKind::DetailedDescription: return kDetailed;
  }
  return kOther;
}

// Rows from a stream of headings and paragraphs, each under a kind.
class SectionWriter {
 public:
  explicit SectionWriter(Arena& arena) noexcept : arena_(arena) {}

  void heading(std::string_view kind, std::string_view text) {
    flush();
    kind_ = kind;
    text = trim(text);
    heading_ = text.empty() ? OptString() : OptString(arena_.copy(text));
  }

  void paragraph(std::string_view kind, std::string_view text) {
    text = trim(text);
    if (text.empty()) return;
    if (kind != kind_) {
      flush();
      heading_.reset();
      kind_ = kind;
    }
    if (kind == kDrawings) {
      emit(text);
      return;
    }
    if (!text_.empty()) text_.append("\n\n");
    text_.append(text);
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
    row.text = arena_.copy(text);
  }

  Arena& arena_;
  std::vector<TextSectionRow> rows_;
  std::string_view kind_ = kOther;
  OptString heading_;
  std::string text_;
};

// A walk over the model's description. The kind in force is the one the
// last opening processing instruction marked, until its closing one; without
// one, that of the part or element the text is in.
class DescriptionReader {
 public:
  explicit DescriptionReader(Arena& arena) noexcept : writer_(arena) {}

  std::vector<TextSectionRow> read(const Description& description) {
    for (const DescriptionEntry& entry : description.entries) {
      if (const auto* section = std::get_if<Section>(&entry)) {
        read_section(*section, kRelated);  // the pre-grant publications' cross-reference
      } else if (const auto* part = std::get_if<DescriptionPart>(&entry)) {
        for (const DescriptionPartItem& item : part->items) {
          if (const auto* inner = std::get_if<Section>(&item))
            read_section(*inner, kind_of_part(part->kind));
          else
            read_raw(std::get<RawXml>(item), kind_of_part(part->kind));
        }
      } else {
        read_raw(std::get<RawXml>(entry), kOther);
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
        scratch_.clear();
        append_plain_text(paragraph->content, scratch_);
        writer_.paragraph(kind_in_force(kind), scratch_);
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
  std::optional<std::string_view> marked_;
  std::string scratch_;
};

std::optional<std::string_view> aps_section_kind(ApsSection section) noexcept {
  switch (section) {
    case ApsSection::Bsum: return kSummary;
    case ApsSection::Detd: return kDetailed;
    case ApsSection::Drwd: return kDrawings;
    case ApsSection::Govt: return kGovernment;
    case ApsSection::Parn: return kRelated;
    default: return std::nullopt;
  }
}

}  // namespace

std::vector<TextSectionRow> text_section_rows(const SourceDocument& document, Arena& arena) {
  for (const RootPart& part : document.parts)
    if (const auto* description = std::get_if<Description>(&part)) return DescriptionReader(arena).read(*description);
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
