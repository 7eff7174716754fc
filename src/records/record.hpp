// The record of a document: the fifteen derived values, the abstract and the
// numbered claims, and what analysts look up first beside them (kind code and
// document type, CPC codes, foreign priority claims, citations and the claims
// each claim depends on), and the tables of parties, related documents, PCT
// filings and, when asked for, the description's sections. Everything is read from a parsed document, and for
// APS text from what its handler read beside it; deriving a record never fails.
//
// Views in a record point into its document (text or arena): a record is
// valid as long as the document it was derived from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors.hpp"
#include "model.hpp"
#include "parse_result.hpp"
#include "records/tables.hpp"
#include "references.hpp"
#include "result.hpp"

namespace tessellox {

struct ClaimRecord {
  std::uint32_t number = 0;
  std::string text;
  std::vector<std::uint32_t> depends_on;  // distinct, in the order referred to
  std::optional<bool> exemplary;          // absent where the source does not say
};

// One classification element of the source, with the parts its scheme has.
struct ClassificationRecord {
  std::string_view scheme;  // "cpc", "ipc", "uspc", "locarno" or "national"
  std::uint32_t sequence = 0;
  bool main = false;
  OptString code;
  std::optional<std::uint32_t> combination_set;
  std::optional<std::uint32_t> combination_rank;
  OptString version_date;
  OptString section;
  OptString class_;
  OptString subclass;
  OptString main_group;
  OptString subgroup;
  OptString symbol_position;
  OptString classification_value;
  OptString us_main_class;
  OptString us_subclass;
};

struct DocumentRecord {
  SourceFormat source_format = SourceFormat::UsptoGrantV45;
  DerivedMetadata derived;
  std::optional<std::string> abstract_text;
  std::vector<ClaimRecord> claims;
  OptString kind_code;
  std::string_view document_type;
  std::vector<std::string_view> cpc_classifications;
  std::vector<ForeignPriority> foreign_priority;
  OptString earliest_priority_date;
  std::vector<Citation> citations;
  DocumentFacts facts;
  std::vector<ClassificationRecord> classifications;
  std::vector<PartyRow> parties;
  std::vector<RelatedDocumentRow> related_documents;
  std::vector<PctRow> pct;
  std::optional<std::vector<TextSectionRow>> text_sections;  // absent unless asked for
};

struct RecordOptions {
  bool sections = false;  // read the description's sections (a whole parse)
};

// "utility", "design", "plant", "reissue", "sir", "application" or
// "sequence-listing": by format, then kind code, then number prefix.
std::string_view document_type(SourceFormat format, const OptString& kind_code, std::string_view doc_number) noexcept;

// The tables a record's parse reads from an XML generation's first
// bibliographic element while its tree is alive (see RecordCapture).
struct RecordTables {
  std::vector<PartyRow> parties;
  std::vector<RelatedDocumentRow> related_documents;
  std::vector<PctRow> pct;
  // Absent where the generation's are not read there: the model's then.
  std::optional<std::vector<ClassificationRecord>> classifications;
  OptString series_code;  // ST.32's B211US
};

// The RecordCapture::read_bibliographic of a record's parse.
void read_record_tables(const xml::NodeRef& element, RecordCapture& capture, Arena& arena);

// What a record reads beside the model: the references the handler read
// from the text, for the formats whose model leaves them out (without them
// they are read from the model's captured nodes), and what the parse read of
// the tree (see RecordCapture).
struct RecordSources {
  std::optional<SourceReferences> references;
  RecordTables tables;
  std::vector<Citation> citations;  // read in place, before those of the model
  bool may_hold_ampersand = true;   // false: no value holds an entity reference to resolve
};

// The record of a parsed document; text sections need the document parsed
// whole.
DocumentRecord derive_record(SourceDocument& document, RecordSources sources, RecordOptions options = {});

// A document and its record, parsed from text in one step.
struct RecordedDocument {
  SourceDocument document;
  DocumentRecord record;
};
Result<RecordedDocument, ParseError> parse_record(SourceText text, RecordOptions options = {});

}  // namespace tessellox
