#include "source/aps/aps.hpp"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "source/aps/fields.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

constexpr std::string_view kFence = "```";

bool is_ascii_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_ascii_letter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_utf8_continuation(char byte) noexcept { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Offset of the last character of a non-empty UTF-8 text.
std::size_t last_character_start(std::string_view text) noexcept {
  std::size_t start = text.size() - 1;
  while (start > 0 && text.size() - start < 4 && is_utf8_continuation(text[start])) --start;
  return start;
}

InlineContent text_content(std::string text) {
  InlineContent content;
  content.push_back(InlineNode{Text{std::move(text)}});
  return content;
}

InlineNode claim_text(const ApsField& field) {
  return InlineNode{InlineElement{InlineKind::ClaimText, {}, std::nullopt, text_content(aps_value(field))}};
}

OptLevel paragraph_level(std::string_view tag) noexcept {
  if (tag.size() == 3 && tag[0] == 'P' && tag[1] == 'A' && tag[2] >= '0' && tag[2] <= '3')
    return static_cast<std::uint32_t>(tag[2] - '0');
  return std::nullopt;
}

Paragraph make_paragraph(const ApsField& field) {
  Paragraph paragraph;
  paragraph.lvl = paragraph_level(field.tag);
  std::string text;
  if (is_aps_text_block_tag(field.tag)) {
    text.reserve(field.value_size + 2 * kFence.size() + 2);
    text.append(kFence).append(1, '\n');
    append_aps_value(field, text);
    text.append(1, '\n').append(kFence);
  } else {
    append_aps_value(field, text);
  }
  paragraph.content = text_content(std::move(text));
  return paragraph;
}

// The patent number carries a check character at its end and may be padded
// with zeros; the letter prefix tells design, reissue and plant patents.
DocumentId document_id_from_wku(std::string_view wku) {
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
  id.doc_number = std::move(number);
  id.country_code = "US";
  return id;
}

// A trailing non-alphanumeric character after a run of digits is a check or
// separator mark, not part of the number.
std::string application_number(std::string_view apn) {
  apn = trim(apn);
  if (!apn.empty()) {
    const std::size_t last = last_character_start(apn);
    const bool last_is_alphanumeric =
        apn.size() - last == 1 && (is_ascii_digit(apn[last]) || is_ascii_letter(apn[last]));
    if (!last_is_alphanumeric && last > 0 && is_ascii_digits(apn.substr(0, last))) apn = apn.substr(0, last);
  }
  return std::string(apn);
}

// "Family; Given" or a name without a separator, kept whole as the family name.
void set_inventor_name(InventorRecord& inventor, std::string_view value) {
  const std::size_t separator = value.find(';');
  if (separator == std::string_view::npos) {
    inventor.family_name = std::string(trim(value));
    return;
  }
  const std::string_view family = trim(value.substr(0, separator));
  const std::string_view given = trim(value.substr(separator + 1));
  if (!family.empty()) inventor.family_name = std::string(family);
  if (!given.empty()) inventor.given_name = std::string(given);
}

OptString present_value(const ApsField* field) {
  if (field == nullptr || field->empty()) return std::nullopt;
  return aps_value(*field);
}

// One summary, drawings or detailed-description entry: "PAC" headings open
// sections, other fields become their paragraphs.
struct DescriptionPartBuilder {
  bool present = false;
  bool section_open = false;
  std::vector<DescriptionPartItem> items;

  void add(const ApsField& field) {
    present = true;
    if (field.tag == "PAC") {
      Heading heading;
      heading.content = text_content(aps_value(field));
      Section section;
      section.blocks.push_back(std::move(heading));
      items.push_back(std::move(section));
      section_open = true;
      return;
    }
    if (field.empty()) return;
    if (!section_open) {
      items.push_back(Section{});
      section_open = true;
    }
    std::get<Section>(items.back()).blocks.push_back(make_paragraph(field));
  }
};

// Reads every field once and keeps what the model needs, in input order.
class RecordBuilder {
 public:
  explicit RecordBuilder(const std::vector<ApsField>& fields) {
    for (const ApsField& field : fields) add(field);
    end_inventor();
    end_claim();
    // The design claim follows the numbered ones.
    if (!design_claim_.content.empty()) claims_.entries.push_back(std::move(design_claim_));
  }

  const ApsField* wku() const noexcept { return wku_; }

  SourceDocument build(SourceFormat format) && {
    SourceDocument document;
    document.source_format = format;
    document.parts.reserve(4);
    document.parts.push_back(bibliographic_information());
    if (!abstract_.entries.empty()) document.parts.push_back(std::move(abstract_));
    if (Description description = take_description(); !description.entries.empty())
      document.parts.push_back(std::move(description));
    if (!claims_.entries.empty()) document.parts.push_back(std::move(claims_));
    return document;
  }

 private:
  void add(const ApsField& field) {
    switch (field.section) {
      case ApsSection::Patn: return add_patent_field(field);
      case ApsSection::Invt: return add_inventor_field(field);
      case ApsSection::Assg:
        if (field.tag == "NAM") assignees_.parties.push_back(PartyRecord{{}, aps_value(field)});
        return;
      case ApsSection::Clas: return add_classification_field(field);
      case ApsSection::Abst:
        if (!field.empty()) abstract_.entries.push_back(make_paragraph(field));
        return;
      case ApsSection::Bsum: return description_parts_[0].add(field);
      case ApsSection::Drwd: return description_parts_[1].add(field);
      case ApsSection::Detd: return description_parts_[2].add(field);
      case ApsSection::Clms: return add_claim_field(field);
      case ApsSection::Dclm:
        if (!field.empty()) design_claim_.content.push_back(claim_text(field));
        return;
      default: return;
    }
  }

  void add_patent_field(const ApsField& field) {
    const std::string_view tag = field.tag;
    const ApsField** slot = nullptr;
    if (tag == "WKU") slot = &wku_;
    else if (tag == "ISD") slot = &isd_;
    else if (tag == "APN") slot = &apn_;
    else if (tag == "APT") slot = &apt_;
    else if (tag == "APD") slot = &apd_;
    else if (tag == "TTL") slot = &ttl_;
    if (slot != nullptr && *slot == nullptr) *slot = &field;
  }

  void add_inventor_field(const ApsField& field) {
    const std::string_view tag = field.tag;
    if (tag == "NAM") {
      end_inventor();
      inventor_.emplace();
      set_inventor_name(*inventor_, aps_value(field));
    } else if (inventor_) {
      if (tag == "CTY") inventor_->city = aps_value(field);
      else if (tag == "STA") inventor_->state = aps_value(field);
      else if (tag == "CNT") inventor_->country_code = aps_value(field);
    }
  }

  void end_inventor() {
    if (!inventor_) return;
    inventor_->first_named = inventors_.entries.empty();
    inventors_.entries.push_back(std::move(*inventor_));
    inventor_.reset();
  }

  void add_classification_field(const ApsField& field) {
    if (field.empty()) return;
    if (field.tag == "ICL") ipc_.push_back(collapse_white_space(aps_value(field)));
    else if (field.tag == "OCL") us_original_.push_back(&field);
    else if (field.tag == "XCL") us_cross_.push_back(&field);
  }

  void add_claim_field(const ApsField& field) {
    if (field.tag == "STM") return;
    if (field.tag == "NUM") return end_claim();
    if (!field.empty()) claim_.content.push_back(claim_text(field));
  }

  void end_claim() {
    if (claim_.content.empty()) return;
    claims_.entries.push_back(std::move(claim_));
    claim_ = ClaimElement{};
  }

  BibliographicInformation bibliographic_information() {
    BibliographicInformation info;
    info.items.reserve(5);
    DocumentId id = document_id_from_wku(aps_value(*wku_));
    id.document_date = present_value(isd_);
    info.items.push_back(std::move(id));

    DomesticFilingData filing;
    if (OptString apn = present_value(apn_))
      filing.entries.push_back(ApplicationNumber{{}, present_value(apt_), application_number(*apn)});
    if (OptString filing_date = present_value(apd_)) filing.entries.push_back(FilingDate{std::move(*filing_date)});
    if (!filing.entries.empty()) info.items.push_back(std::move(filing));

    TechnicalInformation technical;
    if (OptString title = present_value(ttl_)) technical.entries.push_back(TitleOfInvention{std::move(*title)});
    if (!ipc_.empty()) {
      ClassificationIpc ipc;
      ipc.main_classification = std::move(ipc_.front());
      ipc.further_classifications.assign(std::make_move_iterator(ipc_.begin() + 1),
                                         std::make_move_iterator(ipc_.end()));
      technical.entries.push_back(std::move(ipc));
    }
    if (!us_original_.empty() || !us_cross_.empty()) technical.entries.push_back(us_classification());
    if (!technical.entries.empty()) info.items.push_back(std::move(technical));

    if (!inventors_.entries.empty()) info.items.push_back(std::move(inventors_));
    if (!assignees_.parties.empty()) info.items.push_back(std::move(assignees_));
    return info;
  }

  // Original classifications first, then the cross-references; the first of
  // them all is the main one.
  ClassificationUs us_classification() const {
    ClassificationUs us;
    us.further_classifications.reserve(us_original_.size() + us_cross_.size());
    for (const auto* list : {&us_original_, &us_cross_}) {
      for (const ApsField* field : *list) {
        if (!us.main_classification) us.main_classification = aps_value(*field);
        else us.further_classifications.push_back(aps_value(*field));
      }
    }
    return us;
  }

  Description take_description() {
    static constexpr std::array<DescriptionPartKind, 3> kKinds = {
        DescriptionPartKind::SummaryOfInvention, DescriptionPartKind::BriefDescriptionOfDrawings,
        DescriptionPartKind::DetailedDescription};
    Description description;
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
      if (!description_parts_[i].present) continue;
      description.entries.push_back(DescriptionPart{kKinds[i], {}, std::move(description_parts_[i].items)});
    }
    return description;
  }

  const ApsField* wku_ = nullptr;
  const ApsField* isd_ = nullptr;
  const ApsField* apn_ = nullptr;
  const ApsField* apt_ = nullptr;
  const ApsField* apd_ = nullptr;
  const ApsField* ttl_ = nullptr;

  std::optional<InventorRecord> inventor_;
  Inventors inventors_;
  Assignees assignees_;
  std::vector<std::string> ipc_;
  std::vector<const ApsField*> us_original_;
  std::vector<const ApsField*> us_cross_;
  Abstract abstract_;
  std::array<DescriptionPartBuilder, 3> description_parts_;
  ClaimElement claim_;
  ClaimElement design_claim_;
  Claims claims_;
};

}  // namespace

ParseResult parse_aps(std::string_view text, SourceFormat format) {
  const std::vector<ApsField> fields = cut_aps_fields(text);
  if (fields.empty()) return ParseError::structure(std::string(messages::kApsNoTaggedFields));
  RecordBuilder record(fields);
  if (record.wku() == nullptr || record.wku()->empty())
    return ParseError::structure(std::string(messages::kApsMissingWku));
  return std::move(record).build(format);
}

Result<std::string, ParseError> serialize_aps(const SourceDocument&) {
  return ParseError::structure(std::string(messages::kApsNoSerialization));
}

}  // namespace tessellox
