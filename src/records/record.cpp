#include "records/record.hpp"

#include <algorithm>
#include <span>
#include <utility>

#include "derive.hpp"
#include "handlers.hpp"
#include "records/bibliographic_children.hpp"
#include "records/captured.hpp"
#include "records/claim_links.hpp"
#include "records/entities.hpp"
#include "records/parties.hpp"
#include "records/pct.hpp"
#include "records/related.hpp"
#include "records/sections.hpp"
#include "source/detect.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

bool is_application_format(SourceFormat format) noexcept {
  return static_cast<std::uint8_t>(format) <= static_cast<std::uint8_t>(SourceFormat::UsptoApplicationV46);
}

// The letters a grant's number starts with tell its type even where the kind
// code does not (APS text gives statutory invention registrations kind B1).
std::string_view type_of_number_prefix(std::string_view number) noexcept {
  number = trim(number);
  if (number.starts_with("RE")) return "reissue";
  if (number.starts_with("PP") || number.starts_with("P")) return "plant";
  if (number.starts_with("D")) return "design";
  if (number.starts_with("H") || number.starts_with("T")) return "sir";
  return {};
}

std::string_view type_of_kind_code(std::string_view kind) noexcept {
  if (kind.empty()) return {};
  switch (kind.front()) {
    case 'S': return "design";
    case 'P': return "plant";
    case 'E': return "reissue";
    case 'H':
    case 'I':  // defensive publications, kind I4 and I5
    case 'T': return "sir";
    default: return {};
  }
}

OptString smallest_date(const DerivedMetadata& derived, const std::vector<ForeignPriority>& foreign) {
  OptString earliest = derived.priority_date;
  if (earliest && earliest->empty()) earliest.reset();
  for (const ForeignPriority& claim : foreign)
    if (claim.date && !claim.date->empty() && (!earliest || *claim.date < *earliest)) earliest = claim.date;
  return earliest;
}

// "G01S 7/48" in its parts: section, class, subclass, main group, subgroup.
void split_ipc_code(std::string_view code, ClassificationRecord& row) {
  code = trim(code);
  const auto is_letter = [](char c) { return c >= 'A' && c <= 'Z'; };
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (code.size() < 4 || !is_letter(code[0]) || !is_digit(code[1]) || !is_digit(code[2]) || !is_letter(code[3])) return;
  row.section = code.substr(0, 1);
  row.class_ = code.substr(1, 2);
  row.subclass = code.substr(3, 1);
  const std::string_view groups = trim(code.substr(4));
  const std::size_t slash = groups.find('/');
  if (slash == std::string_view::npos) return;
  if (const std::string_view main_group = trim(groups.substr(0, slash)); !main_group.empty())
    row.main_group = main_group;
  if (const std::string_view subgroup = trim(groups.substr(slash + 1)); !subgroup.empty()) row.subgroup = subgroup;
}

// A US class in its two parts where the code shows where the class ends: a
// slash ("D11/106"), or a space in or just after the class's three columns
// ("D 2889", "179 90K"). The model keeps the code trimmed, so "2502019" and
// " D2866" (class D2) cannot be told apart and are left whole.
void split_us_code(std::string_view code, ClassificationRecord& row, Arena& arena) {
  code = trim(code);
  const std::size_t slash = code.find('/');
  if (slash == std::string_view::npos && (code.size() < 4 || code.substr(0, 4).find(' ') == std::string_view::npos))
    return;
  const std::size_t cut = slash != std::string_view::npos ? slash : 3;
  const auto packed = [&arena](std::string_view part) -> OptString {
    std::string kept;
    for (const char c : part)
      if (c != ' ') kept.push_back(c);
    if (kept.empty()) return std::nullopt;
    if (kept.size() == part.size()) return part;
    return arena.copy(kept);
  };
  row.us_main_class = packed(code.substr(0, cut));
  row.us_subclass = packed(code.substr(slash != std::string_view::npos ? cut + 1 : cut));
}

// One row per classification the typed entries keep (IPC and US, main
// first), then the captured ones (CPC, Locarno); numbered within each scheme.
std::vector<ClassificationRecord> classification_rows(const BibliographicInformation* block,
                                                      std::vector<ClassificationRecord> captured, bool ipc_is_locarno,
                                                      Arena& arena) {
  std::vector<ClassificationRecord> rows;
  const auto add = [&](std::string_view scheme, std::string_view code, bool main) {
    ClassificationRecord row;
    row.scheme = scheme;
    row.main = main;
    row.code = code;
    if (scheme == "ipc")
      split_ipc_code(code, row);
    else if (scheme == "uspc")
      split_us_code(code, row, arena);
    rows.push_back(row);
  };
  if (block != nullptr) {
    for (const BibliographicItem& item : block->items) {
      const auto* technical = std::get_if<TechnicalInformation>(&item);
      if (technical == nullptr) continue;
      for (const TechnicalEntry& entry : technical->entries) {
        if (const auto* ipc = std::get_if<ClassificationIpc>(&entry)) {
          const std::string_view scheme = ipc_is_locarno ? "locarno" : "ipc";
          if (ipc->main_classification) add(scheme, *ipc->main_classification, true);
          for (std::string_view further : ipc->further_classifications) add(scheme, further, false);
        } else if (const auto* us = std::get_if<ClassificationUs>(&entry)) {
          if (us->main_classification) add("uspc", *us->main_classification, true);
          for (std::string_view further : us->further_classifications) add("uspc", further, false);
        }
      }
    }
  }
  rows.insert(rows.end(), captured.begin(), captured.end());
  std::vector<std::pair<std::string_view, std::uint32_t>> counts;  // a few schemes
  for (ClassificationRecord& row : rows) {
    auto found =
        std::find_if(counts.begin(), counts.end(), [&row](const auto& count) { return count.first == row.scheme; });
    if (found == counts.end()) found = counts.insert(counts.end(), {row.scheme, 0});
    row.sequence = ++found->second;
  }
  return rows;
}

// The series code and application type of the domestic filing data.
void read_filing_facts(const BibliographicInformation* block, DocumentFacts& facts) {
  if (block == nullptr) return;
  for (const BibliographicItem& item : block->items) {
    const auto* filing = std::get_if<DomesticFilingData>(&item);
    if (filing == nullptr) continue;
    for (const DomesticFilingEntry& entry : filing->entries) {
      if (const auto* series = std::get_if<SeriesCode>(&entry)) {
        if (!facts.series_code && !trim(series->text).empty()) facts.series_code = trim(series->text);
      } else if (const auto* application = std::get_if<ApplicationNumber>(&entry)) {
        if (!facts.application_type && application->appl_type) facts.application_type = application->appl_type;
      }
    }
  }
}

void mark_exemplary_claims(std::vector<ClaimRecord>& claims, const std::vector<std::uint32_t>& exemplary) {
  if (exemplary.empty()) return;
  for (ClaimRecord& claim : claims)
    claim.exemplary = std::find(exemplary.begin(), exemplary.end(), claim.number) != exemplary.end();
}

}  // namespace

std::string_view document_type(SourceFormat format, const OptString& kind_code, std::string_view doc_number) noexcept {
  if (format == SourceFormat::UsptoSequenceCwu) return "sequence-listing";
  if (is_application_format(format)) return "application";
  if (const std::string_view by_number = type_of_number_prefix(doc_number); !by_number.empty()) return by_number;
  if (kind_code) {
    if (const std::string_view by_kind = type_of_kind_code(trim(*kind_code)); !by_kind.empty()) return by_kind;
  }
  return "utility";
}

DocumentRecord derive_record(SourceDocument& document, RecordSources sources, RecordOptions options) {
  std::optional<SourceReferences>& references = sources.references;
  Arena& arena = document.arena;
  const DerivedRecord derived = derive(document, arena);
  DocumentRecord record;
  record.source_format = document.source_format;
  record.derived = derived.metadata;
  record.abstract_text = abstract_text(document);
  record.claims = claim_records(document);

  const BibliographicInformation* block = derived.bibliographic;
  record.kind_code = record.derived.publication_kind;
  record.document_type = document_type(document.source_format, record.kind_code,
                                       record.derived.publication_doc_number.value_or(std::string_view()));
  std::vector<ClassificationRecord> captured_classifications;
  if (references) {
    record.foreign_priority = std::move(references->foreign_priority);
    record.citations = std::move(references->citations);
    record.facts = std::move(references->facts);
  } else {
    CapturedFields captured = read_captured_fields(block, arena);
    record.cpc_classifications = std::move(captured.cpc_codes);
    record.foreign_priority = std::move(captured.foreign_priority);
    record.citations = std::move(captured.citations);
    record.facts = std::move(captured.facts);
    captured_classifications = std::move(captured.classifications);
  }
  read_filing_facts(block, record.facts);
  mark_exemplary_claims(record.claims, record.facts.exemplary_claims);
  record.classifications = classification_rows(
      block, std::move(captured_classifications),
      // A design grant of ST.32 gives its Locarno class in B511.
      document.source_format == SourceFormat::UsptoGrantV25 && record.document_type == "design", arena);
  record.earliest_priority_date = smallest_date(record.derived, record.foreign_priority);
  if (references && !references->aps_fields.empty()) {
    const std::span<const ApsField> fields = references->aps_fields;
    record.parties = aps_party_rows(fields, arena);
    record.related_documents = aps_related_rows(fields, arena);
    record.pct = aps_pct_rows(fields, arena);
    if (options.sections) record.text_sections = aps_text_section_rows(fields, arena);
  } else {
    const RawXml* bibliographic = sources.bibliographic;
    record.parties = xml_party_rows(bibliographic, document.source_format, arena);
    record.related_documents = xml_related_rows(bibliographic, document.source_format, arena);
    record.pct = xml_pct_rows(bibliographic, document.source_format, arena);
    if (options.sections) record.text_sections = text_section_rows(document, arena);
  }
  resolve_record_entities(record, arena);
  return record;
}

Result<RecordedDocument, ParseError> parse_record(SourceText text, RecordOptions options) {
  const auto detected = detect_source_format(text.view());
  if (!detected) return ParseError::detection(detected.error());
  const SourceFormat format = detected.value();
  const FormatHandler& handler = format_handler(format);
  RecordSources sources;
  const ParseScope scope = options.sections ? ParseScope::Document : ParseScope::Record;
  RecordCapture capture{bibliographic_children_read(format)};
  ParseResult parsed = handler.parse_with_references != nullptr
                           ? handler.parse_with_references(std::move(text), format, sources.references.emplace())
                       : handler.parse_for_record != nullptr
                           ? handler.parse_for_record(std::move(text), format, scope, capture)
                           : handler.parse(std::move(text), format, scope);
  if (!parsed) return std::move(parsed.error());
  sources.bibliographic = capture.bibliographic;
  RecordedDocument recorded{std::move(parsed.value()), {}};
  recorded.record = derive_record(recorded.document, std::move(sources), options);
  return recorded;
}

}  // namespace tessellox
