#include "records/record.hpp"

#include <algorithm>
#include <span>
#include <utility>

#include "derive.hpp"
#include "handlers.hpp"
#include "records/captured.hpp"
#include "records/claim_links.hpp"
#include "records/classifications.hpp"
#include "records/entities.hpp"
#include "records/parties.hpp"
#include "records/pct.hpp"
#include "records/raw_text.hpp"
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
    record.citations = std::move(sources.citations);
    record.citations.insert(record.citations.end(), captured.citations.begin(), captured.citations.end());
    record.facts = std::move(captured.facts);
    captured_classifications = std::move(captured.classifications);
  }
  RecordTables& tables = sources.tables;
  read_filing_facts(block, record.facts);
  if (!record.facts.series_code && document.source_format == SourceFormat::UsptoGrantV25)
    record.facts.series_code = tables.series_code;
  mark_exemplary_claims(record.claims, record.facts.exemplary_claims);
  // A design grant of ST.32 gives its Locarno class in B511.
  const bool st32_design = document.source_format == SourceFormat::UsptoGrantV25 && record.document_type == "design";
  // The source's own elements where the parse kept them: the model keeps
  // codes trimmed, and the pre-grant publications' US class without its
  // subclass.
  std::optional<std::vector<ClassificationRecord>>& classifications = tables.classifications;
  if (classifications && st32_design) locarno_from_ipc(*classifications);
  record.classifications =
      classifications ? std::move(*classifications)
                      : model_classification_rows(
                            block, st32_design, document.source_format == SourceFormat::UsptoGrantApsGreenBook, arena);
  record.classifications.insert(record.classifications.end(), captured_classifications.begin(),
                                captured_classifications.end());
  number_classification_rows(record.classifications);
  record.earliest_priority_date = smallest_date(record.derived, record.foreign_priority);
  if (references && !references->aps_fields.empty()) {
    const std::span<const ApsField> fields = references->aps_fields;
    record.parties = aps_party_rows(fields, arena);
    record.related_documents = aps_related_rows(fields, arena);
    record.pct = aps_pct_rows(fields, arena);
    if (options.sections) record.text_sections = aps_text_section_rows(fields, arena);
  } else {
    record.parties = std::move(tables.parties);
    record.related_documents = std::move(tables.related_documents);
    record.pct = std::move(tables.pct);
    if (options.sections) record.text_sections = text_section_rows(document, arena, sources.may_hold_ampersand);
  }
  if (sources.may_hold_ampersand) resolve_record_entities(record, arena);
  return record;
}

void read_record_tables(const xml::NodeRef& element, RecordCapture& capture, Arena& arena) {
  RecordTables& tables = *capture.tables;
  const SourceFormat format = capture.format;
  tables.parties = xml_party_rows(element, format, arena);
  tables.related_documents = xml_related_rows(element, format, arena);
  tables.pct = xml_pct_rows(element, format, arena);
  if (format != SourceFormat::UsptoSequenceCwu)
    tables.classifications = xml_classification_rows(element, format, arena);
  if (format == SourceFormat::UsptoGrantV25) tables.series_code = path_text(element, {"B200", "B211US"}, arena);
}

Result<RecordedDocument, ParseError> parse_record(SourceText text, RecordOptions options) {
  const auto detected = detect_source_format(text.view());
  if (!detected) return ParseError::detection(detected.error());
  const SourceFormat format = detected.value();
  const FormatHandler& handler = format_handler(format);
  RecordSources sources;
  const ParseScope scope = options.sections ? ParseScope::RecordWithSections : ParseScope::Record;
  RecordCapture capture;
  capture.format = format;
  capture.tables = &sources.tables;
  capture.read_bibliographic = &read_record_tables;
  capture.read_citations = &read_citations_in_place;
  ParseResult parsed = handler.parse_with_references != nullptr
                           ? handler.parse_with_references(std::move(text), format, sources.references.emplace())
                       : handler.parse_for_record != nullptr
                           ? handler.parse_for_record(std::move(text), format, scope, capture)
                           : handler.parse(std::move(text), format, scope);
  if (!parsed) return std::move(parsed.error());
  sources.may_hold_ampersand = capture.may_hold_ampersand;
  sources.citations = std::move(capture.citations);
  RecordedDocument recorded{std::move(parsed.value()), {}};
  recorded.record = derive_record(recorded.document, std::move(sources), options);
  return recorded;
}

}  // namespace tessellox
