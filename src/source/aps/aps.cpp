#include "source/aps/aps.hpp"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "source/aps/fields.hpp"
#include "source/aps/reference_sections.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

constexpr std::string_view kFence = "```";

bool is_ascii_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_ascii_letter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Offset of the last character of a non-empty UTF-8 text.
std::size_t last_character_start(std::string_view text) noexcept {
  std::size_t start = text.size() - 1;
  while (start > 0 && text.size() - start < 4 && is_utf8_continuation(text[start])) --start;
  return start;
}

InlineContent text_content(std::string_view text, Arena& arena) {
  InlineContent content;
  content.push_back(arena, InlineNode(Text{text}));
  return content;
}

InlineNode claim_text(const ApsField& field, Arena& arena) {
  InlineElement element;
  element.kind = InlineKind::ClaimText;
  element.content = text_content(aps_value(field, arena), arena);
  return InlineNode(arena, element);
}

OptLevel paragraph_level(std::string_view tag) noexcept {
  if (tag.size() == 3 && tag[0] == 'P' && tag[1] == 'A' && tag[2] >= '0' && tag[2] <= '3')
    return static_cast<std::uint32_t>(tag[2] - '0');
  return std::nullopt;
}

Paragraph make_paragraph(const ApsField& field, Arena& arena) {
  Paragraph paragraph;
  paragraph.lvl = paragraph_level(field.tag);
  if (is_aps_text_block_tag(field.tag)) {
    std::string text;
    text.reserve(field.value_size + 2 * kFence.size() + 2);
    text.append(kFence).append(1, '\n');
    append_aps_value(field, text);
    text.append(1, '\n').append(kFence);
    paragraph.content = text_content(arena.copy(text), arena);
  } else {
    paragraph.content = text_content(aps_value(field, arena), arena);
  }
  return paragraph;
}

// The patent number carries a check character at its end and may be padded
// with zeros; the letter prefix tells design, reissue and plant patents.
DocumentId document_id_from_wku(std::string_view wku, Arena& arena) {
  wku = trim(wku);
  std::size_t letters = 0;
  while (letters < wku.size() && is_ascii_letter(wku[letters])) ++letters;
  const std::string_view prefix = wku.substr(0, letters);
  std::string_view rest = wku.substr(letters);
  if (!rest.empty()) {
    const std::size_t last = last_character_start(rest);
    if (last > 0) rest = rest.substr(0, last);
  }
  std::string number;
  number.reserve(prefix.size() + rest.size() + 1);
  number.append(prefix);
  for (char c : rest)
    if (is_ascii_digit(c) && !(c == '0' && number.size() == prefix.size())) number.push_back(c);
  if (number.size() == prefix.size()) number.push_back('0');

  DocumentId id;
  if (prefix.empty()) {
    id.kind_code = "B1";
  } else if (prefix == "D") {
    id.kind_code = "S";
  } else if (prefix == "RE") {
    id.kind_code = "E";
  } else if (prefix != "P" && prefix != "PP") {
    id.kind_code = "B1";
  }
  id.doc_number = arena.copy(number);
  id.country_code = "US";
  return id;
}

// A trailing non-alphanumeric character after a run of digits is a check or
// separator mark, not part of the number.
std::string_view application_number(std::string_view apn) {
  apn = trim(apn);
  if (!apn.empty()) {
    const std::size_t last = last_character_start(apn);
    const bool last_is_alphanumeric =
        apn.size() - last == 1 && (is_ascii_digit(apn[last]) || is_ascii_letter(apn[last]));
    if (!last_is_alphanumeric && last > 0 && is_ascii_digits(apn.substr(0, last))) apn = apn.substr(0, last);
  }
  return apn;
}

// "Family; Given" or a name without a separator, kept whole as the family name.
void set_inventor_name(InventorRecord& inventor, std::string_view value) {
  const std::size_t separator = value.find(';');
  if (separator == std::string_view::npos) {
    inventor.family_name = trim(value);
    return;
  }
  const std::string_view family = trim(value.substr(0, separator));
  const std::string_view given = trim(value.substr(separator + 1));
  if (!family.empty()) inventor.family_name = family;
  if (!given.empty()) inventor.given_name = given;
}

OptString present_value(const ApsField* field, Arena& arena) {
  if (field == nullptr || field->empty()) return std::nullopt;
  return aps_value(*field, arena);
}

// One summary, drawings or detailed-description entry: "PAC" headings open
// sections, other fields become their paragraphs.
struct DescriptionPartBuilder {
  bool present = false;
  bool section_open = false;
  List<DescriptionPartItem> items;

  void add(const ApsField& field, Arena& arena) {
    present = true;
    if (field.tag == "PAC") {
      Heading heading;
      heading.content = text_content(aps_value(field, arena), arena);
      Section section;
      section.blocks.push_back(arena, heading);
      items.push_back(arena, section);
      section_open = true;
      return;
    }
    if (field.empty()) return;
    if (!section_open) {
      items.push_back(arena, Section{});
      section_open = true;
    }
    std::get<Section>(items.back()).blocks.push_back(arena, make_paragraph(field, arena));
  }
};

// Reads every field once and keeps what the model needs, in input order.
class RecordBuilder {
 public:
  // The records are built in the arena of `document`, which build() completes.
  RecordBuilder(const std::vector<ApsField>& fields, SourceDocument& document)
      : document_(document), arena_(document.arena) {
    for (const ApsField& field : fields) add(field);
    end_inventor();
    end_claim();
    // The design claim follows the numbered ones.
    if (!design_claim_.content.empty()) claims_.entries.push_back(arena_, design_claim_);
  }

  const ApsField* wku() const noexcept { return wku_; }

  void build(SourceFormat format) {
    SourceDocument& document = document_;
    document.source_format = format;
    document.parts.reserve(arena_, 4);
    document.parts.push_back(arena_, bibliographic_information());
    if (!abstract_.entries.empty()) document.parts.push_back(arena_, abstract_);
    if (Description description = take_description(); !description.entries.empty())
      document.parts.push_back(arena_, description);
    if (!claims_.entries.empty()) document.parts.push_back(arena_, claims_);
  }

 private:
  void add(const ApsField& field) {
    switch (field.section) {
      case ApsSection::Patn: return add_patent_field(field);
      case ApsSection::Invt: return add_inventor_field(field);
      case ApsSection::Assg:
        if (field.tag == "NAM") assignees_.parties.push_back(arena_, PartyRecord{{}, aps_value(field, arena_)});
        return;
      case ApsSection::Clas: return add_classification_field(field);
      case ApsSection::Abst:
        if (!field.empty()) abstract_.entries.push_back(arena_, make_paragraph(field, arena_));
        return;
      case ApsSection::Bsum: return description_parts_[0].add(field, arena_);
      case ApsSection::Drwd: return description_parts_[1].add(field, arena_);
      case ApsSection::Detd: return description_parts_[2].add(field, arena_);
      case ApsSection::Clms: return add_claim_field(field);
      case ApsSection::Dclm:
        if (!field.empty()) design_claim_.content.push_back(arena_, claim_text(field, arena_));
        return;
      default: return;
    }
  }

  void add_patent_field(const ApsField& field) {
    const std::string_view tag = field.tag;
    const ApsField** slot = nullptr;
    if (tag == "WKU")
      slot = &wku_;
    else if (tag == "ISD")
      slot = &isd_;
    else if (tag == "APN")
      slot = &apn_;
    else if (tag == "APT")
      slot = &apt_;
    else if (tag == "APD")
      slot = &apd_;
    else if (tag == "TTL")
      slot = &ttl_;
    if (slot != nullptr && *slot == nullptr) *slot = &field;
  }

  void add_inventor_field(const ApsField& field) {
    const std::string_view tag = field.tag;
    if (tag == "NAM") {
      end_inventor();
      inventor_.emplace();
      set_inventor_name(*inventor_, aps_value(field, arena_));
    } else if (inventor_) {
      if (tag == "CTY")
        inventor_->city = aps_value(field, arena_);
      else if (tag == "STA")
        inventor_->state = aps_value(field, arena_);
      else if (tag == "CNT")
        inventor_->country_code = aps_value(field, arena_);
    }
  }

  void end_inventor() {
    if (!inventor_) return;
    inventor_->first_named = inventors_.entries.empty();
    inventors_.entries.push_back(arena_, *inventor_);
    inventor_.reset();
  }

  void add_classification_field(const ApsField& field) {
    if (field.empty()) return;
    if (field.tag == "ICL")
      ipc_.push_back(arena_.copy(collapse_white_space(aps_value(field, arena_))));
    else if (field.tag == "OCL")
      us_original_.push_back(&field);
    else if (field.tag == "XCL")
      us_cross_.push_back(&field);
  }

  void add_claim_field(const ApsField& field) {
    if (field.tag == "STM") return;
    if (field.tag == "NUM") return end_claim();
    if (!field.empty()) claim_.content.push_back(arena_, claim_text(field, arena_));
  }

  void end_claim() {
    if (claim_.content.empty()) return;
    claims_.entries.push_back(arena_, claim_);
    claim_ = ClaimElement{};
  }

  BibliographicInformation bibliographic_information() {
    BibliographicInformation info;
    info.items.reserve(arena_, 5);
    DocumentId id = document_id_from_wku(aps_value(*wku_, arena_), arena_);
    id.document_date = present_value(isd_, arena_);
    info.items.push_back(arena_, id);

    DomesticFilingData filing;
    if (OptString apn = present_value(apn_, arena_))
      filing.entries.push_back(arena_, ApplicationNumber{{}, present_value(apt_, arena_), application_number(*apn)});
    if (OptString filing_date = present_value(apd_, arena_)) filing.entries.push_back(arena_, FilingDate{*filing_date});
    if (!filing.entries.empty()) info.items.push_back(arena_, filing);

    TechnicalInformation technical;
    if (OptString title = present_value(ttl_, arena_)) technical.entries.push_back(arena_, TitleOfInvention{*title});
    if (!ipc_.empty()) {
      ClassificationIpc ipc;
      ipc.main_classification = ipc_.front();
      ipc.further_classifications.reserve(arena_, ipc_.size() - 1);
      for (std::size_t i = 1; i < ipc_.size(); ++i) ipc.further_classifications.push_back(arena_, ipc_[i]);
      technical.entries.push_back(arena_, ipc);
    }
    if (!us_original_.empty() || !us_cross_.empty()) technical.entries.push_back(arena_, us_classification());
    if (!technical.entries.empty()) info.items.push_back(arena_, technical);

    if (!inventors_.entries.empty()) info.items.push_back(arena_, inventors_);
    if (!assignees_.parties.empty()) info.items.push_back(arena_, assignees_);
    return info;
  }

  // Original classifications first, then the cross-references; the first of
  // them all is the main one.
  ClassificationUs us_classification() {
    ClassificationUs us;
    us.further_classifications.reserve(arena_, us_original_.size() + us_cross_.size());
    for (const auto* list : {&us_original_, &us_cross_}) {
      for (const ApsField* field : *list) {
        if (!us.main_classification)
          us.main_classification = aps_value(*field, arena_);
        else
          us.further_classifications.push_back(arena_, aps_value(*field, arena_));
      }
    }
    return us;
  }

  Description take_description() {
    static constexpr std::array<DescriptionPartKind, 3> kKinds = {DescriptionPartKind::SummaryOfInvention,
                                                                  DescriptionPartKind::BriefDescriptionOfDrawings,
                                                                  DescriptionPartKind::DetailedDescription};
    Description description;
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
      if (!description_parts_[i].present) continue;
      description.entries.push_back(arena_, DescriptionPart{kKinds[i], {}, description_parts_[i].items});
    }
    return description;
  }

  SourceDocument& document_;
  Arena& arena_;
  const ApsField* wku_ = nullptr;
  const ApsField* isd_ = nullptr;
  const ApsField* apn_ = nullptr;
  const ApsField* apt_ = nullptr;
  const ApsField* apd_ = nullptr;
  const ApsField* ttl_ = nullptr;

  std::optional<InventorRecord> inventor_;
  Inventors inventors_;
  Assignees assignees_;
  std::vector<std::string_view> ipc_;
  std::vector<const ApsField*> us_original_;
  std::vector<const ApsField*> us_cross_;
  Abstract abstract_;
  std::array<DescriptionPartBuilder, 3> description_parts_;
  ClaimElement claim_;
  ClaimElement design_claim_;
  Claims claims_;
};

}  // namespace

namespace {

// The document of the text, keeping the fields it was cut into (views into
// the text, which the document holds).
ParseResult parse_keeping_fields(SourceText text, SourceFormat format, std::vector<ApsField>& fields) {
  fields = cut_aps_fields(text.view());
  if (fields.empty()) return ParseError::structure(messages::kApsNoTaggedFields);
  SourceDocument document;
  RecordBuilder record(fields, document);
  if (record.wku() == nullptr || record.wku()->empty()) return ParseError::structure(messages::kApsMissingWku);
  record.build(format);
  document.text = std::move(text);
  return document;
}

}  // namespace

ParseResult parse_aps(SourceText text, SourceFormat format, ParseScope) {
  std::vector<ApsField> fields;
  return parse_keeping_fields(std::move(text), format, fields);
}

ParseResult parse_aps_with_references(SourceText text, SourceFormat format, SourceReferences& references) {
  std::vector<ApsField> fields;
  ParseResult parsed = parse_keeping_fields(std::move(text), format, fields);
  if (!parsed) return parsed;
  Arena& arena = parsed.value().arena;
  references.foreign_priority = aps_foreign_priority(fields, arena);
  references.citations = aps_citations(fields, arena);
  references.facts = aps_document_facts(fields, arena);
  references.aps_fields = std::move(fields);
  return parsed;
}

Result<std::string, ParseError> serialize_aps(const SourceDocument&) {
  return ParseError::structure(messages::kApsNoSerialization);
}

}  // namespace tessellox
